// A whole installation, then everything it leaves behind read back: the
// uninstall record, the uninstaller, the Uninstall key, shortcuts, registry
// values, the folders' access lists and the programs it started. Wine runs
// no desktop shell and reports every process as the elevated half of a split
// token: the cases that start programs start the stand-in shell
// (brondale-shell), whose rights are the installer's, so that programs start
// directly and documents open in their handler; without it nothing is
// started and the finish says so.
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

// Sets the default value of key (made when missing) to text.
bool SetText(HKEY root, const std::string& key, const std::string& text) {
    HKEY h;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return false;
    bool set = RegSetValueExA(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
    RegCloseKey(h);
    return set;
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
        EXPECT_TRUE(StartDesktopShell());
    }
    // Presses the finish button and expects the wizard to end normally.
    void Finish114(HWND options) {
        std::string scratch = Scratch();
        Click(options, IDC_OPTIONS_FINISH);
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
    // The programs started, in order, waiting until count have reported:
    // "name|working folder"; who gets "parent process id|token elevation"
    // of each when given.
    std::vector<std::string> Starts(size_t count, std::vector<std::string>* who = nullptr) {
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
        for (std::string& l : lines) {
            l = l.substr(l.find('|') + 1);
            size_t fields = l.find('|', l.find('|') + 1);
            if (who)
                who->push_back(fields == std::string::npos ? "" : l.substr(fields + 1));
            l = l.substr(0, fields);
        }
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
    for (int id = IDC_OPTION_DESKTOP; id <= IDC_OPTION_RUN; ++id)
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

    // Access lists, as Wine derives them: the product's folder, which the
    // installer made outside Program Files, and its record folder keep
    // everyone but the owners and administrators out; the folder above,
    // there before, keeps its own.
    std::string parent = destination.substr(0, destination.rfind('\\'));
    EXPECT_TRUE(LetsOthersIn(FolderDacl(parent))) << FolderDacl(parent);
    for (const std::string& made : {destination, destination + "\\UnInstall"})
        EXPECT_FALSE(LetsOthersIn(FolderDacl(made))) << made << ": " << FolderDacl(made);

    // Launches: the information file first in the destination, then the
    // entries marked 1 in order, then those marked 0 (the run box ticked).
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
    for (int id : {IDC_OPTION_DESKTOP, IDC_OPTION_MENU, IDC_OPTION_INFO, IDC_OPTION_RUN}) {
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

// What an elevated installer opens. Without a desktop shell (Wine's own
// state) nothing is started and the finish names every file; with a shell
// that has the installer's rights, programs start and the information file,
// a document, opens in the handler registered for it (here the recording
// program), in the destination folder, before the programs.
TEST_F(Finish, AnElevatedRunOpensNothingThatWouldHandItsRightsOn) {
    const std::string classes = "SOFTWARE\\Classes\\";
    const std::string type = "BrondaleTests.Document";
    struct Row {
        const char* name;
        bool shell;
        const char* info;  // the information file
        std::vector<std::string> starts;
        std::vector<std::string> named;  // in the finish's message, below the destination
    } rows[] = {
        {"Finish No Shell", false, "info.exe", {}, {"info.exe", "app.exe", "second.exe", "bin\\tool.exe"}},
        {"Finish Document", true, "readme.brondaledoc",
         {"brondale-launched.exe|*", "app.exe|", "second.exe|", "tool.exe|"}, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Prepare(r.name);
        if (!r.shell)
            StopDesktopShell();
        ProductFiles files = FullProduct(product);
        std::string& init = files["install\\init.cfg"];
        init.replace(init.find("3=info.exe"), 10, std::string("3=") + r.info);
        files["program\\readme.brondaledoc"] = "read me";
        std::string command = "\"" + BuildFolder() + "\\brondale-launched.exe\" \"%1\"";
        ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, classes + ".brondaledoc", type));
        ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, classes + type + "\\shell\\open\\command", command));
        std::string destination = CaseFolder(product + "-dest") + "\\App";
        HWND options = ToOptions(product, files, destination);
        ASSERT_NE(nullptr, options);
        Click(options, IDC_OPTIONS_FINISH);
        DWORD code = 0;
        if (r.named.empty()) {
            // A message box would keep the run from ending.
            ASSERT_TRUE(WaitExit(&run, 30000, &code)) << "nothing to name";
        } else {
            HWND box = WaitForMessageBox(run, 60000);
            ASSERT_NE(nullptr, box);
            BoxInfo info = ReadBox(box);
            EXPECT_EQ(0u, info.text.find("Instalator dzia\xB3" "a z uprawnieniami administratora")) << info.text;
            for (const std::string& name : r.named)
                EXPECT_NE(std::string::npos, info.text.find("\r\n" + destination + "\\" + name))
                    << name << " in " << info.text;
            EXPECT_EQ(r.named.size(), static_cast<size_t>(std::count(info.text.begin(), info.text.end(), '\n')))
                << info.text;
            EXPECT_EQ("warning", IconKind(box));
            Answer(box, IDOK);
            ASSERT_TRUE(WaitExit(&run, 30000, &code));
        }
        EXPECT_EQ(1u, code);
        DeleteKey(HKEY_LOCAL_MACHINE, classes + ".brondaledoc");
        DeleteKey(HKEY_LOCAL_MACHINE, classes + type);
        std::vector<std::string> starts = Starts(r.starts.size());
        ASSERT_EQ(r.starts.size(), starts.size()) << ::testing::PrintToString(starts);
        for (size_t i = 0; i < starts.size(); ++i) {
            std::string expected = r.starts[i];
            if (expected.back() == '*')
                expected = expected.substr(0, expected.size() - 1) + destination;
            EXPECT_EQ(0u, starts[i].find(expected)) << starts[i];
        }
    }

    // The same in a silent run: nothing opened, the log names it.
    Prepare("Finish Silent No Shell");
    StopDesktopShell();
    folder = CaseFolder("finish-silent-noshell");
    std::string exe = BuildInstaller(folder, "e2e-finish-silent-noshell", FullProduct(product));
    std::string destination = CaseFolder("finish-silent-noshell-dest") + "\\App";
    std::string logFile = folder + "\\install.log";
    ASSERT_TRUE(Start(exe, folder + "\\temp", &run, environment, "/S /RUN /LOG=" + logFile + " /D=" + destination));
    DWORD code = 99;
    ASSERT_TRUE(WaitExit(&run, 60000, &code));
    EXPECT_EQ(0u, code) << "what was not started is no failure";
    EXPECT_EQ(std::vector<std::string>{}, Starts(0));
    std::string text;
    ASSERT_TRUE(ReadFileText(logFile, &text));
    const std::vector<std::string> lines = {std::string("launch info.exe: not started"),
                                            "launch " + destination + "\\app.exe: not started",
                                            std::string("message: Instalator dzia\xB3" "a z uprawnieniami administratora"),
                                            "\r\n    " + destination + "\\bin\\tool.exe\r\n"};
    for (const std::string& line : lines)
        EXPECT_NE(std::string::npos, text.find(line)) << line << " in\n" << text;
}

// Started as a desktop starts it, with the unelevated half of the token,
// the installer is its user's half: the pages are its elevated half's, and
// what the last page chose the user's half starts once that half has
// ended, with its own rights. No desktop shell runs and no message comes.
TEST_F(Finish, TheUsersHalfStartsWhatTheLastPageChose) {
    Prepare("Finish Halves");
    StopDesktopShell();
    unelevated = true;
    std::string destination = CaseFolder("finish-halves-dest") + "\\App";
    HWND options = ToOptions("finish-halves", FullProduct(product), destination);
    ASSERT_NE(nullptr, options);
    DWORD userHalf = run.process.dwProcessId, pages = 0;
    GetWindowThreadProcessId(options, &pages);
    EXPECT_NE(userHalf, pages) << "the pages belong to the elevated half";
    Click(options, IDC_OPTIONS_FINISH);
    for (int i = 0; i < 3000 && WaitForSingleObject(run.process.hProcess, 20) == WAIT_TIMEOUT; ++i) {
        for (HWND w : Dialogs(userHalf)) {
            if (IsMessageBox(w)) {
                ADD_FAILURE() << "a message: " << ReadBox(w).text;
                Answer(w, IDOK);
            }
        }
    }
    DWORD code = 0;
    ASSERT_TRUE(WaitExit(&run, 1000, &code));
    EXPECT_EQ(1u, code) << "the elevated half's exit code";
    std::vector<std::string> who;
    std::vector<std::string> starts = Starts(4, &who);
    std::vector<std::string> expected = {"info.exe|" + destination, "app.exe|", "second.exe|", "tool.exe|"};
    ASSERT_EQ(expected.size(), starts.size()) << ::testing::PrintToString(starts);
    EXPECT_EQ(expected[0], starts[0]);
    for (size_t i = 1; i < expected.size(); ++i)
        EXPECT_EQ(0u, starts[i].find(expected[i])) << starts[i];
    // Each one's parent is the process the harness started, the user's
    // half, and each has its token: the unelevated half (3).
    for (const std::string& w : who)
        EXPECT_EQ(std::to_string(userHalf) + "|3", w);
    DWORD type = 0;
    std::string data;
    EXPECT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey + product, "RecordDigest", &type, &data));
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

namespace {

// Every value of a registry key as "name = type: bytes", sorted.
std::vector<std::string> KeyValues(HKEY root, const std::string& key) {
    std::vector<std::string> values;
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i) {
        char name[256];
        BYTE data[1024];
        DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
        if (RegEnumValueA(h, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
            break;
        values.push_back(std::string(name) + " = " + std::to_string(type) + ": " +
                         std::string(reinterpret_cast<char*>(data), dataSize));
    }
    RegCloseKey(h);
    std::sort(values.begin(), values.end());
    return values;
}

class FinishSilent : public Finish {
protected:
    // Everything an installation into destination leaves behind: files with
    // their contents, the Uninstall key, the registry values, shortcuts and
    // the programs started.
    std::vector<std::string> InstalledState(const std::string& destination) {
        std::vector<std::string> state;
        std::vector<std::string> folders = {""};
        for (size_t i = 0; i < folders.size(); ++i) {
            for (const std::string& name : ListFolder(destination + folders[i])) {
                std::string relative = folders[i] + "\\" + name;
                if (name.back() == '\\') {
                    folders.push_back(relative.substr(0, relative.size() - 1));
                    state.push_back("folder " + relative);
                    continue;
                }
                std::string content;
                ReadFileText(destination + relative, &content);
                state.push_back("file " + relative + ": " + content);
            }
        }
        for (const std::string& v : KeyValues(HKEY_LOCAL_MACHINE, kUninstallKey + product))
            state.push_back("Uninstall key " + v);
        for (const std::string& v : KeyValues(HKEY_CURRENT_USER, "Software\\Brondale Tests\\" + product))
            state.push_back("value " + v);
        for (const std::string& link : {desktop + "\\tool.exe.lnk", menu + "\\app.exe.lnk", menu + "\\UnInst.exe.lnk"}) {
            Shortcut s = ReadShortcut(link);
            state.push_back(link + (s.found ? " -> " + s.target + " in " + s.folder + ", " + s.description : " missing"));
        }
        for (const std::string& name : ListFolder(menu))
            state.push_back("menu " + name);
        for (const std::string& start : Starts(4))
            state.push_back("started " + start);
        return state;
    }
};

} // namespace

TEST_F(FinishSilent, SilentInstallationLeavesWhatTheWalkLeaves) {
    // Both installations go into the same folder (emptied in between), so
    // that everything they leave compares byte for byte.
    const std::string kDestination = "\\Some Folder\\With Blanks";
    Prepare("Finish Silent");
    std::string destination = CaseFolder("finish-silent-dest") + kDestination;
    HWND options = ToOptions("finish-silent", FullProduct(product), destination);
    ASSERT_NE(nullptr, options);
    Finish114(options);
    std::vector<std::string> walked = InstalledState(destination);
    std::string exe = folder + "\\e2e-finish-silent.exe";

    Prepare("Finish Silent");
    ASSERT_EQ(destination, CaseFolder("finish-silent-dest") + kDestination);
    std::string logFile = CaseFolder("finish-silent-log") + "\\install.log";
    std::string temp = folder + "\\temp-silent";
    ASSERT_TRUE(Start(exe, temp, &run, environment, "/S /RUN /LOG=" + logFile + " /D=" + destination));
    DWORD code = 99;
    std::vector<std::string> windows;
    ASSERT_TRUE(WaitExitWatching(&run, 60000, &code, &windows));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(std::vector<std::string>{}, windows) << "no window at any moment";
    EXPECT_EQ(std::vector<std::string>{}, ListFolder(temp)) << "no scratch folder stays";
    std::vector<std::string> state = InstalledState(destination);
    EXPECT_EQ(walked, state);
    std::string quiet = "Uninstall key QuietUninstallString = 1: \"" + destination + "\\Uninstall\\UnInst.exe\" /S";
    EXPECT_NE(state.end(), std::find(state.begin(), state.end(), quiet + std::string(1, '\0')))
        << ::testing::PrintToString(state);

    std::string text;
    ASSERT_TRUE(ReadFileText(logFile, &text));
    std::string menuLink = menu + "\\app.exe.lnk";
    std::string uninstallKey = std::string(kUninstallKey) + product;
    const std::vector<std::string> lines = {
          std::string("silent installation\r\n"), "scratch folder: " + temp + "\\Brondale",
          "section " + temp + "\\Brondale", std::string("language: Polski\r\n"),
          "destination: " + destination + "\r\n", "section " + destination + ": 5 members, checksum ",
          "record [reg] 1=" + uninstallKey + ": written\r\n", std::string("record [RunU] 3=bin\\tool.exe: written\r\n"),
          "uninstaller " + destination + "\\UnInstall\\UnInst.exe: written\r\n",
          "Uninstall key HKEY_LOCAL_MACHINE\\" + uninstallKey + ": written (0)\r\n",
          "shortcut " + desktop + "\\tool.exe.lnk -> " + destination + "\\bin\\tool.exe: made\r\n",
          "record [lnk] 2=" + menuLink + ": written\r\n",
          "shortcut " + menuLink + " -> " + destination + "\\app.exe: made\r\n",
          "registry value HKEY_CURRENT_USER\\Software\\Brondale Tests\\Finish Silent, Count: written (0)\r\n",
          std::string("registry value Software\\No Root, X: recorded, not written\r\n"),
          std::string("launch info.exe: started\r\n"), "launch " + destination + "\\second.exe: started\r\n",
          "launch " + destination + "\\bin\\tool.exe: started\r\n", std::string("exit code: 0\r\n")};
    for (const std::string& line : lines)
        EXPECT_NE(std::string::npos, text.find(line)) << line << " in\n" << text;
}

TEST_F(FinishSilent, SwitchesLeaveOutShortcutsAndTheChosenLaunches) {
    Prepare("Finish Silent Plain");
    folder = CaseFolder("finish-silent-plain");
    std::string exe = BuildInstaller(folder, "e2e-finish-silent-plain", FullProduct(product));
    std::string destination = CaseFolder("finish-silent-plain-dest") + "\\App";
    ASSERT_TRUE(Start(exe, folder + "\\temp", &run, environment, "-s -nodesktop -NOSTARTMENU -d=" + destination));
    DWORD code = 99;
    ASSERT_TRUE(WaitExit(&run, 60000, &code));
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(PathExists(destination + "\\UnInstall\\UnInst.exe"));
    EXPECT_FALSE(PathExists(desktop + "\\tool.exe.lnk"));
    EXPECT_FALSE(PathExists(menu)) << "no Start-menu folder, not even for the uninstaller";
    EXPECT_EQ("<none>", Record(destination, "lnk", "max"));
    // Without /RUN only what the vendor always starts is started.
    std::vector<std::string> starts = Starts(2);
    ASSERT_EQ(2u, starts.size()) << ::testing::PrintToString(starts);
    EXPECT_EQ(0u, starts[0].find("app.exe|"));
    EXPECT_EQ(0u, starts[1].find("second.exe|"));
}
