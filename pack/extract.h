// Delivering a package's members for the packing tool's extract and plan,
// through the reader of pack/inspect.h: into a product folder, or the
// Install section into memory. Nothing is written from a damaged package.
#ifndef BRONDALE_PACK_EXTRACT_H
#define BRONDALE_PACK_EXTRACT_H

#include <string>
#include <utility>
#include <vector>

// Writes the three sections below folder: lang/, install/ (descrambled) and
// program/, names converted from the package's code page. The package is
// verified first; nothing is written unless it is sound. folder must not
// exist yet or be empty.
bool ExtractPackage(const std::string& path, const std::string& folder, int codePage, std::string* error);

// The Install section's files in memory (descrambled), by name.
bool ReadInstallSection(const std::string& path, std::vector<std::pair<std::string, std::string>>* files,
                        std::string* error);

#endif
