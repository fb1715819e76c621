// The packing tool's commands on real product folders: build (parallel and
// reproducible), verify, list, extract, lint and plan.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "pack/inspect.h"
#include "pack/lint.h"
#include "pack/plan.h"
#include "pack/product.h"
#include "pack/writer.h"
#include "package/format.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

fs::path Folder(const std::string& label) {
    fs::path p = fs::temp_directory_path() / ("brondale-packtool-" + label + "-" + std::to_string(getpid()));
    fs::remove_all(p);
    fs::create_directories(p);
    return p;
}

void Put(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

Bytes Load(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

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
    for (int i = 0; i < 20; ++i)
        Put(p / ("program/data/f" + std::to_string(i) + ".bin"), Noise(1000 + 37 * i, i));
    return p;
}

Bytes Stub() {
    Bytes stub = {'M', 'Z'};
    stub.resize(4096, 0);
    return stub;
}

bool Pack(const fs::path& product, const fs::path& out, unsigned threads, std::string* error) {
    std::vector<SectionFile> sections[3];
    if (!ReadProduct(product.string(), 1250, sections, error))
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
    ASSERT_EQ(24u, report.sections[2].members.size());
    EXPECT_EQ("app.exe", report.sections[2].members[1].name);
    EXPECT_EQ(300000u, report.sections[2].members[1].size);
    EXPECT_EQ(0u, report.trailing);

    ASSERT_TRUE(ExtractPackage((out / "setup.exe").string(), (out / "x").string(), 1250, &error)) << error;
    EXPECT_TRUE(Load(out / "x/install/init.cfg") == Load(product / "install/init.cfg")) << "descrambled";
    EXPECT_TRUE(Load(out / "x/program/doc/readme.txt") == Load(product / "program/doc/readme.txt"));
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

TEST(PackTool, LintNamesEveryMistakeWithFileSectionAndKey) {
    fs::path p = Folder("lint");
    Put(p / ("lang/" + std::string(30, 'L') + ".lng"), "[lng]\r\n7=" + std::string(300, 't') + "\r\n");
    Put(p / "install/init.cfg", "[cfg]\r\n1=" + std::string(70, 'P') + "\r\n2=missing.txt\r\n3=info.txt\r\n"
                                "[index]\r\nmax=2\r\nmaxU=x\r\n[Run]\r\n1=app.exe\r\n2=late.exe\r\n[silent]\r\n1=11\r\n");
    Put(p / "install/lnk.cfg", "[index1]\r\nmax=3\r\n[desktop]\r\n1=app.exe\r\n[menu]\r\n1=nowhere.exe\r\n");
    Put(p / "install/reg.cfg", "[index]\r\nmax=6\r\n[key]\r\n1=HKEY_CURRENT_USER\\S\r\n2=Software\\S\r\n"
                               "3=HKEY_CURRENT_USER\\S\r\n4=HKEY_CURRENT_USER\\S\r\n5=HKEY_CURRENT_USER\\S\r\n"
                               "[type]\r\n1=5\r\n2=3\r\n3=1\r\n4=0\r\n5=0\r\n[value]\r\n3=0a\r\n4=01g2\r\n5=123\r\n");
    Put(p / "program/app.exe", "x");
    std::vector<SectionFile> sections[3];
    std::string error;
    ASSERT_TRUE(ReadProduct(p.string(), 1250, sections, &error)) << error;
    std::vector<Finding> findings = LintProduct(sections);
    struct Expect {
        bool error;
        const char* where;
        const char* says;
    } expected[] = {
        {true, "init.cfg [cfg] 2", "not in install/"},
        {true, "install/UnInst.dat", "missing"},
        {false, "init.cfg [cfg] 1", "70 characters"},
        {false, "init.cfg [cfg] 3", "not in program/"},
        {false, "init.cfg [Run] 2", "past the count key"},
        {false, "init.cfg [silent] 1", "only \"1\" or \"0\""},
        {false, "init.cfg [index] maxU", "not a number"},
        {false, "lnk.cfg [index1] max", "entries end at 1"},
        {false, "lnk.cfg [menu] 1", "no count key"},
        {false, "reg.cfg [type] 1", "not 0 to 3"},
        {false, "reg.cfg [key] 2", "no root key name"},
        {false, "reg.cfg [value] 3", "exactly eight"},
        {false, "reg.cfg [value] 4", "not hexadecimal"},
        {false, "reg.cfg [value] 5", "odd number"},
        {false, "lang/", "30 characters"},
        {false, "[lng] 7", "300 characters"},
    };
    for (const Expect& e : expected) {
        bool found = false;
        for (const Finding& f : findings)
            found = found || (f.error == e.error && f.where.find(e.where) != std::string::npos &&
                              f.message.find(e.says) != std::string::npos);
        EXPECT_TRUE(found) << e.where << ": " << e.says;
    }
    int errors = 0;
    for (const Finding& f : findings)
        errors += f.error;
    EXPECT_EQ(2, errors) << "only what breaks the installation stops a build";
    fs::remove_all(p);
}

TEST(PackTool, PlanTellsWhatTheInstallerWillDo) {
    std::vector<std::pair<std::string, std::string>> install = {
        {"init.cfg", "[cfg]\r\n1=Planned\r\n3=readme.txt\r\n[index]\r\nmax=3\r\nmaxU=2\r\n[Run]\r\n1=a.exe\r\n"
                     "2=b.exe\r\n[silent]\r\n1=0\r\n2=1\r\n[RunU]\r\n1=clean.exe\r\n"},
        {"lnk.cfg", "[index1]\r\nmax=2\r\n[desktop]\r\n1=bin\\a.exe\r\n[index2]\r\nmax=1\r\n"},
        {"reg.cfg", "[index]\r\nmax=4\r\n[key]\r\n1=HKEY_CURRENT_USER\\Software\\Planned\r\n2=NoRoot\\x\r\n"
                    "3=HKEY_LOCAL_MACHINE\\Software\\Planned\r\n[name]\r\n1=Path\r\n[type]\r\n1=2\r\n2=3\r\n3=1\r\n"
                    "[value]\r\n1=%ProgramFiles%\\Planned\\bin\r\n3=0000000a\r\n[dynam]\r\n1=1\r\n[line]\r\n3=1\r\n"},
        {"UnInst.dat", "MZ"},
    };
    std::string plan = DescribePlan(install, {{"a.exe", 10}, {"bin\\a.exe", 20}});
    for (const char* line : {
             "Product: Planned",
             "DEST\\bin\\a.exe (20 bytes)",
             "Uninstall\\Planned",
             "<common desktop>\\a.exe.lnk -> DEST\\bin\\a.exe (working folder DEST\\bin)",
             "<common Start-menu programs>\\Planned\\UnInst.exe.lnk -> DEST\\UnInstall\\UnInst.exe",
             "HKEY_CURRENT_USER\\Software\\Planned : Path = REG_SZ DEST\\bin (DEST substituted)",
             "NoRoot\\x : (default) -- not written: no root key name",
             "HKEY_LOCAL_MACHINE\\Software\\Planned : (default) = REG_DWORD \"0000000a\"",
             "information file: readme.txt",
             "start DEST\\b.exe (always)",
             "start DEST\\a.exe (when option",
             "first start DEST\\clean.exe",
         })
        EXPECT_NE(std::string::npos, plan.find(line)) << line << "\n" << plan;
    EXPECT_LT(plan.find("b.exe (always)"), plan.find("a.exe (when")) << "the always-started come first";
}
