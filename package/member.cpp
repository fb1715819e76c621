// Member inflate, in blocks and bounded by the member's size: it never reads
// past its member and leaves the handle at the member's end. Every byte is
// descrambled (mode 2) before it is summed, CRC'd and written.
#include "package/member.h"

#include <cstring>
#include <zlib.h>

#include "base/format.h"
#include "base/names.h"
#include "package/locator.h"
#include "package/progress.h"

namespace {

// Output buffers live for the run: the reader is never entered twice at once.
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

// zlib's CRC-32, named apart from the running checksum's crc32 accessor,
// which would otherwise overload it.
uint32_t ZlibCrc(uint32_t crc, const unsigned char* data, DWORD n) {
    return static_cast<uint32_t>(::crc32(static_cast<uLong>(crc), data, static_cast<uInt>(n)));
}

// The member's ISIZE, read from its last four bytes; the handle is put back
// where it was. 0 when it cannot be read (the stream check then decides).
uint32_t PeekIsize(HANDLE package, uint32_t memberSize) {
    uint64_t here;
    unsigned char trailer[4];
    if (!FilePosition(package, &here) || !SeekTo(package, here + memberSize - 4))
        return 0;
    bool ok = winfread(trailer, package, 4);
    return SeekTo(package, here) && ok ? ReadLe32(trailer) : 0;
}

// One member on its way through the inflater.
struct Inflation {
    z_stream z;
    HANDLE package;
    uint32_t left;  // bytes of the member not yet read from the package
    HANDLE output;
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

// Takes n freshly inflated bytes from the output block: descrambles them,
// sums them, reports progress and writes them.
SectionResult TakeOutput(Inflation* m, DWORD n) {
    m->produced += n;
    if (m->produced > UINT32_MAX)
        return kSectionDamaged;
    if (n == 0)
        return kSectionOk;
    if (m->mode == kModeScrambled)
        ScrambleBlock(OutputBlock(), n, m->key, &m->keyPosition);
    uint64_t* sum = crc32(0, true);
    *sum = ChecksumAdd(*sum, OutputBlock(), n);
    m->crc = ZlibCrc(m->crc, OutputBlock(), n);
    if (m->reporting && m->isize != 0) {
        ReportProgress(m->sectionPercent, false, m->firstBlock);
        ReportProgress(MemberPercent(m->produced, m->isize), true, m->firstBlock);
        m->firstBlock = false;
    }
    if (m->output != INVALID_HANDLE_VALUE && !winfwrite(OutputBlock(), m->output, n))
        return kSectionWriteFailed;
    return kSectionOk;
}

// Inflates until the stream ends, the member runs out or a stop is asked for.
SectionResult InflateAll(Inflation* m) {
    for (;;) {
        if (*StopExtraction())
            return kSectionStopped;
        SectionResult result = FeedInput(m);
        if (result != kSectionOk)
            return result;
        m->z.next_out = OutputBlock();
        m->z.avail_out = kOutputBlock;
        int status = inflate(&m->z, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            return status == Z_MEM_ERROR ? kSectionNoMemory : kSectionDamaged;
        result = TakeOutput(m, kOutputBlock - m->z.avail_out);
        if (result != kSectionOk)
            return result;
        // The stream must fill its member: trailing bytes are damage.
        if (status == Z_STREAM_END)
            return m->z.avail_in != 0 || m->left != 0 ? kSectionDamaged : kSectionOk;
    }
}

void StartInflation(Inflation* m, HANDLE package, uint32_t memberSize, HANDLE output, unsigned short mode,
                    uint32_t index) {
    memset(m, 0, sizeof *m);
    m->package = package;
    m->left = memberSize;
    m->output = output;
    m->mode = mode;
    m->reporting = ProgressWanted();
    m->isize = m->reporting ? PeekIsize(package, memberSize) : 0;
    m->sectionPercent = SectionPercent(index);
    if (mode == kModeScrambled)
        ScrambleKey(RegRegister(), Brondale(), m->key);
    m->crc = ZlibCrc(0, nullptr, 0);
    m->firstBlock = true;
}

} // namespace

SectionResult dekompresjagz(HANDLE package, uint32_t memberSize, HANDLE output, unsigned short mode,
                            uint32_t index) {
    Inflation m;
    StartInflation(&m, package, memberSize, output, mode, index);
    if (inflateInit2(&m.z, 16 + MAX_WBITS) != Z_OK)
        return kSectionNoMemory;
    *LastMemberSum() = MemberSum{0, m.crc};
    SectionResult result = InflateAll(&m);
    inflateEnd(&m.z);
    *LastMemberSum() = MemberSum{static_cast<uint32_t>(m.produced), m.crc};
    // An empty member still moves the section bar on, and is complete.
    if (m.reporting && m.isize == 0 && result == kSectionOk) {
        ReportProgress(m.sectionPercent, false, true);
        ReportProgress(100, true, true);
    }
    if (result == kSectionDamaged && m.left > 0) {
        // Keep the handle at the member's end for a caller that goes on.
        LONG high = 0;
        SetFilePointer(package, static_cast<LONG>(m.left), &high, FILE_CURRENT);
    }
    return result;
}
