// The destination folder's rules, shared by the destination page and the
// silent run: the accepted form and length of the path, no link or junction
// along it that a user could have made, the folders its acceptance created
// (so that a cancel removes them).
#ifndef BRONDALE_PACKAGE_DESTINATION_H
#define BRONDALE_PACKAGE_DESTINATION_H

#include "base/installed.h"
#include "platform/win32api.h"

// What AcceptDestination made of a path.
enum DestinationVerdict {
    kDestinationAccepted,
    kDestinationBadForm,      // not X:\..., or too long for the package's paths
    kDestinationLinkRefused,  // a folder along it is a link or junction a user could have made
    kDestinationBusy,         // another run of the installer or uninstaller works there (its lock is held)
    kDestinationUnrecovered,  // what a run that did not end left there could not be finished or taken back
};
struct DestinationCheck {
    DestinationVerdict verdict;
    // With kDestinationLinkRefused: the folder along the path that is such a
    // link, or that could not be checked; "" otherwise.
    char folder[MAX_PATH];
};

// Accepts a path whose second and third characters are ":\", under which
// every path of the program section and of the uninstall record fits in 259
// characters, and which neither is nor lies below a link or junction that a
// user without administrator rights could have made (package/
// destinationrule.h): creates its missing folders, the chosen one too (the
// access list of Program Files for those outside it), holds every folder
// along it open against deletion and renaming for the rest of the run, and
// records it under key 10. Before any folder is made it takes the
// product's and the destination's locks (package/startrun.h), and once they
// are made it finishes or takes back what a run that did not end left there.
// Otherwise logs why; nothing is created. Windows only (it opens the folders).
// For an installation for one user (kScopeUser) the folders it creates
// inherit from the user's folder above them, as the user's own.
DestinationCheck AcceptDestination(const char* path, InstallScope scope = kScopeMachine);
// Lets go of the folders along the destination and removes those that its
// acceptance created (the chosen folder and its parents), deepest first,
// where they are empty.
void RemoveDestinationFolders();

#endif
