// The section reader: reads one section from the package handle's current
// position, writes its files below a target folder, verifies every member's
// stream and the section's checksum, and takes back what it wrote when the
// section turns out damaged.
#ifndef BRONDALE_PACKAGE_EXTRACT_H
#define BRONDALE_PACKAGE_EXTRACT_H

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

// The path that the last kSectionLink (or file in use) was about.
char* SciezkaOdmowy();

// Progress of the program section: called with a bar's whole-number
// percentage (bar false: the section, true: the member being written), only
// while *PaczkaZProgramem() is set and only when that bar's value changes.
typedef void (*ProgressReport)(short value, bool bar);
ProgressReport* RaportPostepu();
// Set to 1 to stop the extraction under way; looked at between blocks.
unsigned char* ZatrzymajRozpakowywanie();

// Extraction modes.
const unsigned short kModePlain = 0;
const unsigned short kModeScrambled = 2;

// Size and CRC-32 (zlib's) of the bytes that the last dekompresjagz call
// wrote, as far as it got; the section reader copies them into the record
// of written files.
struct MemberSum {
    uint32_t size;
    uint32_t crc;
};
MemberSum* SumaCzlonka();

// Work buffer of 260 bytes: the current path-list line, then its output path.
char* tmp();
// The section magic "GZC" as text.
const char* header();
// Member count of the section being extracted, path list included.
uint32_t* IlePlikow();
// The running checksum. With query false the byte is added; the pointer lets
// the caller read the sum or reset it to 0.
uint64_t* crc32(unsigned char byte, bool query);
// Scratch file that holds the decompressed path list: SCRATCH\list.txt.
char* lista();

// Reads the next path-list line from list into a 260-byte buffer. Returns 1
// for a line, 0 at the end of the list, -1 for a line that cannot be a path
// (a control character, a CR not followed by LF, more than 259 characters).
int ffscanf(HANDLE list, char* buffer);
// Reads the next line into tmp, checks it, turns tmp into target\line and
// creates the folders it needs. Returns kSectionOk or why not.
SectionResult dircat(HANDLE list, const char* target);

// Decompresses one member of memberSize bytes from the package handle into
// output (INVALID_HANDLE_VALUE to only verify), descrambling in mode 2 and
// summing every byte written. The member must be one clean gzip stream that
// fills it exactly.
// index is the member's number in its section (0 for the path list); it
// drives the section bar of the progress report.
SectionResult dekompresjagz(HANDLE package, uint32_t memberSize, HANDLE output, unsigned short mode,
                            uint32_t index);

// Makes way at path for a file that this run will create there with
// CREATE_NEW: nothing there is fine; a link or junction is refused (never
// followed); a file is moved aside under a hidden kept name in its folder
// and recorded, asking Retry or Cancel while another program holds it.
SectionResult ZrobMiejsce(const char* path);
// The question for a file that another program holds: true for Retry. The
// one place where the extraction asks the user anything; a silent run
// answers Cancel.
bool PlikWUzyciu(const char* path);

// The longest member path (line) of the section at the package handle's
// position and the longest folder part of one (the line up to its last
// backslash, 0 for a file at the top), without writing anything but the
// scratch path list; the handle is put back where it was.
SectionResult NajdluzszeSciezki(HANDLE package, size_t* longestPath, size_t* longestFolder);

// The longest path that the finish writes below the destination:
// "\UnInstall\Language.lng".
const size_t kRecordSuffixLongest = 23;
// Whether a destination of destinationLength characters takes a section
// whose longest line and folder part are given, and the uninstall record:
// every path within 259 characters and every folder within 247.
bool MiejsceNaSciezki(size_t destinationLength, size_t longestPath, size_t longestFolder);

// Extracts one section below target. On any failure everything the section
// wrote is removed again and the reason is returned; nothing is shown.
SectionResult RozpakujSekcje(const char* target, unsigned short mode, HANDLE package);
// The same, reporting a failure to the user and the pages; returns the
// result.
SectionResult Rozpakowanie(char* target, unsigned short mode, HANDLE package);
// Locates the package and extracts the Lang and Install sections.
void RozpakujJezyki();

// The damaged-package report: message, error flag, close request to page 0.
void Error_1();
// The same for a package that is whole but whose files cannot be written
// (a full disk, a read-only folder): telling the user the package is
// damaged would send them looking in the wrong place.
void BladZapisu();
// Memory that could not be had (text ID 19).
void BrakPamieci();
// Reports a failed section's result to the user and the pages: the one
// place that shows what went wrong (nothing for kSectionOk and a stop; a
// cancel at a file in use ends the wizard without a message).
void ZglosWynik(SectionResult result);
const char kWriteFailureText[] = "The files cannot be written. The disk may be full or the folder read-only.";

#endif
