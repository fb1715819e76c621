// The packing tool's commands on real product folders: build (parallel,
// streamed and reproducible), verify, list, extract and new, the tool's
// companions and the 4 GiB limit.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "files.h"
#include "pack/cli/companions.h"
#include "pack/extract.h"
#include "pack/finding.h"
#include "pack/json.h"
#include "pack/progress.h"
#include "pack/inspect.h"
#include "pack/lint.h"
#include "pack/newproduct.h"
#include "pack/product.h"
#include "pack/writer.h"
#include "base/format.h"

using namespace packtest;

namespace {

std::string Noise(size_t n, unsigned seed) {
    std::string s(n, '\0');
    uint32_t x = seed * 2654435761u + 7;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 23);
    }
    return s;
}

// A product with every section populated.
fs::path Product(const std::string& label) {
    fs::path p = Folder(label);
    Put(p / "lang/English.lng", "[lng]\r\n3=Install\r\n");
    Put(p / "install/init.cfg", "[cfg]\r\n1=Pack Test\r\n2=licence.txt\r\n[index]\r\nmax=2\r\n[Run]\r\n1=app.exe\r\n"
                                "[silent]\r\n1=1\r\n");
    Put(p / "install/licence.txt", "terms");
    Put(p / "install/UnInst.dat", "MZ uninstaller");
    Put(p / "install/lnk.cfg", "[index2]\r\nmax=2\r\n[menu]\r\n1=app.exe\r\n");
    Put(p / "program/app.exe", Noise(300000, 1));
    Put(p / "program/doc/readme.txt", std::string(200000, 'r'));
    Put(p / "program/empty.dat", "");
    Put(p / "program/big/log.txt", std::string(600000, 'x') + Noise(200000, 5));  // several blocks
    for (int i = 0; i < 20; ++i)
        Put(p / ("program/data/f" + std::to_string(i) + ".bin"), Noise(1000 + 37 * i, i));
    return p;
}

bool Pack(const fs::path& product, const fs::path& out, unsigned threads, std::string* error) {
    std::vector<SectionFile> sections[3];
    std::vector<Finding> findings;
    if (!ReadProduct(product.string(), 1250, sections, &findings, error))
        return false;
    PackOptions options;
    options.threads = threads;
    return WriteInstaller(Stub(), sections, out.string(), options, error);
}

} // namespace

TEST(PackTool, OutputIsTheSameWhateverTheNumberOfThreads) {
    fs::path product = Product("threads");
    fs::path out = Folder("threads-out");
    std::string error;
    ASSERT_TRUE(Pack(product, out / "one.exe", 1, &error)) << error;
    ASSERT_TRUE(Pack(product, out / "four.exe", 4, &error)) << error;
    ASSERT_TRUE(Pack(product, out / "all.exe", 0, &error)) << error;
    Bytes one = Load(out / "one.exe");
    EXPECT_TRUE(one == Load(out / "four.exe"));
    EXPECT_TRUE(one == Load(out / "all.exe"));
    fs::remove_all(product);
    fs::remove_all(out);
}

TEST(PackTool, VerifyListsEverySectionAndExtractBuildsTheSamePackageAgain) {
    fs::path product = Product("roundtrip");
    fs::path out = Folder("roundtrip-out");
    std::string error;
    ASSERT_TRUE(Pack(product, out / "setup.exe", 0, &error)) << error;

    PackageReport report;
    ASSERT_TRUE(InspectPackage((out / "setup.exe").string(), &report, &error)) << error;
    ASSERT_TRUE(report.ok()) << report.sections[0].error << report.sections[1].error << report.sections[2].error;
    EXPECT_EQ(kPackageStart, report.signatureAt) << "a short program is padded to the package start";
    EXPECT_EQ(2u, report.sections[0].members.size());
    EXPECT_EQ(5u, report.sections[1].members.size());
    ASSERT_EQ(25u, report.sections[2].members.size());
    EXPECT_EQ("app.exe", report.sections[2].members[1].name);
    EXPECT_EQ(300000u, report.sections[2].members[1].size);
    EXPECT_EQ(0u, report.trailing);

    ASSERT_TRUE(ExtractPackage((out / "setup.exe").string(), (out / "x").string(), 1250, &error)) << error;
    EXPECT_TRUE(Load(out / "x/install/init.cfg") == Load(product / "install/init.cfg")) << "descrambled";
    EXPECT_TRUE(Load(out / "x/program/doc/readme.txt") == Load(product / "program/doc/readme.txt"));
    EXPECT_TRUE(Load(out / "x/program/big/log.txt") == Load(product / "program/big/log.txt"));
    EXPECT_TRUE(fs::exists(out / "x/program/empty.dat"));
    ASSERT_TRUE(Pack(out / "x", out / "again.exe", 0, &error)) << error;
    EXPECT_TRUE(Load(out / "setup.exe") == Load(out / "again.exe")) << "the same package again";

    EXPECT_FALSE(ExtractPackage((out / "setup.exe").string(), (out / "x").string(), 1250, &error))
        << "a folder that is not empty is refused";
    fs::remove_all(product);
    fs::remove_all(out);
}

TEST(PackTool, BytesAppendedAfterThePackageLeaveItSound) {
    fs::path product = Product("appended");
    fs::path out = Folder("appended-out");
    std::string error;
    ASSERT_TRUE(Pack(product, out / "setup.exe", 0, &error)) << error;
    {
        std::ofstream sign(out / "setup.exe", std::ios::binary | std::ios::app);
        sign << std::string(4096, '\x5A');  // where a signature would go
    }
    PackageReport report;
    ASSERT_TRUE(InspectPackage((out / "setup.exe").string(), &report, &error));
    EXPECT_TRUE(report.ok());
    EXPECT_EQ(4096u, report.trailing);
    fs::remove_all(product);
    fs::remove_all(out);
}

TEST(PackTool, DamagedOrHostilePackagesAreNamedAndNothingIsExtracted) {
    fs::path product = Product("damage");
    fs::path out = Folder("damage-out");
    std::string error;
    ASSERT_TRUE(Pack(product, out / "setup.exe", 0, &error)) << error;
    Bytes good = Load(out / "setup.exe");
    PackageReport report;
    ASSERT_TRUE(InspectPackage((out / "setup.exe").string(), &report, &error));
    uint64_t program = report.sections[2].start;

    // A section assembled by hand whose path list leaves the target.
    std::string list = "..\\escape.txt\r\n";
    Bytes listMember, fileMember;
    ASSERT_TRUE(GzipMember(reinterpret_cast<const unsigned char*>(list.data()), list.size(), 6, &listMember));
    ASSERT_TRUE(GzipMember(reinterpret_cast<const unsigned char*>("x"), 1, 6, &fileMember));
    Bytes hostile(kSectionFixedSize + 8);
    memcpy(hostile.data(), kSectionMagic, 3);
    WriteLe32(&hostile[3], static_cast<uint32_t>(ChecksumAdd(ChecksumAdd(0, reinterpret_cast<const unsigned char*>(list.data()), list.size()), reinterpret_cast<const unsigned char*>("x"), 1)));
    WriteLe32(&hostile[11], 2);
    WriteLe32(&hostile[15], 27);
    WriteLe32(&hostile[19], 27 + static_cast<uint32_t>(listMember.size()));
    WriteLe32(&hostile[23], 27 + static_cast<uint32_t>(listMember.size() + fileMember.size()));
    hostile.insert(hostile.end(), listMember.begin(), listMember.end());
    hostile.insert(hostile.end(), fileMember.begin(), fileMember.end());

    struct Row {
        const char* label;
        Bytes data;
        const char* says;
    };
    Bytes flipped = good;
    flipped[program + (good.size() - program) / 2] ^= 0x20;
    Bytes cut(good.begin(), good.end() - 100);
    Bytes badMagic = good;
    badMagic[report.sections[1].start] = 'X';
    Bytes swapped(good.begin(), good.begin() + static_cast<long>(program));
    swapped.insert(swapped.end(), hostile.begin(), hostile.end());
    Bytes none(good.begin(), good.begin() + kPackageStart);
    std::vector<Row> rows = {
        {"flipped byte", flipped, "program section: member"},
        {"cut short", cut, "program section"},
        {"bad magic", badMagic, "Install section: no section magic"},
        {"hostile path", swapped, "not a safe path"},
        {"no package", none, ""},
    };
    for (const Row& r : rows) {
        fs::path file = out / "bad.exe";
        std::ofstream(file, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(r.data.data()), static_cast<std::streamsize>(r.data.size()));
        ASSERT_TRUE(InspectPackage(file.string(), &report, &error)) << r.label;
        EXPECT_FALSE(report.ok()) << r.label;
        std::string said = report.sections[0].error + report.sections[1].error + report.sections[2].error;
        EXPECT_NE(std::string::npos, said.find(r.says)) << r.label << ": " << said;
        fs::path target = out / "target";
        EXPECT_FALSE(ExtractPackage(file.string(), target.string(), 1250, &error)) << r.label;
        EXPECT_FALSE(error.empty()) << r.label;
        EXPECT_TRUE(!fs::exists(target) || fs::is_empty(target)) << r.label << ": nothing written";
        EXPECT_FALSE(fs::exists(out / "escape.txt")) << r.label;
    }
    fs::remove_all(product);
    fs::remove_all(out);
}

TEST(PackTool, RefusesASignedProgram) {
    Bytes program(1024, 0);
    program[0] = 'M';
    program[1] = 'Z';
    WriteLe32(&program[0x3C], 0x80);
    memcpy(&program[0x80], "PE\0\0", 4);
    program[0x80 + 24] = 0x0B;  // PE32
    program[0x80 + 25] = 0x01;
    EXPECT_FALSE(IsSignedProgram(program));
    WriteLe32(&program[0x80 + 24 + 96 + 4 * 8 + 4], 0x1000);  // security directory size
    EXPECT_TRUE(IsSignedProgram(program));
    std::vector<SectionFile> sections[3];
    std::string error;
    fs::path out = Folder("signed");
    EXPECT_FALSE(WriteInstaller(program, sections, (out / "setup.exe").string(), PackOptions(), &error));
    EXPECT_NE(std::string::npos, error.find("signed")) << error;
    EXPECT_FALSE(fs::exists(out / "setup.exe"));
    fs::remove_all(out);
}

TEST(PackTool, ANewProductLintsCleanAndPacks) {
    fs::path out = Folder("new-out");
    std::string file, error;
    fs::path p = out / "product";
    ASSERT_TRUE(CreateProduct(p.string(), "  Nowy \xC5\xBC\xC3\xB3\xC5\x82w ", 1250, {'M', 'Z'}, &file, &error)) << error;
    EXPECT_EQ("Nowy \xC5\xBC\xC3\xB3\xC5\x82w.exe", file) << "named after the product, trimmed";
    EXPECT_TRUE(fs::exists(p / "program" / fs::u8path(file)));
    Put(p / "install/UnInst.dat", "MZ");  // the tool adds its own uninstaller
    std::vector<SectionFile> sections[3];
    std::vector<Finding> read;
    ASSERT_TRUE(ReadProduct(p.string(), 1250, sections, &read, &error)) << error;
    EXPECT_EQ(0u, read.size()) << read[0].where << ": " << read[0].message;
    for (const Finding& f : LintProduct(sections, 1250))
        ADD_FAILURE() << f.where << ": " << f.message;
    Bytes raw = Load(p / "install/init.cfg");
    std::string init(raw.begin(), raw.end());
    EXPECT_NE(std::string::npos, init.find("\r\n1=Nowy \xBF\xF3\xB3w\r\n")) << "the name in code page 1250";
    ASSERT_TRUE(WriteInstaller(Stub(), sections, (out / "setup.exe").string(), PackOptions(), &error)) << error;
    PackageReport report;
    ASSERT_TRUE(InspectPackage((out / "setup.exe").string(), &report, &error));
    EXPECT_TRUE(report.ok());

    struct Row {
        const char* label;
        std::string name;
        const char* says;
    } rows[] = {
        {"empty", "   ", "needs a name"},
        {"too long", std::string(64, 'N'), "64 characters"},
        {"outside the code page", "\xE6\x97\xA5", "code page 1250"},
        {"control character", "A\tB\nC", "control character"},
        {"folder not empty", "Fine", "not an empty folder"},
    };
    for (const Row& r : rows) {
        fs::path target = std::string(r.label) == "folder not empty" ? p : out / "refused";
        EXPECT_FALSE(CreateProduct(target.string(), r.name, 1250, {'M', 'Z'}, &file, &error)) << r.label;
        EXPECT_NE(std::string::npos, error.find(r.says)) << r.label << ": " << error;
    }
    EXPECT_FALSE(fs::exists(out / "refused")) << "nothing is left of a refused product";
    ASSERT_TRUE(CreateProduct((out / "odd").string(), "A\\B", 1250, {'M', 'Z'}, &file, &error)) << error;
    EXPECT_EQ("Program.exe", file) << "a name that makes no file name";
    fs::remove_all(out);
}

TEST(PackTool, CompanionsAreFoundBesideTheToolThenInShare) {
    fs::path root = Folder("companions");
    fs::path bin = root / "bin", share = root / "share/brondale";
    Put(bin / "brondale-pack", "");
    Put(share / "brondale.exe", "installed");
    Put(share / "UnInst.exe", "installed");
    Put(bin / "UnInst.exe", "beside");
    fs::create_directories(bin / "placeholder.exe");  // a folder of that name does not count
    EXPECT_EQ((share / "brondale.exe").string(), FindCompanion(bin.string(), "brondale.exe"));
    EXPECT_EQ((bin / "UnInst.exe").string(), FindCompanion(bin.string(), "UnInst.exe")) << "beside comes first";
    EXPECT_EQ("", FindCompanion(bin.string(), "placeholder.exe"));
    EXPECT_EQ("", FindCompanion(share.string(), "UnInst.dat"));
    fs::remove_all(root);
}

TEST(PackTool, AFileOf4GiBIsRefusedByNameBeforeAnythingIsWritten) {
    fs::path p = Product("huge");
    fs::path huge = p / "program/disk.img";
    {
        std::ofstream(huge, std::ios::binary).put('x');
    }
    fs::resize_file(huge, uint64_t(1) << 32);  // sparse: no disk space taken
    fs::path out = Folder("huge-out");
    Put(out / "setup.exe", "the old installer");
    std::string error;
    EXPECT_FALSE(Pack(p, out / "setup.exe", 0, &error));
    EXPECT_NE(std::string::npos, error.find(huge.string())) << error;
    EXPECT_NE(std::string::npos, error.find("4 GiB")) << error;
    Bytes old = Load(out / "setup.exe");
    EXPECT_EQ("the old installer", std::string(old.begin(), old.end())) << "the old installer stays";
    EXPECT_FALSE(fs::exists(out / "setup.exe.partial"));
    fs::remove_all(p);
    fs::remove_all(out);
}

// What reaches a terminal: UTF-8 kept, every control (C0, DEL, C1 raw or
// in UTF-8) and every byte that is no UTF-8 escaped; names from a package
// converted from its code page first, so that code page 1250's 0x9B is the
// letter it stands for there, never a raw C1 byte.
TEST(PackTool, PrintableKeepsUtf8AndEscapesControlsAndStrayBytes) {
    struct Row {
        std::string in, printed;
    } rows[] = {
        {"plain \\ text", "plain \\ text"},
        {"\xC5\xBC\xC3\xB3\xC5\x82w", "\xC5\xBC\xC3\xB3\xC5\x82w"},
        {"\x1b[31m\x7f", "\\x1b[31m\\x7f"},
        {"a\x9b" "2J", "a\\x9b2J"},
        {"\xC2\x9B" "2J", "\\xc2\\x9b2J"},
        {"\xC2\xA0", "\xC2\xA0"},
        {"\xE2\x80\xBA", "\xE2\x80\xBA"},
        {"\xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80", "\\xc0\\xaf \\xed\\xa0\\x80 \\xf4\\x90\\x80\\x80"},
        {"cut \xE2\x80", "cut \\xe2\\x80"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.printed, Printable(r.in)) << r.printed;
    EXPECT_EQ("\xE2\x80\xBA\xC5\x9A\xC5\xBC", FromPackage("\x9B\x8C\xBF", 1250)) << "1250's 0x9B is a letter there";
    EXPECT_EQ("a\x81z", FromPackage("a\x81z", 1250)) << "a byte without a character stays, for Printable";
    EXPECT_EQ("a\\x81z", Printable(FromPackage("a\x81z", 1250)));
    EXPECT_EQ("\"\\u001b\\u009b\\ufffd\xC5\xBC\\\"\\\\\"", JsonString("\x1b\xC2\x9B\x9B\xC5\xBC\"\\"));
}

TEST(PackTool, TheProgressLineTellsBytesRateAndTimeLeft) {
    EXPECT_EQ("packing: 0.0 of 550.0 MB (0%)", ProgressLine(0, 550000000, 0.5));
    EXPECT_EQ("packing: 110.0 of 550.0 MB (20%), 11.0 MB/s, 0:40 left", ProgressLine(110000000, 550000000, 10));
    EXPECT_EQ("packing: 1.0 of 7200.0 MB (0%), 1.0 MB/s, 119:59 left", ProgressLine(1000000, 7200000000, 1));
    EXPECT_EQ("packing: 5.0 of 5.0 MB (100%), 2.5 MB/s, 0:00 left", ProgressLine(6000000, 5000000, 2));
    EXPECT_EQ("packing: 0.0 of 0.0 MB (100%)", ProgressLine(0, 0, 3));
}
