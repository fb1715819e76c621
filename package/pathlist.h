// The path list: member 0 of a section, decompressed into a scratch file and
// read back line by line. Every line must pass the member path rule, and the
// output path built from it must fit MAX_PATH, before anything is created.
#ifndef BRONDALE_PACKAGE_PATHLIST_H
#define BRONDALE_PACKAGE_PATHLIST_H

#include <cstddef>

#include "package/state.h"
#include "platform/win32api.h"

// Scratch file that holds the decompressed path list: SCRATCH\list.txt.
char* lista();

// Opens the path-list file for reading from its first line, forgetting what
// an earlier list left behind. INVALID_HANDLE_VALUE when it cannot be opened.
HANDLE OpenPathList();

// Reads the next path-list line from list into a 260-byte buffer. Returns 1
// for a line, 0 at the end of the list, -1 for a line that cannot be a path
// (a control character, a CR not followed by LF, more than 259 characters).
int ffscanf(HANDLE list, char* buffer);
// Reads the next line into tmp, checks it, turns tmp into target\line and
// creates the folders it needs. Returns kSectionOk or why not.
SectionResult dircat(HANDLE list, const char* target);

// The longest path that the finish writes below the destination:
// "\UnInstall\Language.lng".
const size_t kRecordSuffixLongest = 23;
// Whether a destination of destinationLength characters takes a section
// whose longest line and folder part are given, and the uninstall record:
// every path within 259 characters and every folder within 247.
bool RoomForPaths(size_t destinationLength, size_t longestPath, size_t longestFolder);

#endif
