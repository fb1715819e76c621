// The halves' channel and the start of the elevated half (Windows only),
// shared by the installer and the uninstaller. The user's half makes an
// anonymous pipe that nothing inherits and starts its own program again
// through the system's elevation prompt, with its own arguments after
// /CHANNEL=<its process id>.<the pipe's write end>; the elevated half opens
// the user's half and duplicates that write end into itself. It writes its
// report there and never reads: no other process can hand it a command.
#ifndef BRONDALE_TRUST_CHANNEL_H
#define BRONDALE_TRUST_CHANNEL_H

#include <cstddef>

#include "platform/win32api.h"
#include "trust/halves.h"

// The token of process: its elevation, whether it is SYSTEM's, its user's
// SID text; for this process's own token (GetCurrentProcess()) also
// whether the Administrators group is enabled in it. False when the token
// cannot be opened (the facts then say nothing).
bool ReadToken(HANDLE process, TokenFacts* facts);

// The elevated half, as its user's half holds it.
struct ElevatedHalf {
    HANDLE process;   // kept to the end: its id and its exit code
    HANDLE readEnd;   // the pipe's read end
    HANDLE writeEnd;  // the write end the elevated half duplicates; kept open until it has ended
};
enum HalfStart {
    kHalfStarted,
    kHalfDeclined,  // the elevation prompt was answered No
    kHalfFailed,    // it could not be started
};
// Starts this program again through the elevation prompt ("runas") in the
// current folder, with /CHANNEL=, then extra (may be ""), then arguments.
HalfStart StartElevatedHalf(const char* arguments, const char* extra, ElevatedHalf* half);
// Waits for the elevated half to end, reading the pipe meanwhile so that it
// never waits on a full pipe. *exitCode gets its exit code; *report (malloc'd,
// the caller frees it) and *size the bytes read, at most kMaxHalfReport + 1.
// Closes every handle of half. False when its end or exit code cannot be had.
bool WaitElevatedHalf(ElevatedHalf* half, unsigned long* process, unsigned long* exitCode, char** report,
                      size_t* size);

// The elevated half's side: the write end the user's half (process id
// process) holds as handle. Opened only when that process runs this same
// program file and the handle is a pipe; INVALID_HANDLE_VALUE otherwise.
HANDLE OpenChannel(unsigned long process, unsigned long handle);
// Writes the report whole and closes the channel. False when it could not.
bool SendReport(HANDLE channel, const HalfReport& report);

#endif
