// Reading a product folder for the packing tool (native only: it works on the
// build machine's own file names).
#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <fstream>
#include <map>

#include <sys/stat.h>

#include "pack/extract.h"
#include "pack/handles.h"
#include "pack/product.h"
#include "pack/writer.h"

namespace fs = std::filesystem;

namespace {

fs::path Product(const char* label) {
    fs::path p = fs::temp_directory_path() / ("brondale-product-" + std::string(label) + "-" +
                                              std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(p);
    fs::create_directories(p);
    return p;
}

void Touch(const fs::path& p, const std::string& text = "x") {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

} // namespace

TEST(CodePage, ConvertsPolishNamesAndRefusesWhatDoesNotFit) {
    std::string out;
    ASSERT_TRUE(ToCodePage("\xC5\xBC\xC3\xB3\xC5\x82w.txt", 1250, &out));  // "żółw.txt" in UTF-8
    EXPECT_EQ("\xBF\xF3\xB3w.txt", out);
    EXPECT_FALSE(ToCodePage("\xE6\x97\xA5.txt", 1250, &out)) << "a CJK character has no place in 1250";
    EXPECT_FALSE(ToCodePage("\xC5\x82.txt", 1252, &out)) << "l with stroke is not in 1252";
    EXPECT_FALSE(ToCodePage("\xFF\xFE", 1250, &out)) << "not UTF-8";
}

TEST(ReadProduct, SortsFilesAndUsesBackslashes) {
    fs::path p = Product("sorted");
    Touch(p / "program" / "z.txt");
    Touch(p / "program" / "a" / "b.txt");
    Touch(p / "program" / "A.txt");
    Touch(p / "install" / "init.cfg");
    std::vector<SectionFile> sections[3];
    std::vector<Finding> findings;
    std::string error;
    ASSERT_TRUE(ReadProduct(p.string(), 1250, sections, &findings, &error)) << error;
    EXPECT_TRUE(sections[0].empty());
    ASSERT_EQ(1u, sections[1].size());
    std::vector<std::string> names;
    for (const SectionFile& f : sections[2])
        names.push_back(f.name);
    std::vector<std::string> expected = {"A.txt", "a\\b.txt", "z.txt"};
    EXPECT_EQ(expected, names);
    fs::remove_all(p);
}

TEST(ReadProduct, RefusesNamesTheInstallerCannotWrite) {
    struct Row {
        const char* label;
        std::string name;
    } rows[] = {
        {"reserved device name", "program/aux.txt"},
        {"name ending in a dot", "program/notes."},
        {"character outside the code page", "program/\xE6\x97\xA5.txt"},
        {"path too long", "program/" + std::string(120, 'a') + "/" + std::string(140, 'b')},
    };
    for (const Row& r : rows) {
        fs::path p = Product("refuse");
        Touch(p / r.name);
        Touch(p / "program" / "fine.txt");
        std::vector<SectionFile> sections[3];
        std::vector<Finding> findings;
        std::string error;
        ASSERT_TRUE(ReadProduct(p.string(), 1250, sections, &findings, &error)) << r.label;
        ASSERT_EQ(1u, sections[2].size()) << r.label << ": only the file that can be written";
        EXPECT_EQ("fine.txt", sections[2][0].name) << r.label;
        ASSERT_EQ(1, CountErrors(findings)) << r.label;
        auto refused = std::find_if(findings.begin(), findings.end(), [](const Finding& f) { return f.error; });
        EXPECT_EQ(r.name, refused->where) << r.label;
        fs::remove_all(p);
    }
}

namespace {

const Finding* FindingAt(const std::vector<Finding>& findings, const std::string& where) {
    for (const Finding& f : findings)
        if (f.where == where)
            return &f;
    return nullptr;
}

} // namespace

// Links are resolved by the tool: inside the product they are packed under
// their own name as what they point to, with a note; out of it, nowhere or
// round in a circle they are errors naming the link and its target. Names
// that Windows takes for one are refused, both named.
TEST(ReadProduct, LinksAndNamesWindowsWouldMerge) {
    fs::path p = Product("links");
    fs::path outside = Product("links-outside");
    Touch(outside / "cblas-netlib.h", "outside");
    Touch(p / "install" / "licence.txt", "terms");
    Touch(p / "program" / "Base.exe", "base");
    fs::create_symlink("Base.exe", p / "program" / "Link.exe");
    fs::create_symlink(outside / "cblas-netlib.h", p / "program" / "cblas.h");
    fs::create_symlink("nowhere.txt", p / "program" / "gone.txt");
    fs::create_directory_symlink("../install", p / "program" / "docs");
    fs::create_directories(p / "program" / "sub");
    fs::create_directory_symlink("..", p / "program" / "sub" / "up");
    Touch(p / "program" / "xt_CONNMARK.h", "upper");
    Touch(p / "program" / "xt_connmark.h", "lower");
    Touch(p / "program" / "\xC5\xBB\xC3\xB3\xC5\x82w.txt");  // Żółw.txt
    Touch(p / "program" / "\xC5\xBC\xC3\xB3\xC5\x82w.txt");  // żółw.txt
    Touch(p / "program" / "data");
    Touch(p / "program" / "DATA" / "x.txt");
    fs::create_symlink("loop-b", p / "program" / "loop-a");
    fs::create_symlink("loop-a", p / "program" / "loop-b");
    ASSERT_EQ(0, mkfifo((p / "program" / "pipe").c_str(), 0600)) << "the walk must not wait on it";
    std::vector<SectionFile> sections[3];
    std::vector<Finding> findings;
    std::string error;
    ASSERT_TRUE(ReadProduct(p.string(), 1250, sections, &findings, &error)) << error;

    std::map<std::string, std::string> packed;
    for (const SectionFile& f : sections[2]) {
        std::ifstream in(fs::u8path(f.source), std::ios::binary);
        packed[f.name] = std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    EXPECT_EQ("base", packed["Link.exe"]) << "the link under its own name, with its target's bytes";
    EXPECT_EQ("base", packed["Base.exe"]);
    EXPECT_EQ("terms", packed["docs\\licence.txt"]) << "a folder link inside the product";
    EXPECT_EQ(0u, packed.count("cblas.h"));
    EXPECT_EQ(0u, packed.count("gone.txt"));
    EXPECT_EQ(1u, packed.count("xt_CONNMARK.h") + packed.count("xt_connmark.h")) << "never both";

    struct Row {
        const char* where;
        bool error;
        std::string says;
    } rows[] = {
        {"program/Link.exe", false, "a link to Base.exe: the file it points to is packed under the link's name"},
        {"program/docs", false, "a link to ../install: its folder is packed"},
        {"program/cblas.h", true, "a link to " + (outside / "cblas-netlib.h").string() + ", outside the product"},
        {"program/gone.txt", true, "a link to nowhere.txt, which does not exist"},
        {"program/sub/up", true, "a link to .., a folder that holds the link"},
        {"program/xt_connmark.h", true, "one file on Windows with program/xt_CONNMARK.h"},
        {"program/\xC5\xBC\xC3\xB3\xC5\x82w.txt", true, "one file on Windows with program/\xC5\xBB\xC3\xB3\xC5\x82w.txt"},
        {"program/data", true, "one file on Windows with program/DATA/x.txt"},
        {"program/loop-a", true, "a link to loop-b, which leads round in a circle"},
        {"program/pipe", false, "neither a file nor a folder: left out"},
    };
    for (const Row& r : rows) {
        const Finding* f = FindingAt(findings, r.where);
        ASSERT_NE(nullptr, f) << r.where;
        EXPECT_EQ(r.error, f->error) << r.where;
        EXPECT_NE(std::string::npos, f->message.find(r.says)) << r.where << ": " << f->message;
    }
    EXPECT_EQ(8, CountErrors(findings)) << "every problem in one pass";
    fs::remove_all(p);
    fs::remove_all(outside);
}

TEST(ReadProduct, MissingFoldersAreNamed) {
    fs::path p = Product("missing");
    std::vector<SectionFile> sections[3];
    std::vector<Finding> findings;
    std::string error;
    ASSERT_TRUE(ReadProduct(p.string(), 1250, sections, &findings, &error)) << error;
    ASSERT_NE(nullptr, FindingAt(findings, "install/"));
    EXPECT_NE(std::string::npos, FindingAt(findings, "install/")->message.find("missing"));
    ASSERT_NE(nullptr, FindingAt(findings, "program/"));
    EXPECT_NE(std::string::npos, FindingAt(findings, "program/")->message.find("installs no files"));
    EXPECT_EQ(nullptr, FindingAt(findings, "lang/")) << "the built-in language needs no files";
    EXPECT_FALSE(ReadProduct((p / "nothing-here").string(), 1250, sections, &findings, &error));
    EXPECT_NE(std::string::npos, error.find("is not a folder")) << error;
    fs::remove_all(p);
}

// What the walk opened is what is packed: a folder and a file swapped for
// links out of the product after the walk change nothing in the installer;
// a walk after the swap refuses both links.
TEST(ReadProduct, WhatTheWalkHeldIsWhatIsPacked) {
    fs::path p = Product("held"), outside = Product("held-outside");
    Touch(p / "install" / "init.cfg", "[cfg]\r\n1=Held\r\n");
    Touch(p / "program" / "top.txt", "inside top");
    Touch(p / "program" / "sub" / "deep.txt", "inside deep");
    Touch(outside / "sub" / "deep.txt", "outside deep");
    Touch(outside / "secret.txt", "outside secret");
    std::vector<SectionFile> sections[3];
    std::vector<Finding> findings;
    std::string error;
    ASSERT_TRUE(ReadProduct(p.string(), 1250, sections, &findings, &error)) << error;
    ASSERT_EQ(0, CountErrors(findings));
    fs::rename(p / "program" / "sub", p / "program" / "sub.old");
    fs::create_directory_symlink(outside / "sub", p / "program" / "sub");
    fs::rename(p / "program" / "top.txt", p / "program" / "top.old");
    fs::create_symlink(outside / "secret.txt", p / "program" / "top.txt");

    std::map<std::string, std::string> content;
    for (const SectionFile& f : sections[2])
        content[f.name] = FileContent(f);
    EXPECT_EQ("inside top", content["top.txt"]);
    EXPECT_EQ("inside deep", content["sub\\deep.txt"]);
    std::vector<unsigned char> stub = {'M', 'Z'};
    stub.resize(4096, 0);
    fs::path installer = p.string() + ".exe", extracted = p.string() + "-extracted";
    fs::remove_all(extracted);
    ASSERT_TRUE(WriteInstaller(stub, sections, installer.string(), 6, &error)) << error;
    ASSERT_TRUE(ExtractPackage(installer.string(), extracted.string(), 1250, &error)) << error;
    std::ifstream top(extracted / "program" / "top.txt"), deep(extracted / "program" / "sub" / "deep.txt");
    EXPECT_EQ("inside top", std::string((std::istreambuf_iterator<char>(top)), std::istreambuf_iterator<char>()));
    EXPECT_EQ("inside deep", std::string((std::istreambuf_iterator<char>(deep)), std::istreambuf_iterator<char>()));

    findings.clear();
    ASSERT_TRUE(ReadProduct(p.string(), 1250, sections, &findings, &error)) << error;
    for (const char* where : {"program/sub", "program/top.txt"}) {
        const Finding* f = FindingAt(findings, where);
        ASSERT_NE(nullptr, f) << where;
        EXPECT_TRUE(f->error && f->message.find("outside the product folder") != std::string::npos) << f->message;
    }
    fs::remove_all(p);
    fs::remove_all(outside);
    fs::remove_all(extracted);
    fs::remove(installer);
}

// The decisions the walk's handles make, name by name: a name opened as
// itself is never followed through a link or into a pipe, whatever the
// listing saw before; through a link, loops and dead ends are named, and
// only what the system says lies below the product folder counts as inside.
TEST(HeldHandles, OpenAsItselfOrThroughALink) {
    fs::path p = Product("handles"), outside = Product("handles-outside");
    fs::path sibling = p.string() + "-sibling";
    fs::create_directories(sibling);
    Touch(p / "file.txt");
    fs::create_directories(p / "folder");
    fs::create_symlink("file.txt", p / "link-file");
    fs::create_directory_symlink("folder", p / "link-folder");
    fs::create_symlink("loop-b", p / "loop-a");
    fs::create_symlink("loop-a", p / "loop-b");
    fs::create_symlink("nowhere", p / "dangling");
    ASSERT_EQ(0, mkfifo((p / "pipe").c_str(), 0600));
    fs::create_symlink("pipe", p / "link-pipe");
    fs::create_directory_symlink(outside, p / "link-outside");
    fs::create_directory_symlink(sibling, p / "link-sibling");
    std::string error, why;
    Held root = OpenProductFolder(p.string(), &error);
    ASSERT_TRUE(root) << error;
    struct Row {
        const char* name;
        OpenAs as;
        OpenVerdict verdict;
        bool inside;
    } rows[] = {
        {"file.txt", OpenAs::File, OpenVerdict::Opened, true},
        {"folder", OpenAs::Folder, OpenVerdict::Opened, true},
        {"link-file", OpenAs::File, OpenVerdict::Link, false},
        {"link-folder", OpenAs::Folder, OpenVerdict::Link, false},
        {"folder", OpenAs::File, OpenVerdict::NotPlain, false},
        {"file.txt", OpenAs::Folder, OpenVerdict::NotPlain, false},
        {"pipe", OpenAs::File, OpenVerdict::NotPlain, false},
        {"gone", OpenAs::File, OpenVerdict::Missing, false},
        {"link-file", OpenAs::ThroughLink, OpenVerdict::Opened, true},
        {"link-folder", OpenAs::ThroughLink, OpenVerdict::Opened, true},
        {"loop-a", OpenAs::ThroughLink, OpenVerdict::Loops, false},
        {"dangling", OpenAs::ThroughLink, OpenVerdict::Missing, false},
        {"link-pipe", OpenAs::ThroughLink, OpenVerdict::NotPlain, true},
        {"link-outside", OpenAs::ThroughLink, OpenVerdict::Opened, false},
        {"link-sibling", OpenAs::ThroughLink, OpenVerdict::Opened, false},  // its name starts like the folder's
    };
    for (const Row& r : rows) {
        Held item;
        EXPECT_EQ(static_cast<int>(r.verdict), static_cast<int>(OpenItem(root, r.name, r.as, &item, &why)))
            << r.name << " " << static_cast<int>(r.as);
        EXPECT_EQ(r.inside, item && LiesInside(item, root)) << r.name;
    }
    Held file, link;
    ASSERT_EQ(OpenVerdict::Opened, OpenItem(root, "file.txt", OpenAs::File, &file, &why));
    ASSERT_EQ(OpenVerdict::Opened, OpenItem(root, "link-file", OpenAs::ThroughLink, &link, &why));
    EXPECT_TRUE(SameItem(file, link));
    EXPECT_FALSE(SameItem(file, root));
    std::vector<std::pair<std::string, ItemKind>> entries;
    ASSERT_TRUE(ListFolder(root, &entries, &error)) << error;
    std::map<std::string, ItemKind> kinds(entries.begin(), entries.end());
    EXPECT_EQ(ItemKind::File, kinds["file.txt"]);
    EXPECT_EQ(ItemKind::Folder, kinds["folder"]);
    EXPECT_EQ(ItemKind::Link, kinds["link-folder"]);
    EXPECT_EQ(ItemKind::Other, kinds["pipe"]);
    EXPECT_TRUE(std::is_sorted(entries.begin(), entries.end()));
    fs::remove_all(p);
    fs::remove_all(outside);
    fs::remove_all(sibling);
}
