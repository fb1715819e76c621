// Checks of a product's configuration: every mistake the installer would
// pass over silently, with file, section and key. Errors stop a build;
// warnings are printed and the build goes on.
#ifndef BRONDALE_PACK_LINT_H
#define BRONDALE_PACK_LINT_H

#include <string>
#include <vector>

#include "pack/writer.h"

struct Finding {
    bool error;
    std::string where;  // "init.cfg [Run] 3"
    std::string message;
};

// sections as ReadProduct gives them (names in the package's code page);
// the Install section's files are read through their sources.
std::vector<Finding> LintProduct(const std::vector<SectionFile> sections[3]);

// Prints findings to stderr, each on a line of its own, and flushes it;
// returns how many are errors.
int PrintFindings(const std::vector<Finding>& findings);

#endif
