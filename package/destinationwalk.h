// The walk along a destination: from the drive's root down, each existing
// folder opened as itself from the held folder above it, judged
// (package/destinationrule.h) and held in the held tree; each missing one
// created from the one above it and held at once. What was checked is what
// stays held until the run ends, and no folder is made by a name that can
// have moved meanwhile.
#ifndef BRONDALE_PACKAGE_DESTINATIONWALK_H
#define BRONDALE_PACKAGE_DESTINATIONWALK_H

#include "package/destinationrule.h"
#include "platform/win32api.h"

enum WalkVerdict {
    kWalkAccepted,
    kWalkLinkRefused,      // a link, junction or mount point a user could have made
    kWalkNotOwned,         // a folder whose owner is no administrator
    kWalkOthersMayChange,  // a folder that someone else may change
    kWalkTaken,            // a folder made by someone else while the walk made the path
    kWalkUnusable,         // a folder that cannot be opened, read, protected or made
};

struct WalkResult {
    WalkVerdict verdict;
    char folder[MAX_PATH];  // the folder at fault ("" when accepted)
    OwnerJudgement owner;   // what its descriptor showed
};

// Walks path ("X:\..."): every existing folder below the drive's root is
// judged (the destination and its record folder DEST\UnInstall as chosen,
// the others as above it); earlier says that the destination is the earlier
// installation of this product, whose destination and record folder are
// re-protected rather than refused. Missing folders are made with
// security(folder). On kWalkAccepted every folder along the path, and the
// record folder when it exists, is held in the tree; otherwise the folders
// the walk made are removed again and nothing is held. forUser: an
// installation for one user, whose own folders count as an administrator's
// (RunningAccount) and which protects nothing.
WalkResult WalkDestination(const char* path, bool earlier, SECURITY_ATTRIBUTES* (*security)(const char* folder),
                           bool forUser = false);

#endif
