// The journal's text: what a run writes into DEST\UnInstall\UnInst.jnl before
// each step, and how the next run reads it back. One record a line, its
// fields separated by tabs and followed by a tab and the CRC-32 of the line
// before it (eight hexadecimal digits), then CR LF. A line whose CRC does not
// check ends the journal there: it was torn by a power cut before its step
// was taken.
//
//   BDJ  1  I|R  destination  product key  process  made  the header, first
//                                              (made: 1 when this run created the record folder)
//   D  folder                                  a folder this run is about to create (found missing)
//   P  path                                    a file this run is about to create new
//   F  path  index-high  index-low             ... created: its identity (the file index)
//   K  path  kept  attributes                  path is about to move to kept
//   U  path  kept                              ... it did not (the move failed)
//   V  root  key  name  existed  type  data    a registry value before it is set
//   N  root  key                               a registry key that did not exist
//   C                                          the commit began: kept copies go
//   G                                          a removal: the record's files go now
//
// Numbers are hexadecimal; a value's data is hexadecimal bytes; root is the
// index of base/installed.h's kRegistryRoots.
#ifndef BRONDALE_PACKAGE_JOURNALFORMAT_H
#define BRONDALE_PACKAGE_JOURNALFORMAT_H

#include <cstddef>
#include <cstdint>

#include "platform/win32api.h"

// The journal's file name in the record folder.
const char kJournalFile[] = "UnInst.jnl";
// The header's first field and the format's version.
const char kJournalMagic[] = "BDJ";
const char kJournalVersion[] = "1";

// What the run that wrote a journal was doing.
const char kJournalInstall = 'I';
const char kJournalRemoval = 'R';

// Longest line: a type, two paths of 259 characters and four numbers, or a
// registry value of up to kJournalValueBytes bytes as hexadecimal digits
// (a larger value is not journaled, and so not changed).
const size_t kJournalValueBytes = 16384;
const size_t kJournalLineSize = 2 * kJournalValueBytes + 2 * 260 + 64;
// A line of a file or a folder, which has no value in it.
const size_t kJournalPathLineSize = 2 * 260 + 64;

// One record as read back: fields point into the journal's text.
struct JournalRecord {
    char type;              // one of "DPFKUVNCG"
    const char* path;       // D P F K U: the path; V N: the key
    const char* second;     // K U: the kept name; V: the value's name
    uint32_t number[3];     // F: index high, index low; K: attributes; V: root, existed, type; N: root
    const char* data;       // V: the data as hexadecimal digits
};

struct ParsedJournal {
    char kind;                // kJournalInstall or kJournalRemoval
    const char* destination;  // the folder the run worked in
    const char* productKey;   // its product's Uninstall key path, "" when it had none
    uint32_t process;         // the id of the process that wrote it
    bool madeRecordFolder;    // the run created the record folder the journal lies in
    JournalRecord* records;   // in the order they were written
    size_t count;
    bool torn;                // a line did not check: the records stop before it
};

// Builds one line of count fields into out (size bytes) with its CRC and line
// end. Returns its length; 0 when it does not fit or a field holds a tab or
// a line break.
size_t JournalLine(char* out, size_t size, const char* const* fields, int count);

// Parses text (size bytes, changed in place: fields are cut out of it) into
// *journal. False when the first line is not a header of this format, or
// memory ran out; records that do not parse end the list (torn).
bool ParseJournal(char* text, size_t size, ParsedJournal* journal);
// Whether text (as ParseJournal left it) holds no whole first line at all:
// a journal whose run stopped while writing its header, before any step.
bool JournalHeaderTorn(const char* text, size_t size);
void FreeJournal(ParsedJournal* journal);

// The registry root of an index of kRegistryRoots; null past them.
HKEY RegistryRootKey(uint32_t index);

// Hexadecimal bytes into out (2 * size + 1 bytes) and back; Unhex answers
// the number of bytes, or -1 for a text that is not whole pairs of digits.
void HexBytes(const unsigned char* bytes, size_t size, char* out);
long UnhexBytes(const char* text, unsigned char* out, size_t room);

#endif
