// File-system helpers shared by the whole installer: creating a chain of
// folders and emptying a folder recursively. Results of single deletions are
// not reported; what cannot be deleted stays where it is.
#ifndef BRONDALE_BASE_FILES_H
#define BRONDALE_BASE_FILES_H

// Creates every folder along path up to its last backslash; the text after
// it is never created. When created is given, it is called with each folder
// that this call created (not with those that already existed).
void CreateBaseDirectory(const char* path, void (*created)(const char* folder) = nullptr);

// Deletes everything inside dir and leaves dir itself. Returns 0 when dir
// cannot be listed (a file, or nothing of that name), else 1. A junction or
// symbolic link inside is removed as a link; what it points to is never
// entered.
unsigned short wyliczpliki(const char* dir);

// 1 for the directory entries "." and "..", 2 for every other name.
unsigned short katalog(const char* name);

#endif
