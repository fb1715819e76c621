// Member inflate: one member of a section, a complete gzip stream, inflated
// straight from the package handle into its output file. The stream must
// fill its member exactly; zlib checks its CRC-32 and length.
#ifndef BRONDALE_PACKAGE_MEMBER_H
#define BRONDALE_PACKAGE_MEMBER_H

#include <cstdint>

#include "package/state.h"
#include "platform/win32api.h"

// Decompresses one member of memberSize bytes from the package handle into
// output (INVALID_HANDLE_VALUE to only verify), descrambling in mode 2 and
// summing every byte written. The member must be one clean gzip stream that
// fills it exactly.
// index is the member's number in its section (0 for the path list); it
// drives the section bar of the progress report.
SectionResult dekompresjagz(HANDLE package, uint32_t memberSize, HANDLE output, unsigned short mode,
                            uint32_t index);

#endif
