// Checks of a product's configuration: every mistake the installer would
// pass over silently, with file, section and key. Errors stop a build;
// warnings are printed and the build goes on.
#ifndef BRONDALE_PACK_LINT_H
#define BRONDALE_PACK_LINT_H

#include <string>
#include <vector>

#include "pack/finding.h"
#include "pack/writer.h"

// sections as ReadProduct gives them (names in codePage, the package's code
// page); the Install and Lang sections' files are read through their
// sources. Every finding of every check, in one list.
std::vector<Finding> LintProduct(const std::vector<SectionFile> sections[3], int codePage);

#endif
