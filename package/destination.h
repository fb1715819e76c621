// The destination folder's rules, shared by the destination page and the
// silent run: the accepted form and length of the path, no link or junction
// along it that a user could have made, the folders its acceptance created
// (so that a cancel removes them), and the proposal Program Files\<product>.
#ifndef BRONDALE_PACKAGE_DESTINATION_H
#define BRONDALE_PACKAGE_DESTINATION_H

// Accepts a path whose second and third characters are ":\", under which
// every path of the program section and of the uninstall record fits in 259
// characters, and which neither is nor lies below a link or junction that a
// user without administrator rights could have made (package/
// destinationrule.h): creates its missing folders, the chosen one too (the
// access list of Program Files for those outside it), holds every folder
// along it open against deletion and renaming for the rest of the run, and
// records it under key 10 (false). Otherwise logs why and returns true;
// nothing is created. Windows only (it opens the folders).
bool AcceptDestination(const char* path);
// The folder along the last refused destination that is such a link, or
// that could not be checked; "" when the refusal was about the path's form.
const char* RefusedDestinationLink();
// Lets go of the folders along the destination and removes those that its
// acceptance created (the chosen folder and its parents), deepest first,
// where they are empty.
void RemoveDestinationFolders();

// Fills NazwaProgramu and ProgramFiles (the Program Files folder through the
// shell) and writes Program Files\<product> into proposal (260 bytes).
// Windows only.
void ProposeDestination(char* proposal);
// The Program Files folder into buffer (260 bytes), "" when the shell
// cannot name it. Windows only.
void ProgramFilesFolder(char* buffer);

#endif
