// What the writer refuses, and the installer program it packs.
#include <gtest/gtest.h>

#include "helpers.h"
#include "package/format.h"

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
