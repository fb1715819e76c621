// The uninstall record's writer.
#include <gtest/gtest.h>

#include <cstring>

#include "finish/record.h"
#include "finish/recordcopy.h"
#include "trust/digest.h"
#include "trust/folder.h"
#include "package/heldtree.h"
#include "package/record.h"
#include "platform/win32api.h"
#include "helpers.h"
#include "base/scratch.h"

namespace {

class Record : public ::testing::Test {
protected:
    void SetUp() override {
        memcpy(saved, tmp_dir(), sizeof saved);
        snprintf(tmp_dir(), 260, "%s", NewFolder("record-scratch").c_str());
        install = NewFolder("record-install");
        ScratchWrite(kScratchInstall, install.c_str());
        record = NewFolder("record-dest") + "\\UnInst.cfg";
        ScratchWrite(kScratchRecord, record.c_str());
    }
    void TearDown() override { memcpy(tmp_dir(), saved, sizeof saved); }
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
    WrittenReset();
    ASSERT_TRUE(WrittenAdd((dest + "\\bin").c_str(), true));
    ASSERT_TRUE(WrittenAdd((dest + "\\bin\\app.exe").c_str(), false));
    WrittenSetSum(1, 3145728, 0x0A1B2C3D);
    ASSERT_TRUE(WrittenAdd((dest + "\\read me.txt").c_str(), false));
    WrittenSetSum(2, 0, 0);
    ASSERT_TRUE(WrittenAdd((dest + "2\\beside.txt").c_str(), false));
    ASSERT_TRUE(WrittenAdd("C:\\elsewhere\\x.txt", false));
    WrittenSetSum(99, 1, 1);  // no such entry: nothing happens
    std::string list = dest + "\\Files.lst";
    ASSERT_TRUE(WriteBytes(list, FromText("old content\r\n")));
    ASSERT_TRUE(TreeHoldRoot(dest.c_str()));
    ASSERT_TRUE(WriteFileList(dest.c_str(), list.c_str()));
    Bytes got;
    ASSERT_TRUE(ReadBytes(list, &got));
    EXPECT_EQ("3145728 0A1B2C3D bin\\app.exe\r\n0 00000000 read me.txt\r\n", std::string(got.begin(), got.end()));
    WrittenReset();
}

TEST_F(Record, ChosenLanguageIsCopiedAndTheBuiltInOneLeavesNoFile) {
    std::string dest = NewFolder("record-lang");
    std::string target = dest + "\\Language.lng";
    std::string english = install + "\\English.lng";
    ASSERT_TRUE(WriteBytes(english, FromText("[lng]\r\n30=Remove\r\n")));
    ScratchWrite(kScratchLanguage, english.c_str());
    TreeHoldRoot(dest.c_str());
    CopyLanguageRecord(target.c_str());
    Bytes got;
    ASSERT_TRUE(ReadBytes(target, &got));
    EXPECT_EQ("[lng]\r\n30=Remove\r\n", std::string(got.begin(), got.end()));
    ScratchWrite(kScratchLanguage, (install + "\\Polski.lng").c_str());
    CopyLanguageRecord(target.c_str());
    EXPECT_FALSE(Exists(target)) << "an earlier installation's language does not stay";
}

namespace {

std::string Text(const std::string& path) {
    Bytes b;
    EXPECT_TRUE(ReadBytes(path, &b)) << path;
    return std::string(b.begin(), b.end());
}

const char kProductKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\P";

std::string Seal(const char* key, const std::string& bytes, const char* folder = nullptr) {
    char digest[kDigestTextSize];
    EXPECT_TRUE(SealDigest(key, bytes.data(), bytes.size(), digest, folder));
    return digest;
}

} // namespace

// An upgrade's list: this run's files with their new sums, then the earlier
// installation's files this run did not write, as the program section read
// them; damaged or hostile lines of the earlier list are dropped. The
// earlier list is merged only while it is byte for byte the one sealed
// under the product's key.
TEST_F(Record, FileListOfAnUpgradeKeepsTheEarlierInstallationsOtherFiles) {
    std::string dest = NewFolder("record-upgrade");
    const std::string earlierText = "4 AAAAAAAA app.exe\r\n"
                                    "8 33333333 LIB\\kept.dll\r\n"
                                    "9 BBBBBBBB data\\same.txt\r\n"
                                    "3 CCCCCCCC old\\only-v1.txt\r\n"
                                    "x DDDDDDDD not-a-size.txt\r\n"
                                    "1 EEEEEEE short-crc.txt\r\n"
                                    "2 FFFFFFFF ..\\outside.txt\r\n"
                                    "2 FFFFFFFF C:\\Windows\\x.dll\r\n"
                                    "2 FFFFFFFF con.txt\r\n"
                                    "\r\n"
                                    "6 0a0b0c0d lower-hex.txt";
    // A file found as the package has it and left in place is listed as
    // written, and its earlier line is not repeated.
    const std::string ours = "5 11111111 app.exe\r\n7 22222222 Data\\Same.txt\r\n8 33333333 lib\\kept.dll\r\n";
    const std::string sealed = Seal(kProductKey, earlierText);
    struct Row {
        const char* label;
        std::string onDisk;  // the earlier list when the program section reads it
        std::string digest;  // the product key's seal, "" for none
        const char* key;
        std::string list;
    } rows[] = {
        {"sealed", earlierText, sealed, kProductKey,
         ours + "3 CCCCCCCC old\\only-v1.txt\r\n6 0A0B0C0D lower-hex.txt\r\n"},
        {"a line added after the seal", earlierText + "\r\n8 99999999 mine.txt\r\n", sealed, kProductKey, ours},
        {"sealed for another product", earlierText, Seal("SOFTWARE\\Other", earlierText), kProductKey, ours},
        {"no seal", earlierText, "", kProductKey, ours},
        {"no key", earlierText, sealed, nullptr, ours},
    };
    for (const Row& r : rows) {
        WrittenReset();
        ASSERT_TRUE(WrittenAdd((dest + "\\app.exe").c_str(), false));
        WrittenSetSum(0, 5, 0x11111111);
        ASSERT_TRUE(
            WrittenAddKept((dest + "\\Data\\Same.txt").c_str(), (dest + "\\Data\\~BDK0000001").c_str(), 0x20));
        ASSERT_TRUE(WrittenAdd((dest + "\\Data\\Same.txt").c_str(), false));
        WrittenSetSum(2, 7, 0x22222222);
        ASSERT_TRUE(WrittenAddUnchanged((dest + "\\lib\\kept.dll").c_str(), 8, 0x33333333));
        ASSERT_TRUE(CreateDirectoryA((dest + "\\UnInstall").c_str(), nullptr) || Exists(dest + "\\UnInstall"));
        ASSERT_TRUE(WriteBytes(dest + "\\UnInstall\\UnInst.cfg",
                               FromText(std::string("[reg]\r\nmax=1\r\n1=") + kProductKey + "\r\n")));
        ASSERT_TRUE(WriteBytes(dest + "\\UnInstall\\Files.lst", FromText(r.onDisk)));
        SetListDigest(kProductKey, r.digest.empty() ? nullptr : r.digest.c_str());
        EarlierRead(dest.c_str(), r.key);
        std::string list = dest + "\\Files.lst";
        ASSERT_TRUE(WriteFileList(dest.c_str(), list.c_str(), true)) << r.label;
        EXPECT_EQ(r.list, Text(list)) << r.label;
    }
    EarlierForget();
    SetListDigest(kProductKey, nullptr);
    WrittenReset();
}

TEST_F(Record, SameProductIsTheOneWhoseUninstallKeyTheRecordLists) {
    struct Row {
        const char* label;
        std::string record;
        bool same;
    } rows[] = {
        {"listed first", std::string("[reg]\r\nmax=2\r\n1=") + kProductKey + "\r\n2=HKEY_CURRENT_USER\\x\r\n", true},
        {"listed later, other case", "[reg]\r\nmax=3\r\n1=HKEY_CURRENT_USER\\x\r\n3=software\\microsoft\\windows\\"
                                     "currentversion\\uninstall\\p\r\n", true},
        {"another product", std::string("[reg]\r\nmax=1\r\n1=") + kProductKey + "2\r\n", false},
        {"beyond max", std::string("[reg]\r\nmax=1\r\n2=") + kProductKey + "\r\n", false},
        {"no [reg]", "[lnk]\r\nmax=1\r\n", false},
    };
    for (const Row& r : rows) {
        std::string path = NewFolder("record-same") + "\\UnInst.cfg";
        ASSERT_TRUE(WriteBytes(path, FromText(r.record)));
        EXPECT_EQ(r.same, SameProduct(path.c_str(), kProductKey)) << r.label;
    }
}

// The start of the finish over an earlier installation: taken back, the
// earlier record, list, language and uninstaller are as they were; committed,
// the new ones stand and no kept copy remains. The earlier list is merged
// only when its seal checks for this product.
TEST_F(Record, StartOfTheFinishIsTakenBackOrCommittedWhole) {
    struct Row {
        const char* label;
        bool sameProduct;
        bool sealed;       // the product's key holds the list's seal
        bool listChanged;  // the list was changed after the seal
        bool merged;
    } rows[] = {
        {"same product, sealed", true, true, false, true},
        {"same product, list changed after the seal", true, true, true, false},
        {"same product, no seal", true, false, false, false},
        {"another product", false, true, false, false},
    };
    for (const Row& r : rows) {
        std::string dest = NewFolder("record-start");
        std::string un = dest + "\\UnInstall";
        ASSERT_TRUE(CreateDirectoryA(un.c_str(), nullptr));
        std::string earlierRecord = std::string("[reg]\r\nmax=1\r\n1=") + kProductKey + (r.sameProduct ? "" : "X") + "\r\n";
        std::string earlierList = "3 CCCCCCCC only-v1.txt\r\n";
        std::string digest = r.sealed ? Seal(kProductKey, earlierList) : "";
        if (r.listChanged)
            earlierList += "8 0BADF00D mine.txt\r\n";
        const std::pair<const char*, std::string> earlier[] = {{"UnInst.cfg", earlierRecord},
                                                               {"Files.lst", earlierList},
                                                               {"Language.lng", "[lng]\r\n30=Old\r\n"},
                                                               {"UnInst.exe", "old uninstaller"}};
        for (const auto& f : earlier)
            ASSERT_TRUE(WriteBytes(un + "\\" + f.first, FromText(f.second)));
        ASSERT_TRUE(WriteBytes(install + "\\UnInst.dat", FromText("new uninstaller")));
        ScratchWrite(kScratchLanguage, (install + "\\Polski.lng").c_str());
        SetListDigest(kProductKey, r.sealed ? digest.c_str() : nullptr);
        EarlierRead(dest.c_str(), kProductKey);

        for (bool commit : {false, true}) {
            WrittenReset();
            ASSERT_TRUE(WriteBytes(dest + "\\app.exe", FromText("app")));
            ASSERT_TRUE(WrittenAdd((dest + "\\app.exe").c_str(), false));
            ASSERT_EQ(kSectionOk, BeginRecord(dest.c_str(), kProductKey, (install + "\\UnInst.dat").c_str(), r.sealed))
                << r.label;
            EXPECT_EQ("new uninstaller", Text(un + "\\UnInst.exe"));
            std::string list = r.merged ? "0 00000000 app.exe\r\n3 CCCCCCCC only-v1.txt\r\n" : "0 00000000 app.exe\r\n";
            EXPECT_EQ(list, Text(un + "\\Files.lst")) << r.label;
            EXPECT_EQ(Seal(kProductKey, list, dest.c_str()), FileListSeal())
                << r.label << ": the seal of the bytes written, for this folder";
            EXPECT_FALSE(Exists(un + "\\Language.lng")) << "the built-in language leaves none";
            if (!commit) {
                WrittenTakeBack();
                for (const auto& f : earlier)
                    EXPECT_EQ(f.second, Text(un + "\\" + f.first)) << f.first;
                EXPECT_FALSE(Exists(dest + "\\app.exe"));
                EXPECT_EQ(4u, ListTree(un).size());
            } else {
                WrittenCommit();
                std::vector<std::string> expected = {"Files.lst", "UnInst.cfg", "UnInst.exe"};
                EXPECT_EQ(expected, ListTree(un)) << "no kept copy stays";
                EXPECT_EQ("", Text(un + "\\UnInst.cfg")) << "a fresh record for the finish to fill";
            }
        }
    }
    EarlierForget();
    SetListDigest(kProductKey, nullptr);
}

// The record folder gets its protected list when this run makes it, and
// when it is the sealed record folder of an earlier installation of this
// product; any other folder of that name keeps its own.
TEST_F(Record, RecordFolderIsMadeOrSetWithItsProtectedList) {
    struct Row {
        const char* label;
        bool exists;
        bool sealedBefore;
        bool protectedList;
    } rows[] = {
        {"made by this run", false, false, true},
        {"this product's earlier one", true, true, true},
        {"there before, not this product's", true, false, false},
    };
    for (const Row& r : rows) {
        std::string dest = NewFolder("record-folder") + "\\Fresh";
        std::string un = dest + "\\UnInstall";
        std::string plain = NewFolder("record-folder-plain");
        ASSERT_TRUE(CreateDirectoryA(dest.c_str(), nullptr));
        if (r.exists) {
            ASSERT_TRUE(CreateDirectoryA(un.c_str(), nullptr));
        }
        ASSERT_TRUE(WriteBytes(install + "\\UnInst.dat", FromText("uninstaller")));
        WrittenReset();
        ASSERT_EQ(kSectionOk, BeginRecord(dest.c_str(), kProductKey, (install + "\\UnInst.dat").c_str(),
                                          r.sealedBefore))
            << r.label;
#ifdef _WIN32
        // Under Wine only a list a folder is made with shows; the list set
        // on an existing one is shown natively.
        if (!r.exists) {
            EXPECT_EQ(r.protectedList, !GrantsEveryone(FolderAccess(un))) << r.label << ": " << FolderAccess(un);
        }
        EXPECT_TRUE(GrantsEveryone(FolderAccess(plain))) << FolderAccess(plain);
#else
        EXPECT_EQ(r.protectedList ? kRecordFolderSddl : "", FolderAccess(un)) << r.label;
#endif
        if (!r.exists) {
            WrittenTakeBack();
            EXPECT_FALSE(Exists(un)) << r.label << ": the folder made is taken back";
            EXPECT_TRUE(Exists(dest)) << r.label << ": the destination was there";
        } else {
            WrittenCommit();
        }
    }
}

// The record as written: the seal is taken of the bytes this run wrote,
// which are what the file holds afterwards, whatever was put in its place
// between the writes and the seal.
TEST_F(Record, SealedRecordIsTheBytesThisRunWrote) {
    CopyReset();
    WriteToUnInstall(true, kProductKey, nullptr);
    WriteToUnInstall(true, "HKEY_CURRENT_USER\\Software\\P", "Path");
    WriteToUnInstall(true, "HKEY_CURRENT_USER\\Software\\P", "");
    WriteToUnInstall(false, "C:\\Desktop\\app.exe.lnk", nullptr);
    ASSERT_TRUE(WriteBytes(install + "\\init.cfg", FromText("[index]\r\nmaxU=3\r\n[RunU]\r\n1=first.exe\r\n2=x.exe\r\n")));
    char value[260], path[260], number[16];
    addtouninstlist(value, record.c_str(), path, number);
    ASSERT_TRUE(WriteBytes(record, FromText("[RunU]\r\n1=planted.exe\r\n")));

    char digest[kDigestTextSize] = "preset";
    std::string folder = record.substr(0, record.rfind('\\'));
    ASSERT_TRUE(TreeHoldRoot(folder.c_str()));
    ASSERT_TRUE(WriteSealedRecord(record.c_str(), kProductKey, "C:\\Product", digest));
    std::string expected = std::string("[reg]\r\nmax=3\r\n1=") + kProductKey +
                           "\r\n2=HKEY_CURRENT_USER\\Software\\P\r\n3=HKEY_CURRENT_USER\\Software\\P\r\n"
                           "[sub]\r\n2=Path\r\n3=\r\n[lnk]\r\nmax=1\r\n1=C:\\Desktop\\app.exe.lnk\r\n"
                           "[maxU]\r\n1=3\r\n[RunU]\r\n1=first.exe\r\n2=x.exe\r\n";
    EXPECT_EQ(expected, Text(record));
    EXPECT_EQ(Seal(kProductKey, expected, "C:\\Product"), digest);
    EXPECT_NE(Seal("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Q", expected, "C:\\Product"), digest)
        << "the key's name is sealed with the bytes";
    EXPECT_NE(Seal(kProductKey, expected, "C:\\Elsewhere"), digest) << "and so is the installation folder";
    EXPECT_NE(Seal(kProductKey, expected), digest);
    EXPECT_EQ("3", Get("reg", "max"));
    EXPECT_EQ("", Get("sub", "3"));
    EXPECT_EQ("x.exe", Get("RunU", "2"));
    CopyReset();
}
