// The proposed destination: the folder the product's Uninstall key says it
// is installed in, else Program Files\<product> (for every user) or the
// user's own programs folder, %LOCALAPPDATA%\Programs\<product> (for one
// user), for the destination page and the silent run alike. Windows only:
// the shell names the folders.
#ifndef BRONDALE_PACKAGE_PROGRAMFILES_H
#define BRONDALE_PACKAGE_PROGRAMFILES_H

#include "base/installed.h"

// Fills NazwaProgramu and ProgramFiles (the Program Files folder through the
// shell) and writes into proposal (260 bytes) the folder where the product's
// Uninstall key under the scope's root says it is installed, else Program
// Files\<product>, or for kScopeUser the user's programs folder and the
// product.
void ProposeDestination(char* proposal, InstallScope scope = kScopeMachine);
// The Program Files folder into buffer (260 bytes), "" when the shell
// cannot name it.
void ProgramFilesFolder(char* buffer);

#endif
