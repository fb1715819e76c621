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

// The desktop shell's route only for an elevated split token of an account
// other than SYSTEM, and only when the desktop shell was found; every other
// case starts the program directly, as before.
LaunchRoute ChooseLaunchRoute(int elevation, bool isSystem, bool desktopShellFound);

#endif
