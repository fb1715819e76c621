// Removing the uninstaller itself. A running program cannot delete its own
// file on Windows, so the uninstaller hands this to a copy of itself in the
// temporary folder, which waits for it to end.
#ifndef BRONDALE_UNINST_CLEANUP_H
#define BRONDALE_UNINST_CLEANUP_H

#include <windows.h>

#include <string>

// Creates a new folder of the uninstaller's own in the temporary folder
// (trust/codepage.h: its short form, or the Windows one, when the code page
// cannot write its name):
// protected, under a random name ("BrondaleUnInst" and 16 hexadecimal
// digits) that nobody can take or fill in advance, and held (trust/held.h):
// *held stays open, so nobody renames, deletes or swaps the folder, until
// the caller lets it go. False when it cannot be made; a name that exists
// is never used.
bool CreatePrivateFolder(std::string* folder, HANDLE* held);

// The argument that makes a copy of the uninstaller do the clean-up.
const char kCleanupSwitch[] = "/cleanup";

// Copies the running program into a new private folder (the copy never
// replaces a file) and starts the copy there, with that folder as its working folder,
// with kCleanupSwitch, a handle to this process and uninstallFolder. The
// copy's file is held open against writers and for deletion on close; the
// handle is inherited, so the file goes away when the copy ends. False when
// the copy cannot be started.
bool StartCleanup(const std::string& uninstallFolder);

// The copy's side: waits (60 s at most) for the uninstaller to end (given as
// "handle.process", decimal: its inherited handle and its id), then deletes
// the uninstaller's files in uninstallFolder (UnInst.cfg, Files.lst,
// Language.lng, UnInst.exe, then the removal's journal UnInst.jnl), the
// folder itself and the destination folder above it when they are empty.
// Does nothing unless the folder's name is "UnInstall". Last leaves its own
// folder to go once it has ended, or at the latest at the next start of
// Windows. Returns 0 when the uninstall folder is gone, else 1.
int RunCleanup(const char* originalHandle, const std::string& uninstallFolder);

#endif
