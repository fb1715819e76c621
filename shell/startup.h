// Process start-up and shutdown of the installer (Windows only): platform
// check, single-instance guard, the main message loop and the final
// clean-up.
#ifndef BRONDALE_SHELL_STARTUP_H
#define BRONDALE_SHELL_STARTUP_H

#include <windows.h>

// True on a Windows NT system. On the Windows 95/98/Me line, or when the
// version is unknown, says so in a message and returns false.
bool CheckPlatform();
// True when no other copy with the same file name runs: the guard then stays
// open for the rest of the run, so that a later copy finds it.
bool GuardSingleInstance();
// The same with the start-up's convention, true meaning refuse: the platform
// check, and the single-instance guard (true when another copy runs).
bool WinWer();
bool WinSemaphore();
// True when a semaphore named name already exists; otherwise the new one is
// kept open for the rest of the run.
bool CheckSemaphore(const char* name);
// Dispatches messages until the quit message.
void MainMsgLoop();
// Closes the package handle and empties the scratch folder.
void KoniecProgramu();

#endif
