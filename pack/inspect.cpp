// Reading installer files for the packing tool. Every check the installer
// makes is made here too, with a message naming the section and member.
#include "pack/inspect.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <zlib.h>

#include "pack/platform.h"
#include "base/format.h"

const char* const kSectionNames[3] = {"Lang", "Install", "program"};
const char* const kSectionFolders[3] = {"lang", "install", "program"};

namespace {

struct File {
    FILE* f = nullptr;
    ~File() {
        if (f)
            fclose(f);
    }
};

bool ReadAt(FILE* f, uint64_t at, void* out, size_t size) {
    if (!SeekTo(f, at))
        return false;
    return fread(out, 1, size, f) == size;
}

// Refills the input of z from the member's remaining left bytes once it is
// used up. False when the file ends first.
bool FeedInput(FILE* f, z_stream* z, std::vector<unsigned char>* in, uint32_t* left) {
    if (z->avail_in != 0 || *left == 0)
        return true;
    size_t n = *left < in->size() ? *left : in->size();
    if (fread(in->data(), 1, n, f) != n)
        return false;
    *left -= static_cast<uint32_t>(n);
    z->next_in = in->data();
    z->avail_in = static_cast<uInt>(n);
    return true;
}

using MemberConsumer = std::function<bool(const unsigned char*, size_t, std::string*)>;

// Inflates one member; delivers its bytes (descrambled) to out, which may be
// null. Returns "" or what is wrong with the stream.
std::string InflateMember(FILE* f, uint64_t at, uint32_t size, bool scrambled, const MemberConsumer& out, uint64_t* sum,
                          uint32_t* produced) {
    if (!SeekTo(f, at))
        return "cannot be read";
    unsigned char key[kScrambleKeySize];
    size_t position = 0;
    if (scrambled)
        ScrambleKey(kVendorRegistryPath, kInstallerName, key);
    z_stream z;
    memset(&z, 0, sizeof z);
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK)
        return "out of memory";
    std::vector<unsigned char> in(1 << 16), block(1 << 18);
    uint32_t left = size;
    uint64_t total = 0;
    std::string problem;
    for (;;) {
        if (!FeedInput(f, &z, &in, &left)) {
            problem = "ends before its end (the file is cut short)";
            break;
        }
        z.next_out = block.data();
        z.avail_out = static_cast<uInt>(block.size());
        int status = inflate(&z, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END) {
            problem = status == Z_DATA_ERROR ? std::string("does not decode: ") + (z.msg ? z.msg : "damaged data")
                                             : "stream ends early";
            break;
        }
        size_t n = block.size() - z.avail_out;
        total += n;
        if (total > UINT32_MAX) {
            problem = "decodes to more than 4 GiB";
            break;
        }
        if (n > 0) {
            if (scrambled)
                ScrambleBlock(block.data(), n, key, &position);
            *sum = ChecksumAdd(*sum, block.data(), n);
            std::string error;
            if (out && !out(block.data(), n, &error)) {
                problem = error;
                break;
            }
        }
        if (status == Z_STREAM_END) {
            if (z.avail_in != 0 || left != 0)
                problem = "has data after the end of its stream";
            break;
        }
    }
    inflateEnd(&z);
    *produced = static_cast<uint32_t>(total);
    return problem;
}

// The text for what CheckSectionHeader or CheckOffsetTable found.
std::string SectionProblemText(SectionProblem problem, uint32_t count, uint32_t member) {
    switch (problem) {
    case kSectionNoMagic:
        return "no section magic \"GZC\" where the section should start";
    case kSectionNoMembers:
        return "member count 0";
    case kSectionTableTooLarge:
        return "member count " + std::to_string(count) + " does not fit the file";
    case kSectionFirstMember:
        return "the first member does not start after the offset table";
    case kSectionPastEnd:
        return "the section runs past the end of the file";
    case kSectionMemberSize:
        return "member " + std::to_string(member) + " has an impossible size";
    case kSectionSound:
        break;
    }
    return "";
}

// One section as it is read: where it starts, its offset table, the
// path-list lines and the running checksum.
struct SectionScan {
    FILE* f = nullptr;
    uint64_t at = 0;
    int index = 0;
    uint32_t count = 0;
    std::vector<uint32_t> offsets;  // count + 1 entries
    std::vector<std::string> names;
    uint64_t sum = 0;
};

// Reads and checks the header and the offset table. "" or the problem.
std::string ReadTable(SectionScan* scan, uint64_t fileSize, SectionReport* s) {
    unsigned char head[kSectionHeaderSize];
    if (scan->at + sizeof head > fileSize || !ReadAt(scan->f, scan->at, head, sizeof head))
        return "the file ends before its header";
    uint64_t available = fileSize - scan->at;
    uint32_t tableBytes = 0, member = 0;
    SectionProblem problem = CheckSectionHeader(head, available, &s->storedChecksum, &scan->count, &tableBytes);
    if (problem != kSectionSound)
        return SectionProblemText(problem, scan->count, member);
    std::vector<unsigned char> raw(tableBytes);
    if (!ReadAt(scan->f, scan->at + kSectionHeaderSize, raw.data(), raw.size()))
        return "the offset table cannot be read";
    scan->offsets.resize(scan->count + static_cast<size_t>(1));
    for (uint32_t i = 0; i <= scan->count; ++i)
        scan->offsets[i] = ReadLe32(&raw[4 * i]);
    problem = CheckOffsetTable(scan->offsets.data(), scan->count, available, &member);
    return SectionProblemText(problem, scan->count, member);
}

// The first wanted lines of a path list, without their line ends.
std::vector<std::string> PathListLines(const std::string& list, size_t wanted) {
    std::vector<std::string> names;
    for (size_t pos = 0; pos < list.size() && names.size() < wanted;) {
        size_t end = list.find('\n', pos);
        std::string line = list.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        names.push_back(line);
        pos = end == std::string::npos ? list.size() : end + 1;
    }
    return names;
}

// The CRC-32 in the gzip trailer of the member that ends at end.
uint32_t TrailerCrc(const SectionScan& scan, uint32_t end) {
    unsigned char crc[4] = {0, 0, 0, 0};
    ReadAt(scan.f, scan.at + end - 8, crc, sizeof crc);
    return ReadLe32(crc);
}

// Inflates the path list (member 0) into scan->names. "" or the problem.
std::string ReadPathList(SectionScan* scan, SectionReport* s) {
    const std::vector<uint32_t>& offsets = scan->offsets;
    uint32_t count = scan->count;
    std::string list;
    uint32_t produced = 0;
    std::string problem = InflateMember(
        scan->f, scan->at + offsets[0], offsets[1] - offsets[0], false,
        [&](const unsigned char* d, size_t n, std::string* e) {
            if (list.size() + n > static_cast<uint64_t>(count) * (kMaxPath + 2) + 2) {
                *e = "is longer than its lines can be";
                return false;
            }
            list.append(reinterpret_cast<const char*>(d), n);
            return true;
        },
        &scan->sum, &produced);
    if (!problem.empty())
        return "the path list " + problem;
    scan->names = PathListLines(list, count - 1);
    if (scan->names.size() + 1 < count)
        return "the path list names " + std::to_string(scan->names.size()) + " files for " + std::to_string(count - 1) +
               " members";
    s->members.push_back(MemberInfo{"", offsets[1] - offsets[0], produced, TrailerCrc(*scan, offsets[1])});
    return "";
}

// Checks each member's path and inflates it, delivering it to the sink.
// "" or the problem, naming the member.
std::string ReadMembers(SectionScan* scan, MemberSink* sink, SectionReport* s) {
    const std::vector<uint32_t>& offsets = scan->offsets;
    for (uint32_t k = 1; k < scan->count; ++k) {
        const std::string& line = scan->names[k - 1];
        std::string label = "member " + std::to_string(k) + " \"" + line + "\"";
        if (!IsSafeMemberPath(line.c_str(), line.size()))
            return label + ": not a safe path inside the target folder";
        std::string error;
        if (sink && !sink->Begin(scan->index, line, &error))
            return label + ": " + error;
        uint32_t produced = 0;
        std::string problem = InflateMember(
            scan->f, scan->at + offsets[k], offsets[k + 1] - offsets[k], scan->index == 1,
            [&](const unsigned char* d, size_t n, std::string* e) { return !sink || sink->Data(d, n, e); }, &scan->sum,
            &produced);
        if (sink && problem.empty() && !sink->End(&error))
            problem = error;
        if (!problem.empty())
            return label + " " + problem;
        s->members.push_back(MemberInfo{line, offsets[k + 1] - offsets[k], produced,
                                        TrailerCrc(*scan, offsets[k + 1])});
    }
    return "";
}

// Checks one section at offset at; fills the report, delivering files to
// the sink. Returns the offset after the section (0 when it is unusable).
uint64_t ReadSection(FILE* f, uint64_t at, uint64_t fileSize, int index, SectionReport* s, MemberSink* sink) {
    s->start = at;
    SectionScan scan;
    scan.f = f;
    scan.at = at;
    scan.index = index;
    std::string problem = ReadTable(&scan, fileSize, s);
    if (problem.empty()) {
        s->length = scan.offsets[scan.count];
        problem = ReadPathList(&scan, s);
    }
    if (problem.empty())
        problem = ReadMembers(&scan, sink, s);
    if (problem.empty()) {
        s->checksum = static_cast<uint32_t>(scan.sum);
        if (s->checksum != s->storedChecksum)
            problem = "checksum " + std::to_string(s->checksum) + " where " + std::to_string(s->storedChecksum) +
                      " is stored";
    }
    if (!problem.empty()) {
        s->error = std::string(kSectionNames[index]) + " section: " + problem;
        return 0;
    }
    s->ok = true;
    return at + scan.offsets[scan.count];
}

}  // namespace

bool InspectPackage(const std::string& path, PackageReport* report, std::string* error, MemberSink* sink) {
    *report = PackageReport();
    File file;
    file.f = OpenInput(path);
    if (!file.f) {
        *error = "cannot read " + path;
        return false;
    }
    report->fileSize = FileSize(file.f);
    // The signature, found as the installer finds it.
    if (report->fileSize > kPackageStart && SeekTo(file.f, kPackageStart)) {
        std::vector<unsigned char> block(1 << 16);
        unsigned short state = 0;
        uint64_t at = kPackageStart;
        size_t n;
        while (state < kSignatureSize && (n = fread(block.data(), 1, block.size(), file.f)) > 0) {
            for (size_t i = 0; i < n; ++i) {
                state = MatchSignatureByte(state, block[i]);
                if (state == kSignatureSize) {
                    report->found = true;
                    report->signatureAt = at + i + 1 - kSignatureSize;
                    break;
                }
            }
            at += n;
        }
    }
    if (!report->found)
        return true;
    uint64_t at = report->signatureAt + kSignatureSize;
    for (int s = 0; s < 3 && at != 0; ++s)
        at = ReadSection(file.f, at, report->fileSize, s, &report->sections[s], sink);
    if (at != 0)
        report->trailing = report->fileSize - at;
    return true;
}
