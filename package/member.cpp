// Member inflate, in blocks and bounded by the member's size: it never reads
// past its member and leaves the handle at the member's end. Every byte is
// descrambled (mode 2) before it is summed, CRC'd and written or compared.
#include "package/member.h"

#include <cstring>
#include <zlib.h>

#include "base/format.h"
#include "base/names.h"
#include "package/locator.h"
#include "package/progress.h"

namespace {

// Work buffers live for the run: the reader is never entered twice at once.
unsigned char* InputBlock() {
    static unsigned char block[1 << 16];
    return block;
}
const DWORD kInputBlock = 1 << 16;

unsigned char* OutputBlock() {
    static unsigned char block[1 << 18];
    return block;
}
const DWORD kOutputBlock = 1 << 18;

// What a file on disk holds, read back to compare with a member.
unsigned char* CompareBlock() {
    static unsigned char block[kOutputBlock];
    return block;
}

// zlib's CRC-32, named apart from the running checksum's crc32 accessor,
// which would otherwise overload it.
uint32_t ZlibCrc(uint32_t crc, const unsigned char* data, DWORD n) {
    return static_cast<uint32_t>(::crc32(static_cast<uLong>(crc), data, static_cast<uInt>(n)));
}

// Where the inflated bytes go: written at once, kept in memory, or
// compared with a file's bytes.
enum Sink { kSinkDirect, kSinkMemory, kSinkCompare };

// One member on its way through the inflater.
struct Inflation {
    z_stream z;
    HANDLE package;
    uint32_t left;  // bytes of the member not yet read from the package
    HANDLE output;  // the file written, or compared with
    Sink sink;
    unsigned char* block;  // where inflate puts its output
    DWORD capacity;        // its size
    DWORD filled;          // bytes of block already taken (memory only)
    bool differs;          // compare only: the file's bytes are not the member's
    unsigned short mode;
    unsigned char key[kScrambleKeySize];
    size_t keyPosition;
    uint64_t produced;  // bytes inflated so far
    uint32_t crc;       // their CRC-32
    bool reporting;
    uint32_t isize;
    short sectionPercent;
    bool firstBlock;
};

// Refills the inflater's input from the package when it has run dry.
SectionResult FeedInput(Inflation* m) {
    if (m->z.avail_in != 0 || m->left == 0)
        return kSectionOk;
    DWORD n = m->left < kInputBlock ? m->left : kInputBlock;
    if (!winfread(InputBlock(), m->package, n))
        return kSectionDamaged;  // the package ends inside the member
    m->left -= n;
    m->z.next_in = InputBlock();
    m->z.avail_in = n;
    return kSectionOk;
}

// Compares the n bytes at data with the next n bytes of the file.
bool SameAsFile(HANDLE file, const unsigned char* data, DWORD n) {
    DWORD got = 0;
    return ReadFile(file, CompareBlock(), n, &got, nullptr) && got == n && memcmp(CompareBlock(), data, n) == 0;
}

// At the end of a compared member: whether the file ends there too.
void CompareEnd(Inflation* m) {
    unsigned char beyond;
    DWORD got = 0;
    m->differs = !ReadFile(m->output, &beyond, 1, &got, nullptr) || got != 0;
}

// Takes n freshly inflated bytes at data: descrambles them, sums them,
// reports progress and writes, keeps or compares them.
SectionResult TakeOutput(Inflation* m, unsigned char* data, DWORD n) {
    m->produced += n;
    if (m->produced > UINT32_MAX)
        return kSectionDamaged;
    if (n == 0)
        return kSectionOk;
    if (m->mode == kModeScrambled)
        ScrambleBlock(data, n, m->key, &m->keyPosition);
    uint64_t* sum = crc32(0, true);
    *sum = ChecksumAdd(*sum, data, n);
    m->crc = ZlibCrc(m->crc, data, n);
    if (m->reporting && m->isize != 0) {
        ReportProgress(m->sectionPercent, false, m->firstBlock);
        ReportProgress(MemberPercent(m->produced, m->isize), true, m->firstBlock);
        m->firstBlock = false;
    }
    if (m->sink == kSinkMemory)
        m->filled += n;
    else if (m->sink == kSinkCompare)
        m->differs = !SameAsFile(m->output, data, n);
    else if (m->output != INVALID_HANDLE_VALUE && !winfwrite(data, m->output, n))
        return kSectionWriteFailed;
    return kSectionOk;
}

// Inflates until the stream ends, the member runs out, a stop is asked for
// or a compared file turns out to differ.
SectionResult InflateAll(Inflation* m) {
    for (;;) {
        if (*StopExtraction())
            return kSectionStopped;
        SectionResult result = FeedInput(m);
        if (result != kSectionOk)
            return result;
        unsigned char* at = m->block + m->filled;
        m->z.next_out = at;
        m->z.avail_out = m->capacity - m->filled;
        // A member kept in memory that fills its block is larger than its
        // trailer claimed.
        if (m->z.avail_out == 0)
            return kSectionDamaged;
        int status = inflate(&m->z, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            return status == Z_MEM_ERROR ? kSectionNoMemory : kSectionDamaged;
        result = TakeOutput(m, at, static_cast<DWORD>(m->z.next_out - at));
        if (result != kSectionOk || m->differs)
            return result;
        // The stream must fill its member: trailing bytes are damage.
        if (status == Z_STREAM_END)
            return m->z.avail_in != 0 || m->left != 0 ? kSectionDamaged : kSectionOk;
    }
}

void StartInflation(Inflation* m, HANDLE package, uint32_t memberSize, HANDLE output, Sink sink, unsigned short mode,
                    uint32_t index) {
    memset(m, 0, sizeof *m);
    m->package = package;
    m->left = memberSize;
    m->output = output;
    m->sink = sink;
    m->block = OutputBlock();
    m->capacity = kOutputBlock;
    m->mode = mode;
    m->reporting = ProgressWanted();
    if (m->reporting)
        MemberTrailer(package, memberSize, nullptr, &m->isize);
    m->sectionPercent = SectionPercent(index);
    if (mode == kModeScrambled)
        ScrambleKey(RegRegister(), Brondale(), m->key);
    m->crc = ZlibCrc(0, nullptr, 0);
    m->firstBlock = true;
}

// One member through the sink set up in m.
SectionResult Inflate(Inflation* mp, bool* differs) {
    Inflation& m = *mp;
    SectionResult result = kSectionNoMemory;
    if (inflateInit2(&m.z, 16 + MAX_WBITS) == Z_OK) {
        *LastMemberSum() = MemberSum{0, m.crc};
        result = InflateAll(&m);
        inflateEnd(&m.z);
    }
    if (result == kSectionOk && m.sink == kSinkCompare && !m.differs)
        CompareEnd(&m);
    *LastMemberSum() = MemberSum{static_cast<uint32_t>(m.produced), m.crc};
    if (differs)
        *differs = m.differs;
    // An empty member still moves the section bar on, and is complete.
    if (m.reporting && m.isize == 0 && result == kSectionOk) {
        ReportProgress(m.sectionPercent, false, true);
        ReportProgress(100, true, true);
    }
    if (result == kSectionDamaged && m.left > 0) {
        // Keep the handle at the member's end for a caller that goes on.
        LONG high = 0;
        SetFilePointer(m.package, static_cast<LONG>(m.left), &high, FILE_CURRENT);
    }
    return result;
}

}  // namespace

bool MemberTrailer(HANDLE package, uint32_t memberSize, uint32_t* crc, uint32_t* isize) {
    uint64_t here;
    unsigned char trailer[8];
    *isize = 0;
    if (memberSize < 8 || !FilePosition(package, &here) || !SeekTo(package, here + memberSize - 8))
        return false;
    bool ok = winfread(trailer, package, 8);
    if (!SeekTo(package, here) || !ok)
        return false;
    if (crc)
        *crc = ReadLe32(trailer);
    *isize = ReadLe32(trailer + 4);
    return true;
}

SectionResult dekompresjagz(HANDLE package, uint32_t memberSize, HANDLE output, unsigned short mode, uint32_t index) {
    Inflation m;
    StartInflation(&m, package, memberSize, output, kSinkDirect, mode, index);
    return Inflate(&m, nullptr);
}

SectionResult InflateToMemory(HANDLE package, uint32_t memberSize, unsigned short mode, uint32_t index,
                              unsigned char* block, DWORD capacity, DWORD* size) {
    Inflation m;
    StartInflation(&m, package, memberSize, INVALID_HANDLE_VALUE, kSinkMemory, mode, index);
    m.block = block;
    m.capacity = capacity;
    SectionResult result = Inflate(&m, nullptr);
    *size = m.filled;
    return result;
}

SectionResult CompareMember(HANDLE package, uint32_t memberSize, HANDLE file, unsigned short mode, uint32_t index,
                            bool* same) {
    *same = false;
    uint64_t start;
    if (!FilePosition(package, &start))
        return kSectionDamaged;
    uint64_t sum = *crc32(0, true);
    bool differs = true;
    Inflation m;
    StartInflation(&m, package, memberSize, file, kSinkCompare, mode, index);
    SectionResult result = Inflate(&m, &differs);
    if (result != kSectionOk)
        return result;
    *same = !differs;
    if (differs) {
        // Back to the member's start, its bytes out of the sum again.
        *crc32(0, true) = sum;
        if (!SeekTo(package, start))
            return kSectionDamaged;
    }
    return kSectionOk;
}
