// The proposed destination, the product's own folder or Program
// Files\<product>, for the destination page and the silent run alike.
// Windows only: the shell names the folder.
#ifndef BRONDALE_PACKAGE_PROGRAMFILES_H
#define BRONDALE_PACKAGE_PROGRAMFILES_H

// Fills NazwaProgramu and ProgramFiles (the Program Files folder through the
// shell) and writes into proposal (260 bytes) the folder where the product's
// Uninstall key says it is installed, else Program Files\<product>.
void ProposeDestination(char* proposal);
// The Program Files folder into buffer (260 bytes), "" when the shell
// cannot name it.
void ProgramFilesFolder(char* buffer);

#endif
