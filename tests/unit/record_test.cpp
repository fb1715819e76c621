// The uninstall record's writer.
#include <gtest/gtest.h>

#include <cstring>

#include "finish/record.h"
#include "package/record.h"
#include "platform/win32api.h"
#include "helpers.h"
#include "shell/scratch.h"

namespace {

class Record : public ::testing::Test {
protected:
    void SetUp() override {
        memcpy(saved, tmp_dir(), sizeof saved);
        snprintf(tmp_dir(), 260, "%s", NewFolder("record-scratch").c_str());
        install = NewFolder("record-install");
        Set("9", install);
        record = NewFolder("record-dest") + "\\UnInst.cfg";
        Set("11", record);
    }
    void TearDown() override { memcpy(tmp_dir(), saved, sizeof saved); }
    void Set(const char* key, const std::string& value) {
        std::vector<char> v(value.begin(), value.end());
        v.push_back('\0');
        dircfg(key, v.data(), 1, static_cast<int>(value.size()));
    }
    std::string Get(const char* section, const char* key) {
        char value[300];
        GetPrivateProfileStringA(section, key, "<none>", value, sizeof value, record.c_str());
        return value;
    }
    char saved[260];
    std::string install, record;
};

} // namespace

TEST_F(Record, EntriesAreNumberedFromOneWithMaxTheirCount) {
    WriteToUnInstall(true, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\P", nullptr);
    WriteToUnInstall(true, "HKEY_CURRENT_USER\\Software\\P", "Path");
    WriteToUnInstall(true, "", "");
    WriteToUnInstall(false, "C:\\Desktop\\app.exe.lnk", nullptr);
    EXPECT_EQ("3", Get("reg", "max"));
    EXPECT_EQ("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\P", Get("reg", "1"));
    EXPECT_EQ("HKEY_CURRENT_USER\\Software\\P", Get("reg", "2"));
    EXPECT_EQ("", Get("reg", "3"));
    EXPECT_EQ("<none>", Get("sub", "1")) << "no value name, no [sub]";
    EXPECT_EQ("Path", Get("sub", "2"));
    EXPECT_EQ("", Get("sub", "3")) << "an empty name is written, not left out";
    EXPECT_EQ("1", Get("lnk", "max"));
    EXPECT_EQ("C:\\Desktop\\app.exe.lnk", Get("lnk", "1"));
}

TEST_F(Record, RunUListIsCopiedWithEmptyEntriesLeftOut) {
    ASSERT_TRUE(WriteBytes(install + "\\init.cfg",
                           FromText("[index]\r\nmaxU=4\r\n[RunU]\r\n1=first.exe\r\n2=\r\n3=tools\\third.exe\r\n"
                                    "4=beyond.exe\r\n")));
    char value[260], path[260], number[16];
    addtouninstlist(value, record.c_str(), path, number);
    EXPECT_EQ("4", Get("maxU", "1"));
    EXPECT_EQ("first.exe", Get("RunU", "1"));
    EXPECT_EQ("<none>", Get("RunU", "2"));
    EXPECT_EQ("tools\\third.exe", Get("RunU", "3"));
    EXPECT_EQ("<none>", Get("RunU", "4")) << "the count key is one past the last entry";
}

TEST_F(Record, NoMaxUWritesNothing) {
    for (const char* init : {"[index]\r\nmax=2\r\n[RunU]\r\n1=x.exe\r\n", "[index]\r\nmaxU=0\r\n[RunU]\r\n1=x.exe\r\n"}) {
        ASSERT_TRUE(WriteBytes(install + "\\init.cfg", FromText(init)));
        char value[260], path[260], number[16];
        addtouninstlist(value, record.c_str(), path, number);
        EXPECT_EQ("<none>", Get("maxU", "1")) << init;
        EXPECT_EQ("<none>", Get("RunU", "1")) << init;
    }
}

TEST_F(Record, FileListHoldsEachFileBelowTheDestinationWithSizeAndCrc) {
    std::string dest = NewFolder("record-list");
    ZapisaneReset();
    ASSERT_TRUE(ZapisaneDodaj((dest + "\\bin").c_str(), true));
    ASSERT_TRUE(ZapisaneDodaj((dest + "\\bin\\app.exe").c_str(), false));
    ZapisaneUstawSume(1, 3145728, 0x0A1B2C3D);
    ASSERT_TRUE(ZapisaneDodaj((dest + "\\read me.txt").c_str(), false));
    ZapisaneUstawSume(2, 0, 0);
    ASSERT_TRUE(ZapisaneDodaj((dest + "2\\beside.txt").c_str(), false));
    ASSERT_TRUE(ZapisaneDodaj("C:\\elsewhere\\x.txt", false));
    ZapisaneUstawSume(99, 1, 1);  // no such entry: nothing happens
    std::string list = dest + "\\Files.lst";
    ASSERT_TRUE(WriteBytes(list, FromText("old content\r\n")));
    ASSERT_TRUE(ZapiszListePlikow(dest.c_str(), list.c_str()));
    Bytes got;
    ASSERT_TRUE(ReadBytes(list, &got));
    EXPECT_EQ("3145728 0A1B2C3D bin\\app.exe\r\n0 00000000 read me.txt\r\n", std::string(got.begin(), got.end()));
    ZapisaneReset();
}

TEST_F(Record, ChosenLanguageIsCopiedAndTheBuiltInOneLeavesNoFile) {
    std::string dest = NewFolder("record-lang");
    std::string target = dest + "\\Language.lng";
    std::string english = install + "\\English.lng";
    ASSERT_TRUE(WriteBytes(english, FromText("[lng]\r\n30=Remove\r\n")));
    Set("8", english);
    ZapiszJezyk(target.c_str());
    Bytes got;
    ASSERT_TRUE(ReadBytes(target, &got));
    EXPECT_EQ("[lng]\r\n30=Remove\r\n", std::string(got.begin(), got.end()));
    Set("8", install + "\\Polski.lng");
    ZapiszJezyk(target.c_str());
    EXPECT_FALSE(Exists(target)) << "an earlier installation's language does not stay";
}
