// Members as gzip streams compressed in independent blocks on every core, and
// the output they are written to (a file or memory). A member's blocks are
// fixed by its content alone, so the bytes written never depend on how many
// threads there are.
#ifndef BRONDALE_PACK_STREAM_GZBLOCKS_H
#define BRONDALE_PACK_STREAM_GZBLOCKS_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "pack/stream/sectionfile.h"

// Where packed bytes go: appended to a file or to memory, with the bytes
// already written patchable (a section's header is filled in last).
struct Sink {
    FILE* file = nullptr;                          // when writing a file
    std::vector<unsigned char>* memory = nullptr;  // otherwise
    uint64_t size = 0;                             // bytes written so far
    bool failed = false;                           // a write failed; size still counts
};

// Appends size bytes. A failure is remembered in sink->failed.
void SinkWrite(Sink* sink, const void* data, size_t size);
// Overwrites bytes at offset at (below sink->size); writing goes on at the end.
void SinkPatch(Sink* sink, uint64_t at, const void* data, size_t size);

// Plain bytes per block. Each block after the first is compressed with the
// previous 32 KiB as its dictionary; changing this changes the output.
const size_t kBlockSize = 256 * 1024;

// The result of one member.
struct MemberOutput {
    uint64_t compressed = 0;  // gzip stream length
    uint32_t plain = 0;       // ISIZE
    uint64_t sum = 0;         // checksum of the plain bytes (before scrambling)
};

struct CompressWork {
    const std::vector<SectionFile>* files;  // the members, in order
    const std::vector<bool>* scrambled;     // one flag per member
    int level = 9;
    unsigned threads = 0;  // 0: one per core
    // The sink may not grow past limit; passing it fails with tooLarge.
    uint64_t limit = UINT64_MAX;
    std::string tooLarge;
    // Called on the calling thread with the plain bytes written so far.
    std::function<void(uint64_t done)> progress;
};

// Compresses every member in order and appends each as one gzip stream to
// sink; outputs gets one entry per member. Returns false with a message
// naming the file when one cannot be read, reaches 4 GiB or cannot be
// compressed; sink may then hold part of the output.
bool CompressMembers(const CompressWork& work, Sink* sink, std::vector<MemberOutput>* outputs, std::string* error);

#endif
