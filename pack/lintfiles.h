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

// A warning when bytes are not text in the single-byte code page codePage:
// UTF-16, or UTF-8 with letters beyond ASCII (which the installer would
// show as two wrong characters each).
void CheckEncoding(const std::string& bytes, const std::string& file, int codePage, std::vector<Finding>* findings);

// A warning listing the text IDs that the language file lacks.
void CheckLanguageTexts(const Ini& lng, const std::string& file, std::vector<Finding>* findings);

#endif
