// Section and package writer. Output is reproducible: the gzip headers carry no
// name, no time and a fixed system byte, and members come in the order given.
#include "pack/writer.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "package/format.h"

namespace {

} // namespace

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

struct Member {
    std::vector<unsigned char> bytes;
    uint64_t sum = 0;
    uint64_t plain = 0;
    std::string error;
};

// Reads, sums, scrambles and compresses one file, a block at a time, so a
// member costs memory for its compressed bytes only.
void MakeMember(const SectionFile& file, bool scrambled, int level, const unsigned char* key, Member* m) {
    std::ifstream in;
    if (!file.source.empty()) {
        in.open(std::filesystem::u8path(file.source), std::ios::binary);
        if (!in) {
            m->error = "cannot read " + file.source;
            return;
        }
    }
    z_stream z;
    memset(&z, 0, sizeof z);
    if (deflateInit2(&z, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        m->error = "out of memory";
        return;
    }
    gz_header head;
    memset(&head, 0, sizeof head);
    head.os = 255;
    deflateSetHeader(&z, &head);
    std::vector<unsigned char> block(1 << 20), packed(1 << 16);
    size_t position = 0, offset = 0;
    for (bool last = false; !last && m->error.empty();) {
        size_t n;
        if (file.source.empty()) {
            n = std::min(block.size(), file.bytes.size() - offset);
            if (n > 0)
                memcpy(block.data(), file.bytes.data() + offset, n);
            offset += n;
            last = offset == file.bytes.size();
        } else {
            in.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(block.size()));
            n = static_cast<size_t>(in.gcount());
            if (in.bad())
                m->error = "cannot read " + file.source;
            last = !in;
        }
        m->plain += n;
        if (m->plain > UINT32_MAX) {
            m->error = (file.source.empty() ? file.name : file.source) + " is 4 GiB or larger; a member holds less";
            break;
        }
        m->sum = ChecksumAdd(m->sum, block.data(), n);
        if (scrambled)
            ScrambleBlock(block.data(), n, key, &position);
        z.next_in = block.data();
        z.avail_in = static_cast<uInt>(n);
        int status;
        do {
            z.next_out = packed.data();
            z.avail_out = static_cast<uInt>(packed.size());
            status = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            m->bytes.insert(m->bytes.end(), packed.data(), packed.data() + (packed.size() - z.avail_out));
        } while (z.avail_out == 0 || (last && status == Z_OK));
        if (status == Z_STREAM_ERROR)
            m->error = "compression failed for " + file.name;
    }
    deflateEnd(&z);
}

} // namespace

bool BuildSection(const std::vector<SectionFile>& files, bool scrambled, int level, std::vector<unsigned char>* out,
                  std::string* error, SectionInfo* info) {
    PackOptions options;
    options.level = level;
    return BuildSection(files, scrambled, options, out, error, info);
}

bool BuildSection(const std::vector<SectionFile>& files, bool scrambled, const PackOptions& options,
                  std::vector<unsigned char>* out, std::string* error, SectionInfo* info) {
    const uint64_t maxMembers = (UINT32_MAX - kSectionFixedSize) / 4 - 1;
    if (files.size() + 1 > maxMembers) {
        *error = "too many files for one section";
        return false;
    }
    std::string pathList;
    for (const SectionFile& f : files) {
        if (!IsSafeMemberPath(f.name.c_str(), f.name.size())) {
            *error = "unusable file name in the package: \"" + f.name + "\"";
            return false;
        }
        pathList += f.name + "\r\n";
    }
    unsigned char key[kScrambleKeySize];
    ScrambleKey(kVendorRegistryPath, kInstallerName, key);

    uint32_t count = static_cast<uint32_t>(files.size() + 1);
    std::vector<Member> members(count);
    SectionFile list{"", "", std::vector<unsigned char>(pathList.begin(), pathList.end())};
    MakeMember(list, false, options.level, key, &members[0]);

    // Members go to the threads one at a time in file order; each lands in
    // its own slot, so the output does not depend on
    // how many threads there are or how they interleave.
    unsigned threads = options.threads ? options.threads : std::max(1u, std::thread::hardware_concurrency());
    threads = std::min<unsigned>(threads, static_cast<unsigned>(std::max<size_t>(files.size(), 1)));
    std::atomic<size_t> next{0};
    std::atomic<uint64_t> done{0};
    uint64_t total = 0;
    for (const SectionFile& f : files) {
        std::error_code ec;
        total += f.source.empty() ? f.bytes.size()
                                  : static_cast<uint64_t>(std::filesystem::file_size(std::filesystem::u8path(f.source), ec));
    }
    std::mutex progressLock;
    auto work = [&]() {
        for (size_t i; (i = next++) < files.size();) {
            MakeMember(files[i], scrambled, options.level, key, &members[i + 1]);
            done += members[i + 1].plain;
            if (options.progress) {
                std::lock_guard<std::mutex> hold(progressLock);
                options.progress(done, total);
            }
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t)
        pool.emplace_back(work);
    work();
    for (std::thread& t : pool)
        t.join();

    uint64_t sum = 0, plain = 0;
    for (const Member& m : members) {
        if (!m.error.empty()) {
            *error = m.error;
            return false;
        }
        sum = (sum + m.sum) % kChecksumModulus;
        plain += m.plain;
    }

    uint64_t offset = kSectionFixedSize + 4 * static_cast<uint64_t>(count);
    std::vector<unsigned char> head(static_cast<size_t>(offset));
    memcpy(head.data(), kSectionMagic, sizeof kSectionMagic);
    WriteLe32(&head[3], static_cast<uint32_t>(sum));
    WriteLe32(&head[7], 0);
    WriteLe32(&head[11], count);
    for (uint32_t i = 0; i <= count; ++i) {
        if (offset > UINT32_MAX) {
            *error = "section larger than 4 GiB once compressed; the format cannot address it";
            return false;
        }
        WriteLe32(&head[kSectionHeaderSize + 4 * i], static_cast<uint32_t>(offset));
        if (i < count)
            offset += members[i].bytes.size();
    }
    out->insert(out->end(), head.begin(), head.end());
    for (const Member& m : members)
        out->insert(out->end(), m.bytes.begin(), m.bytes.end());
    if (info) {
        info->members = count;
        info->checksum = static_cast<uint32_t>(sum);
        info->plainBytes = plain;
    }
    return true;
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
    if (program.size() < 0x40 || program[0] != 'M' || program[1] != 'Z')
        return false;
    uint32_t pe = ReadLe32(&program[0x3C]);
    if (pe > program.size() || program.size() - pe < 24 + 2 || memcmp(&program[pe], "PE\0\0", 4) != 0)
        return false;
    size_t optional = pe + 24;
    unsigned magic = program[optional] | program[optional + 1] << 8;
    // The data directories start at 96 (PE32) or 112 (PE32+); entry 4 is the
    // security directory: offset and size.
    size_t directories = optional + (magic == 0x20B ? 112 : 96);
    size_t security = directories + 4 * 8;
    if (security + 8 > program.size())
        return false;
    return ReadLe32(&program[security + 4]) != 0;
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
        *error = "the installer program is already signed; appending a package would break the signature. "
                 "Pack the unsigned brondale.exe, then sign the result";
        return false;
    }
    if (FindSignature(stub) >= 0) {
        *error = "the installer program itself holds the package signature; the installer would stop there";
        return false;
    }
    std::vector<unsigned char> data = PackagePrefix(stub);
    for (int s = 0; s < 3; ++s)
        if (!BuildSection(sections[s], s == 1, options, &data, error))
            return false;
    std::filesystem::path target = std::filesystem::u8path(outPath);
    std::filesystem::path partial = std::filesystem::u8path(outPath + ".partial");
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        if (!out) {
            *error = "cannot create " + outPath + ".partial";
            return false;
        }
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        out.close();
        if (!out) {
            *error = "cannot write " + outPath + ".partial";
            std::error_code ec;
            std::filesystem::remove(partial, ec);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(partial, target, ec);
    if (ec) {
        *error = "cannot write " + outPath + ": " + ec.message();
        std::filesystem::remove(partial, ec);
        return false;
    }
    return true;
}
