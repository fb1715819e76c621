// The run with switches (Windows only): taking the command line, the silent
// installation, which runs the wizard's steps in page order without
// creating a window, and the exit codes it answers with. A silent failure
// leaves the machine as it was; its reason goes to the log, never to a box.
#ifndef BRONDALE_SHELL_SILENT_H
#define BRONDALE_SHELL_SILENT_H

// Exit codes of a silent run. 1 is never one of them: it stays the code of
// an interactive run that reached the wizard.
enum SilentExit {
    kExitInstalled = 0,
    kExitUsage = 2,        // an argument that is not a switch of the installer
    kExitDamaged = 3,      // the package is damaged or missing
    kExitDestination = 4,  // the destination is not a folder path, too long, or cannot be created or written
    kExitWriteFailed = 5,  // a file could not be written: a full disk, a failing drive, no memory
    kExitAnotherCopy = 6,  // another copy of this installer is running
    kExitRefused = 7,      // the start-up was refused: not Windows NT, or no usable temporary folder
    kExitFileInUse = 8,    // a file to replace is held open by another program
    kExitDowngrade = 9,    // an older version over a newer one, without /ALLOWDOWNGRADE
};

// Parses arguments (the command line after the program's name) into
// RunSwitches() and opens the log that /LOG= names. Returns true when the
// run ends here, with *exitCode set: /? shows the switches (0); an unknown
// argument is reported, with the switches unless the run is silent, and
// nothing is done (kExitUsage). Without arguments nothing happens at all.
bool TakeSwitches(const char* arguments, int* exitCode);

// The silent installation (/S): start-up checks, scratch folder, package
// sections, language, destination, program section and the finish
// sequence, each step logged. Returns one of SilentExit. Every folder it
// created for the destination is removed again when a step fails.
int InstallSilently();

// Logs the exit code, closes the log and returns code.
int EndRun(int code);

#endif
