// Fuzz target: path lists. The input, split at zero bytes, is a path list and
// the contents of up to 15 files; the target packs them into a well-formed
// section (gzip members, offset table, correct checksum), so that every input
// gets past the stream checks and the path handling itself is fuzzed: line
// reading, the path rule, folder creation and the take-back. The sandbox
// (sandbox.h) then checks that nothing escapes the target.
#include <cstdint>
#include <cstring>
#include <vector>
#include <zlib.h>

#include "common.h"
#include "base/format.h"
#include "sandbox.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Gzip(const unsigned char* data, size_t size) {
    z_stream z;
    memset(&z, 0, sizeof z);
    Check(deflateInit2(&z, 1, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK, "deflateInit2");
    Bytes out(deflateBound(&z, size) + 32);
    z.next_in = const_cast<unsigned char*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    Check(deflate(&z, Z_FINISH) == Z_STREAM_END, "deflate");
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

const size_t kMaxMembers = 16;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<Bytes> members;
    uint64_t sum = 0;
    size_t start = 0;
    for (size_t i = 0; i <= size && members.size() < kMaxMembers; ++i) {
        if (i < size && data[i] != 0)
            continue;
        sum = ChecksumAdd(sum, data + start, i - start);
        members.push_back(Gzip(data + start, i - start));
        start = i + 1;
    }
    uint32_t count = static_cast<uint32_t>(members.size());
    Bytes section(kSectionFixedSize + 4 * count);
    memcpy(section.data(), kSectionMagic, 3);
    WriteLe32(&section[3], static_cast<uint32_t>(sum));
    WriteLe32(&section[11], count);
    uint32_t offset = static_cast<uint32_t>(section.size());
    for (uint32_t i = 0; i <= count; ++i) {
        WriteLe32(&section[kSectionHeaderSize + 4 * i], offset);
        if (i < count)
            offset += static_cast<uint32_t>(members[i].size());
    }
    for (const Bytes& m : members)
        section.insert(section.end(), m.begin(), m.end());
    ExtractAndCheck(section.data(), section.size());
    return 0;
}
