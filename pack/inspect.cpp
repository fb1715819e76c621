// Reading installer files for the packing tool. Every check the installer
// makes is made here too, with a message naming the section and member.
#include "pack/inspect.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <zlib.h>

#include "pack/platform.h"
#include "base/format.h"

namespace fs = std::filesystem;

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

// Inflates one member; delivers its bytes (descrambled) to out, which may be
// null. Returns "" or what is wrong with the stream.
std::string InflateMember(FILE* f, uint64_t at, uint32_t size, bool scrambled,
                          const std::function<bool(const unsigned char*, size_t, std::string*)>& out,
                          uint64_t* sum, uint32_t* produced) {
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
        if (z.avail_in == 0 && left > 0) {
            size_t n = left < in.size() ? left : in.size();
            if (fread(in.data(), 1, n, f) != n) {
                problem = "ends before its end (the file is cut short)";
                break;
            }
            left -= static_cast<uint32_t>(n);
            z.next_in = in.data();
            z.avail_in = static_cast<uInt>(n);
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

// Checks one section at offset at; fills the report, delivering files to
// the sink. Returns the offset after the section (0 when it is unusable).
uint64_t ReadSection(FILE* f, uint64_t at, uint64_t fileSize, int index, SectionReport* s, MemberSink* sink) {
    s->start = at;
    const char* name = kSectionNames[index];
    auto fail = [&](const std::string& why) {
        s->error = std::string(name) + " section: " + why;
        return uint64_t(0);
    };
    unsigned char head[kSectionHeaderSize];
    if (at + sizeof head > fileSize || !ReadAt(f, at, head, sizeof head))
        return fail("the file ends before its header");
    if (memcmp(head, kSectionMagic, sizeof kSectionMagic) != 0)
        return fail("no section magic \"GZC\" where the section should start");
    s->storedChecksum = ReadLe32(head + 3);
    uint32_t count = ReadLe32(head + 11);
    uint64_t available = fileSize - at;
    uint64_t tableBytes = 4 * (static_cast<uint64_t>(count) + 1);
    if (count == 0)
        return fail("member count 0");
    if (kSectionHeaderSize + tableBytes > available)
        return fail("member count " + std::to_string(count) + " does not fit the file");
    std::vector<unsigned char> raw(static_cast<size_t>(tableBytes));
    if (!ReadAt(f, at + kSectionHeaderSize, raw.data(), raw.size()))
        return fail("the offset table cannot be read");
    std::vector<uint32_t> offsets(count + 1);
    for (uint32_t i = 0; i <= count; ++i)
        offsets[i] = ReadLe32(&raw[4 * i]);
    if (offsets[0] != kSectionFixedSize + 4 * static_cast<uint64_t>(count))
        return fail("the first member does not start after the offset table");
    if (offsets[count] > available)
        return fail("the section runs past the end of the file");
    for (uint32_t i = 0; i < count; ++i)
        if (offsets[i + 1] < offsets[i] || offsets[i + 1] - offsets[i] < kMinMemberSize)
            return fail("member " + std::to_string(i) + " has an impossible size");
    s->length = offsets[count];

    // The path list.
    std::string list;
    uint64_t sum = 0;
    uint32_t produced = 0;
    std::string problem = InflateMember(
        f, at + offsets[0], offsets[1] - offsets[0], false,
        [&](const unsigned char* d, size_t n, std::string* e) {
            if (list.size() + n > static_cast<uint64_t>(count) * (kMaxPath + 2) + 2) {
                *e = "is longer than its lines can be";
                return false;
            }
            list.append(reinterpret_cast<const char*>(d), n);
            return true;
        },
        &sum, &produced);
    if (!problem.empty())
        return fail("the path list " + problem);
    std::vector<std::string> names;
    for (size_t pos = 0; pos < list.size() && names.size() + 1 < count;) {
        size_t end = list.find('\n', pos);
        std::string line = list.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        names.push_back(line);
        pos = end == std::string::npos ? list.size() : end + 1;
    }
    if (names.size() + 1 < count)
        return fail("the path list names " + std::to_string(names.size()) + " files for " +
                    std::to_string(count - 1) + " members");
    uint32_t listCrc = 0;
    ReadAt(f, at + offsets[1] - 8, &raw[0], 4);
    listCrc = ReadLe32(&raw[0]);
    s->members.push_back(MemberInfo{"", offsets[1] - offsets[0], produced, listCrc});

    for (uint32_t k = 1; k < count; ++k) {
        const std::string& line = names[k - 1];
        std::string label = "member " + std::to_string(k) + " \"" + line + "\"";
        if (!IsSafeMemberPath(line.c_str(), line.size()))
            return fail(label + ": not a safe path inside the target folder");
        std::string error;
        if (sink && !sink->Begin(index, line, &error))
            return fail(label + ": " + error);
        problem = InflateMember(
            f, at + offsets[k], offsets[k + 1] - offsets[k], index == 1,
            [&](const unsigned char* d, size_t n, std::string* e) { return !sink || sink->Data(d, n, e); }, &sum,
            &produced);
        if (sink && problem.empty() && !sink->End(&error))
            problem = error;
        if (!problem.empty())
            return fail(label + " " + problem);
        unsigned char trailer[8];
        ReadAt(f, at + offsets[k + 1] - 8, trailer, 8);
        s->members.push_back(MemberInfo{line, offsets[k + 1] - offsets[k], produced, ReadLe32(trailer)});
    }
    s->checksum = static_cast<uint32_t>(sum);
    if (s->checksum != s->storedChecksum)
        return fail("checksum " + std::to_string(s->checksum) + " where " + std::to_string(s->storedChecksum) +
                    " is stored");
    s->ok = true;
    return at + offsets[count];
}

} // namespace

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

namespace {

// Writes members below a folder as files.
class FolderSink : public MemberSink {
public:
    FolderSink(const fs::path& root, int codePage) : root_(root), codePage_(codePage) {}
    bool Begin(int section, const std::string& name, std::string* error) override {
        std::string utf8;
        if (!FromCodePage(name, codePage_, &utf8)) {
            *error = "its name does not convert from code page " + std::to_string(codePage_);
            return false;
        }
        std::string relative = utf8;
        for (char& c : relative)
            if (c == '\\')
                c = '/';
        fs::path target = root_ / kSectionFolders[section] / fs::u8path(relative);
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
        out_.reset(new std::ofstream(target, std::ios::binary | std::ios::trunc));
        if (!*out_) {
            *error = "cannot write " + target.u8string();
            return false;
        }
        return true;
    }
    bool Data(const unsigned char* data, size_t size, std::string* error) override {
        out_->write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!*out_)
            *error = "cannot write (disk full?)";
        return static_cast<bool>(*out_);
    }
    bool End(std::string* error) override {
        out_->close();
        bool ok = static_cast<bool>(*out_);
        out_.reset();
        if (!ok)
            *error = "cannot finish writing";
        return ok;
    }

private:
    fs::path root_;
    int codePage_;
    std::unique_ptr<std::ofstream> out_;
};

// Keeps the Install section's files in memory.
class MemorySink : public MemberSink {
public:
    explicit MemorySink(std::vector<std::pair<std::string, std::string>>* files) : files_(files) {}
    bool Begin(int section, const std::string& name, std::string*) override {
        take_ = section == 1;
        if (take_)
            files_->push_back({name, std::string()});
        return true;
    }
    bool Data(const unsigned char* data, size_t size, std::string*) override {
        if (take_)
            files_->back().second.append(reinterpret_cast<const char*>(data), size);
        return true;
    }
    bool End(std::string*) override { return true; }

private:
    std::vector<std::pair<std::string, std::string>>* files_;
    bool take_ = false;
};

std::string FirstProblem(const PackageReport& report) {
    if (!report.found)
        return "no package in this file (no signature at or after byte " + std::to_string(kPackageStart) + ")";
    for (const SectionReport& s : report.sections)
        if (!s.ok)
            return s.error.empty() ? "a section is missing" : s.error;
    return "";
}

} // namespace

bool ExtractPackage(const std::string& path, const std::string& folder, int codePage, std::string* error) {
    PackageReport report;
    if (!InspectPackage(path, &report, error))
        return false;
    if (!report.ok()) {
        *error = FirstProblem(report);
        return false;
    }
    std::error_code ec;
    fs::path root = fs::u8path(folder);
    if (fs::exists(root, ec) && !fs::is_empty(root, ec)) {
        *error = folder + " is not empty";
        return false;
    }
    FolderSink sink(root, codePage);
    if (!InspectPackage(path, &report, error, &sink))
        return false;
    if (!report.ok()) {
        *error = FirstProblem(report);
        return false;
    }
    return true;
}

bool ReadInstallSection(const std::string& path, std::vector<std::pair<std::string, std::string>>* files,
                        std::string* error) {
    PackageReport report;
    MemorySink sink(files);
    if (!InspectPackage(path, &report, error, &sink))
        return false;
    if (!report.found || !report.sections[0].ok || !report.sections[1].ok) {
        *error = FirstProblem(report);
        return false;
    }
    return true;
}
