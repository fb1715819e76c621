// What the packing tool has to say about a product or a package: findings
// (errors stop a build, warnings do not) and the one way it prints any name
// or value taken from them, with control characters escaped, so that a name
// in a package can never move the cursor or recolour a terminal.
#ifndef BRONDALE_PACK_FINDING_H
#define BRONDALE_PACK_FINDING_H

#include <string>
#include <vector>

struct Finding {
    bool error;
    std::string where;  // "init.cfg [Run] 3", "program/bin/tool.exe"
    std::string message;
};

// text with every control character (below 0x20, 0x7F, and U+0080 to
// U+009F written in UTF-8) replaced by \xHH; everything else unchanged.
std::string Printable(const std::string& text);

// Prints findings to stderr, each on a line of its own ("error: where:
// message", escaped), and flushes it; returns how many are errors.
int PrintFindings(const std::vector<Finding>& findings);

// How many of findings are errors.
int CountErrors(const std::vector<Finding>& findings);

#endif
