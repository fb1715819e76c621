// The proposed destination, Program Files\<product>, for the destination
// page and the silent run alike. Windows only: the shell names the folder.
#ifndef BRONDALE_PACKAGE_PROGRAMFILES_H
#define BRONDALE_PACKAGE_PROGRAMFILES_H

// Fills NazwaProgramu and ProgramFiles (the Program Files folder through the
// shell) and writes Program Files\<product> into proposal (260 bytes).
void ProposeDestination(char* proposal);
// The Program Files folder into buffer (260 bytes), "" when the shell
// cannot name it.
void ProgramFilesFolder(char* buffer);

#endif
