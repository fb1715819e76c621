// The uninstaller's rules about what it may touch: file-list lines, paths
// that must stay inside the destination folder, shortcut names, registry
// paths and the product's own Uninstall key; and how the record and the file
// list are read from their bytes.
#include <gtest/gtest.h>

#include "helpers.h"
#include "platform/win32api.h"
#include "uninst/recordtext.h"
#include "uninst/rules.h"
#ifdef _WIN32
#include "trust/held.h"
#include "uninst/cleanup.h"
#endif

TEST(UninstRules, ListLinesParseOnlyInTheirOneForm) {
    struct Row {
        const char* line;
        bool ok;
        uint32_t size, crc;
        const char* path;
    } rows[] = {
        {"12 0A1B2C3D bin\\app.exe", true, 12, 0x0A1B2C3D, "bin\\app.exe"},
        {"0 00000000 read me.txt", true, 0, 0, "read me.txt"},
        {"4294967295 ffffffff a", true, 4294967295u, 0xFFFFFFFF, "a"},
        {"4294967296 00000000 a", false, 0, 0, ""},
        {"12 0A1B2C3 bin\\app.exe", false, 0, 0, ""},
        {"12 0A1B2C3DD bin\\app.exe", false, 0, 0, ""},
        {"12 0A1B2C3G x", false, 0, 0, ""},
        {"12 0A1B2C3D ", false, 0, 0, ""},
        {"12 0A1B2C3D", false, 0, 0, ""},
        {"x12 0A1B2C3D a", false, 0, 0, ""},
        {" 12 0A1B2C3D a", false, 0, 0, ""},
        {"", false, 0, 0, ""},
    };
    for (const Row& r : rows) {
        ListedFile file;
        file.path = "<untouched>";
        EXPECT_EQ(r.ok, ParseListLine(r.line, &file)) << "\"" << r.line << "\"";
        if (r.ok) {
            EXPECT_EQ(r.size, file.size) << r.line;
            EXPECT_EQ(r.crc, file.crc) << r.line;
            EXPECT_EQ(r.path, file.path) << r.line;
        } else {
            EXPECT_EQ("<untouched>", file.path) << r.line;
        }
    }
}

TEST(UninstRules, OnlyPathsBelowTheDestinationAreFollowed) {
    struct Row {
        const char* path;
        bool inside;
    } rows[] = {
        {"app.exe", true},
        {"bin\\tool.exe", true},
        {"a b\\c d.txt", true},
        {"..\\outside.txt", false},
        {"bin\\..\\..\\outside.txt", false},
        {"bin\\..", false},
        {".\\app.exe", false},
        {"C:\\Windows\\win.ini", false},
        {"C:win.ini", false},
        {"\\Windows\\win.ini", false},
        {"\\\\server\\share\\x", false},
        {"bin/../../x", false},
        {"bin\\\\x", false},
        {"bin\\", false},
        {"file.txt:stream", false},
        {"bad\x01name", false},
        {"", false},
        // The package reader's rule: device names and names Windows cuts.
        {"CON", false},
        {"bin\\nul.txt", false},
        {"lpt1\\x.txt", false},
        {"bin\\com9", false},
        {"console.txt", true},
        {"bin.\\x", false},
        {"x ", false},
        {"what?.txt", false},
        {"a|b", false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.inside, StaysInside(r.path)) << "\"" << r.path << "\"";
}

TEST(UninstRules, OnlyLnkFilesCountAsShortcuts) {
    struct Row {
        const char* path;
        bool shortcut;
    } rows[] = {
        {"C:\\Users\\Public\\Desktop\\tool.exe.lnk", true},
        {"C:\\Menu\\App\\UnInst.exe.LNK", true},
        {"C:\\Menu\\App\\notes.txt", false},
        {"C:\\Menu\\App\\.lnk", false},
        {"C:\\Menu\\App.lnk\\file", false},
        {"C:\\Menu\\App\\x.lnk.txt", false},
        {"", false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.shortcut, IsShortcutFile(r.path)) << "\"" << r.path << "\"";
}

TEST(UninstRules, OnlyTheProductsOwnShortcutsAreDeleted) {
    const std::string desktop = "C:\\Users\\Public\\Desktop";
    const std::string menu = "C:\\ProgramData\\Start Menu\\Programs\\Vendor\\Demo";
    struct Row {
        std::string path;
        bool own;
    } rows[] = {
        {desktop + "\\tool.exe.lnk", true},
        {"c:\\users\\public\\desktop\\Tool.exe.LNK", true},
        {menu + "\\app.exe.lnk", true},
        {menu + "\\Tools\\app.exe.lnk", true},
        {desktop + "\\Sub\\tool.exe.lnk", false},
        {desktop + "\\notes.txt", false},
        {"C:\\Users\\Public\\Desktop2\\tool.exe.lnk", false},
        {"C:\\ProgramData\\Start Menu\\Programs\\Other.lnk", false},
        {"C:\\ProgramData\\Start Menu\\Programs\\Vendor\\Other\\x.lnk", false},
        {menu + "\\..\\..\\Other.lnk", false},
        {menu + "\\.\\x.lnk", false},
        {menu + "\\x.lnk:stream.lnk", false},
        {"C:\\Windows\\x.lnk", false},
        {"", false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.own, IsOwnShortcut(r.path, desktop, menu)) << "\"" << r.path << "\"";
    EXPECT_FALSE(IsOwnShortcut("x.lnk", "", "")) << "unknown folders hold nothing";
    EXPECT_FALSE(IsOwnShortcut("\\x.lnk", "", ""));
}

TEST(UninstRules, FolderBelowAnotherIsComparedWithoutCase) {
    EXPECT_TRUE(IsBelow("C:\\Menu\\Programs\\App", "C:\\Menu\\Programs"));
    EXPECT_TRUE(IsBelow("c:\\menu\\programs\\App\\Sub", "C:\\Menu\\Programs"));
    EXPECT_FALSE(IsBelow("C:\\Menu\\Programs", "C:\\Menu\\Programs")) << "not the folder itself";
    EXPECT_FALSE(IsBelow("C:\\Menu\\ProgramsX\\App", "C:\\Menu\\Programs"));
    EXPECT_FALSE(IsBelow("C:\\Menu", "C:\\Menu\\Programs"));
    EXPECT_FALSE(IsBelow("C:\\x", "")) << "an unknown folder holds nothing";
}

TEST(UninstRules, RegistryPathsSplitAtTheirRootName) {
    struct Row {
        const char* path;
        RegistryRoot root;
        const char* subkey;
    } rows[] = {
        {"HKEY_CURRENT_USER\\Software\\P", kCurrentUser, "Software\\P"},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\P", kLocalMachine, "SOFTWARE\\P"},
        {"HKEY_CLASSES_ROOT\\.ext", kClassesRoot, ".ext"},
        {"HKEY_USERS\\.DEFAULT\\P", kUsers, ".DEFAULT\\P"},
        {"HKEY_CURRENT_USER\\", kNoRoot, "<untouched>"},
        {"HKEY_CURRENT_USER", kNoRoot, "<untouched>"},
        {"Software\\No Root", kNoRoot, "<untouched>"},
        {"", kNoRoot, "<untouched>"},
        {"X\\HKEY_CURRENT_USER\\Software", kNoRoot, "<untouched>"},
    };
    for (const Row& r : rows) {
        std::string subkey = "<untouched>";
        EXPECT_EQ(r.root, SplitRegistryPath(r.path, &subkey)) << "\"" << r.path << "\"";
        EXPECT_EQ(r.subkey, subkey) << "\"" << r.path << "\"";
    }
}

TEST(UninstRules, OnlyAProductsOwnUninstallKeyIsDeletedWhole) {
    struct Row {
        const char* key;
        bool product;
        const char* name;
    } rows[] = {
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo", true, "Demo"},
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vendor\\Demo", true, "Demo"},
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\", false, ""},
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", false, ""},
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\\\", false, ""},
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo\\", false, ""},
        {"SOFTWARE\\Microsoft", false, ""},
        {"SOFTWARE", false, ""},
        {"", false, ""},
    };
    for (const Row& r : rows) {
        std::string name, whole;
        EXPECT_EQ(r.product, IsProductUninstallKey(r.key, &name, &whole)) << "\"" << r.key << "\"";
        EXPECT_EQ(r.name, name) << "\"" << r.key << "\"";
        if (r.product) {
            EXPECT_EQ(std::string(r.key).substr(52), whole) << "the Start-menu folder's name";
        }
    }
}

// The record is read from the bytes whose digest was checked, by rules that
// must find what the system's private-profile reader finds in the same file
// (the stand-in natively, Wine's own reader under Wine).
TEST(UninstRecordText, ValuesAreFoundAsTheProfileReaderFindsThem) {
    struct Row {
        const char* label;
        std::string text;
        const char* section;
        const char* key;
    } rows[] = {
        {"plain", "[reg]\r\nmax=3\r\n", "reg", "max"},
        {"names in other letters, blanks around", "[ ReG ]\r\n  MaX  =  3 \r\n", "reg", "max"},
        {"one pair of quotes", "[s]\r\n1=\"C:\\a b\"\r\n", "s", "1"},
        {"single quotes", "[s]\r\n1='x'\r\n", "s", "1"},
        {"quotes that do not pair", "[s]\r\n1=\"x'\r\n", "s", "1"},
        {"an inner quote stays", "[s]\r\n1=a\"b\"\r\n", "s", "1"},
        {"line ends of one byte", "[s]\n1=x\n2=y\n", "s", "2"},
        {"no line end at the end", "[s]\r\n1=last", "s", "1"},
        {"a missing key", "[s]\r\n1=x\r\n", "s", "2"},
        {"a missing section", "[s]\r\n1=x\r\n", "t", "1"},
        {"a key before any section", "1=x\r\n[s]\r\n", "s", "1"},
        {"the first of two keys", "[s]\r\n1=first\r\n1=second\r\n", "s", "1"},
        {"only the first of two sections", "[s]\r\n1=x\r\n[t]\r\n[s]\r\n2=added later\r\n", "s", "2"},
        {"the first section's value wins", "[s]\r\n1=first\r\n[s]\r\n1=second\r\n", "s", "1"},
        {"a key without \"=\"", "[s]\r\n1\r\n", "s", "1"},
        {"an empty value", "[s]\r\n1=\r\n", "s", "1"},
        {"a value of 1500 bytes", "[s]\r\n1=" + std::string(1500, 'v') + "\r\n", "s", "1"},
    };
    std::string folder = NewFolder("profile-text");
    for (const Row& r : rows) {
        std::string path = folder + "\\record.cfg";
        ASSERT_TRUE(WriteBytes(path, FromText(r.text))) << r.label;
        char expected[1024];
        DWORD n = GetPrivateProfileStringA(r.section, r.key, "\x01<absent>", expected, sizeof expected, path.c_str());
        bool expectedPresent = std::string(expected, n) != "\x01<absent>";
        bool present = !expectedPresent;
        EXPECT_EQ(expectedPresent ? std::string(expected, n) : std::string(),
                  ProfileValue(r.text, r.section, r.key, &present))
            << r.label;
        EXPECT_EQ(expectedPresent, present) << r.label;
    }
}

TEST(UninstRecordText, TheRecordAsTheInstallerWritesItReadsBack) {
    std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Text Product";
    std::string text = "[lnk]\r\nmax=3\r\n1=C:\\Desktop\\app.exe.lnk\r\n3=C:\\Menu\\Text Product\\tool.lnk\r\n"
                       "[reg]\r\nmax=4\r\n1=" + key + "\r\n2=HKEY_CURRENT_USER\\Software\\T\r\n"
                       "3=HKEY_CURRENT_USER\\Software\\T\\Settings\r\n4=\r\n"
                       "[sub]\r\n2=Path\r\n3=\r\n"
                       "[maxU]\r\n1=4\r\n[RunU]\r\n1=app.exe\r\n2=\r\n3=bin\\tool.exe\r\n4=never.exe\r\n";
    UninstallRecord record;
    record.shortcuts.push_back("left from before");
    ParseRecord(text, &record);
    EXPECT_EQ((std::vector<std::string>{"C:\\Desktop\\app.exe.lnk", "C:\\Menu\\Text Product\\tool.lnk"}),
              record.shortcuts);
    EXPECT_EQ(key, record.productKey);
    ASSERT_EQ(3u, record.values.size());
    EXPECT_EQ("HKEY_CURRENT_USER\\Software\\T", record.values[0].key);
    EXPECT_EQ("Path", record.values[0].name);
    EXPECT_TRUE(record.values[0].named);
    EXPECT_EQ("", record.values[1].name);
    EXPECT_TRUE(record.values[1].named) << "the default value, named by an empty [sub] entry";
    EXPECT_FALSE(record.values[2].named);
    EXPECT_EQ((std::vector<std::string>{"app.exe", "bin\\tool.exe"}), record.runFirst) << "[maxU] 1 is one more";

    struct Row {
        const char* label;
        const char* text;
        size_t shortcuts;
    } counts[] = {
        {"a negative count", "[lnk]\r\nmax=-2\r\n1=a.lnk\r\n", 0},
        {"digits then text", "[lnk]\r\nmax=2x\r\n1=a.lnk\r\n2=b.lnk\r\n", 2},
        {"a huge count is bounded", "[lnk]\r\nmax=99999999999999999999\r\n1=a.lnk\r\n", 1},
        {"no count", "[lnk]\r\n1=a.lnk\r\n", 0},
    };
    for (const Row& r : counts) {
        ParseRecord(r.text, &record);
        EXPECT_EQ(r.shortcuts, record.shortcuts.size()) << r.label;
    }
}

TEST(UninstRecordText, FileListLinesThatDoNotParseAreSkipped) {
    std::vector<ListedFile> files =
        ParseFileList("5 0A0B0C0D app.exe\r\nnot a line\r\n0 00000000 data\\empty.txt\n12 FFFFFFFF last.txt");
    ASSERT_EQ(3u, files.size());
    EXPECT_EQ("app.exe", files[0].path);
    EXPECT_EQ(0x0A0B0C0Du, files[0].crc);
    EXPECT_EQ(5u, files[0].size);
    EXPECT_EQ("data\\empty.txt", files[1].path);
    EXPECT_EQ("last.txt", files[2].path);
    EXPECT_EQ(12u, files[2].size);
    EXPECT_TRUE(ParseFileList("").empty());
}

#ifdef _WIN32
// The uninstaller's private folder (its own code is Windows only): a new
// random name each time, and held, so that another process cannot rename or
// delete it while the record copies in it are read.
TEST(UninstPrivateFolder, IsNewRandomAndHeldUntilLetGo) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string folders[2];
    HANDLE held[2] = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(CreatePrivateFolder(&folders[i], &held[i]));
        std::string prefix = std::string(temp) + "BrondaleUnInst";
        EXPECT_EQ(0u, folders[i].find(prefix)) << folders[i];
        EXPECT_EQ(prefix.size() + 16, folders[i].size()) << folders[i];
        EXPECT_EQ(std::string::npos, folders[i].find_first_not_of("0123456789abcdef", prefix.size())) << folders[i];
        EXPECT_FALSE(MoveFileA(folders[i].c_str(), (folders[i] + "-moved").c_str())) << folders[i];
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
        EXPECT_FALSE(RemoveDirectoryA(folders[i].c_str())) << "empty, but held";
    }
    EXPECT_NE(folders[0], folders[1]);
    for (int i = 0; i < 2; ++i) {
        ReleaseHeld(&held[i]);
        EXPECT_TRUE(RemoveDirectoryA(folders[i].c_str())) << "let go";
    }
}
#endif
