// What the writer refuses, and the installer program it packs.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdio>

#include "helpers.h"
#include "pack/stream/gzblocks.h"
#include "base/format.h"

TEST(Writer, RefusesNamesTheInstallerCouldNotWrite) {
    const char* names[] = {"..\\x", "a/b", "C:\\x", "con.txt", "", "a\\", "x:y"};
    for (const char* name : names) {
        Bytes out;
        std::string error;
        EXPECT_FALSE(BuildSection({{name, "", FromText("x")}}, false, 6, &out, &error)) << name;
        EXPECT_TRUE(out.empty()) << name;
        EXPECT_NE(std::string::npos, error.find("name")) << error;
    }
}

TEST(Writer, OutputIsReproducible) {
    std::vector<SectionFile> files = {{"a.txt", "", Noise(10000, 3)}, {"b\\c.txt", "", FromText("c")}};
    Bytes a = Section(files), b = Section(files);
    EXPECT_EQ(a, b);
    // gzip header: no name, no time, system byte 255.
    uint32_t first = ReadLe32(&a[kSectionHeaderSize]);
    EXPECT_EQ(0x1F, a[first]);
    EXPECT_EQ(0x8B, a[first + 1]);
    EXPECT_EQ(0, a[first + 3]) << "no flags";
    EXPECT_EQ(0u, ReadLe32(&a[first + 4])) << "no time";
    EXPECT_EQ(255, a[first + 9]);
}

TEST(Writer, PadsTheProgramToThePackageStart) {
    Bytes small = FromText("MZ");
    Bytes prefix = PackagePrefix(small);
    ASSERT_EQ(kPackageStart + kSignatureSize, prefix.size());
    EXPECT_EQ(0, prefix[kPackageStart - 1]);
    EXPECT_EQ(SignatureByte(0), prefix[kPackageStart]);
    EXPECT_EQ(kPackageStart, static_cast<uint32_t>(FindSignature(prefix)));

    Bytes large(kPackageStart + 1000, 0x90);
    EXPECT_EQ(large.size() + kSignatureSize, PackagePrefix(large).size()) << "a long program is not cut";
}

TEST(Writer, RefusesAProgramThatHoldsTheSignature) {
    Bytes program(kPackageStart + 100, 0);
    for (size_t j = 0; j < kSignatureSize; ++j)
        program[kPackageStart + 10 + j] = SignatureByte(j);
    std::vector<SectionFile> sections[3];
    std::string error;
    std::string out = NewFolder("stub") + "\\setup.exe";
    EXPECT_FALSE(WriteInstaller(program, sections, out, 6, &error));
    EXPECT_FALSE(Exists(out));
    EXPECT_NE(std::string::npos, error.find("signature")) << error;
}

namespace {

// Log-like text: compresses well and repeats across block boundaries, so a
// block compressed without its dictionary would show in the size.
Bytes LogText(size_t size) {
    Bytes out;
    char line[128];
    for (unsigned i = 0; out.size() < size; ++i) {
        int n = snprintf(line, sizeof line, "2026-12-07 12:%02u:%02u INFO request %u served in %u ms from cache %u\n",
                         i / 60 % 60, i % 60, i * 7919 % 100000, i * 31 % 997, i % 5);
        out.insert(out.end(), line, line + n);
    }
    out.resize(size);
    return out;
}

// The members of a section built by BuildSection, member 0 first.
std::vector<Bytes> Members(const Bytes& section) {
    std::vector<Bytes> members;
    uint32_t count = ReadLe32(&section[11]);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t from = ReadLe32(&section[kSectionHeaderSize + 4 * i]);
        uint32_t to = ReadLe32(&section[kSectionHeaderSize + 4 * (i + 1)]);
        members.emplace_back(section.begin() + from, section.begin() + to);
    }
    return members;
}

// Inflates one gzip stream with plain zlib; false unless it ends exactly at
// the end of member.
bool Gunzip(const Bytes& member, Bytes* out) {
    z_stream z = {};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK)
        return false;
    Bytes block(1 << 16);
    z.next_in = const_cast<unsigned char*>(member.data());
    z.avail_in = static_cast<uInt>(member.size());
    int status;
    do {
        z.next_out = block.data();
        z.avail_out = static_cast<uInt>(block.size());
        status = inflate(&z, Z_NO_FLUSH);
        out->insert(out->end(), block.data(), block.data() + (block.size() - z.avail_out));
    } while (status == Z_OK);
    inflateEnd(&z);
    return status == Z_STREAM_END && z.avail_in == 0;
}

} // namespace

TEST(Writer, LargeFilesBecomeOneGzipStreamOfBlocksWhateverTheThreads) {
    struct Row {
        const char* label;
        Bytes data;
    } rows[] = {
        {"log text over several blocks", LogText(5 * kBlockSize / 2)},
        {"noise", Noise(kBlockSize + 1000, 4)},
        {"exactly two blocks", LogText(2 * kBlockSize)},
        {"one block and a byte", LogText(kBlockSize + 1)},
        {"empty", {}},
    };
    for (const Row& r : rows) {
        Bytes first;
        for (unsigned threads : {1u, 2u, 5u}) {
            PackOptions options;
            options.level = 6;
            options.threads = threads;
            Bytes section;
            std::string error;
            ASSERT_TRUE(BuildSection({{"f.bin", "", r.data}}, false, options, &section, &error)) << r.label << error;
            if (threads == 1)
                first = section;
            EXPECT_TRUE(section == first) << r.label << ": differs with " << threads << " threads";
        }
        std::vector<Bytes> members = Members(first);
        ASSERT_EQ(2u, members.size()) << r.label;
        Bytes plain;
        ASSERT_TRUE(Gunzip(members[1], &plain)) << r.label << ": not one gzip stream";
        EXPECT_TRUE(plain == r.data) << r.label;
        Bytes whole;
        ASSERT_TRUE(GzipMember(r.data.data(), r.data.size(), 6, &whole));
        EXPECT_LE(members[1].size(), whole.size() + whole.size() / 200 + 32)
            << r.label << ": blocks cost more than 0.5% over one deflate run";
    }
}

TEST(Writer, ASectionPastItsLimitIsRefusedAsItIsWritten) {
    std::vector<SectionFile> files = {{"a.bin", "", Noise(3 * kBlockSize, 9)}, {"b.bin", "", Noise(100, 1)}};
    std::vector<bool> scrambled(files.size(), false);
    CompressWork work;
    work.files = &files;
    work.scrambled = &scrambled;
    work.level = 1;
    work.limit = kBlockSize;
    work.tooLarge = "the test section passes its limit";
    Bytes out;
    Sink sink;
    sink.memory = &out;
    std::vector<MemberOutput> outputs;
    std::string error;
    EXPECT_FALSE(CompressMembers(work, &sink, &outputs, &error));
    EXPECT_EQ(work.tooLarge, error);
    EXPECT_LT(out.size(), 3 * kBlockSize) << "it stops at the limit, not after the last member";
}

#ifdef BRONDALE_INSTALLER_EXE
TEST(InstallerProgram, DoesNotHoldThePlainSignature) {
    Bytes exe;
    ASSERT_TRUE(ReadBytes(BRONDALE_INSTALLER_EXE, &exe)) << "run from the build folder";
    ASSERT_GT(exe.size(), 10000u);
    Bytes signature;
    for (size_t j = 0; j < kSignatureSize; ++j)
        signature.push_back(SignatureByte(j));
    EXPECT_EQ(exe.end(), std::search(exe.begin(), exe.end(), signature.begin(), signature.end()));
}
#endif
