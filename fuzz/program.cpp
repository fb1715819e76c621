// Program files for the PE fuzz targets: plain byte arithmetic of their
// own, so that what they build does not depend on the editor under test
// (ShrunkProgram, for seeds only, uses it).
#include "program.h"

#include <algorithm>

#include "base/format.h"

namespace {

void Put16(Bytes* b, size_t at, uint32_t v) { WriteLe16(&(*b)[at], static_cast<uint16_t>(v)); }
void Put32(Bytes* b, size_t at, uint32_t v) { WriteLe32(&(*b)[at], v); }

void PushId(Bytes* out, const ResourceId& id) {
    if (!id.named) {
        out->push_back(static_cast<unsigned char>(id.id));
        out->push_back(static_cast<unsigned char>(id.id >> 8));
        return;
    }
    size_t length = std::min<size_t>(id.name.size(), 255);
    out->push_back(static_cast<unsigned char>(length));
    for (size_t i = 0; i < length; ++i) {
        out->push_back(static_cast<unsigned char>(id.name[i]));
        out->push_back(static_cast<unsigned char>(id.name[i] >> 8));
    }
}

// Takes one ID from the bytes; false when they end first.
bool TakeId(const uint8_t* data, size_t size, size_t* at, bool named, ResourceId* id) {
    id->named = named;
    if (!named) {
        if (*at + 2 > size)
            return false;
        id->id = ReadLe16(data + *at);
        *at += 2;
        return true;
    }
    if (*at + 1 > size || *at + 1 + 2 * data[*at] > size)
        return false;
    size_t length = data[(*at)++];
    for (size_t i = 0; i < length; ++i, *at += 2)
        id->name += static_cast<char16_t>(ReadLe16(data + *at));
    return true;
}

std::u16string KeyOf(const ResourceId& id) {
    if (id.named)
        return u"n" + id.name;
    std::u16string key = u"#";
    for (char c : std::to_string(id.id))
        key += static_cast<char16_t>(c);
    return key;
}

}  // namespace

Bytes SoundProgram(unsigned shape) {
    bool wide = shape & 1;
    uint32_t fileAlignment = 0x200u << ((shape >> 1) & 3), count = 1 + ((shape >> 3) & 3);
    size_t opt = 0x98, optionalSize = wide ? 240 : 224, table = opt + optionalSize;
    uint32_t headers = static_cast<uint32_t>((table + 40 * (count + 2) + fileAlignment - 1) / fileAlignment *
                                             fileAlignment);
    Bytes b(headers + count * fileAlignment, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(&b, 0x3C, 0x80);
    b[0x80] = 'P';
    b[0x81] = 'E';
    Put16(&b, 0x84, wide ? 0x8664 : 0x14C);
    Put16(&b, 0x86, count);
    Put16(&b, 0x94, static_cast<uint32_t>(optionalSize));
    Put16(&b, opt, wide ? 0x20B : 0x10B);
    Put32(&b, opt + 32, 0x1000);
    Put32(&b, opt + 36, fileAlignment);
    Put32(&b, opt + 56, 0x1000 * (count + 1));
    Put32(&b, opt + 60, headers);
    Put32(&b, opt + (wide ? 108 : 92), 16);
    for (uint32_t s = 0; s < count; ++s) {
        size_t at = table + 40 * s;
        b[at] = '.';
        b[at + 1] = static_cast<unsigned char>('a' + s);
        Put32(&b, at + 8, 0x100);
        Put32(&b, at + 12, 0x1000 * (s + 1));
        Put32(&b, at + 16, fileAlignment);
        Put32(&b, at + 20, headers + s * fileAlignment);
        for (uint32_t i = 0; i < fileAlignment; ++i)
            b[headers + s * fileAlignment + i] = static_cast<unsigned char>(s * 31 + i);
    }
    return b;
}

Bytes ShrunkProgram(const Bytes& program) {
    std::vector<Resource> resources;
    std::string error;
    if (!ReadResources(program, &resources, &error))
        return Bytes();
    for (Resource& r : resources)
        r.data.resize(std::min<size_t>(r.data.size(), 48));
    size_t pe = ReadLe32(&program[0x3C]), opt = pe + 24, table = opt + ReadLe16(&program[pe + 20]);
    Bytes headers(program.begin(), program.begin() + ReadLe32(&program[opt + 60]));
    for (size_t s = 0; s < ReadLe16(&program[pe + 6]); ++s) {
        Put32(&headers, table + 40 * s + 16, 0);
        Put32(&headers, table + 40 * s + 20, 0);
    }
    Bytes out;
    return WriteResources(headers, resources, &out, &error) ? out : Bytes();
}

Bytes EncodeResources(unsigned shape, const std::vector<Resource>& resources) {
    Bytes out = {static_cast<unsigned char>(shape)};
    for (const Resource& r : resources) {
        out.push_back(static_cast<unsigned char>((r.type.named ? 1 : 0) | (r.name.named ? 2 : 0)));
        PushId(&out, r.type);
        PushId(&out, r.name);
        size_t length = std::min<size_t>(r.data.size(), 0xFFFF);
        for (uint32_t v : {static_cast<uint32_t>(r.language), r.codePage & 0xFFFF, static_cast<uint32_t>(length)}) {
            out.push_back(static_cast<unsigned char>(v));
            out.push_back(static_cast<unsigned char>(v >> 8));
        }
        out.insert(out.end(), r.data.begin(), r.data.begin() + static_cast<long>(length));
    }
    return out;
}

void DecodeResources(const uint8_t* data, size_t size, unsigned* shape, std::vector<Resource>* resources) {
    resources->clear();
    *shape = size > 0 ? data[0] : 0;
    for (size_t at = 1; at < size;) {
        Resource r;
        unsigned flags = data[at++];
        if (!TakeId(data, size, &at, flags & 1, &r.type) || !TakeId(data, size, &at, flags & 2, &r.name) ||
            at + 6 > size)
            return;
        r.language = ReadLe16(data + at);
        r.codePage = ReadLe16(data + at + 2);
        size_t length = std::min<size_t>(ReadLe16(data + at + 4), size - at - 6);
        r.data.assign(data + at + 6, data + at + 6 + length);
        at += 6 + length;
        resources->push_back(std::move(r));
    }
}

ResourceMap ByKey(const std::vector<Resource>& resources) {
    ResourceMap map;
    for (const Resource& r : resources)
        map[std::make_tuple(KeyOf(r.type), KeyOf(r.name), r.language)] = std::make_pair(r.codePage, r.data);
    return map;
}
