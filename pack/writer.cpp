// Section and package writer. The installer file is written as it is
// compressed, through a temporary file renamed at the end. Output is
// reproducible: the gzip headers carry no name, no time and a fixed system
// byte, members come in the order given, blocks are cut by content alone.
#include "pack/writer.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <zlib.h>

#include "pack/platform.h"
#include "pack/sign.h"
#include "pack/stream/gzblocks.h"
#include "base/format.h"

bool GzipMember(const unsigned char* data, size_t size, int level, std::vector<unsigned char>* out) {
    z_stream z;
    memset(&z, 0, sizeof z);
    if (deflateInit2(&z, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    gz_header head;
    memset(&head, 0, sizeof head);
    head.os = 255;  // unknown: the same bytes whichever system packs
    deflateSetHeader(&z, &head);
    if (size > UINT32_MAX) {
        deflateEnd(&z);
        return false;
    }
    unsigned char block[1 << 16];
    z.next_in = const_cast<unsigned char*>(data);
    z.avail_in = static_cast<uInt>(size);
    int status;
    do {
        z.next_out = block;
        z.avail_out = sizeof block;
        status = deflate(&z, Z_FINISH);
        out->insert(out->end(), block, block + (sizeof block - z.avail_out));
    } while (status == Z_OK);
    deflateEnd(&z);
    return status == Z_STREAM_END;
}

namespace {

// The first file of 4 GiB or more, refused by name before anything is
// written: a member's length is a 32-bit field.
bool CheckSizes(const std::vector<SectionFile>& files, uint64_t* total, std::string* error) {
    for (const SectionFile& f : files) {
        uint64_t size = f.bytes.size();
        if (f.held) {
            if (!HeldSize(f.held, &size)) {
                *error = "cannot read " + f.source;
                return false;
            }
        } else if (!f.source.empty()) {
            std::error_code ec;
            size = std::filesystem::file_size(std::filesystem::u8path(f.source), ec);
            if (ec) {
                *error = "cannot read " + f.source;
                return false;
            }
        }
        if (size > UINT32_MAX) {
            *error = (f.source.empty() ? f.name : f.source) + " is " + std::to_string(size) +
                     " bytes; a file in a package must stay below 4 GiB (4294967296 bytes)";
            return false;
        }
        *total += size;
    }
    return true;
}

// The path list of a section: one line per file, each ended by CR LF.
// False with a message when a name breaks the path rule.
bool MakePathList(const std::vector<SectionFile>& files, std::string* pathList, std::string* error) {
    for (const SectionFile& f : files) {
        if (!IsSafeMemberPath(f.name.c_str(), f.name.size())) {
            *error = "unusable file name in the package: \"" + f.name + "\"";
            return false;
        }
        *pathList += f.name + "\r\n";
    }
    return true;
}

// Fills a section's header and offset table (head holds room for both) from
// its compressed members; returns the member count, checksum and plain size.
SectionInfo FillHeader(const std::vector<MemberOutput>& outputs, std::vector<unsigned char>* head) {
    uint32_t count = static_cast<uint32_t>(outputs.size());
    uint64_t sum = 0, plain = 0, offset = head->size();
    memcpy(head->data(), kSectionMagic, sizeof kSectionMagic);
    WriteLe32(&(*head)[7], 0);
    WriteLe32(&(*head)[11], count);
    for (uint32_t i = 0; i <= count; ++i) {
        WriteLe32(&(*head)[kSectionHeaderSize + 4 * i], static_cast<uint32_t>(offset));
        if (i < count) {
            offset += outputs[i].compressed;
            sum = (sum + outputs[i].sum) % kChecksumModulus;
            plain += outputs[i].plain;
        }
    }
    WriteLe32(&(*head)[3], static_cast<uint32_t>(sum));
    SectionInfo info;
    info.members = count;
    info.checksum = static_cast<uint32_t>(sum);
    info.plainBytes = plain;
    return info;
}

// Writes one section to sink: a header with a blank offset table, the
// members, then the header filled in. label ("the program section") names
// it in messages.
bool WriteSection(const std::vector<SectionFile>& files, bool scrambled, const PackOptions& options,
                  const std::string& label, uint64_t doneBefore, uint64_t total, Sink* sink, std::string* error,
                  SectionInfo* info) {
    const uint64_t maxMembers = (UINT32_MAX - kSectionFixedSize) / 4 - 1;
    if (files.size() + 1 > maxMembers) {
        *error = "too many files for " + label;
        return false;
    }
    std::string pathList;
    if (!MakePathList(files, &pathList, error))
        return false;
    uint64_t plainTotal = pathList.size();
    if (!CheckSizes(files, &plainTotal, error))
        return false;

    std::vector<SectionFile> members;
    members.reserve(files.size() + 1);
    members.push_back(SectionFile{"", "", std::vector<unsigned char>(pathList.begin(), pathList.end())});
    members.insert(members.end(), files.begin(), files.end());
    std::vector<bool> scrambledFlags(members.size(), scrambled);
    scrambledFlags[0] = false;
    uint32_t count = static_cast<uint32_t>(members.size());

    uint64_t start = sink->size;
    std::vector<unsigned char> head(kSectionFixedSize + 4 * static_cast<size_t>(count), 0);
    SinkWrite(sink, head.data(), head.size());

    CompressWork work;
    work.files = &members;
    work.scrambled = &scrambledFlags;
    work.level = options.level;
    work.threads = options.threads;
    work.limit = start + UINT32_MAX;
    work.tooLarge = label +
                    " passes 4 GiB once compressed, more than the package format "
                    "addresses; move some of its files to another installer";
    if (options.progress)
        work.progress = [&](uint64_t done) { options.progress(doneBefore + done, total); };
    std::vector<MemberOutput> outputs;
    if (!CompressMembers(work, sink, &outputs, error))
        return false;

    SectionInfo filled = FillHeader(outputs, &head);
    SinkPatch(sink, start, head.data(), head.size());
    if (sink->failed) {
        *error = "cannot write the output (is the disk full?)";
        return false;
    }
    if (info)
        *info = filled;
    return true;
}

}  // namespace

bool BuildSection(const std::vector<SectionFile>& files, bool scrambled, int level, std::vector<unsigned char>* out,
                  std::string* error, SectionInfo* info) {
    PackOptions options;
    options.level = level;
    return BuildSection(files, scrambled, options, out, error, info);
}

bool BuildSection(const std::vector<SectionFile>& files, bool scrambled, const PackOptions& options,
                  std::vector<unsigned char>* out, std::string* error, SectionInfo* info) {
    size_t before = out->size();
    Sink sink;
    sink.memory = out;
    sink.size = before;
    if (WriteSection(files, scrambled, options, "the section", 0, 0, &sink, error, info))
        return true;
    out->resize(before);
    return false;
}

long long FindSignature(const std::vector<unsigned char>& data) {
    unsigned char signature[kSignatureSize];
    for (size_t j = 0; j < kSignatureSize; ++j)
        signature[j] = SignatureByte(j);
    for (size_t i = kPackageStart; i + kSignatureSize <= data.size(); ++i)
        if (memcmp(&data[i], signature, kSignatureSize) == 0)
            return static_cast<long long>(i);
    return -1;
}

std::vector<unsigned char> PackagePrefix(const std::vector<unsigned char>& stub) {
    std::vector<unsigned char> prefix = stub;
    if (prefix.size() < kPackageStart)
        prefix.resize(kPackageStart, 0);
    for (size_t j = 0; j < kSignatureSize; ++j)
        prefix.push_back(SignatureByte(j));
    return prefix;
}

bool IsSignedProgram(const std::vector<unsigned char>& program) {
    uint32_t offset = 0, size = 0;
    return CertificateTable(program, &offset, &size);
}

bool WriteInstaller(const std::vector<unsigned char>& stub, const std::vector<SectionFile> sections[3],
                    const std::string& outPath, int level, std::string* error) {
    PackOptions options;
    options.level = level;
    return WriteInstaller(stub, sections, outPath, options, error);
}

bool WriteInstaller(const std::vector<unsigned char>& stub, const std::vector<SectionFile> sections[3],
                    const std::string& outPath, const PackOptions& options, std::string* error) {
    if (IsSignedProgram(stub)) {
        *error =
            "the installer program is already signed; appending a package would break the signature. "
            "Pack the unsigned brondale.exe, then sign the result";
        return false;
    }
    if (FindSignature(stub) >= 0) {
        *error = "the installer program itself holds the package signature; the installer would stop there";
        return false;
    }
    uint64_t total = 0;
    for (int s = 0; s < 3; ++s)
        if (!CheckSizes(sections[s], &total, error))
            return false;
    std::filesystem::path target = std::filesystem::u8path(outPath);
    std::filesystem::path partial = std::filesystem::u8path(outPath + ".partial");
    Sink sink;
    sink.file = OpenOutput(outPath + ".partial");
    if (!sink.file) {
        *error = "cannot create " + outPath + ".partial";
        return false;
    }
    std::vector<char> buffer(1 << 20);
    setvbuf(sink.file, buffer.data(), _IOFBF, buffer.size());
    std::vector<unsigned char> prefix = PackagePrefix(stub);
    SinkWrite(&sink, prefix.data(), prefix.size());
    static const char* const kLabels[3] = {"Lang", "Install", "program"};
    uint64_t done = 0;
    bool ok = true;
    for (int s = 0; s < 3 && ok; ++s) {
        SectionInfo info;
        std::string label = std::string("the ") + kLabels[s] + " section";
        ok = WriteSection(sections[s], s == 1, options, label, done, total, &sink, error, &info);
        done += info.plainBytes;
    }
    if (fclose(sink.file) != 0 && ok) {
        *error = "cannot write " + outPath + ".partial (is the disk full?)";
        ok = false;
    }
    if (ok && options.finish)
        ok = options.finish(outPath + ".partial", error);
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(partial, target, ec);
        if (ec)
            *error = "cannot write " + outPath + ": " + ec.message();
    }
    if (!ok || ec) {
        std::filesystem::remove(partial, ec);
        return false;
    }
    return true;
}
