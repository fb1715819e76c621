// One resource of a Windows program file, as the program file editor
// (peimage) reads and writes it and the resource tree's layout
// (resourcetree) places it.
#ifndef BRONDALE_PACK_RESOURCE_H
#define BRONDALE_PACK_RESOURCE_H

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// A resource type or name: a number, or a name (UTF-16) when named is set.
struct ResourceId {
    bool named = false;
    uint16_t id = 0;
    std::u16string name;
    bool operator==(const ResourceId& o) const { return named == o.named && id == o.id && name == o.name; }
};

struct Resource {
    ResourceId type, name;
    uint16_t language = 0;
    uint32_t codePage = 0;
    Bytes data;
};

#endif
