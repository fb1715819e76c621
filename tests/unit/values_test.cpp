// Registry value texts: hexadecimal conversion, root names, the dynamic path
// substitution.
#include <gtest/gtest.h>

#include <cstring>

#include "finish/values.h"
#include "helpers.h"
#include "base/state.h"

TEST(Hex, DigitsAndTextToBytes) {
    EXPECT_EQ(0, hextoi('0'));
    EXPECT_EQ(9, hextoi('9'));
    EXPECT_EQ(10, hextoi('A'));
    EXPECT_EQ(15, hextoi('F'));
    struct Row {
        const char* text;
        Bytes bytes;
    } rows[] = {
        {"0000000a", {0x0A, 0x00, 0x00, 0x00}}, {"0000ABCD", {0xCD, 0xAB, 0x00, 0x00}},
        {"ffffffff", {0xFF, 0xFF, 0xFF, 0xFF}}, {"0102A0", {0xA0, 0x02, 0x01}},
        {"1234567", {0x67, 0x45, 0x23}},  // seven digits: three bytes, the first digit dropped
        {"", {}},
    };
    for (const Row& r : rows) {
        unsigned char buffer[64];
        memset(buffer, 0xEE, sizeof buffer);
        strcpy(reinterpret_cast<char*>(buffer), r.text);
        size_t keep = strlen(r.text) / 2;
        convertvalue(buffer);
        EXPECT_EQ(r.bytes, Bytes(buffer, buffer + keep)) << r.text;
        EXPECT_EQ(0xEE, buffer[strlen(r.text) + 1]) << r.text << ": nothing written past the text";
    }
}

TEST(FindKeyType, RootNamesAndTheFirstComponent) {
    struct Row {
        const char* path;
        short root;
        const char* rest;
    } rows[] = {
        {"HKEY_CURRENT_USER\\Software\\X", 0, "Software\\X"},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Y", 1, "SOFTWARE\\Y"},
        {"HKEY_CLASSES_ROOT\\.ext", 2, ".ext"},
        {"HKEY_USERS\\.DEFAULT\\Z", 3, ".DEFAULT\\Z"},
        {"Software\\HKEY_CURRENT_USER\\Q", 0, "HKEY_CURRENT_USER\\Q"},  // found anywhere, first component goes
        {"hkey_current_user\\Software", 4, "hkey_current_user\\Software"},
        {"Software\\NoRoot", 4, "Software\\NoRoot"},
        {"HKEY_CURRENT_USER", 4, "HKEY_CURRENT_USER"},  // no backslash: nothing to strip, not written
        {"", 4, ""},
    };
    for (const Row& r : rows) {
        char path[260];
        strcpy(path, r.path);
        EXPECT_EQ(r.root, FindKeyType(path)) << r.path;
        EXPECT_STREQ(r.rest, path) << r.path;
    }
}

namespace {

class Substitution : public ::testing::Test {
protected:
    void SetUp() override { strcpy(NazwaProgramu(), "Edytor"); }
};

} // namespace

TEST_F(Substitution, EveryOccurrenceBecomesTheDestinationAndTheTypeString) {
    const char destination[] = "D:\\Apps\\Edytor\\";
    char value[260] = "%ProgramFiles%\\Edytor\\bin;%ProgramFiles%\\Edytor\\lib";
    char type[16] = "2";
    EXPECT_TRUE(SciezkaDynamicznie(value, type, destination));
    EXPECT_STREQ("D:\\Apps\\Edytor\\bin;D:\\Apps\\Edytor\\lib", value) << "no doubled backslash";
    EXPECT_STREQ("3", type);

    char untouched[260] = "C:\\Elsewhere\\%ProgramFiles%\\Other";
    char type2[16] = "2";
    EXPECT_TRUE(SciezkaDynamicznie(untouched, type2, destination));
    EXPECT_STREQ("C:\\Elsewhere\\%ProgramFiles%\\Other", untouched);
    EXPECT_STREQ("2", type2);
}

TEST_F(Substitution, EndsWhenTheDestinationHoldsThePattern) {
    char value[260] = "%ProgramFiles%\\Edytor\\x";
    char type[16] = "0";
    EXPECT_TRUE(SciezkaDynamicznie(value, type, "C:\\%ProgramFiles%\\Edytor"));
    EXPECT_STREQ("C:\\%ProgramFiles%\\Edytor\\x", value);
}

TEST_F(Substitution, TextThatWouldOutgrowItsBufferIsRefused) {
    std::string destination = "C:\\" + std::string(200, 'd');
    char value[260] = "%ProgramFiles%\\Edytor;%ProgramFiles%\\Edytor";
    char type[16] = "2";
    EXPECT_FALSE(SciezkaDynamicznie(value, type, destination.c_str()));
    EXPECT_STREQ("%ProgramFiles%\\Edytor;%ProgramFiles%\\Edytor", value) << "left as it was";
}
