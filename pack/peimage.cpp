// A small PE resource editor. Reading goes through Locate, which checks every
// range against the file before a byte is touched; a damaged tree is refused,
// never followed. The written tree puts all directories first, then the data
// entries, the names and the data, each piece aligned, as resource compilers
// lay it out.
#include "pack/peimage.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "base/format.h"

namespace {

struct Headers {
    size_t pe = 0, optional = 0, sections = 0, directories = 0;
    uint16_t count = 0;
    uint32_t fileAlignment = 0, sectionAlignment = 0, sizeOfHeaders = 0;
};

struct Section {
    uint32_t va = 0, virtualSize = 0, rawSize = 0, rawAt = 0;
};

uint64_t AlignUp(uint64_t v, uint32_t to) { return (v + to - 1) / to * to; }
bool PowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

bool ReadHeaders(const Bytes& image, Headers* h, std::string* error) {
    *error = "not a Windows program file";
    if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z')
        return false;
    h->pe = ReadLe32(&image[0x3C]);
    if (h->pe > image.size() - 24 || memcmp(&image[h->pe], "PE\0\0", 4) != 0)
        return false;
    h->count = ReadLe16(&image[h->pe + 6]);
    size_t optionalSize = ReadLe16(&image[h->pe + 20]);
    h->optional = h->pe + 24;
    h->sections = h->optional + optionalSize;
    if (optionalSize < 2 || h->sections > image.size())
        return false;
    uint16_t magic = ReadLe16(&image[h->optional]);
    if (magic != 0x10B && magic != 0x20B)
        return false;
    h->directories = h->optional + (magic == 0x10B ? 96 : 112);
    size_t countAt = h->directories - 4;
    if (h->directories > h->sections || ReadLe32(&image[countAt]) < 5 || h->directories + 5 * 8 > h->sections ||
        h->sections + 40 * static_cast<size_t>(h->count) > image.size())
        return false;
    h->sectionAlignment = ReadLe32(&image[h->optional + 32]);
    h->fileAlignment = ReadLe32(&image[h->optional + 36]);
    h->sizeOfHeaders = ReadLe32(&image[h->optional + 60]);
    if (!PowerOfTwo(h->sectionAlignment) || !PowerOfTwo(h->fileAlignment) || h->fileAlignment > h->sectionAlignment)
        return false;
    error->clear();
    return true;
}

Section SectionAt(const Bytes& image, const Headers& h, size_t i) {
    size_t at = h.sections + 40 * i;
    return Section{ReadLe32(&image[at + 12]), ReadLe32(&image[at + 8]), ReadLe32(&image[at + 16]),
                   ReadLe32(&image[at + 20])};
}

// The file offset of size bytes at rva, all inside one section's raw data.
bool Locate(const Bytes& image, const Headers& h, uint32_t rva, uint32_t size, size_t* at) {
    for (size_t i = 0; i < h.count; ++i) {
        Section s = SectionAt(image, h, i);
        if (rva < s.va || rva - s.va >= s.rawSize || size > s.rawSize - (rva - s.va))
            continue;
        uint64_t offset = static_cast<uint64_t>(s.rawAt) + (rva - s.va);
        if (offset + size > image.size())
            return false;
        *at = static_cast<size_t>(offset);
        return true;
    }
    return false;
}

// The resource tree being read: its base and how many entries are left to
// read before it counts as hostile.
struct TreeReader {
    const Bytes* image;
    const Headers* h;
    uint32_t base;
    size_t budget = 1 << 16;
    std::vector<Resource>* out;
};

bool ReadId(TreeReader* t, uint32_t field, ResourceId* id) {
    if (!(field & 0x80000000u)) {
        id->id = static_cast<uint16_t>(field);
        return field <= 0xFFFF;
    }
    size_t at = 0;
    uint32_t where = t->base + (field & 0x7FFFFFFFu);
    if (!Locate(*t->image, *t->h, where, 2, &at))
        return false;
    uint16_t length = ReadLe16(&(*t->image)[at]);
    if (!Locate(*t->image, *t->h, where + 2, 2u * length, &at))
        return false;
    id->named = true;
    for (uint16_t i = 0; i < length; ++i)
        id->name += static_cast<char16_t>(ReadLe16(&(*t->image)[at + 2 * i]));
    return true;
}

// One directory at offset of the tree, depth 0 (types), 1 (names) or 2
// (languages); path holds the type and name above it.
bool ReadDirectory(TreeReader* t, uint32_t offset, int depth, Resource* path) {
    size_t at = 0;
    if (!Locate(*t->image, *t->h, t->base + offset, 16, &at))
        return false;
    uint32_t entries = static_cast<uint32_t>(ReadLe16(&(*t->image)[at + 12])) + ReadLe16(&(*t->image)[at + 14]);
    if (entries > t->budget || !Locate(*t->image, *t->h, t->base + offset + 16, 8 * entries, &at))
        return false;
    t->budget -= entries;
    for (uint32_t e = 0; e < entries; ++e) {
        uint32_t nameField = ReadLe32(&(*t->image)[at + 8 * e]), dataField = ReadLe32(&(*t->image)[at + 8 * e + 4]);
        ResourceId id;
        if (!ReadId(t, nameField, &id) || (depth < 2) != ((dataField & 0x80000000u) != 0))
            return false;
        if (depth == 0)
            path->type = id;
        else if (depth == 1)
            path->name = id;
        if (depth < 2) {
            if (!ReadDirectory(t, dataField & 0x7FFFFFFFu, depth + 1, path))
                return false;
            continue;
        }
        size_t entry = 0, data = 0;
        if (id.named || !Locate(*t->image, *t->h, t->base + dataField, 16, &entry))
            return false;
        uint32_t rva = ReadLe32(&(*t->image)[entry]), size = ReadLe32(&(*t->image)[entry + 4]);
        if (!Locate(*t->image, *t->h, rva, size, &data))
            return false;
        Resource r = *path;
        r.language = id.id;
        r.codePage = ReadLe32(&(*t->image)[entry + 8]);
        r.data.assign(t->image->begin() + static_cast<long>(data), t->image->begin() + static_cast<long>(data + size));
        t->out->push_back(r);
    }
    return true;
}

// Order of entries in a directory: names first (compared in upper case),
// then numbers, as the loader's binary search expects.
bool Before(const ResourceId& a, const ResourceId& b) {
    if (a.named != b.named)
        return a.named;
    if (!a.named)
        return a.id < b.id;
    auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
    return std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
                                        [&](char16_t x, char16_t y) { return upper(x) < upper(y); });
}

struct Key {
    ResourceId id;
    bool operator<(const Key& o) const { return Before(id, o.id); }
};
using Tree = std::map<Key, std::map<Key, std::map<uint16_t, const Resource*>>>;

// Lays out tree at rva: directories, data entries, names, data.
Bytes BuildTree(const Tree& tree, uint32_t rva) {
    size_t directories = 16 + 8 * tree.size(), entries = 0, names = 0;
    for (const auto& type : tree) {
        directories += 16 + 8 * type.second.size();
        names += type.first.id.named ? 2 + 2 * type.first.id.name.size() : 0;
        for (const auto& name : type.second) {
            directories += 16 + 8 * name.second.size();
            entries += name.second.size();
            names += name.first.id.named ? 2 + 2 * name.first.id.name.size() : 0;
        }
    }
    Bytes out(AlignUp(directories + 16 * entries + names, 8), 0);
    size_t nextDirectory = 0, nextEntry = directories, nextName = directories + 16 * entries;
    auto directory = [&](size_t count) {
        size_t at = nextDirectory;
        WriteLe16(&out[at + 14], static_cast<uint16_t>(count));
        nextDirectory += 16 + 8 * count;
        return at;
    };
    auto name = [&](const ResourceId& id, size_t slot, size_t* namedCount) {
        if (!id.named)
            return WriteLe32(&out[slot], id.id);
        ++*namedCount;
        WriteLe32(&out[slot], 0x80000000u | static_cast<uint32_t>(nextName));
        WriteLe16(&out[nextName], static_cast<uint16_t>(id.name.size()));
        for (size_t i = 0; i < id.name.size(); ++i)
            WriteLe16(&out[nextName + 2 + 2 * i], id.name[i]);
        nextName += 2 + 2 * id.name.size();
    };
    size_t root = directory(tree.size()), typeSlot = root + 16, namedTypes = 0;
    for (const auto& type : tree) {
        name(type.first.id, typeSlot, &namedTypes);
        size_t names1 = directory(type.second.size()), nameSlot = names1 + 16, namedNames = 0;
        WriteLe32(&out[typeSlot + 4], 0x80000000u | static_cast<uint32_t>(names1));
        for (const auto& n : type.second) {
            name(n.first.id, nameSlot, &namedNames);
            size_t languages = directory(n.second.size()), languageSlot = languages + 16;
            WriteLe32(&out[nameSlot + 4], 0x80000000u | static_cast<uint32_t>(languages));
            for (const auto& language : n.second) {
                const Resource* r = language.second;
                size_t data = out.size();
                out.resize(AlignUp(data + r->data.size(), 8), 0);
                std::copy(r->data.begin(), r->data.end(), out.begin() + static_cast<long>(data));
                WriteLe32(&out[languageSlot], language.first);
                WriteLe32(&out[languageSlot + 4], static_cast<uint32_t>(nextEntry));
                WriteLe32(&out[nextEntry], rva + static_cast<uint32_t>(data));
                WriteLe32(&out[nextEntry + 4], static_cast<uint32_t>(r->data.size()));
                WriteLe32(&out[nextEntry + 8], r->codePage);
                nextEntry += 16;
                languageSlot += 8;
            }
            nameSlot += 8;
        }
        WriteLe16(&out[names1 + 12], static_cast<uint16_t>(namedNames));
        typeSlot += 8;
    }
    WriteLe16(&out[root + 12], static_cast<uint16_t>(namedTypes));
    return out;
}

// Adds a section header for size bytes of data at rawAt; the caller appends
// the data. Returns the section's address, 0 when the headers have no room.
uint32_t AddSection(Bytes* image, const Headers& h, uint32_t size, uint32_t rawAt) {
    size_t at = h.sections + 40 * static_cast<size_t>(h.count);
    uint64_t end = 0;
    for (size_t i = 0; i < h.count; ++i) {
        Section s = SectionAt(*image, h, i);
        end = std::max<uint64_t>(end, static_cast<uint64_t>(s.va) + std::max(s.virtualSize, s.rawSize));
        if (s.rawSize != 0 && s.rawAt < at + 40)
            return 0;
    }
    uint64_t va = AlignUp(end, h.sectionAlignment);
    if (at + 40 > h.sizeOfHeaders || va + size > 0x7FFFFFFFu ||
        std::any_of(image->begin() + static_cast<long>(at), image->begin() + static_cast<long>(at + 40),
                    [](unsigned char b) { return b != 0; }))
        return 0;
    memcpy(&(*image)[at], ".rsrc\0\0\0", 8);
    WriteLe32(&(*image)[at + 8], size);
    WriteLe32(&(*image)[at + 12], static_cast<uint32_t>(va));
    WriteLe32(&(*image)[at + 16], static_cast<uint32_t>(AlignUp(size, h.fileAlignment)));
    WriteLe32(&(*image)[at + 20], rawAt);
    WriteLe32(&(*image)[at + 36], 0x40000040u);  // initialised data, readable
    WriteLe16(&(*image)[h.pe + 6], static_cast<uint16_t>(h.count + 1u));
    WriteLe32(&(*image)[h.optional + 56], static_cast<uint32_t>(AlignUp(va + size, h.sectionAlignment)));
    uint32_t initialised = ReadLe32(&(*image)[h.optional + 8]);
    WriteLe32(&(*image)[h.optional + 8], initialised + static_cast<uint32_t>(AlignUp(size, h.fileAlignment)));
    return static_cast<uint32_t>(va);
}

}  // namespace

bool IsProgramImage(const Bytes& image) {
    Headers h;
    std::string error;
    return ReadHeaders(image, &h, &error);
}

bool ReadResources(const Bytes& image, std::vector<Resource>* resources, std::string* error) {
    resources->clear();
    Headers h;
    if (!ReadHeaders(image, &h, error))
        return false;
    uint32_t base = ReadLe32(&image[h.directories + 16]), size = ReadLe32(&image[h.directories + 20]);
    if (base == 0 && size == 0)
        return true;
    TreeReader t{&image, &h, base, 1 << 16, resources};
    Resource path;
    if (!ReadDirectory(&t, 0, 0, &path)) {
        resources->clear();
        *error = "the program's resources are damaged";
        return false;
    }
    return true;
}

bool WriteResources(const Bytes& image, const std::vector<Resource>& resources, Bytes* out, std::string* error) {
    Headers h;
    if (!ReadHeaders(image, &h, error))
        return false;
    if (ReadLe32(&image[h.directories + 4 * 8 + 4]) != 0) {
        *error = "the program is signed: changing it would break the signature";
        return false;
    }
    Tree tree;
    for (const Resource& r : resources) {
        if (!tree[Key{r.type}][Key{r.name}].emplace(r.language, &r).second) {
            *error = "two resources of one type, name and language";
            return false;
        }
    }
    *out = image;
    uint32_t rawAt = static_cast<uint32_t>(AlignUp(image.size(), h.fileAlignment));
    // The address is known only once the section is added: lay out at 0
    // first for the size, then at the address.
    Bytes blob = BuildTree(tree, 0);
    uint32_t va = AddSection(out, h, static_cast<uint32_t>(blob.size()), rawAt);
    if (va == 0 || AlignUp(image.size(), h.fileAlignment) > 0xFFFFFFFFu - blob.size()) {
        *error = "the program has no room for another section header";
        return false;
    }
    blob = BuildTree(tree, va);
    // The old resource section keeps its bytes under another name.
    uint32_t oldBase = ReadLe32(&image[h.directories + 16]);
    for (size_t i = 0; i < h.count && oldBase != 0; ++i) {
        Section s = SectionAt(image, h, i);
        size_t at = h.sections + 40 * i;
        if (oldBase >= s.va && oldBase - s.va < std::max(s.virtualSize, s.rawSize) &&
            memcmp(&image[at], ".rsrc\0\0", 8) == 0)
            memcpy(&(*out)[at], ".oldrsrc", 8);
    }
    WriteLe32(&(*out)[h.directories + 16], va);
    WriteLe32(&(*out)[h.directories + 20], static_cast<uint32_t>(blob.size()));
    WriteLe32(&(*out)[h.optional + 64], 0);  // checksum: not needed outside drivers
    out->resize(rawAt, 0);
    out->insert(out->end(), blob.begin(), blob.end());
    out->resize(AlignUp(out->size(), h.fileAlignment), 0);
    return true;
}
