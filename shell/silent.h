// The run with switches (Windows only): taking the command line, the silent
// installation, which runs the wizard's steps in page order without
// creating a window, and the exit codes it answers with. A silent failure
// leaves the machine as it was; its reason goes to the log, never to a box.
#ifndef BRONDALE_SHELL_SILENT_H
#define BRONDALE_SHELL_SILENT_H

#include "shell/exits.h"

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
