// The private-profile rules the configuration relies on. The same table runs
// against Wine's reader and the POSIX stand-in: where they differed, Wine
// decided and the stand-in followed. The reader of INI text in memory
// (base/ini.h) must give what the system's reader gives, row for row.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/ini.h"
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
    "keyonly\r\n"
    "eq=a=b\r\n"
    "tabs=\tvalue\t\r\n"
    "lf=one-byte line end\n"
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
    // The same read of the same text in memory.
    std::string Read(const char* section, const char* key, const char* def = "dflt", size_t size = 260) {
        char buffer[300];
        memset(buffer, 'Q', sizeof buffer);
        IniSpan value;
        if (IniFind(IniSpanOf(kIni), IniSpanOf(section), IniSpanOf(key), &value) != kIniFound)
            value = IniSpanOf(def);
        copied = IniCopy(value, buffer, size);
        copyTerminated = memchr(buffer, '\0', size) != nullptr;
        return std::string(buffer);
    }
    std::string path;
    DWORD returned = 0;
    bool terminated = false;
    size_t copied = 0;
    bool copyTerminated = false;
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
        {"a key without \"=\" reads as missing", "Run", "keyonly", "dflt"},
        {"the value runs from the first \"=\"", "Run", "eq", "a=b"},
        {"tabs trimmed", "Run", "tabs", "value"},
        {"a line ended by LF alone", "Run", "lf", "one-byte line end"},
        {"no prefix match", "Run", "1x", "dflt"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.expected, Get(r.section, r.key)) << r.label << " (system)";
        EXPECT_EQ(r.expected, Read(r.section, r.key)) << r.label << " (in memory)";
    }
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
    EXPECT_EQ("first", Read("Run", "1", "", 6));
    EXPECT_TRUE(copyTerminated);
    EXPECT_EQ(5u, copied);
    EXPECT_EQ("dfl", Read("Run", "missing", "dflt", 4));
    EXPECT_EQ(3u, copied);
}

TEST_F(Profile, IntegerReadsTakeTheLeadingDigits) {
    struct Row {
        const char* key;
        INT def;
        UINT expected;
    } rows[] = {
        {"num", 7, 12}, {"word", 7, 0}, {"empty", 7, 7}, {"missing", 7, 7}, {"blank", 7, 7}, {"keyonly", 7, 7},
        {"neg", 0, static_cast<UINT>(-3)},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.expected, GetPrivateProfileIntA("Run", r.key, r.def, path.c_str())) << r.key << " (system)";
        IniSpan value{"", 0};
        IniFind(IniSpanOf(kIni), IniSpanOf("Run"), IniSpanOf(r.key), &value);
        EXPECT_EQ(r.expected, static_cast<UINT>(IniInteger(value, r.def))) << r.key << " (in memory)";
    }
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

// Writes to INI text in memory land where the system's writes land, so the
// text reads back as the file does after the same writes.
TEST_F(Profile, InMemoryWritesReadBackAsTheSystemsWrites) {
    struct Write {
        const char* section;
        const char* key;
        const char* value;
    } writes[] = {{"run", "1", "changed.exe"}, {"Run", "new", "added"}, {"Fresh", "k", "v"},
                  {"RUN", "spaced KEY", "respaced"}, {"Run", "keyonly", "now a value"}, {"other", "2", "two"}};
    std::string text(kIni);
    for (const Write& w : writes) {
        ASSERT_TRUE(WritePrivateProfileStringA(w.section, w.key, w.value, path.c_str())) << w.key;
        std::vector<char> buffer(text.begin(), text.end());
        buffer.resize(text.size() + IniSetRoom(w.section, w.key, w.value));
        size_t size = text.size();
        ASSERT_TRUE(IniSet(buffer.data(), &size, buffer.size(), w.section, w.key, w.value)) << w.key;
        text.assign(buffer.data(), size);
    }
    const char* const reads[][2] = {{"Run", "1"},  {"Run", "new"},  {"fresh", "K"},   {"Run", "spaced key"},
                                    {"Run", "sq"}, {"Run", "lf"},   {"Run", "late"},  {"Run", "keyonly"},
                                    {"Other", "1"}, {"Other", "2"}, {"Fresh", "none"}};
    for (const auto& r : reads) {
        IniSpan value;
        std::string inMemory =
            IniFind(IniSpan{text.data(), text.size()}, IniSpanOf(r[0]), IniSpanOf(r[1]), &value) == kIniFound
                ? std::string(value.text, value.length)
                : "dflt";
        EXPECT_EQ(Get(r[0], r[1]), inMemory) << r[0] << " " << r[1];
    }
}

// Where a write puts its line, byte for byte: the uninstall record is sealed
// as these bytes.
TEST(IniSet, KeepsTheOrderOfFirstWrites) {
    struct Row {
        const char* label;
        const char* before;
        const char* section;
        const char* key;
        const char* value;
        const char* after;
    } rows[] = {
        {"into nothing", "", "reg", "max", "1", "[reg]\r\nmax=1\r\n"},
        {"a new key at the end of its section", "[a]\r\n1=x\r\n[b]\r\n1=y\r\n", "A", "2", "z",
         "[a]\r\n1=x\r\n2=z\r\n[b]\r\n1=y\r\n"},
        {"before the blank lines that end a section", "[a]\r\n1=x\r\n\r\n  \r\n[b]\r\n", "a", "2", "z",
         "[a]\r\n1=x\r\n2=z\r\n\r\n  \r\n[b]\r\n"},
        {"a value replaced where it stands, the name as written", "[a]\r\n Max = 1\r\n2=x\r\n", "a", "max", "2",
         "[a]\r\n Max=2\r\n2=x\r\n"},
        {"only the first of two keys", "[a]\r\n1=x\r\n1=y\r\n", "a", "1", "z", "[a]\r\n1=z\r\n1=y\r\n"},
        {"into the first of two sections", "[a]\r\n[b]\r\n[a]\r\n", "a", "1", "z", "[a]\r\n1=z\r\n[b]\r\n[a]\r\n"},
        {"a key without a value gets one", "[a]\nflag\n", "a", "flag", "1", "[a]\nflag=1\n"},
        {"a last line without its line end", "[a]\r\n1=x", "a", "2", "y", "[a]\r\n1=x\r\n2=y\r\n"},
        {"a new section after such a line", "[a]\r\n1=x", "b", "1", "y", "[a]\r\n1=x\r\n[b]\r\n1=y\r\n"},
        {"a longer value moves what follows", "[a]\r\n1=x\r\n2=y\r\n", "a", "1", "a longer value",
         "[a]\r\n1=a longer value\r\n2=y\r\n"},
    };
    for (const Row& r : rows) {
        size_t size = strlen(r.before);
        std::vector<char> buffer(r.before, r.before + size);
        buffer.resize(size + IniSetRoom(r.section, r.key, r.value));
        ASSERT_TRUE(IniSet(buffer.data(), &size, buffer.size(), r.section, r.key, r.value)) << r.label;
        EXPECT_EQ(r.after, std::string(buffer.data(), size)) << r.label;
    }
    char small[16] = "[a]\r\n1=x\r\n";
    size_t size = strlen(small);
    EXPECT_FALSE(IniSet(small, &size, sizeof small, "a", "2", "y")) << "no room";
    EXPECT_EQ(strlen("[a]\r\n1=x\r\n"), size);
    EXPECT_STREQ("[a]\r\n1=x\r\n", small);
}
