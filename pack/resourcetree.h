// The layout of a resource section, as the program file editor (peimage)
// writes it: all directories first, sorted as the loader searches them, then
// the data entries, the names and the data, each piece aligned, as resource
// compilers lay it out. The same resources give the same bytes.
#ifndef BRONDALE_PACK_RESOURCETREE_H
#define BRONDALE_PACK_RESOURCETREE_H

#include <cstdint>
#include <string>
#include <vector>

#include "pack/resource.h"

// The section's bytes for resources placed at address rva. False with a
// message when two resources share a type, name and language, or when the
// format's 16-bit counts and lengths cannot hold them.
bool LayOutResources(const std::vector<Resource>& resources, uint32_t rva, Bytes* out, std::string* error);

#endif
