// The section loop: reads one section from the package handle's position,
// writes its files below a target folder and checks the section's checksum;
// a failed section takes back what it wrote and shows nothing to the user.
#ifndef BRONDALE_PACKAGE_SECTION_H
#define BRONDALE_PACKAGE_SECTION_H

#include <cstddef>

#include "package/state.h"
#include "platform/win32api.h"

// The longest member path (line) of the section at the package handle's
// position and the longest folder part of one (the line up to its last
// backslash, 0 for a file at the top), without writing anything but the
// scratch path list; the handle is put back where it was.
SectionResult LongestPaths(HANDLE package, size_t* longestPath, size_t* longestFolder);

// Extracts one section below target. On any failure everything the section
// wrote is removed again and the reason is returned; nothing is shown. The
// program section first reads the earlier installation's list, which stays
// held for the finish when the section succeeds (package/earlier.h).
SectionResult ExtractSection(const char* target, unsigned short mode, HANDLE package);

#endif
