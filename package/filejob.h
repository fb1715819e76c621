// One member's file as the section reader handles it: a small member is
// inflated into a job of the file pool, a large one is written (or compared
// with the file in place) at once. Jobs are retired in member order, so the
// record, the questions and the first failure are those of an extraction
// one file after another.
#ifndef BRONDALE_PACKAGE_FILEJOB_H
#define BRONDALE_PACKAGE_FILEJOB_H

#include <cstdint>

#include "package/state.h"
#include "platform/win32api.h"

// Member k of memberSize bytes, at path (the output path its list line
// gave; relative points into it, below the target): left in place when the
// earlier list (package/earlier.h) names it with the member's size and
// CRC-32 and the file there holds exactly the member's bytes; otherwise
// written over whatever is in the way, with a kept copy. Small members go
// through the file pool when it runs.
SectionResult ExtractMemberFile(const char* path, const char* relative, unsigned short mode, HANDLE package,
                                uint32_t memberSize, uint32_t k);
// Waits for every job under way and retires it. After a failure (failed
// true) the jobs are only recorded, so that taking back finds their files;
// otherwise each is finished. Returns the first failure among them.
SectionResult RetireAllJobs(bool failed);

#endif
