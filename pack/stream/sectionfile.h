// One file bound for a section, as the writer and the member compressor both
// take it. Kept apart so that the compressor needs nothing of the writer.
#ifndef BRONDALE_PACK_STREAM_SECTIONFILE_H
#define BRONDALE_PACK_STREAM_SECTIONFILE_H

#include <string>
#include <utility>
#include <vector>

#include "pack/handles.h"

struct SectionFile {
    std::string name;                  // path-list line
    std::string source;                // file to read, or empty to use bytes
    std::vector<unsigned char> bytes;  // the content when source is empty
    Held held;                         // when set, source is read through it only

    // {name, source, bytes} as before, the handle optional.
    SectionFile() = default;
    SectionFile(std::string n, std::string s, std::vector<unsigned char> b, Held h = nullptr)
        : name(std::move(n)), source(std::move(s)), bytes(std::move(b)), held(std::move(h)) {}
};

#endif
