// The resources of a Windows program file (PE32 or PE32+), read and written
// by the packing tool itself, byte for byte the same on every build. Writing
// never moves what is there: the new resource tree goes into a section
// appended after everything the file holds, and only the headers change
// (section count, image size, resource directory, checksum 0), so code,
// imports, relocations and the old section's bytes stay where they were.
//
// Why an editor of its own rather than a PE library (LIEF, say): the tool is
// built twice, natively and as a 32-bit Windows program, and both builds must
// write the same bytes. A library would have to be built for both targets and
// write its tree, alignment and headers identically in each; these 300 lines
// of plain byte arithmetic do so by construction, on a program this project
// builds itself. The tests read the result back with a reader of their own
// and with Windows' version functions under Wine.
#ifndef BRONDALE_PACK_PEIMAGE_H
#define BRONDALE_PACK_PEIMAGE_H

#include <cstdint>
#include <string>
#include <vector>

#include "pack/resource.h"

const uint16_t kResourceIcon = 3;
const uint16_t kResourceGroupIcon = 14;
const uint16_t kResourceVersion = 16;

// True when image is a Windows program file this editor understands.
bool IsProgramImage(const Bytes& image);

// Every resource of image, in the order of its directory. False with a
// message when image is not a program file or its resource tree is damaged
// (an empty list when it has none).
bool ReadResources(const Bytes& image, std::vector<Resource>* resources, std::string* error);

// image with its resources replaced by resources: out is image, its headers
// changed, followed by a new section holding the directory (sorted as the
// loader searches it) and the data. False with a message when image is no
// program file, carries a signature, or has no room for another section
// header.
bool WriteResources(const Bytes& image, const std::vector<Resource>& resources, Bytes* out, std::string* error);

#endif
