// The destination folder's rules, shared by the destination page and the
// silent run: the accepted form and length of the path, the folders its
// acceptance created (so that a cancel removes them), and the proposal
// Program Files\<product>.
#ifndef BRONDALE_PACKAGE_DESTINATION_H
#define BRONDALE_PACKAGE_DESTINATION_H

// Accepts a path whose second and third characters are ":\" and under
// which every path of the program section and of the uninstall record fits
// in 259 characters: creates its folders and records it under key 10
// (false). Otherwise logs why and returns true; nothing is created.
bool AcceptDestination(const char* path);
// Removes the folders that an accepted destination created (the chosen
// folder and its parents), deepest first, where they are empty.
void RemoveDestinationFolders();

// Fills NazwaProgramu and ProgramFiles (the Program Files folder through the
// shell) and writes Program Files\<product> into proposal (260 bytes).
// Windows only.
void ProposeDestination(char* proposal);
// The Program Files folder into buffer (260 bytes), "" when the shell
// cannot name it. Windows only.
void ProgramFilesFolder(char* buffer);

#endif
