// Reading a product folder: lang/, install/ and program/ become the three
// sections, with names converted to the package's ANSI code page (ToCodePage
// of pack/platform.h). A file goes into a section only when the installer can
// write it back under its name, as the only file of that name on Windows.
#ifndef BRONDALE_PACK_PRODUCT_H
#define BRONDALE_PACK_PRODUCT_H

#include <string>
#include <vector>

#include "pack/finding.h"
#include "pack/platform.h"
#include "pack/writer.h"

// Fills sections[0..2] from productDir, each sorted by converted name, so
// the same folder always gives the same package. Every problem goes to
// findings, all of them in one pass: an error for each file that cannot be
// packed (a name the installer cannot write or outside the code page, a
// link that leaves the product folder or leads nowhere, two names Windows
// takes for one), a warning for what is left out or read through a link,
// and for a missing install/ or program/. Returns false with *error only
// when productDir is not a folder that can be read.
bool ReadProduct(const std::string& productDir, int codePage, std::vector<SectionFile> sections[3],
                 std::vector<Finding>* findings, std::string* error);

// A section file's bytes: read from its source, or the bytes it carries.
// A source that cannot be read gives "".
std::string FileContent(const SectionFile& f);

#endif
