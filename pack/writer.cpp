// Section and package writer. Output is reproducible: the gzip headers carry no
// name, no time and a fixed system byte, and members come in the order given.
#include "pack/writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <zlib.h>

#include "package/format.h"

namespace {

bool ReadSource(const SectionFile& file, std::vector<unsigned char>* data, std::string* error) {
    if (file.source.empty()) {
        *data = file.bytes;
        return true;
    }
    std::ifstream in(std::filesystem::u8path(file.source), std::ios::binary);
    if (!in) {
        *error = "cannot read " + file.source;
        return false;
    }
    data->clear();
    char block[1 << 16];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        data->insert(data->end(), block, block + in.gcount());
        if (data->size() > UINT32_MAX) {
            *error = file.source + " is 4 GiB or larger; a member holds less";
            return false;
        }
    }
    if (in.bad()) {
        *error = "cannot read " + file.source;
        return false;
    }
    return true;
}

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

bool BuildSection(const std::vector<SectionFile>& files, bool scrambled, int level, std::vector<unsigned char>* out,
                  std::string* error, SectionInfo* info) {
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
    std::vector<std::vector<unsigned char>> members(count);
    uint64_t sum = ChecksumAdd(0, reinterpret_cast<const unsigned char*>(pathList.data()), pathList.size());
    uint64_t plain = pathList.size();
    if (!GzipMember(reinterpret_cast<const unsigned char*>(pathList.data()), pathList.size(), level, &members[0])) {
        *error = "compression failed";
        return false;
    }
    for (size_t i = 0; i < files.size(); ++i) {
        std::vector<unsigned char> data;
        if (!ReadSource(files[i], &data, error))
            return false;
        if (data.size() > UINT32_MAX) {
            *error = files[i].name + " is 4 GiB or larger; a member holds less";
            return false;
        }
        sum = ChecksumAdd(sum, data.data(), data.size());
        plain += data.size();
        if (scrambled) {
            size_t position = 0;
            ScrambleBlock(data.data(), data.size(), key, &position);
        }
        if (!GzipMember(data.data(), data.size(), level, &members[i + 1])) {
            *error = "compression failed";
            return false;
        }
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
            offset += members[i].size();
    }
    out->insert(out->end(), head.begin(), head.end());
    for (const std::vector<unsigned char>& m : members)
        out->insert(out->end(), m.begin(), m.end());
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

bool WriteInstaller(const std::vector<unsigned char>& stub, const std::vector<SectionFile> sections[3],
                    const std::string& outPath, int level, std::string* error) {
    if (FindSignature(stub) >= 0) {
        *error = "the installer program itself holds the package signature; the installer would stop there";
        return false;
    }
    std::vector<unsigned char> data = PackagePrefix(stub);
    for (int s = 0; s < 3; ++s)
        if (!BuildSection(sections[s], s == 1, level, &data, error))
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
