// A small PE resource editor. The headers are checked first: every section's
// data lies inside the file. Reading then goes through Locate, which checks
// every range against a section before a byte is touched; a damaged tree is
// refused, never followed, and no byte of the file is copied twice, so what
// is read stays within the file's size. The new tree is laid out by
// resourcetree.
#include "pack/peimage.h"

#include <algorithm>
#include <cstring>

#include "base/format.h"
#include "pack/resourcetree.h"

namespace {

// The loader maps at most 96 sections, and no file aligns its sections'
// data on more than 64 KiB: anything beyond is refused, which also bounds
// the work and the padding a hostile file can cause.
const size_t kMaxSections = 96;
const uint32_t kMaxFileAlignment = 0x10000;

struct Headers {
    size_t pe = 0, optional = 0, sections = 0, directories = 0;
    uint16_t count = 0;
    uint32_t fileAlignment = 0, sectionAlignment = 0, sizeOfHeaders = 0;
};

struct Section {
    uint32_t va = 0, virtualSize = 0, rawSize = 0, rawAt = 0;
};

enum class HeaderVerdict { Sound, NotProgram, Damaged };

uint64_t AlignUp(uint64_t v, uint32_t to) { return (v + to - 1) / to * to; }
bool PowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

Section SectionAt(const Bytes& image, const Headers& h, size_t i) {
    size_t at = h.sections + 40 * i;
    return Section{ReadLe32(&image[at + 12]), ReadLe32(&image[at + 8]), ReadLe32(&image[at + 16]),
                   ReadLe32(&image[at + 20])};
}

// "section 9 (.rsrc)": the number counts from 1; only printable ASCII of
// the name is shown.
std::string SectionLabel(const Bytes& image, const Headers& h, size_t i) {
    std::string name;
    for (size_t k = 0; k < 8 && image[h.sections + 40 * i + k] != 0; ++k) {
        unsigned char c = image[h.sections + 40 * i + k];
        name += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    return "section " + std::to_string(i + 1) + " (" + name + ")";
}

// Where the MZ header says the PE headers are; NotProgram when it names no
// PE signature inside the file.
HeaderVerdict FindPeHeader(const Bytes& image, Headers* h) {
    if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z')
        return HeaderVerdict::NotProgram;
    h->pe = ReadLe32(&image[0x3C]);
    if (h->pe > image.size() - 4 || memcmp(&image[h->pe], "PE\0\0", 4) != 0)
        return HeaderVerdict::NotProgram;
    return HeaderVerdict::Sound;
}

// The file and optional headers: every field this editor reads lies inside
// the headers, and the headers inside the file.
bool ReadOptionalHeader(const Bytes& image, Headers* h, std::string* problem) {
    *problem = "its headers are cut short";
    if (h->pe + 24 > image.size())
        return false;
    h->count = ReadLe16(&image[h->pe + 6]);
    size_t optionalSize = ReadLe16(&image[h->pe + 20]);
    h->optional = h->pe + 24;
    h->sections = h->optional + optionalSize;
    if (h->sections > image.size() || h->sections + 40 * static_cast<size_t>(h->count) > image.size())
        return false;
    uint16_t magic = optionalSize >= 2 ? ReadLe16(&image[h->optional]) : 0;
    h->directories = h->optional + (magic == 0x10B ? 96 : 112);
    if ((magic != 0x10B && magic != 0x20B) || h->directories + 5 * 8 > h->sections ||
        ReadLe32(&image[h->directories - 4]) < 5) {
        *problem = "its optional header is of no kind this tool knows";
        return false;
    }
    h->sectionAlignment = ReadLe32(&image[h->optional + 32]);
    h->fileAlignment = ReadLe32(&image[h->optional + 36]);
    h->sizeOfHeaders = ReadLe32(&image[h->optional + 60]);
    if (!PowerOfTwo(h->sectionAlignment) || !PowerOfTwo(h->fileAlignment) ||
        h->fileAlignment > h->sectionAlignment || h->fileAlignment > kMaxFileAlignment) {
        *problem = "its alignments are not powers of two up to 64 KiB";
        return false;
    }
    if (h->count > kMaxSections) {
        *problem = "it has " + std::to_string(h->count) + " sections, more than the 96 Windows loads";
        return false;
    }
    if (h->sizeOfHeaders > image.size()) {
        *problem = "its headers (" + std::to_string(h->sizeOfHeaders) + " bytes) run past the end of the file (" +
                   std::to_string(image.size()) + " bytes): is the file cut short?";
        return false;
    }
    if (h->sections + 40 * static_cast<size_t>(h->count) > h->sizeOfHeaders) {
        *problem = "its section table runs past its headers";
        return false;
    }
    return true;
}

// Every section's data inside the file and its addresses inside 4 GiB.
bool CheckSections(const Bytes& image, const Headers& h, std::string* problem) {
    for (size_t i = 0; i < h.count; ++i) {
        Section s = SectionAt(image, h, i);
        if (s.rawSize != 0 && static_cast<uint64_t>(s.rawAt) + s.rawSize > image.size()) {
            *problem = SectionLabel(image, h, i) + " lies past the end of the file (is the file cut short?)";
            return false;
        }
        if (static_cast<uint64_t>(s.va) + std::max(s.virtualSize, s.rawSize) > 0xFFFFFFFFu) {
            *problem = SectionLabel(image, h, i) + " lies past the 4 GiB a program's addresses reach";
            return false;
        }
    }
    return true;
}

// The headers of image, checked as far as this editor relies on them.
HeaderVerdict ReadHeaders(const Bytes& image, Headers* h, std::string* error) {
    if (FindPeHeader(image, h) != HeaderVerdict::Sound) {
        *error = "not a Windows program file";
        return HeaderVerdict::NotProgram;
    }
    std::string problem;
    if (!ReadOptionalHeader(image, h, &problem) || !CheckSections(image, *h, &problem)) {
        *error = "a damaged Windows program file: " + problem;
        return HeaderVerdict::Damaged;
    }
    error->clear();
    return HeaderVerdict::Sound;
}

// The file offset of size bytes at rva, all inside one section's raw data
// (which CheckSections put inside the file).
bool Locate(const Bytes& image, const Headers& h, uint32_t rva, uint32_t size, size_t* at) {
    for (size_t i = 0; i < h.count; ++i) {
        Section s = SectionAt(image, h, i);
        // No bytes may lie at the very end of a section (an empty resource
        // written last).
        if (rva < s.va || rva - s.va > s.rawSize || size > s.rawSize - (rva - s.va))
            continue;
        *at = static_cast<size_t>(s.rawAt) + (rva - s.va);
        return true;
    }
    return false;
}

// One resource found in the tree: its place in the file, not yet copied.
struct Leaf {
    Resource resource;  // without its data
    size_t at = 0, size = 0;
};

// The resource tree being read: its base, how many entries and how many
// bytes of names may still be read before it counts as hostile (names are
// copied into every resource below them), and what was found.
struct TreeReader {
    const Bytes* image;
    const Headers* h;
    uint32_t base;
    size_t entriesLeft;
    uint64_t nameBytesLeft;
    std::vector<Leaf>* leaves;
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
    if (2u * length > t->nameBytesLeft || !Locate(*t->image, *t->h, where + 2, 2u * length, &at))
        return false;
    t->nameBytesLeft -= 2u * length;
    id->named = true;
    for (uint16_t i = 0; i < length; ++i)
        id->name += static_cast<char16_t>(ReadLe16(&(*t->image)[at + 2 * i]));
    return true;
}

// A language entry: the resource's place, its language and code page.
bool ReadLeaf(TreeReader* t, const ResourceId& language, uint32_t dataField, const Resource& path) {
    size_t entry = 0, data = 0;
    uint64_t names = 2 * (path.type.name.size() + path.name.name.size());
    if (language.named || names > t->nameBytesLeft || !Locate(*t->image, *t->h, t->base + dataField, 16, &entry))
        return false;
    t->nameBytesLeft -= names;
    uint32_t rva = ReadLe32(&(*t->image)[entry]), size = ReadLe32(&(*t->image)[entry + 4]);
    if (!Locate(*t->image, *t->h, rva, size, &data))
        return false;
    Leaf leaf;
    leaf.resource = path;
    leaf.resource.language = language.id;
    leaf.resource.codePage = ReadLe32(&(*t->image)[entry + 8]);
    leaf.at = data;
    leaf.size = size;
    t->leaves->push_back(std::move(leaf));
    return true;
}

// One directory at offset of the tree, depth 0 (types), 1 (names) or 2
// (languages); path holds the type and name above it.
bool ReadDirectory(TreeReader* t, uint32_t offset, int depth, Resource* path) {
    size_t at = 0;
    if (!Locate(*t->image, *t->h, t->base + offset, 16, &at))
        return false;
    uint32_t entries = static_cast<uint32_t>(ReadLe16(&(*t->image)[at + 12])) + ReadLe16(&(*t->image)[at + 14]);
    if (entries > t->entriesLeft || !Locate(*t->image, *t->h, t->base + offset + 16, 8 * entries, &at))
        return false;
    t->entriesLeft -= entries;
    for (uint32_t e = 0; e < entries; ++e) {
        uint32_t nameField = ReadLe32(&(*t->image)[at + 8 * e]), dataField = ReadLe32(&(*t->image)[at + 8 * e + 4]);
        ResourceId id;
        if (!ReadId(t, nameField, &id) || (depth < 2) != ((dataField & 0x80000000u) != 0))
            return false;
        if (depth == 0)
            path->type = id;
        else if (depth == 1)
            path->name = id;
        bool ok = depth < 2 ? ReadDirectory(t, dataField & 0x7FFFFFFFu, depth + 1, path) : ReadLeaf(t, id, dataField, *path);
        if (!ok)
            return false;
    }
    return true;
}

// True when no two leaves share a byte of data: each is copied once, so the
// copies together stay within the file.
bool DataApart(const std::vector<Leaf>& leaves) {
    std::vector<std::pair<size_t, size_t>> ranges;
    for (const Leaf& leaf : leaves)
        if (leaf.size != 0)
            ranges.emplace_back(leaf.at, leaf.at + leaf.size);
    std::sort(ranges.begin(), ranges.end());
    for (size_t i = 1; i < ranges.size(); ++i)
        if (ranges[i].first < ranges[i - 1].second)
            return false;
    return true;
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
    return FindPeHeader(image, &h) == HeaderVerdict::Sound;
}

bool ReadResources(const Bytes& image, std::vector<Resource>* resources, std::string* error) {
    resources->clear();
    Headers h;
    if (ReadHeaders(image, &h, error) != HeaderVerdict::Sound)
        return false;
    uint32_t base = ReadLe32(&image[h.directories + 16]), size = ReadLe32(&image[h.directories + 20]);
    if (base == 0 && size == 0)
        return true;
    std::vector<Leaf> leaves;
    TreeReader t{&image, &h, base, 1 << 16, image.size(), &leaves};
    Resource path;
    if (!ReadDirectory(&t, 0, 0, &path)) {
        *error = "the program's resources are damaged";
        return false;
    }
    if (!DataApart(leaves)) {
        *error = "the program's resources are damaged: two of them share their data";
        return false;
    }
    resources->reserve(leaves.size());
    for (Leaf& leaf : leaves) {
        leaf.resource.data.assign(image.begin() + static_cast<long>(leaf.at),
                                  image.begin() + static_cast<long>(leaf.at + leaf.size));
        resources->push_back(std::move(leaf.resource));
    }
    return true;
}

bool WriteResources(const Bytes& image, const std::vector<Resource>& resources, Bytes* out, std::string* error) {
    Headers h;
    if (ReadHeaders(image, &h, error) != HeaderVerdict::Sound)
        return false;
    if (ReadLe32(&image[h.directories + 4 * 8 + 4]) != 0) {
        *error = "the program is signed: changing it would break the signature";
        return false;
    }
    Bytes result = image;
    uint64_t rawAt = AlignUp(image.size(), h.fileAlignment);
    // The address is known only once the section is added: lay out at 0
    // first for the size, then at the address.
    Bytes blob;
    if (!LayOutResources(resources, 0, &blob, error))
        return false;
    uint32_t va = 0;
    if (rawAt + blob.size() > 0xFFFFFFFFu ||
        (va = AddSection(&result, h, static_cast<uint32_t>(blob.size()), static_cast<uint32_t>(rawAt))) == 0) {
        *error = "the program has no room for another section header";
        return false;
    }
    LayOutResources(resources, va, &blob, error);
    // The old resource section keeps its bytes under another name.
    uint32_t oldBase = ReadLe32(&image[h.directories + 16]);
    for (size_t i = 0; i < h.count && oldBase != 0; ++i) {
        Section s = SectionAt(image, h, i);
        size_t at = h.sections + 40 * i;
        if (oldBase >= s.va && oldBase - s.va < std::max(s.virtualSize, s.rawSize) &&
            memcmp(&image[at], ".rsrc\0\0", 8) == 0)
            memcpy(&result[at], ".oldrsrc", 8);
    }
    WriteLe32(&result[h.directories + 16], va);
    WriteLe32(&result[h.directories + 20], static_cast<uint32_t>(blob.size()));
    WriteLe32(&result[h.optional + 64], 0);  // checksum: not needed outside drivers
    result.resize(static_cast<size_t>(rawAt), 0);
    result.insert(result.end(), blob.begin(), blob.end());
    result.resize(AlignUp(result.size(), h.fileAlignment), 0);
    *out = std::move(result);
    return true;
}
