// Checks that concern a text file of the product as a whole: sections and
// keys the installer never reads (a misspelt [Runs] or [lang] is ignored
// without a word), text saved in another encoding than the package's code
// page, and language files that lack texts the installer or uninstaller
// shows.
#ifndef BRONDALE_PACK_LINTFILES_H
#define BRONDALE_PACK_LINTFILES_H

#include <string>
#include <vector>

#include "pack/finding.h"
#include "pack/ini.h"

enum TextFileKind { kInitFile, kLnkFile, kRegFile, kLanguageFile };

// A warning for each section of ini that kind of file does not have, and
// for each key of a known section that is never read; file names the file
// in the findings ("init.cfg", "lang/English.lng").
void CheckNames(const Ini& ini, TextFileKind kind, const std::string& file, std::vector<Finding>* findings);

// Findings for text that is not written in the single-byte code page
// codePage: a file in UTF-16; lines in UTF-8 (which the installer would read
// as two wrong characters a letter), one finding for a file in UTF-8 as a
// whole, else one a line; lines with a byte that has no character in the
// code page. In a configuration file (configuration set) UTF-8 outside
// comments and bytes without a character are errors, since they reach the
// registry and the installer's own file; elsewhere warnings.
void CheckEncoding(const std::string& bytes, const std::string& file, int codePage, bool configuration,
                   std::vector<Finding>* findings);

// A warning listing the text IDs that the language file lacks.
void CheckLanguageTexts(const Ini& lng, const std::string& file, std::vector<Finding>* findings);

#endif
