// Removing the uninstaller itself. A running program cannot delete its own
// file on Windows, so the uninstaller hands this to a copy of itself in the
// temporary folder, which waits for it to end.
#ifndef BRONDALE_UNINST_CLEANUP_H
#define BRONDALE_UNINST_CLEANUP_H

#include <string>

// The argument that makes a copy of the uninstaller do the clean-up.
const char kCleanupSwitch[] = "/cleanup";

// Copies the running program to the temporary folder and starts the copy
// with kCleanupSwitch, a handle to this process and uninstallFolder. The
// copy's file is opened for deletion on close and the handle is inherited,
// so it goes away when the copy ends. False when the copy cannot be started.
bool StartCleanup(const std::string& uninstallFolder);

// The copy's side: waits (60 s at most) for the process of the handle given
// as decimal text to end, then deletes the uninstaller's files in
// uninstallFolder (UnInst.exe, UnInst.cfg, Files.lst, Language.lng), the
// folder itself and the destination folder above it when they are empty.
// Does nothing unless the folder's name is "UnInstall". Returns 0 when the
// folder is gone, else 1.
int RunCleanup(const char* originalHandle, const std::string& uninstallFolder);

#endif
