// Reading a product folder for the packing tool (native only: it works on the
// build machine's own file names).
#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <fstream>
#include <map>

#include "pack/product.h"

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
    };
    for (const Row& r : rows) {
        const Finding* f = FindingAt(findings, r.where);
        ASSERT_NE(nullptr, f) << r.where;
        EXPECT_EQ(r.error, f->error) << r.where;
        EXPECT_NE(std::string::npos, f->message.find(r.says)) << r.where << ": " << f->message;
    }
    EXPECT_EQ(6, CountErrors(findings)) << "every problem in one pass";
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
