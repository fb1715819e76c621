// Program files for the packing tool's PE fuzz targets and their seeds: a
// small sound program built in memory, a real program shrunk to a seed, and
// the byte encoding of a resource list that the resource writer's target
// decodes.
#ifndef BRONDALE_FUZZ_PROGRAM_H
#define BRONDALE_FUZZ_PROGRAM_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "pack/peimage.h"

// A sound program file with no resources. shape picks PE32 or PE32+ (bit
// 0), the file alignment, 512 to 4096 (bits 1 and 2), and one to four
// sections (bits 3 and 4).
Bytes SoundProgram(unsigned shape);

// program (a sound one) as a small seed: its own headers and section
// table, the sections' data left out, and its resources, each cut to 48
// bytes, written anew. Empty when program is not sound.
Bytes ShrunkProgram(const Bytes& program);

// A resource list as bytes: the shape byte of SoundProgram, then per
// resource a flags byte (bit 0 a named type, bit 1 a named name), the type
// and the name (a number of 2 bytes, or a length byte and as many UTF-16
// characters), the language and code page (2 bytes each), a length of 2
// bytes and the data. Decoding stops where the bytes end.
Bytes EncodeResources(unsigned shape, const std::vector<Resource>& resources);
void DecodeResources(const uint8_t* data, size_t size, unsigned* shape, std::vector<Resource>* resources);

// Resources by type, name and language (names as written; a number as
// "#id"), for comparing two lists whatever their order.
using ResourceMap = std::map<std::tuple<std::u16string, std::u16string, uint16_t>, std::pair<uint32_t, Bytes>>;
ResourceMap ByKey(const std::vector<Resource>& resources);

#endif
