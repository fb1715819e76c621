// Process start-up and shutdown of the installer (Windows only): platform
// check, single-instance guard, the main message loop and the final
// clean-up.
#ifndef BRONDALE_SHELL_STARTUP_H
#define BRONDALE_SHELL_STARTUP_H

#include <windows.h>

// True (refuse) on the Windows 95/98/Me line or when the version is unknown.
bool WinWer();
// True when another copy with the same file name runs.
bool WinSemaphore();
// True when a semaphore named name already exists; otherwise the new one is
// kept open for the rest of the run.
bool CheckSemaphore(const char* name);
// Dispatches messages until the quit message.
void MainMsgLoop();
// Closes the package handle and empties the scratch folder.
void KoniecProgramu();

#endif
