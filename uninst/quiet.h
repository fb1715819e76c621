// The uninstaller's switches: /S removes without a question or a message,
// /LOG=file keeps a log of the removal, /? lists them. What a silent removal
// would have shown goes to the log (base/switches.h, shared with the
// installer) and its exit code tells whether anything stayed.
#ifndef BRONDALE_UNINST_QUIET_H
#define BRONDALE_UNINST_QUIET_H

#include "uninst/steps.h"

// Exit codes beside those of main.cpp (0 removed, 1 cancelled, 2 no record,
// 3 something could not be removed, 6 the record is not the one the installer
// sealed).
const int kUserFilesStay = 4;  // silent only: removed, but files the user changed or added stay
const int kUnknownSwitch = 5;  // an argument that is not a switch of the uninstaller

// Parses arguments (after the program's name) and opens the log. Returns
// true when the run ends here with *exitCode: /? lists the switches (0), an
// unknown argument is reported (kUnknownSwitch).
bool TakeUninstallSwitches(const char* arguments, int* exitCode);

// The exit code of a finished removal: code, except that a silent removal
// that leaves the user's files (and so the folder) behind answers
// kUserFilesStay, since a deployment tool sees nothing else.
int RemovalExitCode(int code, const Outcome& outcome);

// Logs the exit code, closes the log and returns code.
int EndUninstall(int code);

#endif
