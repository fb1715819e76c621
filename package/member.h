// Member inflate: one member of a section, a complete gzip stream, inflated
// from the package handle into its output file or into memory, or compared
// with a file already there. The stream must fill its member exactly; zlib
// checks its CRC-32 and length.
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
SectionResult dekompresjagz(HANDLE package, uint32_t memberSize, HANDLE output, unsigned short mode, uint32_t index);
// The same into block, of capacity bytes: *size gets the member's size. A
// member that fills the whole block is refused as damaged, so a block one
// byte larger than the trailer's claim takes every whole member.
SectionResult InflateToMemory(HANDLE package, uint32_t memberSize, unsigned short mode, uint32_t index,
                              unsigned char* block, DWORD capacity, DWORD* size);
// Inflates the member as dekompresjagz does, comparing its bytes with file
// from file's position on: *same when file holds exactly those bytes and
// ends with them. When it does not (and the result is kSectionOk), the
// package handle and the running checksum are put back as they were before
// the member, so that it can be inflated again into a file of its own.
SectionResult CompareMember(HANDLE package, uint32_t memberSize, HANDLE file, unsigned short mode, uint32_t index,
                            bool* same);
// The CRC-32 (crc may be null) and ISIZE that the member's gzip trailer
// claims, read without moving the handle; false when they cannot be read.
// Only a whole inflation shows that the member keeps the claim.
bool MemberTrailer(HANDLE package, uint32_t memberSize, uint32_t* crc, uint32_t* isize);

#endif
