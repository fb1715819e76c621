// Lays out a resource section. Directory entries come names first (compared
// in upper case), then numbers, as the loader's binary search expects; every
// count and length is checked against its field before anything is written.
#include "pack/resourcetree.h"

#include <algorithm>
#include <map>

#include "base/format.h"

namespace {

uint64_t AlignUp(uint64_t v, uint32_t to) { return (v + to - 1) / to * to; }

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
        // Named entries first, then numbered: the two counts of the directory.
        WriteLe16(&out[names1 + 12], static_cast<uint16_t>(namedNames));
        WriteLe16(&out[names1 + 14], static_cast<uint16_t>(type.second.size() - namedNames));
        typeSlot += 8;
    }
    WriteLe16(&out[root + 12], static_cast<uint16_t>(namedTypes));
    WriteLe16(&out[root + 14], static_cast<uint16_t>(tree.size() - namedTypes));
    return out;
}

// False with a message when tree cannot be written: a directory of more
// entries, or a name or data longer, than the format's fields hold.
bool TreeFits(const Tree& tree, std::string* error) {
    auto nameFits = [](const Key& k) { return k.id.name.size() <= 0xFFFF; };
    bool fits = tree.size() <= 0xFFFF;
    for (const auto& type : tree) {
        fits = fits && nameFits(type.first) && type.second.size() <= 0xFFFF;
        for (const auto& name : type.second) {
            fits = fits && nameFits(name.first) && name.second.size() <= 0xFFFF;
            for (const auto& language : name.second)
                fits = fits && language.second->data.size() <= 0x7FFFFFFF;
        }
    }
    if (!fits)
        *error = "more resources, or longer ones, than a resource directory holds";
    return fits;
}

}  // namespace

bool LayOutResources(const std::vector<Resource>& resources, uint32_t rva, Bytes* out, std::string* error) {
    Tree tree;
    for (const Resource& r : resources) {
        if (!tree[Key{r.type}][Key{r.name}].emplace(r.language, &r).second) {
            *error = "two resources of one type, name and language";
            return false;
        }
    }
    if (!TreeFits(tree, error))
        return false;
    *out = BuildTree(tree, rva);
    return true;
}
