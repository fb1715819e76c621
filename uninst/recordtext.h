// The uninstall record and the file list read from their bytes in memory:
// the very bytes whose digests the uninstaller checked, never the file again.
// Values are found as the system's private-profile functions find them in a
// file. Nothing here calls the system, so both builds test it.
#ifndef BRONDALE_UNINST_RECORDTEXT_H
#define BRONDALE_UNINST_RECORDTEXT_H

#include <string>
#include <vector>

#include "uninst/record.h"

// The value of key in the first [section] of an INI text, as
// GetPrivateProfileStringA with a 1024-byte buffer gives it: section and key
// names without regard to case, blanks around them and the value dropped,
// one pair of enclosing quotes (" or ') removed, the value cut to 1023
// bytes. "" with *present false when the section or the key is missing.
std::string ProfileValue(const std::string& text, const char* section, const char* key, bool* present = nullptr);

// Fills *record (cleared first) from the text of UnInst.cfg: [lnk] and [reg]
// from 1 to "max", [sub] beside [reg], [RunU] from 1 to one less than [maxU]
// "1"; empty entries are skipped, and counts are bounded to 0..10000.
void ParseRecord(const std::string& text, UninstallRecord* record);

// The files of the text of Files.lst; lines that do not parse are skipped.
std::vector<ListedFile> ParseFileList(const std::string& text);

#endif
