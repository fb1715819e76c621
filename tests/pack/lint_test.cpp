// lint and plan on product folders: every mistake the installer would pass
// over or get wrong, named with file, section and key, in one run; and what
// the installer will do, read from its package.
#include <gtest/gtest.h>

#include "files.h"

#include <tuple>
#include "pack/lint.h"
#include "pack/plantext.h"
#include "pack/product.h"

using namespace packtest;

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

// Text that is not in the package's code page the way it is written: each
// line named, errors where the bytes reach the system (values and headers
// of the configuration), warnings in comments, the licence and languages.
TEST(PackTool, LintNamesEveryLineNotWrittenInTheCodePage) {
    struct Row {
        const char* file;
        std::string text;
        std::vector<std::tuple<bool, unsigned, const char*>> expected;  // error, line, says
    } rows[] = {
        {"install/init.cfg",
         "[cfg]\r\n1=Edytor \xBF\xF3\xB3w\r\n[product]\r\nPublisher=Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 Ltd\r\n",
         {{true, 4, "written in UTF-8 in a file in code page 1250"}}},
        {"install/init.cfg", "[cfg]\r\n1=Edytor \xBF\xF3\xB3w\r\n; za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87\r\n",
         {{false, 3, "written in UTF-8"}}},
        {"install/init.cfg", "[cfg]\r\n1=Edytor\r\n[product]\r\nPublisher=Ltd \x81\r\n",
         {{true, 4, "byte 0x81 has no character in code page 1250"}}},
        {"install/reg.cfg", "\xEF\xBB\xBF[index]\r\nmax=1\r\n",
         {{true, 1, "saved as UTF-8; the installer reads code page 1250"}}},
        {"install/licence.txt", "Licencja\r\n\r\nza\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87\r\ng\xC4\x99\xC5\x9Bl\r\n",
         {{false, 3, "two wrong characters (lines 3, 4)"}}},
        {"lang/English.lng", "[lng]\r\n1=Install \xBF\xF3\xB3w\r\n2=\xC5\x81\xC3\xB3" "d\xC5\xBA\r\n",
         {{false, 3, "written in UTF-8"}}},
        {"install/init.cfg", "[cfg]\r\n1=Edytor \xBF\xF3\xB3w \x9B\x8C\x9C\r\n", {}},
    };
    for (const Row& r : rows) {
        fs::path p = Folder("codepage");
        Put(p / "install/init.cfg", "[cfg]\r\n1=P\r\n2=licence.txt\r\n");
        Put(p / "install/licence.txt", "terms");
        Put(p / "install/UnInst.dat", "MZ");
        Put(p / "program/x.exe", "MZ");
        Put(p / r.file, r.text);
        std::vector<SectionFile> sections[3];
        std::vector<Finding> read;
        std::string error;
        ASSERT_TRUE(ReadProduct(p.string(), 1250, sections, &read, &error)) << error;
        std::vector<Finding> encoding;
        for (const Finding& f : LintProduct(sections, 1250))
            if (f.line != 0 || f.message.find("UTF") != std::string::npos || f.message.find("byte") == 0)
                encoding.push_back(f);
        ASSERT_EQ(r.expected.size(), encoding.size()) << r.file << ": " << r.text;
        for (size_t i = 0; i < encoding.size(); ++i) {
            auto [isError, line, says] = r.expected[i];
            EXPECT_EQ(isError, encoding[i].error) << r.text;
            EXPECT_EQ(line, encoding[i].line) << r.text;
            EXPECT_EQ(r.file, encoding[i].where) << r.text;
            EXPECT_NE(std::string::npos, encoding[i].message.find(says)) << encoding[i].message;
        }
        fs::remove_all(p);
    }
}

// [product] Program and Copyright: the program a path inside the product
// that program/ holds; findings in UTF-8 whatever the code page of the file.
TEST(PackTool, LintChecksTheProductsProgramAndCopyright) {
    struct Row {
        std::string product;
        bool error;
        const char* says;  // "" for no finding
    } rows[] = {
        {"Program=bin\\Edytor.exe\r\nCopyright=(c) 2024 \xAF\xF3\xB3w Ltd\r\n", false, ""},
        {"Program=bin\\Brak.exe\r\n", false, "\"bin\\Brak.exe\" is not in program/"},
        {"Program=..\\evil.exe\r\n", true, "not a path inside the product"},
        {"Program=C:\\Windows\\notepad.exe\r\n", true, "not a path inside the product"},
        {"Program=\xAF\xF3\xB3w.exe\r\n", false, "\"\xC5\xBB\xC3\xB3\xC5\x82w.exe\" is not in program/"},
        {"Copyright=" + std::string(300, 'c') + "\r\n", false, "300 characters"},
    };
    for (const Row& r : rows) {
        fs::path p = Folder("program-key");
        Put(p / "install/init.cfg", "[cfg]\r\n1=P\r\n[product]\r\n" + r.product);
        Put(p / "install/UnInst.dat", "MZ");
        Put(p / "program/bin/Edytor.exe", "MZ");
        std::vector<SectionFile> sections[3];
        std::vector<Finding> read;
        std::string error;
        ASSERT_TRUE(ReadProduct(p.string(), 1250, sections, &read, &error)) << error;
        std::vector<Finding> findings = LintProduct(sections, 1250);
        if (!*r.says) {
            for (const Finding& f : findings)
                ADD_FAILURE() << r.product << ": " << f.where << ": " << f.message;
        } else {
            ASSERT_EQ(1u, findings.size()) << r.product;
            EXPECT_EQ(r.error, findings[0].error) << r.product;
            EXPECT_EQ(0u, findings[0].where.find("init.cfg [product] ")) << findings[0].where;
            EXPECT_NE(std::string::npos, findings[0].message.find(r.says)) << findings[0].message;
        }
        fs::remove_all(p);
    }
}

TEST(PackTool, PlanNamesTheProductsProgramAsItsIcon) {
    std::vector<std::pair<std::string, std::string>> install = {
        {"init.cfg", "[cfg]\r\n1=Iconic\r\n[product]\r\nProgram=bin\\Iconic.exe\r\n"}, {"UnInst.dat", "MZ"}};
    std::string plan = DescribePlan(install, {{"bin\\Iconic.exe", 10}});
    EXPECT_NE(std::string::npos, plan.find("DisplayIcon = \"DEST\\bin\\Iconic.exe\"\n")) << plan;
    install[0].second = "[cfg]\r\n1=Iconic\r\n";
    plan = DescribePlan(install, {{"bin\\Iconic.exe", 10}});
    EXPECT_NE(std::string::npos, plan.find("DisplayIcon = \"DEST\\Uninstall\\UnInst.exe\"\n")) << plan;
}

// A product that may install for one user runs without administrator
// rights: lint refuses its HKEY_LOCAL_MACHINE values and any Scope it does
// not know; plan says whom it installs for and where.
TEST(PackTool, LintAndPlanFollowTheScope) {
    struct Row {
        const char* scope;
        std::vector<std::string> errors;  // where each error is found
        const char* installedFor;
        const char* entry;
        const char* json;  // plan --json's scope and folders
    } rows[] = {
        {"", {}, "Installed for: every user", "Uninstall entry: HKEY_LOCAL_MACHINE\\",
         "\"scope\": \"machine\", \"proposedFolder\": \"<Program Files>\\\\Scoped\", \"folderForOneUser\": \"\""},
        {"machine", {}, "Installed for: every user", "Uninstall entry: HKEY_LOCAL_MACHINE\\", "\"scope\": \"machine\""},
        {"user", {"reg.cfg [key] 2"}, "Installed for: the user who runs it",
         "Uninstall entry: HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Scoped\n",
         "\"scope\": \"user\", \"proposedFolder\": \"<LOCALAPPDATA>\\\\Programs\\\\Scoped\", \"folderForOneUser\": \"\""},
        {"Choose", {"reg.cfg [key] 2"}, "Installed for: every user or one user",
         "(on 64-bit Windows below SOFTWARE\\WOW6432Node), or for one user HKEY_CURRENT_USER\\",
         "\"scope\": \"choose\", \"proposedFolder\": \"<Program Files>\\\\Scoped\", "
         "\"folderForOneUser\": \"<LOCALAPPDATA>\\\\Programs\\\\Scoped\""},
        {"everyone", {"init.cfg [product] Scope"}, "Scope is not machine, user or choose",
         "Uninstall entry: HKEY_LOCAL_MACHINE\\", "\"scope\": \"machine\""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.scope);
        fs::path p = Folder("scope");
        std::string init = "[cfg]\r\n1=Scoped\r\n[product]\r\nScope=" + std::string(r.scope) + "\r\n";
        std::string reg = "[index]\r\nmax=3\r\n[key]\r\n1=HKEY_CURRENT_USER\\Software\\Scoped\r\n"
                          "2=HKEY_LOCAL_MACHINE\\Software\\Scoped\r\n[name]\r\n1=A\r\n2=B\r\n"
                          "[type]\r\n1=3\r\n2=3\r\n[value]\r\n1=x\r\n2=y\r\n";
        Put(p / "install/init.cfg", init);
        Put(p / "install/reg.cfg", reg);
        Put(p / "install/UnInst.dat", "MZ");
        Put(p / "program/x.exe", "MZ");
        std::vector<SectionFile> sections[3];
        std::vector<Finding> findings;
        std::string error;
        ASSERT_TRUE(ReadProduct(p.string(), 1250, sections, &findings, &error)) << error;
        std::vector<std::string> errors;
        for (const Finding& f : LintProduct(sections, 1250))
            if (f.error)
                errors.push_back(f.where);
        EXPECT_EQ(r.errors, errors);
        std::string plan = DescribePlan({{"init.cfg", init}, {"reg.cfg", reg}, {"UnInst.dat", "MZ"}}, {{"x.exe", 2}});
        EXPECT_NE(std::string::npos, plan.find(r.installedFor)) << plan;
        EXPECT_NE(std::string::npos, plan.find(r.entry)) << plan;
        std::string json =
            PlanJson(MakePlan({{"init.cfg", init}, {"reg.cfg", reg}, {"UnInst.dat", "MZ"}}, {{"x.exe", 2}}), 1250);
        EXPECT_NE(std::string::npos, json.find(r.json)) << json;
        fs::remove_all(p);
    }
}
