// A whole installation, then everything it leaves behind read back: the
// uninstall record, the uninstaller, the Uninstall key, shortcuts, registry
// values and the programs it started.
#include <algorithm>

#include "wizard.h"

#include <shlobj.h>

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string Launched() {
    std::string exe;
    EXPECT_TRUE(ReadFileText(BuildFolder() + "\\brondale-launched.exe", &exe));
    return exe;
}

// A product whose programs are the recording program.
ProductFiles FullProduct(const std::string& name) {
    ProductFiles files;
    files["lang\\English.lng"] = "[lng]\r\n3=Install\r\n";
    files["install\\UnInst.dat"] = "uninstaller of " + name;
    files["install\\init.cfg"] = "[cfg]\r\n1=" + name + "\r\n3=info.exe\r\n"
                                 "[index]\r\nmax=7\r\nmaxU=4\r\n"
                                 "[Run]\r\n1=app.exe\r\n2=bin\\tool.exe\r\n3=app.exe\r\n4=app.exe\r\n5=\r\n6=second.exe\r\n"
                                 "[silent]\r\n1=1\r\n2=0\r\n3=2\r\n4=10\r\n5=1\r\n6=1\r\n"
                                 "[RunU]\r\n1=app.exe\r\n2=\r\n3=bin\\tool.exe\r\n";
    files["install\\lnk.cfg"] = "[index1]\r\nmax=2\r\n[desktop]\r\n1=bin\\tool.exe\r\n"
                                "[index2]\r\nmax=2\r\n[menu]\r\n1=app.exe\r\n";
    std::string key = "HKEY_CURRENT_USER\\Software\\Brondale Tests\\" + name;
    files["install\\reg.cfg"] = "[index]\r\nmax=10\r\n"
                                "[key]\r\n1=" + key + "\r\n2=" + key + "\r\n3=" + key + "\r\n4=" + key + "\r\n5=" + key +
                                "\r\n6=" + key + "\r\n7=Software\\No Root\r\n8=" + key + "\r\n9=" + key + "\r\n"
                                "[name]\r\n1=Path\r\n2=Count\r\n3=Blob\r\n4=Odd\r\n5=\r\n6=Dyn\r\n7=X\r\n8=Bad\r\n9=Plain\r\n"
                                "[type]\r\n1=3\r\n2=1\r\n3=0\r\n4=0\r\n5=3\r\n6=2\r\n7=3\r\n8=7\r\n9=3\r\n"
                                "[value]\r\n1=C:\\Program Files\\x y\r\n2=0000000a\r\n3=0102A0\r\n4=1234567\r\n5=hello\r\n"
                                "6=%ProgramFiles%\\" + name + "\\bin;%ProgramFiles%\\" + name + "\\lib\r\n7=y\r\n8=z\r\n"
                                "9=\"quoted in the file\"\r\n"
                                "[line]\r\n1=1\r\n"
                                "[dynam]\r\n6=1\r\n";
    std::string exe = Launched();
    files["program\\app.exe"] = exe;
    files["program\\second.exe"] = exe;
    files["program\\info.exe"] = exe;
    files["program\\bin\\tool.exe"] = exe;
    return files;
}

class Finish : public Wizard {
protected:
    void Prepare(const std::string& name) {
        product = name;
        DeleteKey(HKEY_LOCAL_MACHINE, kUninstallKey + name);
        DeleteKey(HKEY_CURRENT_USER, "Software\\Brondale Tests\\" + name);
        desktop = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
        menu = ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\" + name;
        DeleteFileA((desktop + "\\tool.exe.lnk").c_str());
        for (const char* f : {"app.exe.lnk", "UnInst.exe.lnk"})
            DeleteFileA((menu + "\\" + f).c_str());
        RemoveDirectoryA(menu.c_str());
        log = CaseFolder(name + "-log") + "\\launches.log";
        environment["BRONDALE_LAUNCH_LOG"] = log;
    }
    // Presses the finish button and expects the wizard to end normally.
    void Finish114(HWND options) {
        std::string scratch = Scratch();
        Click(options, 114);
        DWORD code = 0;
        ASSERT_TRUE(WaitExit(&run, 60000, &code));
        EXPECT_EQ(1u, code);
        ASSERT_FALSE(scratch.empty());
        EXPECT_EQ(std::vector<std::string>{}, ListFolder(scratch)) << "the scratch folder is emptied";
    }
    std::string Record(const std::string& destination, const char* section, const char* key) {
        char value[MAX_PATH];
        GetPrivateProfileStringA(section, key, "<none>", value, sizeof value,
                                 (destination + "\\UnInstall\\UnInst.cfg").c_str());
        return value;
    }
    // The programs started, in order, waiting until count have reported.
    std::vector<std::string> Starts(size_t count) {
        std::string text;
        for (int i = 0; i < 250; ++i) {
            ReadFileText(log, &text);
            if (static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= count)
                break;
            Sleep(20);
        }
        Sleep(300);  // anything started later than expected shows up too
        ReadFileText(log, &text);
        std::vector<std::string> lines;
        for (size_t at = 0; at < text.size();) {
            size_t end = text.find("\r\n", at);
            lines.push_back(text.substr(at, end - at));
            at = end == std::string::npos ? text.size() : end + 2;
        }
        // In the order the programs were created, without the time.
        std::sort(lines.begin(), lines.end());
        for (std::string& l : lines)
            l = l.substr(l.find('|') + 1);
        return lines;
    }
    std::string product, desktop, menu, log;
};

std::string Hex(const std::string& bytes) {
    std::string out;
    char b[4];
    for (unsigned char c : bytes) {
        snprintf(b, sizeof b, "%02X ", c);
        out += b;
    }
    return out;
}

} // namespace

TEST_F(Finish, WholeInstallationLeavesEverythingInPlace) {
    Prepare("Finish Full");
    std::string destination = CaseFolder("finish-full-dest") + "\\Finish Full";
    HWND options = ToOptions("finish-full", FullProduct(product), destination);
    ASSERT_NE(nullptr, options);
    for (int id = 300; id <= 303; ++id)
        ASSERT_TRUE(Enabled(GetDlgItem(options, id)) && Checked(options, id)) << id;
    Finish114(options);

    // The uninstaller and its record.
    std::string uninstaller;
    ASSERT_TRUE(ReadFileText(destination + "\\UnInstall\\UnInst.exe", &uninstaller));
    EXPECT_EQ("uninstaller of Finish Full", uninstaller);
    EXPECT_EQ("3", Record(destination, "lnk", "max"));
    EXPECT_EQ(desktop + "\\tool.exe.lnk", Record(destination, "lnk", "1"));
    EXPECT_EQ(menu + "\\app.exe.lnk", Record(destination, "lnk", "2"));
    EXPECT_EQ(menu + "\\UnInst.exe.lnk", Record(destination, "lnk", "3"));
    EXPECT_EQ("10", Record(destination, "reg", "max"));
    EXPECT_EQ(kUninstallKey + product, Record(destination, "reg", "1"));
    EXPECT_EQ("<none>", Record(destination, "sub", "1"));
    EXPECT_EQ("HKEY_CURRENT_USER\\Software\\Brondale Tests\\Finish Full", Record(destination, "reg", "2"));
    EXPECT_EQ("Path", Record(destination, "sub", "2"));
    EXPECT_EQ("", Record(destination, "sub", "6")) << "the default value's empty name";
    EXPECT_EQ("Software\\No Root", Record(destination, "reg", "8")) << "recorded though never written";
    EXPECT_EQ("X", Record(destination, "sub", "8"));
    EXPECT_EQ("4", Record(destination, "maxU", "1"));
    EXPECT_EQ("app.exe", Record(destination, "RunU", "1"));
    EXPECT_EQ("<none>", Record(destination, "RunU", "2"));
    EXPECT_EQ("bin\\tool.exe", Record(destination, "RunU", "3"));

    // The Uninstall key, strings stored with their terminating zero.
    DWORD type = 0;
    std::string data;
    std::string quoted = "\"" + destination + "\\Uninstall\\UnInst.exe\"";
    ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey + product, "DisplayName", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(product + std::string(1, '\0'), data);
    for (const char* name : {"DisplayIcon", "UninstallString"}) {
        ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey + product, name, &type, &data)) << name;
        EXPECT_EQ(quoted + std::string(1, '\0'), data) << name;
    }

    // Shortcuts.
    Shortcut tool = ReadShortcut(desktop + "\\tool.exe.lnk");
    ASSERT_TRUE(tool.found);
    EXPECT_EQ(destination + "\\bin\\tool.exe", tool.target);
    EXPECT_EQ(destination + "\\bin", tool.folder);
    EXPECT_EQ("tool.exe", tool.description);
    Shortcut app = ReadShortcut(menu + "\\app.exe.lnk");
    ASSERT_TRUE(app.found);
    EXPECT_EQ(destination + "\\app.exe", app.target);
    Shortcut remover = ReadShortcut(menu + "\\UnInst.exe.lnk");
    ASSERT_TRUE(remover.found);
    EXPECT_EQ(destination + "\\UnInstall\\UnInst.exe", remover.target);
    EXPECT_EQ(destination + "\\UnInstall", remover.folder);

    // Registry values of every type.
    std::string key = "Software\\Brondale Tests\\Finish Full";
    struct Row {
        const char* name;
        DWORD type;
        std::string bytes;
    } rows[] = {
        {"Path", REG_SZ, std::string("\"C:\\Program Files\\x y\"\0", 23)},
        {"Count", REG_DWORD, std::string("\x0A\0\0\0", 4)},
        {"Blob", REG_BINARY, std::string("\xA0\x02\x01", 3)},
        {"Odd", REG_BINARY, std::string("\x67\x45\x23", 3)},
        {"", REG_SZ, std::string("hello\0", 6)},
        {"Dyn", REG_SZ, destination + "\\bin;" + destination + "\\lib" + std::string(1, '\0')},
        {"Plain", REG_SZ, std::string("quoted in the file\0", 19)},
    };
    for (const Row& r : rows) {
        ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, key, r.name, &type, &data)) << "value " << r.name;
        EXPECT_EQ(r.type, type) << "value " << r.name;
        EXPECT_EQ(Hex(r.bytes), Hex(data)) << "value " << r.name;
    }
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, key, "Bad", &type, &data)) << "a type outside the table";
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, "Software\\No Root", "X", &type, &data));

    // Launches: the information file first in the destination, then the
    // entries marked 1 in order, then those marked 0 (box 303 ticked).
    std::vector<std::string> starts = Starts(4);
    std::vector<std::string> expected = {"info.exe|" + destination, "app.exe|", "second.exe|", "tool.exe|"};
    ASSERT_EQ(expected.size(), starts.size()) << ::testing::PrintToString(starts);
    EXPECT_EQ(expected[0], starts[0]);
    for (size_t i = 1; i < expected.size(); ++i)
        EXPECT_EQ(0u, starts[i].find(expected[i])) << starts[i];
}

TEST_F(Finish, UntickedBoxesMakeNoShortcutsAndStartOnlyWhatAlwaysStarts) {
    Prepare("Finish Unticked");
    std::string destination = CaseFolder("finish-unticked-dest") + "\\App";
    HWND options = ToOptions("finish-unticked", FullProduct(product), destination);
    ASSERT_NE(nullptr, options);
    for (int id : {300, 301, 302, 303}) {
        Click(options, id);
        for (int i = 0; i < 100 && Checked(options, id); ++i)
            Sleep(20);
        ASSERT_FALSE(Checked(options, id)) << id;
    }
    Finish114(options);
    EXPECT_FALSE(PathExists(desktop + "\\tool.exe.lnk"));
    EXPECT_FALSE(PathExists(menu)) << "no Start-menu folder, not even for the uninstaller";
    EXPECT_EQ("<none>", Record(destination, "lnk", "max"));
    std::vector<std::string> starts = Starts(2);
    ASSERT_EQ(2u, starts.size()) << ::testing::PrintToString(starts);
    EXPECT_EQ(0u, starts[0].find("app.exe|"));
    EXPECT_EQ(0u, starts[1].find("second.exe|"));
}

TEST_F(Finish, SecondInstallationIntoTheSameFolderStartsTheListsAgain) {
    Prepare("Finish Twice");
    std::string destination = CaseFolder("finish-twice-dest") + "\\App";
    ProductFiles files = FullProduct(product);
    files["install\\init.cfg"] = "[cfg]\r\n1=Finish Twice\r\n";
    HWND options = ToOptions("finish-twice-1", files, destination);
    ASSERT_NE(nullptr, options);
    Finish114(options);
    ASSERT_EQ("10", Record(destination, "reg", "max"));
    ASSERT_EQ("3", Record(destination, "lnk", "max"));

    files["install\\UnInst.dat"] = "the second uninstaller";
    options = ToOptions("finish-twice-2", files, destination);
    ASSERT_NE(nullptr, options);
    Finish114(options);
    EXPECT_EQ("10", Record(destination, "reg", "max")) << "[reg] restarts at 1";
    EXPECT_EQ("3", Record(destination, "lnk", "max")) << "[lnk] restarts at 1";
    std::string uninstaller;
    ASSERT_TRUE(ReadFileText(destination + "\\UnInstall\\UnInst.exe", &uninstaller));
    EXPECT_EQ("the second uninstaller", uninstaller);
}

// Without a product name the Uninstall key would be the list of every
// product itself: nothing is registered there, the rest of the finish runs.
TEST_F(Finish, EmptyProductNameRegistersNothingAndFinishes) {
    Prepare("Finish No Name");  // for the launch log; the product has no name
    std::string listKey(kUninstallKey, sizeof kUninstallKey - 2);
    HKEY list;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, listKey.c_str(), 0, KEY_ALL_ACCESS, &list));
    for (const char* name : {"DisplayName", "DisplayIcon", "UninstallString"})
        RegDeleteValueA(list, name);
    RegCloseKey(list);
    std::string destination = CaseFolder("finish-noname-dest") + "\\App";
    ProductFiles files = BasicProduct("", {"English"});
    files["program\\app.exe"] = Launched();
    files["install\\init.cfg"] = "[cfg]\r\n1=\r\n[index]\r\nmax=2\r\n[Run]\r\n1=app.exe\r\n[silent]\r\n1=1\r\n";
    packOptions = "--force";  // the packing tool warns of the missing name
    HWND options = ToOptions("finish-noname", files, destination);
    ASSERT_NE(nullptr, options);
    Finish114(options);
    DWORD type = 0;
    std::string data;
    for (const char* name : {"DisplayName", "DisplayIcon", "UninstallString"})
        EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, listKey, name, &type, &data)) << name;
    EXPECT_EQ("<none>", Record(destination, "reg", "1")) << "nothing registered, nothing recorded";
    EXPECT_TRUE(PathExists(destination + "\\UnInstall\\UnInst.exe"));
    EXPECT_EQ(1u, Starts(1).size()) << "the launches still run";
}
