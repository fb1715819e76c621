// What the user's half starts of the elevated half's report (trust/halves.h):
// every entry checked again against what this half read of the package
// itself, and against the Uninstall key the elevated half wrote under
// HKEY_LOCAL_MACHINE. One entry that does not pass, and nothing is started.
// Nothing here calls more than the configuration and the registry reader,
// so both builds test it.
#ifndef BRONDALE_FINISH_LAUNCHLIST_H
#define BRONDALE_FINISH_LAUNCHLIST_H

#include <cstddef>

enum LaunchListVerdict {
    kListStartable,         // every entry is one the package names, in the folder that was installed
    kListEmpty,             // nothing to start
    kListWrongDestination,  // no destination, or not the InstallLocation of the product's Uninstall key
    kListStranger,          // an entry the package does not name in that role, or a path that leaves the folder
};
// Checks the entries of a sound report (bytes, size): the destination must
// be the InstallLocation of init.cfg's product under HKEY_LOCAL_MACHINE
// (copied into destination, 260 bytes, for a startable list; "" otherwise); "info" must be init.cfg [cfg] 3,
// "always" and "chosen" a [Run] entry whose [silent] is "1" and "0"; each
// must be a relative path that stays inside (the package's path rule).
LaunchListVerdict CheckLaunchList(const char* bytes, size_t size, char* destination);

#endif
