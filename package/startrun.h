// What a run of the installer or the uninstaller takes before it changes
// anything (Windows only): the product's lock once its name is known, the
// destination's before a folder of it is made, each followed by the
// recovery of what a run of the same product or destination left when it
// did not end (package/recovery.h). Holding the lock, the run knows that no
// run that left a journal there is alive.
#ifndef BRONDALE_PACKAGE_STARTRUN_H
#define BRONDALE_PACKAGE_STARTRUN_H

enum RunStart {
    kRunStarted,       // the lock is this run's; whatever was left is finished or taken back
    kRunAnotherCopy,   // another run holds the lock (waited for a few seconds), or its name is squatted
    kRunNotRecovered,  // what a dead run left here could not be finished or taken back (logged)
};

// Takes the lock of the product's Uninstall key path productKey ("" without
// a product name: nothing to take), then recovers the folder the key
// registers (InstallLocation, or the uninstaller's folder), under that
// folder's lock, which is let go again. A registered folder that cannot be
// recovered is only logged: the run may install elsewhere, and its own
// destination is recovered (or refused) when it is accepted.
RunStart StartProductRun(const char* productKey);

// Takes the lock of destination, letting go of the destination locked
// before when another (kRunStarted or kRunAnotherCopy).
RunStart LockDestination(const char* destination);
// Recovers destination, whose lock this run holds; spare as in
// RecoverDestination (the uninstaller's own program).
RunStart RecoverLockedDestination(const char* destination, const char* spare = nullptr);

// The folder the product's key registers: InstallLocation, or the folder of
// its UninstallString's "...\Uninstall\UnInst.exe"; false when neither.
bool RegisteredFolder(const char* productKey, char* folder, unsigned size);

#endif
