// Fuzz target: the packing tool's resource writer. The input is a resource
// list (fuzz/program.h) and the shape of a sound program to write it into.
// The writer refuses only a list with two resources of one type, name and
// language; what it writes reads back the same, and writing it again over
// itself too.
#include <cstdint>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "common.h"
#include "pack/peimage.h"
#include "program.h"

namespace {

// True when two resources share a type, name and language, names compared
// as the loader compares them (a to z in upper case).
bool HasDuplicate(const std::vector<Resource>& resources) {
    auto upper = [](const ResourceId& id) {
        std::u16string key = id.named ? u"n" : u"#";
        if (!id.named)
            return key + static_cast<char16_t>(id.id);
        for (char16_t c : id.name)
            key += c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
        return key;
    };
    std::set<std::tuple<std::u16string, std::u16string, uint16_t>> seen;
    for (const Resource& r : resources)
        if (!seen.insert(std::make_tuple(upper(r.type), upper(r.name), r.language)).second)
            return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    unsigned shape = 0;
    std::vector<Resource> resources;
    DecodeResources(data, size, &shape, &resources);
    Bytes program = SoundProgram(shape), out, again;
    std::string error;
    if (!WriteResources(program, resources, &out, &error)) {
        Check(HasDuplicate(resources), "a list without duplicates refused", error);
        return 0;
    }
    Check(!HasDuplicate(resources), "a list with duplicates written");
    std::vector<Resource> back;
    Check(ReadResources(out, &back, &error), "the written program does not read back", error);
    Check(ByKey(back) == ByKey(resources), "read back differently");
    Check(WriteResources(out, back, &again, &error), "the written program cannot be written again", error);
    Check(ReadResources(again, &back, &error), "the program written twice does not read back", error);
    Check(ByKey(back) == ByKey(resources), "read back differently after a second write");
    return 0;
}
