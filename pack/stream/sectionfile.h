// One file bound for a section, as the writer and the member compressor both
// take it. Kept apart so that the compressor needs nothing of the writer.
#ifndef BRONDALE_PACK_STREAM_SECTIONFILE_H
#define BRONDALE_PACK_STREAM_SECTIONFILE_H

#include <string>
#include <vector>

struct SectionFile {
    std::string name;                  // path-list line
    std::string source;                // file to read, or empty to use bytes
    std::vector<unsigned char> bytes;  // the content when source is empty
};

#endif
