// Whose rights the programs started after the installation get. An
// elevated installer must not hand its administrator rights on: where the
// logged-on user's desktop shell is there, it starts them for the user.
#ifndef BRONDALE_FINISH_LAUNCHAS_H
#define BRONDALE_FINISH_LAUNCHAS_H

// How the process token is elevated (the values of TOKEN_ELEVATION_TYPE).
enum TokenElevation {
    kElevationDefault = 1,  // no split token: UAC off, a standard user, Wine
    kElevationFull = 2,     // the elevated half of a split administrator token
    kElevationLimited = 3,  // the unelevated half
};

enum LaunchRoute {
    kLaunchDirect,         // ShellExecute of this process
    kLaunchAsDesktopUser,  // ShellExecute of the desktop shell, as the user
};

// elevation is this process's, shellElevation that of the desktop shell's
// process (0 when there is no desktop shell or its token cannot be read).
// The desktop shell's route only for the elevated half of a split token of
// an account other than SYSTEM, and only when the desktop shell runs with
// the unelevated half: then it has fewer rights to hand on. Every other case
// (no split token, a shell as elevated as this process, no shell) starts the
// program directly, as before.
LaunchRoute ChooseLaunchRoute(int elevation, bool isSystem, int shellElevation);

#endif
