// Reading a product folder for the packing tool (native only: it works on the
// build machine's own file names).
#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <fstream>

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
