// The section reader's shared vocabulary and state: what a section's
// extraction can end in, the extraction modes, and the function-local
// statics that every part of the reader reaches through these accessors.
#ifndef BRONDALE_PACKAGE_STATE_H
#define BRONDALE_PACKAGE_STATE_H

#include <atomic>
#include <cstdint>

#include "platform/win32api.h"

enum SectionResult {
    kSectionOk,
    kSectionDamaged,      // the package is damaged: format, stream, path or checksum
    kSectionWriteFailed,  // the package may be whole; a file could not be written
    kSectionNoMemory,     // the offset table or the record could not be allocated
    kSectionStopped,      // a stop was requested; what the section wrote is gone
    kSectionLink,         // a link or junction stands where a folder or file goes
    kSectionCancelled,    // the user cancelled at a file in use
};

// Extraction modes.
const unsigned short kModePlain = 0;
const unsigned short kModeScrambled = 2;

// The path that the last kSectionLink (or file in use) was about.
char* RefusedPath();

// Set to 1 (by the interface thread) to stop the extraction under way on the
// worker; looked at between blocks. Atomic, because the two threads share it
// without a lock.
std::atomic<unsigned char>* StopExtraction();

// Size and CRC-32 (zlib's) of the bytes that the last dekompresjagz call
// wrote, as far as it got; the section reader copies them into the record
// of written files.
struct MemberSum {
    uint32_t size;
    uint32_t crc;
};
MemberSum* LastMemberSum();

// Work buffer of 260 bytes: the magic while the header is read, then the
// current path-list line and its output path.
char* tmp();
// The section magic "GZC" as text.
const char* header();
// Member count of the section being extracted, path list included.
uint32_t* IlePlikow();
// The running checksum. With query false the byte is added; the pointer lets
// the caller read the sum or reset it to 0.
uint64_t* crc32(unsigned char byte, bool query);

#endif
