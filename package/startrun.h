// What a run of the installer or the uninstaller takes before it changes
// anything (Windows only): the product's lock once its name is known, the
// destination's before a folder of it is made, each followed by the
// recovery of what a run of the same product or destination left when it
// did not end (package/recovery.h). Holding the lock, the run knows that no
// run that left a journal there is alive.
#ifndef BRONDALE_PACKAGE_STARTRUN_H
#define BRONDALE_PACKAGE_STARTRUN_H

#include <cstddef>

#include "base/installed.h"

enum RunStart {
    kRunStarted,       // the lock is this run's; whatever was left is finished or taken back
    kRunAnotherCopy,   // another run holds the lock (waited for a few seconds), or its name is squatted
    kRunNotRecovered,  // what a dead run left here could not be finished or taken back (logged)
};

// Takes the lock of the product's Uninstall key path productKey below the
// root of scope's Uninstall key ("" without a product name: nothing to
// take), then recovers the folder the key registers (InstallLocation, or the
// uninstaller's folder), under that folder's lock, which is let go again. A
// registered folder that cannot be recovered is only logged: the run may
// install elsewhere, and its own destination is recovered (or refused) when
// it is accepted.
// A lock is named after the root's name and the key (or the folder): an
// installation for every user's in the global namespace, where only
// administrators make names; one for one user's in the session's own, since
// its key is that user's and such a run may not make global names.
RunStart StartProductRun(InstallScope scope, const char* productKey);

// Takes the lock of destination for a run of scope, letting go of the
// destination locked before when another (kRunStarted or kRunAnotherCopy).
RunStart LockDestination(InstallScope scope, const char* destination);
// Recovers destination, whose lock this run holds; spare as in
// RecoverDestination (the uninstaller's own program).
RunStart RecoverLockedDestination(const char* destination, const char* spare = nullptr);

// The folder the product's key below root (an index of kRegistryRoots)
// registers: InstallLocation, or the folder of its UninstallString's
// "...\Uninstall\UnInst.exe"; false when neither.
bool RegisteredFolder(short root, const char* productKey, char* folder, unsigned size);

// The name a lock of the product's key productKey below root is taken by:
// the root's name, a backslash and the key path, into out (size bytes);
// false when it does not fit.
bool ProductLockName(short root, const char* productKey, char* out, size_t size);

#endif
