// The private-profile rules the configuration relies on. The same table runs
// against Wine's reader and the POSIX stand-in: where they differed, Wine
// decided and the stand-in followed.
#include <gtest/gtest.h>

#include <cstring>

#include "helpers.h"
#include "platform/win32api.h"

namespace {

const char kIni[] =
    "[Run]\r\n"
    "1=first.exe\r\n"
    "1=second.exe\r\n"
    "  Spaced Key  =   spaced value   \r\n"
    "dq=\"double quoted\"\r\n"
    "sq='single quoted'\r\n"
    "mixed=\"mixed'\r\n"
    "lead=\"only leading\r\n"
    "inner=a \"b\" c\r\n"
    "twice=\"\"twice\"\"\r\n"
    "empty=\r\n"
    "quotesonly=\"\"\r\n"
    "num=12abc\r\n"
    "neg=-3\r\n"
    "word=abc\r\n"
    "blank=   \r\n"
    "big=4294967297\r\n"
    "[run]\r\n"
    "late=from the second section\r\n"
    "[Other]\r\n"
    "1=other\r\n";

class Profile : public ::testing::Test {
protected:
    void SetUp() override {
        path = NewFolder("profile") + "\\test.ini";
        ASSERT_TRUE(WriteBytes(path, FromText(kIni)));
    }
    std::string Get(const char* section, const char* key, const char* def = "dflt", DWORD size = 260) {
        char buffer[300];
        memset(buffer, 'Q', sizeof buffer);
        returned = GetPrivateProfileStringA(section, key, def, buffer, size, path.c_str());
        terminated = memchr(buffer, '\0', size) != nullptr;
        return std::string(buffer);
    }
    std::string path;
    DWORD returned = 0;
    bool terminated = false;
};

} // namespace

TEST_F(Profile, StringReadsFollowTheReaderRules) {
    struct Row {
        const char* label;
        const char* section;
        const char* key;
        const char* expected;
    } rows[] = {
        {"first of two equal keys", "Run", "1", "first.exe"},
        {"section name without regard to case", "RUN", "1", "first.exe"},
        {"key name without regard to case, blanks trimmed", "run", "spaced key", "spaced value"},
        {"double quotes removed", "Run", "dq", "double quoted"},
        {"single quotes removed", "Run", "sq", "single quoted"},
        {"unmatched quotes kept", "Run", "mixed", "\"mixed'"},
        {"a leading quote alone kept", "Run", "lead", "\"only leading"},
        {"inner quotes kept", "Run", "inner", "a \"b\" c"},
        {"only one pair removed", "Run", "twice", "\"twice\""},
        {"empty value", "Run", "empty", ""},
        {"empty quotes", "Run", "quotesonly", ""},
        {"blanks only", "Run", "blank", ""},
        {"first section counts", "Run", "late", "dflt"},
        {"missing key", "Run", "2", "dflt"},
        {"missing section", "Nothing", "1", "dflt"},
        {"other section", "other", "1", "other"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.expected, Get(r.section, r.key)) << r.label;
    EXPECT_EQ("dflt", Get("Run", "1x")) << "no prefix match";
    std::string missing = path + ".missing";
    char buffer[16];
    GetPrivateProfileStringA("Run", "1", "none", buffer, sizeof buffer, missing.c_str());
    EXPECT_STREQ("none", buffer) << "missing file";
}

TEST_F(Profile, LongValuesAreCutWithATerminator) {
    EXPECT_EQ("first", Get("Run", "1", "", 6));
    EXPECT_TRUE(terminated);
    EXPECT_EQ(5u, returned);
    EXPECT_EQ("dfl", Get("Run", "missing", "dflt", 4)) << "the default is cut too";
    EXPECT_EQ(3u, returned);
}

TEST_F(Profile, IntegerReadsTakeTheLeadingDigits) {
    struct Row {
        const char* key;
        INT def;
        UINT expected;
    } rows[] = {
        {"num", 7, 12}, {"word", 7, 0}, {"empty", 7, 7}, {"missing", 7, 7}, {"blank", 7, 7}, {"neg", 0, static_cast<UINT>(-3)},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.expected, GetPrivateProfileIntA("Run", r.key, r.def, path.c_str())) << r.key;
}

TEST_F(Profile, WritesReplaceAddAndCreate) {
    ASSERT_TRUE(WritePrivateProfileStringA("run", "1", "changed.exe", path.c_str()));
    EXPECT_EQ("changed.exe", Get("Run", "1"));
    ASSERT_TRUE(WritePrivateProfileStringA("Run", "new", "added", path.c_str()));
    EXPECT_EQ("added", Get("Run", "new"));
    EXPECT_EQ("other", Get("Other", "1")) << "the rest of the file stays";
    ASSERT_TRUE(WritePrivateProfileStringA("Fresh", "k", "v", path.c_str()));
    EXPECT_EQ("v", Get("fresh", "K"));

    std::string created = NewFolder("profile-new") + "\\new.ini";
    ASSERT_TRUE(WritePrivateProfileStringA("t1", "8", "C:\\x\\Lang", created.c_str()));
    char buffer[64];
    GetPrivateProfileStringA("t1", "8", "", buffer, sizeof buffer, created.c_str());
    EXPECT_STREQ("C:\\x\\Lang", buffer);
}
