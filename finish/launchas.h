// Whose rights the programs and documents opened after the installation
// get. An elevated installer never hands its administrator rights on: what
// it opens, the logged-on user's desktop shell opens, with that user's
// rights, or it opens them itself where that shell has the installer's own
// rights; where there is no shell nothing is opened, except the programs a
// deployment run as SYSTEM always starts.
#ifndef BRONDALE_FINISH_LAUNCHAS_H
#define BRONDALE_FINISH_LAUNCHAS_H

#include "trust/halves.h"

// The desktop shell as this process sees it.
enum DesktopShell {
    kShellMissing,         // no shell window, or its process cannot be opened
    kShellOtherUser,       // another account's (an over-the-shoulder elevation), or a token that cannot be read
    kShellUnelevatedHalf,  // this account's, unelevated while this process is elevated
    kShellSameRights,      // this account's, with the rights this process has
};

// shellFound whether the desktop shell's process was found, shellRead
// whether its token could be read, sameUser whether that token's user is
// this token's, the two elevations as read.
DesktopShell CompareShell(bool shellFound, bool shellRead, bool sameUser, int shellElevation, int elevation);

// What is to be opened.
enum LaunchKind {
    kLaunchInformation,  // the information file (box 302)
    kLaunchAlways,       // a [Run] entry marked "1"
    kLaunchChosen,       // a [Run] entry marked "0" (box 303, or /RUN)
};

enum LaunchRoute {
    kLaunchNot,           // not opened: the run is elevated and has no way without its rights
    kLaunchDirect,        // ShellExecute of this process: not elevated, or no more than the desktop's shell
    kLaunchThroughShell,  // ShellExecute of the desktop shell, with its user's rights
    kLaunchProcess,       // CreateProcess of the program itself, never a handler
};

struct LaunchSituation {
    int elevation;  // this token's TokenElevation, 0 when unknown
    bool isSystem;  // this token is SYSTEM's
    bool silent;    // /S
    DesktopShell shell;
};

// True for the elevated half of a split token, SYSTEM, or a token whose
// elevation cannot be read.
bool RunIsElevated(const LaunchSituation& situation);

// The route of one file. An elevated run (the elevated half of a split
// token, SYSTEM, or a token that cannot be read) opens things itself only
// where the desktop's own shell already has these rights (programs with
// CreateProcess, documents and the information file with ShellExecute), or
// where a silent run as SYSTEM starts what the vendor always starts (those
// programs only); a shell of another user or of the unelevated half opens
// everything. A run without elevation opens as before.
LaunchRoute ChooseLaunchRoute(const LaunchSituation& situation, LaunchKind kind, bool program);

#endif
