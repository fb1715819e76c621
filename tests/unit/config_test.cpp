// The configuration accessor: file and section tables, the quoting rule and
// the list convention.
#include <gtest/gtest.h>

#include <cstring>

#include "config/config.h"
#include "helpers.h"
#include "base/scratch.h"

namespace {

// An Install folder with the given files, recorded under key 9.
class Config : public ::testing::Test {
protected:
    void SetUp() override {
        install = NewFolder("install");
        ScratchWrite(kScratchInstall, install.c_str());
    }
    void Write(const char* name, const std::string& text) {
        ASSERT_TRUE(WriteBytes(install + "\\" + name, FromText(text)));
    }
    std::string Read(const char* key, short section, short file) {
        char buffer[kCfgQuotedSize + 16];
        memset(buffer, 'Q', sizeof buffer);
        GetFromCfg(key, buffer, section, file);
        EXPECT_NE(nullptr, memchr(buffer, '\0', kCfgQuotedSize));
        return buffer;
    }
    std::string install;
};

} // namespace

TEST_F(Config, ReadsEachFileAndSectionByNumber) {
    Write("init.cfg", "[cfg]\r\n1=Product\r\n2=licence.txt\r\n[index]\r\nmax=3\r\nmaxU=2\r\n[RUN]\r\n1=app.exe\r\n"
                      "[silent]\r\n1=0\r\n[RunU]\r\n1=clean.exe\r\n"
                      "[Product]\r\nversion=2.1.0\r\nPublisher= Example Ltd \r\nURL=\"https://example.com\"\r\n");
    Write("lnk.cfg", "[index1]\r\nmax=2\r\n[index2]\r\nmax=1\r\n[desktop]\r\n1=app.exe\r\n[menu]\r\n1=x\r\n");
    Write("reg.cfg", "[index]\r\nmax=2\r\n[key]\r\n1=HKEY_CURRENT_USER\\Software\\P\r\n[name]\r\n1=Path\r\n"
                     "[value]\r\n1=C:\\P\r\n[type]\r\n1=3\r\n[dynam]\r\n1=1\r\n");
    struct Row {
        const char* key;
        short section, file;
        const char* expected;
    } rows[] = {
        {"1", kSecCfg, kInitCfg, "Product"},       {"2", kSecCfg, kInitCfg, "licence.txt"},
        {"3", kSecCfg, kInitCfg, ""},              {"max", kSecIndex, kInitCfg, "3"},
        {"maxU", kSecIndex, kInitCfg, "2"},        {"1", kSecRun, kInitCfg, "app.exe"},
        {"1", kSecSilent, kInitCfg, "0"},          {"1", kSecRunU, kInitCfg, "clean.exe"},
        {"max", kSecIndex1, kLnkCfg, "2"},         {"max", kSecIndex2, kLnkCfg, "1"},
        {"1", kSecDesktop, kLnkCfg, "app.exe"},    {"1", kSecMenu, kLnkCfg, "x"},
        {"max", kSecIndex, kRegCfg, "2"},          {"1", kSecKey, kRegCfg, "HKEY_CURRENT_USER\\Software\\P"},
        {"1", kSecName, kRegCfg, "Path"},          {"1", kSecValue, kRegCfg, "C:\\P"},
        {"1", kSecType, kRegCfg, "3"},             {"1", kSecDynam, kRegCfg, "1"},
        {kProductVersion, kSecProduct, kInitCfg, "2.1.0"},
        {kProductPublisher, kSecProduct, kInitCfg, "Example Ltd"},
        {kProductUrl, kSecProduct, kInitCfg, "https://example.com"},
        {kProductVersion, kSecProduct, kRegCfg, ""},
        {"1", kSecCfg, kLnkCfg, ""},               {"1", 15, kInitCfg, ""},
        {"1", -1, kInitCfg, ""},                   {"1", kSecCfg, 3, ""},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.expected, Read(r.key, r.section, r.file)) << "[" << r.section << "] " << r.key << " file " << r.file;
}

TEST_F(Config, QuotingRuleAppliesToValueEntriesOnly) {
    Write("reg.cfg", "[value]\r\n1=C:\\Program Files\\P\\app.exe\r\n2=plain\r\n3=\"was quoted\"\r\n4=x\r\n"
                     "5=" + std::string(259, 'v') + "\r\n"
                     "[name]\r\n1=n\r\n[line]\r\n1=1\r\n2=0\r\n4=7abc\r\n5=1\r\n");
    EXPECT_EQ("\"C:\\Program Files\\P\\app.exe\"", Read("1", kSecValue, kRegCfg));
    EXPECT_EQ("plain", Read("2", kSecValue, kRegCfg)) << "[line] 0";
    EXPECT_EQ("was quoted", Read("3", kSecValue, kRegCfg)) << "no [line]: the file's quotes are removed";
    EXPECT_EQ("\"x\"", Read("4", kSecValue, kRegCfg)) << "[line] read as an integer";
    EXPECT_EQ("n", Read("1", kSecName, kRegCfg)) << "[line] under another section changes nothing";
    EXPECT_EQ("\"" + std::string(259, 'v') + "\"", Read("5", kSecValue, kRegCfg)) << "262 bytes with quotes";
}

TEST_F(Config, ListEndFollowsTheCountKey) {
    Write("init.cfg", "[index]\r\nmax=3\r\n[Run]\r\n1=a\r\n2=b\r\n3=c\r\n");
    Write("lnk.cfg", "[index1]\r\nmax=1\r\n[index2]\r\nmax=zero\r\n");
    Write("reg.cfg", "[index]\r\nmax=-4\r\n");
    EXPECT_EQ(3, CfgListEnd(kSecIndex, kInitCfg)) << "entries 1 and 2";
    EXPECT_EQ(1, CfgListEnd(kSecIndex1, kLnkCfg)) << "an empty list";
    EXPECT_EQ(0, CfgListEnd(kSecIndex2, kLnkCfg)) << "non-numeric: no list";
    EXPECT_GT(1, CfgListEnd(kSecIndex, kRegCfg)) << "negative: no list";
    EXPECT_EQ(0, CfgListEnd(kSecIndex1, kInitCfg)) << "missing: no list";
}

TEST_F(Config, PathRuleIsTheInstallFolderAndTheName) {
    char path[kCfgValueSize];
    ASSERT_TRUE(CfgPath(kLnkCfg, path));
    EXPECT_EQ(install + "\\lnk.cfg", path);
    EXPECT_FALSE(CfgPath(5, path));
    EXPECT_STREQ("", path);
}
