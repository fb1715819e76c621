// Reading a product folder: lang/, install/ and program/ become the three
// sections, with names converted to the package's ANSI code page (ToCodePage
// of pack/platform.h).
#ifndef BRONDALE_PACK_PRODUCT_H
#define BRONDALE_PACK_PRODUCT_H

#include <string>
#include <vector>

#include "pack/platform.h"
#include "pack/writer.h"

// Fills sections[0..2] from productDir. Files come sorted by their converted
// name, so the same folder always gives the same package. Returns false with
// a message for what the installer could not read back.
bool ReadProduct(const std::string& productDir, int codePage, std::vector<SectionFile> sections[3],
                 std::string* error);

#endif
