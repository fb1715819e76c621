// The destination folder's rules, shared by the destination page and the
// silent run: the accepted form and length of the path, and whose its
// folders are (package/destinationwalk.h): no link or junction a user could
// have made along it, and an existing destination, and every folder above
// it, that only administrators control. An accepted destination's folders
// stay held in the held tree until the run ends.
#ifndef BRONDALE_PACKAGE_DESTINATION_H
#define BRONDALE_PACKAGE_DESTINATION_H

#include "base/installed.h"
#include "platform/win32api.h"

// What AcceptDestination made of a path.
enum DestinationVerdict {
    kDestinationAccepted,
    kDestinationBadForm,          // not X:\..., a doubled backslash, or too long for the package's paths
    kDestinationDotted,           // a "." or ".." component
    kDestinationLinkRefused,      // a folder along it is a link or junction a user could have made
    kDestinationNotOwned,         // a folder along it belongs to an account that is no administrator
    kDestinationOthersMayChange,  // a folder along it may be changed by someone else
    kDestinationTaken,            // a folder it was to make was made by someone else meanwhile
    kDestinationUnusable,         // a folder along it cannot be opened, read or made
    kDestinationBusy,             // another run of the installer or uninstaller works there (its lock is held)
    kDestinationUnrecovered,      // what a run that did not end left there could not be finished or taken back
};
struct DestinationCheck {
    DestinationVerdict verdict;
    // The folder at fault (for every verdict but the first three); "" otherwise.
    char folder[MAX_PATH];
};

// The text ID that tells the user a verdict (8 for a bad form; the others
// but 53 and 55 are followed by the folder).
unsigned DestinationTextId(DestinationVerdict verdict);

// Accepts a path whose second and third characters are ":\", with no "."
// or ".." component and no doubled backslash, under which every path of the
// program section and of the uninstall record fits in 259 characters, and
// whose folders pass the walk (package/destinationwalk.h; the earlier
// installation of this product is the destination whose uninstaller the
// product's Uninstall key registers): creates its missing folders, the
// chosen one too (the access list of Program Files for those outside it),
// holds every folder along it for the rest of the run, and records it under
// key 10. Before any folder is made it takes the product's and the
// destination's locks (package/startrun.h), and once they are made it
// finishes or takes back what a run that did not end left there. Otherwise
// logs why; nothing is created. For an installation for one user
// (kScopeUser) the folders it creates inherit from the user's folder above
// them, and the user's own folders count as an administrator's.
DestinationCheck AcceptDestination(const char* path, InstallScope scope = kScopeMachine);
// Removes the folders that the destination's acceptance created (the chosen
// folder and its parents), deepest first, where they are empty, and lets
// every held folder go.
void RemoveDestinationFolders();

#endif
