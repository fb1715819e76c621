// The section reader as its callers see it: one include for every part. The
// lower parts (path list, placement, member inflate, progress) never call the
// section loop or the failure report.
#ifndef BRONDALE_PACKAGE_EXTRACT_H
#define BRONDALE_PACKAGE_EXTRACT_H

#include "package/earlier.h"
#include "package/member.h"
#include "package/filejob.h"
#include "package/pool.h"
#include "package/pathlist.h"
#include "package/placement.h"
#include "package/progress.h"
#include "package/report.h"
#include "package/section.h"
#include "package/state.h"

#endif
