// Names in the system's ANSI code page, which every path of the elevated
// programs is written in (Windows only). Windows hands an ANSI program a
// name the code page cannot write with letters replaced by "?" or by a
// look-alike ("Łukasz" read as "Lukasz" on an English system): a different
// name, possibly of someone else's folder. Here a name converts letter for
// letter, or it does not convert at all.
#ifndef BRONDALE_TRUST_CODEPAGE_H
#define BRONDALE_TRUST_CODEPAGE_H

#include <windows.h>

#include <cstddef>

#include "trust/tempfolder.h"

// Writes wide in the ANSI code page into out (size bytes). True only when
// every letter is written exactly and converts back to itself; otherwise
// out is "".
bool ExactInCodePage(const WCHAR* wide, char* out, size_t size);

// True when destination, as the switches took it from the ANSI command
// line, is what the command line itself ends with (the /D= switch runs to
// its end): false when the code page could not write a letter of it and
// the system replaced or approximated that letter.
bool DestinationArgumentExact(const char* destination);

// The temporary folder this run may make its private folders in, ending in
// a backslash, into out (size bytes): the user's temporary folder when the
// code page writes its name, else its short form when that is written, else
// the Windows temporary folder (ChooseTempFolder). Logs which one and why.
TempSource UsableTempFolder(char* out, size_t size);

#endif
