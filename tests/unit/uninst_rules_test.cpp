// The uninstaller's rules about what it may touch: file-list lines, paths
// that must stay inside the destination folder, shortcut names, registry
// paths and the product's own Uninstall key.
#include <gtest/gtest.h>

#include "uninst/rules.h"

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
        if (r.product)
            EXPECT_EQ(std::string(r.key).substr(52), whole) << "the Start-menu folder's name";
    }
}
