// The packing tool's commands on real product folders: build (parallel,
// streamed and reproducible), verify, list, extract, lint, plan and new, and
// the README's configuration examples.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "pack/cli/companions.h"
#include "pack/inspect.h"
#include "pack/lint.h"
#include "pack/newproduct.h"
#include "pack/plan.h"
#include "pack/product.h"
#include "pack/writer.h"
#include "base/format.h"
#include "lang/english.h"
#include "pack/ini.h"

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
    Put(p / "program/big/log.txt", std::string(600000, 'x') + Noise(200000, 5));  // several blocks
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

TEST(PackTool, LintNamesEveryMistakeWithFileSectionAndKey) {
    fs::path p = Folder("lint");
    Put(p / ("lang/" + std::string(30, 'L') + ".lng"), "[lng]\r\n7=" + std::string(300, 't') + "\r\n");
    Put(p / "install/init.cfg", "[cfg]\r\n1=" + std::string(70, 'P') + "\r\n2=missing.txt\r\n3=info.txt\r\n"
                                "[index]\r\nmax=2\r\nmaxU=x\r\n[Run]\r\n1=app.exe\r\n2=late.exe\r\n[silent]\r\n1=11\r\n");
    Put(p / "install/lnk.cfg", "[index1]\r\nmax=3\r\n[desktop]\r\n1=app.exe\r\n[menu]\r\n1=nowhere.exe\r\n");
    Put(p / "install/reg.cfg", "[index]\r\nmax=6\r\n[name]\r\n1=a;b\r\n2=Runs   ; times started\r\n3=\t; nameless\r\n"
                               "[key]\r\n1=HKEY_CURRENT_USER\\S\r\n2=Software\\S\r\n"
                               "3=HKEY_CURRENT_USER\\S\r\n4=HKEY_CURRENT_USER\\S\r\n5=HKEY_CURRENT_USER\\S\r\n"
                               "[type]\r\n1=5\r\n2=3\r\n3=1\r\n4=0\r\n5=0\r\n[value]\r\n3=0a\r\n4=01g2\r\n5=123\r\n");
    Put(p / "program/app.exe", "x");
    std::vector<SectionFile> sections[3];
    std::vector<Finding> read;
    std::string error;
    ASSERT_TRUE(ReadProduct(p.string(), 1250, sections, &read, &error)) << error;
    EXPECT_EQ(0u, read.size()) << read[0].where << ": " << read[0].message;
    std::vector<Finding> findings = LintProduct(sections, 1250);
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
        {false, "reg.cfg [name] 2", "looks like a comment"},
        {false, "reg.cfg [name] 3", "looks like a comment"},
    };
    for (const Expect& e : expected) {
        bool found = false;
        for (const Finding& f : findings)
            found = found || (f.error == e.error && f.where.find(e.where) != std::string::npos &&
                              f.message.find(e.says) != std::string::npos);
        EXPECT_TRUE(found) << e.where << ": " << e.says;
    }
    int errors = 0, comments = 0;
    for (const Finding& f : findings) {
        errors += f.error;
        comments += f.message.find("looks like a comment") != std::string::npos;
    }
    EXPECT_EQ(2, errors) << "only what breaks the installation stops a build";
    EXPECT_EQ(2, comments) << "a semicolon inside a value (\"a;b\") is no comment";
    fs::remove_all(p);
}

// What the installer would get wrong without a word: each mistake named,
// all in one run, errors only where the installation cannot work.
TEST(PackTool, LintNamesWhatTheInstallerWouldGetWrong) {
    fs::path p = Folder("lint-more");
    Put(p / "install/init.cfg", "[cfg]\r\n1=A/B: C?\r\n2=licence.txt\r\n4=extra\r\n[Runs]\r\n1=x.exe\r\n"
                                "[product]\r\nVersion=2.x\r\nURL=example.com\r\nColour=red\r\n");
    Put(p / "install/lnk.cfg", "[dekstop]\r\n1=x.exe\r\n[index1]\r\nmax=1\r\n[menu]\r\n01=x.exe\r\n");
    Put(p / "install/licence.txt", "Licencja: za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87\r\n");  // UTF-8
    Put(p / "install/UnInst.dat", "MZ");
    Put(p / "install/setup.ico", "GIF89a");
    Put(p / "lang/English.lng", "[lang]\r\n1=Do you really want to install\r\n");
    Put(p / "lang/Deutsch.lng", "[lng]\r\n1=Wirklich installieren?\r\n2=Beenden\r\n99=x\r\n");
    Put(p / "lang/Utf16.lng", std::string("\xFF\xFE[\0l\0n\0g\0]\0", 12));
    std::vector<SectionFile> sections[3];
    std::vector<Finding> findings;
    std::string error;
    ASSERT_TRUE(ReadProduct(p.string(), 1250, sections, &findings, &error)) << error;
    std::vector<Finding> lint = LintProduct(sections, 1250);
    findings.insert(findings.end(), lint.begin(), lint.end());
    struct Expect {
        bool error;
        const char* where;
        const char* says;
    } expected[] = {
        {true, "init.cfg [cfg] 1", "cannot be a folder name and a registry key name"},
        {true, "init.cfg [product] Version", "not a version"},
        {true, "install/setup.ico", "not an icon file"},
        {false, "program/", "missing: the installer installs no files"},
        {false, "init.cfg [Runs]", "not a section the installer reads: its entries are ignored (did you mean [Run]?)"},
        {false, "init.cfg [cfg] 4", "not a key the installer reads"},
        {false, "init.cfg [product] Colour", "not a key the installer reads"},
        {false, "init.cfg [product] URL", "not a web address"},
        {false, "lnk.cfg [dekstop]", "(did you mean [desktop]?)"},
        {false, "lnk.cfg [menu] 01", "not a key the installer reads"},
        {false, "install/licence.txt", "saved as UTF-8; the installer reads code page 1250"},
        {false, "lang/English.lng [lang]", "(did you mean [lng]?)"},
        {false, "lang/English.lng", "no [lng] section: every text stays the built-in Polish one"},
        {false, "lang/Deutsch.lng [lng]", "lacks text IDs 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15, 16, 17, 18, 19, 20, "
                                          "21, 30, 31, 32, 33, 34, 35, 36, 37"},
        {false, "lang/Deutsch.lng [lng] 99", "not a text ID the installer or uninstaller shows"},
        {false, "lang/Utf16.lng", "saved as UTF-16"},
    };
    for (const Expect& e : expected) {
        bool found = false;
        for (const Finding& f : findings)
            found = found || (f.error == e.error && f.where == e.where && f.message.find(e.says) != std::string::npos);
        EXPECT_TRUE(found) << e.where << ": " << e.says;
    }
    EXPECT_EQ(3, CountErrors(findings));
    // The same files in order: no finding at all.
    Put(p / "install/init.cfg", "[cfg]\r\n1=A B C\r\n2=licence.txt\r\n[product]\r\nVersion=2.1\r\n"
                                "Publisher=\xAF\xF3\xB3w Ltd\r\nURL=https://example.com\r\n");
    Put(p / "install/lnk.cfg", "[index1]\r\nmax=1\r\n");
    Put(p / "install/licence.txt", "Licencja: za\xBF\xF3\xB3\xE6\r\n");  // code page 1250
    fs::remove(p / "install/setup.ico");
    fs::remove_all(p / "lang");
    Put(p / "program/x.exe", "MZ");
    findings.clear();
    ASSERT_TRUE(ReadProduct(p.string(), 1250, sections, &findings, &error)) << error;
    lint = LintProduct(sections, 1250);
    findings.insert(findings.end(), lint.begin(), lint.end());
    for (const Finding& f : findings)
        ADD_FAILURE() << f.where << ": " << f.message;
    fs::remove_all(p);
}

TEST(PackTool, PlanTellsWhatTheInstallerWillDo) {
    std::vector<std::pair<std::string, std::string>> install = {
        {"init.cfg", "[cfg]\r\n1=Planned\r\n3=readme.txt\r\n[index]\r\nmax=3\r\nmaxU=2\r\n[Run]\r\n1=a.exe\r\n"
                     "2=b.exe\r\n[silent]\r\n1=0\r\n2=1\r\n[RunU]\r\n1=clean.exe\r\n"
                     "[product]\r\nVersion=3.2\r\nPublisher=Plan Ltd\r\n"},
        {"lnk.cfg", "[index1]\r\nmax=2\r\n[desktop]\r\n1=bin\\a.exe\r\n[index2]\r\nmax=1\r\n"},
        {"reg.cfg", "[index]\r\nmax=5\r\n[key]\r\n1=HKEY_CURRENT_USER\\Software\\Planned\r\n2=NoRoot\\x\r\n"
                    "3=HKEY_LOCAL_MACHINE\\Software\\Planned\r\n4=HKEY_BOGUS\\Software\\P\r\n"
                    "[name]\r\n1=Path\r\n[type]\r\n1=2\r\n2=3\r\n3=1\r\n"
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
             "HKEY_BOGUS\\Software\\P : (default) -- not written: no root key name",
             "HKEY_LOCAL_MACHINE\\Software\\Planned : (default) = REG_DWORD \"0000000a\"",
             "information file: readme.txt",
             "QuietUninstallString = \"DEST\\Uninstall\\UnInst.exe\" /S",
             "DisplayVersion = 3.2\n",
             "Publisher = Plan Ltd\n",
             "InstallLocation = DEST\n",
             "EstimatedSize = REG_DWORD about 1 KiB",
             "NoModify = REG_DWORD 1",
             "NoRepair = REG_DWORD 1",
             "RecordDigest = SHA-256 of DEST\\UnInstall\\UnInst.cfg",
             "FileListDigest = SHA-256 of DEST\\UnInstall\\Files.lst",
             "DEST\\UnInstall\\Files.lst",
             "DEST\\UnInstall\\Language.lng",
             "start DEST\\b.exe (always)",
             "start DEST\\a.exe (when option",
             "first start DEST\\clean.exe",
         })
        EXPECT_NE(std::string::npos, plan.find(line)) << line << "\n" << plan;
    EXPECT_LT(plan.find("b.exe (always)"), plan.find("a.exe (when")) << "the always-started come first";
}

namespace {

// The indented blocks of the README that follow a line "`install/NAME`:".
std::map<std::string, std::string> ReadmeExamples() {
    std::ifstream in(BRONDALE_README);
    std::map<std::string, std::string> blocks;
    std::string line, current;
    while (std::getline(in, line)) {
        if (line.size() > 4 && line.compare(0, 9, "`install/") == 0 && line.compare(line.size() - 2, 2, "`:") == 0) {
            current = line.substr(9, line.size() - 11);
            blocks[current];
        } else if (!current.empty() && line.compare(0, 4, "    ") == 0) {
            blocks[current] += line.substr(4) + "\r\n";
        } else if (!current.empty() && !line.empty() && !blocks[current].empty()) {
            current.clear();
        }
    }
    return blocks;
}

} // namespace

TEST(PackTool, TheReadmeConfigurationExamplesLintClean) {
    std::map<std::string, std::string> examples = ReadmeExamples();
    for (const char* name : {"init.cfg", "lnk.cfg", "reg.cfg"})
        ASSERT_FALSE(examples[name].empty()) << "the vendor guide has no example of install/" << name;
    fs::path p = Folder("readme");
    for (const auto& e : examples)
        Put(p / "install" / e.first, e.second);
    // The files the examples name.
    Put(p / "install/licence.txt", "terms");
    Put(p / "install/UnInst.dat", "MZ");
    Put(p / "program/MyApp.exe", "MZ");
    Put(p / "program/Tools/Setup.exe", "MZ");
    Put(p / "program/readme.txt", "read me");
    std::vector<SectionFile> sections[3];
    std::vector<Finding> read;
    std::string error;
    ASSERT_TRUE(ReadProduct(p.string(), 1250, sections, &read, &error)) << error;
    EXPECT_EQ(0u, read.size()) << read[0].where << ": " << read[0].message;
    for (const Finding& f : LintProduct(sections, 1250))
        ADD_FAILURE() << f.where << ": " << f.message;
    fs::path out = Folder("readme-out");
    ASSERT_TRUE(WriteInstaller(Stub(), sections, (out / "setup.exe").string(), PackOptions(), &error)) << error;
    std::vector<std::pair<std::string, std::string>> install;
    ASSERT_TRUE(ReadInstallSection((out / "setup.exe").string(), &install, &error)) << error;
    std::string plan = DescribePlan(install, {{"MyApp.exe", 2}, {"Tools\\Setup.exe", 2}, {"readme.txt", 7}});
    EXPECT_NE(std::string::npos, plan.find("Product: My Product\n")) << plan;
    fs::remove_all(p);
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

namespace {

// The README's winget manifest: the indented block after the line that
// introduces it, as lines without the block's indentation.
std::vector<std::string> ReadmeManifest() {
    std::ifstream in(BRONDALE_README);
    std::vector<std::string> lines;
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line.compare(0, 31, "A package manager's manifest (w") == 0)
            inside = true;
        else if (inside && line.compare(0, 4, "    ") == 0)
            lines.push_back(line.substr(4));
        else if (inside && !lines.empty() && !line.empty())
            break;
    }
    return lines;
}

// "Key: value" of a manifest line (after its indentation and "- ").
std::pair<std::string, std::string> KeyValue(std::string line) {
    size_t start = line.find_first_not_of(" -");
    line = start == std::string::npos ? "" : line.substr(start);
    size_t colon = line.find(':');
    if (colon == std::string::npos)
        return {line, ""};
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    return {line.substr(0, colon), value};
}

// The exit codes of a silent run, from the README's table.
std::set<long> ReadmeExitCodes() {
    std::ifstream in(BRONDALE_README);
    std::set<long> codes;
    std::string line;
    bool table = false;
    while (std::getline(in, line)) {
        if (line.compare(0, 26, "Exit codes of a silent run") == 0)
            table = true;
        else if (table && line.compare(0, 2, "| ") == 0 && isdigit(static_cast<unsigned char>(line[2])))
            codes.insert(atol(line.c_str() + 2));
        else if (table && !codes.empty() && line.empty())
            break;
    }
    return codes;
}

} // namespace

// The manifest as winget's installer manifest schema (1.10) takes it: known
// root keys, the required ones, only non-zero return codes, each with a
// response the schema names, one for every exit code a silent run has, and
// the entry the installer registers for the README's configuration example.
TEST(PackTool, TheReadmeManifestFollowsTheSchemasRules) {
    static const std::set<std::string> kRootKeys = {
        "PackageIdentifier", "PackageVersion", "Channel", "InstallerLocale", "Platform", "MinimumOSVersion",
        "InstallerType", "NestedInstallerType", "NestedInstallerFiles", "Scope", "InstallModes", "InstallerSwitches",
        "InstallerSuccessCodes", "ExpectedReturnCodes", "UpgradeBehavior", "Commands", "Protocols", "FileExtensions",
        "Dependencies", "PackageFamilyName", "ProductCode", "Capabilities", "RestrictedCapabilities", "Markets",
        "InstallerAbortsTerminal", "ReleaseDate", "InstallLocationRequired", "RequireExplicitUpgrade",
        "DisplayInstallWarnings", "UnsupportedOSArchitectures", "UnsupportedArguments", "AppsAndFeaturesEntries",
        "ElevationRequirement", "InstallationMetadata", "DownloadCommandProhibited", "RepairBehavior",
        "ArchiveBinariesDependOnPath", "Authentication", "Installers", "ManifestType", "ManifestVersion"};
    static const std::set<std::string> kResponses = {
        "packageInUse", "packageInUseByApplication", "installInProgress", "fileInUse", "missingDependency",
        "diskFull", "insufficientMemory", "invalidParameter", "noNetwork", "contactSupport", "rebootRequiredToFinish",
        "rebootRequiredForInstall", "rebootInitiated", "cancelledByUser", "alreadyInstalled", "downgrade",
        "blockedByPolicy", "systemNotSupported", "custom"};
    std::vector<std::string> lines = ReadmeManifest();
    ASSERT_FALSE(lines.empty()) << "no manifest in the README";
    std::map<std::string, std::string> root, entry;
    std::set<long> returned;
    std::string section;
    for (const std::string& line : lines) {
        auto kv = KeyValue(line);
        if (line[0] != ' ' && line[0] != '-') {
            section = kv.first;
            root[kv.first] = kv.second;
            EXPECT_TRUE(kRootKeys.count(kv.first)) << "not a root key of the schema: " << kv.first;
        } else if (section == "InstallerSuccessCodes") {
            EXPECT_NE(0, atol(kv.first.c_str())) << "0 is always success and must not be listed";
        } else if (section == "ExpectedReturnCodes" && kv.first == "InstallerReturnCode") {
            EXPECT_NE(0, atol(kv.second.c_str())) << line;
            returned.insert(atol(kv.second.c_str()));
        } else if (section == "ExpectedReturnCodes" && kv.first == "ReturnResponse") {
            EXPECT_TRUE(kResponses.count(kv.second)) << "not a response the schema names: " << kv.second;
        } else if (section == "AppsAndFeaturesEntries") {
            entry[kv.first] = kv.second;
        }
    }
    // An inline list: [3010, 1641].
    std::string inlineCodes = root["InstallerSuccessCodes"];
    for (size_t at = inlineCodes.find_first_of("-0123456789"); at != std::string::npos;
         at = inlineCodes.find_first_of("-0123456789", inlineCodes.find_first_not_of("-0123456789", at)))
        EXPECT_NE(0, atol(inlineCodes.c_str() + at)) << "0 is always success and must not be listed";
    for (const char* required : {"PackageIdentifier", "PackageVersion", "Installers", "ManifestType", "ManifestVersion"})
        EXPECT_TRUE(root.count(required)) << required;
    EXPECT_EQ("installer", root["ManifestType"]);
    EXPECT_EQ("1.10.0", root["ManifestVersion"]);
    std::set<long> codes = ReadmeExitCodes();
    codes.erase(0);
    EXPECT_FALSE(codes.empty());
    EXPECT_EQ(codes, returned) << "every failure of a silent run, and only those";

    Ini init(ReadmeExamples()["init.cfg"]);
    EXPECT_EQ(init.Get("product", "Version"), root["PackageVersion"]);
    EXPECT_EQ(init.Get("cfg", "1"), entry["DisplayName"]);
    EXPECT_EQ(init.Get("product", "Publisher"), entry["Publisher"]);
    EXPECT_EQ(init.Get("product", "Version"), entry["DisplayVersion"]);
}

// Every text ID the installer and the uninstaller show is in the README's
// table, with the English text a new product gets.
TEST(PackTool, TheReadmeListsEveryTextId) {
    std::ifstream in(BRONDALE_README);
    std::string readme((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const EnglishText& t : kEnglishTexts) {
        std::string id = std::to_string(t.id);
        EXPECT_NE(std::string::npos, readme.find("\n| " + id + " | ")) << "text " << id;
        EXPECT_NE(std::string::npos, readme.find(t.text)) << "text " << id;
    }
}
