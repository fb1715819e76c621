// INI text in memory, read and changed by the rules of the system's
// private-profile functions, for the code that does not ask the system: the
// packing tool, the uninstaller reading the very bytes whose digest it
// checked, and the record copy the installer seals. Nothing here calls the
// platform, so the packing tool links it without the POSIX stand-in.
//
// The rules. Lines end at LF. Blanks (space, tab, CR) around a line, a name
// and a value are dropped. An empty line or one starting with ';' is a
// comment; "[name]" opens a section (a header without "]" runs to the end of
// its line); "key=value" is an entry, everything after the first "=" its
// value; a line without "=" is a key without a value, which reads as
// missing; lines before the first section belong to none. Section and key
// names match without regard to ASCII case, and only the first section of a
// name, and within it the first key of a name, count. One pair of enclosing
// quotes (" or ') is removed from a value.
#ifndef BRONDALE_BASE_INI_H
#define BRONDALE_BASE_INI_H

#include <cstddef>
#include <cstring>

// length bytes of text (not terminated).
struct IniSpan {
    const char* text;
    size_t length;
};

inline IniSpan IniSpanOf(const char* text) { return IniSpan{text, strlen(text)}; }

enum IniLineKind {
    kIniComment,  // empty, or starting with ';'
    kIniSection,  // name: the section's name
    kIniEntry,    // name and value
    kIniKeyOnly,  // name: a key without "=" and so without a value
};

struct IniLine {
    IniLineKind kind;
    IniSpan name;   // trimmed; empty for a comment
    IniSpan value;  // kIniEntry: trimmed, one pair of enclosing quotes removed
    size_t start;   // offset of the line's first byte in the text
    size_t end;     // offset of its LF, or the text's length on the last line
};

// Reads the line of text that starts at offset *at (less than text.length)
// and moves *at past its LF.
void IniReadLine(IniSpan text, size_t* at, IniLine* line);

// Finds the first section named section; its body (the lines after its
// header, up to the next header) goes to *body. False when there is none.
bool IniFindSection(IniSpan text, IniSpan section, IniSpan* body);

enum IniVerdict {
    kIniFound,    // *value holds the value
    kIniNoValue,  // the key stands without "=": read as missing
    kIniMissing,  // no such section, or no such key in it
};

// The first key named key in a section's body (IniFindSection).
IniVerdict IniFindKey(IniSpan body, IniSpan key, IniSpan* value);
// IniFindSection, then IniFindKey.
IniVerdict IniFind(IniSpan text, IniSpan section, IniSpan key, IniSpan* value);

// A value as the system's string read delivers it into a buffer of size
// bytes (size > 0): cut to size - 1 bytes and always terminated. Returns the
// bytes copied.
size_t IniCopy(IniSpan value, char* out, size_t size);

// A value as the system's integer read takes it: the leading decimal digits
// (after blanks and a sign), 0 when there are none; def when the value is
// empty. Past the range of long it stays at the nearest end.
long IniInteger(IniSpan value, long def);

// The bytes that one IniSet of these names and value may add at most.
size_t IniSetRoom(const char* section, const char* key, const char* value);

// Sets key in section of the text of *size bytes in buffer (capacity bytes
// in all) as the system's profile write does: the first line of that key in
// the first section of that name becomes "key=value" where it stands; else
// the entry is added after the section's last line that is not empty; else
// "[section]" and the entry are added at the end. Lines it adds end in CR LF.
// False, with nothing changed, when the result would not fit capacity.
bool IniSet(char* buffer, size_t* size, size_t capacity, const char* section, const char* key, const char* value);

#endif
