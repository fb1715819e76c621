// What the packing tool has to say about a product or a package: findings
// (errors stop a build, warnings do not) and the one way it prints any name
// or value taken from them. Everything it prints is UTF-8: names from a
// package are converted from the package's code page first, and control
// characters (C0, DEL, C1) and bytes that are no UTF-8 are escaped, so that
// a name in a package can never move the cursor or recolour a terminal.
#ifndef BRONDALE_PACK_FINDING_H
#define BRONDALE_PACK_FINDING_H

#include <string>
#include <vector>

struct Finding {
    bool error;
    std::string where;  // "init.cfg [Run] 3", "program/bin/tool.exe"
    std::string message;
    unsigned line = 0;  // the line of the file, when the finding is about one
};

// Where a finding points, taken apart: the file below the product folder
// ("install/init.cfg"), the section and key when there are any.
struct FindingPlace {
    std::string file, section, key;
};
FindingPlace PlaceOf(const Finding& finding);

// The length of the UTF-8 character at text[i], or 0 when the bytes there
// are not one (a stray continuation byte, an overlong form, a surrogate, a
// character cut short).
size_t Utf8Length(const std::string& text, size_t i);

// text with every control character (below 0x20, 0x7F, and U+0080 to
// U+009F written in UTF-8) and every byte that is not part of a UTF-8
// character replaced by \xHH; everything else unchanged.
std::string Printable(const std::string& text);

// text, in the ANSI code page codePage, as UTF-8. A byte that has no
// character in the code page stays as it is (Printable escapes it).
std::string FromPackage(const std::string& text, int codePage);

// The findings' texts converted from the code page (FromPackage).
void FindingsFromPackage(std::vector<Finding>* findings, int codePage);

// Prints findings to stderr, each on a line of its own ("error: where:
// message", or "error: where:line: message", escaped), and flushes it;
// returns how many are errors.
int PrintFindings(const std::vector<Finding>& findings);

// How many of findings are errors.
int CountErrors(const std::vector<Finding>& findings);

#endif
