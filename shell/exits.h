// The installer's exit codes beside an interactive run's 0 and 1: those of
// a silent run, which the user's half passes on from its elevated half.
#ifndef BRONDALE_SHELL_EXITS_H
#define BRONDALE_SHELL_EXITS_H

// Exit codes of a silent run. 1 is never one of them: it stays the code of
// an interactive run that reached the wizard.
enum SilentExit {
    kExitInstalled = 0,
    kExitUsage = 2,        // an argument that is not a switch of the installer, or a scope switch the product refuses
    kExitDamaged = 3,      // the package is damaged or missing
    kExitDestination = 4,  // the destination is not a folder path, too long, or cannot be created or written
    kExitWriteFailed = 5,  // a file could not be written: a full disk, a failing drive, no memory
    kExitAnotherCopy = 6,  // another copy of this installer, or another run of the product or destination, is running
    kExitRefused = 7,      // the start-up was refused: not Windows NT, no usable temporary folder, no elevation given
    kExitFileInUse = 8,    // a file to replace is held open by another program
    kExitDowngrade = 9,    // an older version over a newer one, without /ALLOWDOWNGRADE
};

#endif
