// The installer started with switches: silent runs that must fail, each with
// its own exit code, without a window and with nothing left but the log;
// and the switches that preset the pages of an interactive run.
#include "wizard.h"

#include <algorithm>

#include <shlobj.h>

namespace {

// A product whose program files do not compress to nothing, so that a byte
// near the end of the installer lies inside the last member's stream.
ProductFiles NoisyProduct(const std::string& name) {
    ProductFiles files = BasicProduct(name, {"English"});
    std::string noise;
    unsigned x = 12345;
    for (int i = 0; i < 4000; ++i) {
        x = x * 1103515245u + 12345u;
        noise.push_back(static_cast<char>('A' + (x >> 16) % 26));
    }
    files["program\\data\\a.txt"] = noise;
    files["program\\data\\z.txt"] = noise.substr(100) + noise.substr(0, 100);
    return files;
}

std::string LogOf(const std::string& path) {
    std::string text;
    ReadFileText(path, &text);
    return text;
}

using Links = Wizard;

class Silent : public Wizard {
protected:
    void TearDown() override {
        Kill(&first);
        Wizard::TearDown();
    }
    Installer first;  // a copy already running
};

} // namespace

TEST_F(Silent, FailuresExitWithTheirOwnCodeAndLeaveNothingButTheLog) {
    struct Row {
        const char* name;
        const char* arguments;  // before /LOG= and /D=
        const char* destination;  // a folder below the case folder, or "*" for a relative path
        bool damage;
        bool destinationIsAFile;
        bool anotherCopy;
        bool longTemp;  // a temporary folder too long for the scratch paths
        bool noPackage;  // the installer program without a package
        DWORD code;
        const char* logSays;
        bool unelevated = false;  // started as the user's half of a run for every user
    } rows[] = {
        {"silent-damaged", "/S", "Damaged App", true, false, false, false, false, 3, "damaged, taken back"},
        {"silent-nopackage", "/S", "Empty", false, false, false, false, true, 3, "no package found"},
        {"silent-nocolon", "/S", "*", false, false, false, false, false, 4, "not a folder path"},
        {"silent-isfile", "/S", "Taken", false, true, false, false, false, 4, "cannot be opened or made"},
        {"silent-unknown", "/S /BOGUS", "Never", false, false, false, false, false, 2,
         "message: Unknown switch: /BOGUS"},
        {"silent-second", "/S", "Second", false, false, true, false, false, 6,
         "another copy of this installer is running"},
        {"silent-longtemp", "/S", "Long", false, false, false, true, false, 7, "the temporary folder cannot be used"},
        {"silent-scope", "/S /CURRENTUSER", "Never", false, false, false, false, false, 2,
         "message: This product installs for every user only"},
        {"silent-scope-half", "/S /ALLUSERS", "Never", false, false, false, false, false, 2,
         "message: This product installs for every user only", true},
        {"silent-damaged-half", "/S", "Damaged Half", true, false, false, false, false, 3,
         "user's half: the elevated half, process ", true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::string caseFolder = CaseFolder(r.name);
        std::string exe = BuildInstaller(caseFolder, "e2e-" + std::string(r.name), NoisyProduct(r.name));
        if (r.noPackage) {
            ASSERT_TRUE(CopyFileA((BuildFolder() + "\\brondale.exe").c_str(), exe.c_str(), FALSE));
        }
        if (r.damage) {
            std::string data;
            ASSERT_TRUE(ReadFileText(exe, &data));
            data[data.size() - 12] ^= 0x20;
            ASSERT_TRUE(WriteFileText(exe, data));
        }
        std::string destination = std::string(r.destination) == "*" ? std::string("relative\\folder")
                                                                     : caseFolder + "\\dest\\" + r.destination;
        if (r.destinationIsAFile) {
            ASSERT_TRUE(WriteFileText(destination, "a file, not a folder"));
        }
        if (r.anotherCopy) {
            ASSERT_TRUE(Start(exe, caseFolder + "\\temp-first", &first));
            ASSERT_NE(nullptr, WaitForPage(first, "Choose Setup Language"));
        }
        std::string log = caseFolder + "\\logs\\install.log";
        CreateDirectoryA((caseFolder + "\\logs").c_str(), nullptr);
        std::string temp = caseFolder + "\\temp";
        if (r.longTemp)
            temp += "\\" + std::string(100, 't') + "\\" + std::string(60, 'u');
        ASSERT_TRUE((r.unelevated ? StartUnelevated : Start)(exe, temp, &run, {},
                                                             std::string(r.arguments) + " /LOG=" + log +
                                                                 " /D=" + destination));
        DWORD code = 99;
        std::vector<std::string> windows;
        ASSERT_TRUE(WaitExitWatching(&run, 60000, &code, &windows));
        EXPECT_EQ(r.code, code);
        EXPECT_EQ(std::vector<std::string>{}, windows);
        EXPECT_EQ(std::vector<std::string>{}, ListFolder(temp)) << "no scratch folder stays";
        if (r.destinationIsAFile)
            EXPECT_EQ(std::vector<std::string>{"Taken"}, ListFolder(caseFolder + "\\dest"));
        else
            EXPECT_FALSE(PathExists(caseFolder + "\\dest")) << "every folder made for the destination is gone";
        std::string text = LogOf(log);
        EXPECT_NE(std::string::npos, text.find(r.logSays)) << text;
        EXPECT_NE(std::string::npos, text.find("exit code: " + std::to_string(r.code) + "\r\n")) << text;
        EXPECT_EQ(std::vector<std::string>{"install.log"}, ListFolder(caseFolder + "\\logs"));
        Kill(&first);
    }
}

// During a silent installation every folder of the destination tree is
// held from its check to the end of the run: while a large file is written
// below them, another Windows process (this one) cannot rename one away to
// put a link in its place, and nothing is written but into the destination.
TEST_F(Silent, FoldersOfTheDestinationCannotBeRenamedDuringASilentInstallation) {
    std::string caseFolder = CaseFolder("silent-held");
    ProductFiles files = BasicProduct("Silent Held", {"English"});
    std::string big(24u << 20, '\0');
    unsigned x = 2024;
    for (char& c : big) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 23);
    }
    files["program\\data\\deep\\big.bin"] = big;
    std::string exe = BuildInstaller(caseFolder, "e2e-silent-held", files);
    std::string parent = caseFolder + "\\dest";
    ASSERT_TRUE(CreateDirectoryA(parent.c_str(), nullptr));
    std::string destination = parent + "\\Silent Held";
    std::string deep = destination + "\\data\\deep";
    ASSERT_TRUE(Start(exe, caseFolder + "\\temp", &run, {}, "/S /D=" + destination));
    // The deepest folder shows as the file below it begins.
    while (!PathExists(deep) && WaitForSingleObject(run.process.hProcess, 0) == WAIT_TIMEOUT)
        Sleep(1);
    for (const std::string& folder : {destination, destination + "\\data", deep}) {
        DWORD error = MoveFileA(folder.c_str(), (folder + "-moved").c_str()) ? 0 : GetLastError();
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), error) << folder;
    }
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(run.process.hProcess, 0))
        << "the run went on meanwhile";
    DWORD code = 99;
    ASSERT_TRUE(WaitExit(&run, 120000, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(std::vector<std::string>{"Silent Held\\"}, ListFolder(parent)) << "nothing beside the destination";
    EXPECT_EQ(std::vector<std::string>{"big.bin"}, ListFolder(deep));
    EXPECT_EQ((std::vector<std::string>{"deep\\"}), ListFolder(destination + "\\data"));
}

// Two runs of one product at once under different file names: while one
// holds the product (at its options page, its files unpacked), another ends
// as another copy, whatever its destination, having written nothing. Once
// the first is killed, its locks are gone: the next run removes the killed
// run's scratch folder and installs.
TEST_F(Silent, AnotherRunOfTheProductEndsAsAnotherCopyUntilTheFirstIsKilled) {
    std::string destination = CaseFolder("silent-twice") + "\\dest\\Twice App";
    ASSERT_NE(nullptr, ToOptions("silent-twice", NoisyProduct("Silent Twice"), destination));
    std::string other = folder + "\\other-name.exe";
    ASSERT_TRUE(CopyFileA((folder + "\\e2e-silent-twice.exe").c_str(), other.c_str(), FALSE));
    for (const std::string& target : {folder + "\\dest\\Elsewhere", destination}) {
        SCOPED_TRACE(target);
        std::string log = folder + "\\second.log";
        DeleteFileA(log.c_str());
        ASSERT_TRUE(Start(other, folder + "\\temp2", &first, {}, "/S /LOG=" + log + " /D=" + target));
        DWORD code = 99;
        std::vector<std::string> windows;
        ASSERT_TRUE(WaitExitWatching(&first, 60000, &code, &windows));
        EXPECT_EQ(6u, code);
        EXPECT_EQ(std::vector<std::string>{}, windows);
        EXPECT_NE(std::string::npos, LogOf(log).find("another copy is running")) << LogOf(log);
        EXPECT_EQ(std::vector<std::string>{}, ListFolder(folder + "\\temp2"));
    }
    EXPECT_FALSE(PathExists(folder + "\\dest\\Elsewhere"));
    EXPECT_TRUE(PathExists(destination + "\\data\\a.txt")) << "the first run's files are its own";
    ASSERT_EQ(1u, ScratchFolders(folder + "\\temp").size());

    Kill(&run);
    std::string log = folder + "\\after.log";
    ASSERT_TRUE(Start(other, folder + "\\temp", &first, {}, "/S /LOG=" + log + " /D=" + destination));
    DWORD code = 99;
    ASSERT_TRUE(WaitExit(&first, 60000, &code));
    std::string text = LogOf(log);
    EXPECT_EQ(0u, code) << text;
    EXPECT_NE(std::string::npos, text.find("scratch folder of a run that did not end")) << text;
    EXPECT_EQ(std::vector<std::string>{}, ListFolder(folder + "\\temp")) << "the killed run's scratch folder too";
    EXPECT_TRUE(PathExists(destination + "\\data\\z.txt"));
    EXPECT_TRUE(PathExists(destination + "\\UnInstall\\UnInst.cfg"));
    DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Silent Twice");
}

// A user whose name the code page (1250 here) cannot write, Cyrillic: the
// installation and the removal still run, in the temporary folder's short
// form, or where it has none (here: it does not exist) in the Windows
// temporary folder; each leaves no private folder behind. A destination
// with such letters is refused, rather than installed under another name.
TEST_F(Silent, AnyUserNameInstallsAndRemovesAndAnUnwritableDestinationIsRefused) {
    const std::wstring user = L"\\\x0414\x043C\x0438\x0442\x0440\x0438\x0439";  // \Дмитрий
    ProductFiles files = BasicProduct("Silent Any User", {"English"});
    DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Silent Any User");
    ASSERT_TRUE(ReadFileText(BuildFolder() + "\\UnInst.exe", &files["install\\UnInst.dat"]));
    folder = CaseFolder("silent-anyuser");
    std::string exe = BuildInstaller(folder, "e2e-silent-anyuser", files);
    wchar_t wide[MAX_PATH];
    ASSERT_TRUE(MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wide, MAX_PATH));
    const std::wstring home = wide + user;
    ASSERT_TRUE(CreateDirectoryW(home.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((home + L"\\Temp").c_str(), nullptr));
    struct Row {
        const char* name;
        const wchar_t* temp;  // below the user's folder
        const char* logSays;
    } rows[] = {
        {"short", L"\\Temp", "temporary folder: the short form of the temporary folder"},
        {"windows", L"\\Missing", "temporary folder: the Windows temporary folder"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::string destination = folder + "\\dest-" + r.name, log = folder + "\\" + r.name + ".log";
        std::wstring arguments = L"/S /LOG=" + std::wstring(log.begin(), log.end()) + L" /D=" +
                                 std::wstring(destination.begin(), destination.end());
        ASSERT_TRUE(StartWide(exe, home + r.temp, &run, arguments));
        DWORD code = 99;
        ASSERT_TRUE(WaitExit(&run, 60000, &code));
        EXPECT_EQ(0u, code);
        std::string text = LogOf(log);
        EXPECT_NE(std::string::npos, text.find(r.logSays)) << text;
        size_t at = text.find("scratch folder: ");
        ASSERT_NE(std::string::npos, at) << text;
        std::string scratch = text.substr(at + 16, text.find("\r\n", at) - at - 16);
        EXPECT_EQ(std::string::npos, scratch.find('?')) << scratch;
        EXPECT_FALSE(PathExists(scratch)) << "the scratch folder goes";
        EXPECT_TRUE(PathExists(destination + "\\Silent Any User.txt"));

        std::string uninstaller = destination + "\\UnInstall\\UnInst.exe", removal = log + ".removal";
        ASSERT_TRUE(StartWide(uninstaller, home + r.temp, &run,
                              L"/S /LOG=" + std::wstring(removal.begin(), removal.end())));
        ASSERT_TRUE(WaitExit(&run, 60000, &code));
        EXPECT_EQ(0u, code);
        EXPECT_NE(std::string::npos, LogOf(removal).find(r.logSays)) << LogOf(removal);
        for (int i = 0; i < 250 && PathExists(destination); ++i)
            Sleep(20);
        EXPECT_FALSE(PathExists(destination)) << "removed, the uninstaller too";
    }
    // The uninstaller's own folder may wait for the next start of Windows
    // under Wine; no scratch folder stays.
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((home + L"\\Temp\\Brondale*").c_str(), &entry);
    int scratch = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do
            scratch += wcslen(entry.cFileName) == 24;
        while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    EXPECT_EQ(0, scratch) << "no scratch folder stays in the user's temporary folder";

    // /D= with the user's letters: nothing is made, neither under them nor
    // under the "?" or look-alike letters the code page would put there.
    std::string log = folder + "\\refused.log";
    CreateDirectoryA((folder + "\\temp").c_str(), nullptr);
    std::vector<std::string> before = ListFolder(folder);
    ASSERT_TRUE(StartWide(exe, std::wstring(wide) + L"\\temp", &run,
                          L"/S /LOG=" + std::wstring(log.begin(), log.end()) + L" /D=" + home + L"\\App"));
    DWORD code = 99;
    ASSERT_TRUE(WaitExit(&run, 60000, &code));
    EXPECT_EQ(4u, code);
    std::string text = LogOf(log);
    EXPECT_NE(std::string::npos, text.find("letters that the code page 1250 cannot write")) << text;
    before.push_back("refused.log");
    std::sort(before.begin(), before.end());
    EXPECT_EQ(before, ListFolder(folder));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((home + L"\\App").c_str()));
}

TEST_F(Silent, SwitchesPresetThePagesAndTheLogFollowsTheWalk) {
    ProductFiles files = BasicProduct("Silent Preset", {"Czech", "Deutsch", "English", "Francais"});
    files["install\\lnk.cfg"] = "[index1]\r\nmax=2\r\n[desktop]\r\n1=Silent Preset.txt\r\n"
                                "[index2]\r\nmax=2\r\n[menu]\r\n1=Silent Preset.txt\r\n";
    folder = CaseFolder("silent-preset");
    std::string exe = BuildInstaller(folder, "e2e-silent-preset", files);
    std::string destination = folder + "\\dest\\Preset App";
    std::string log = folder + "\\preset.log";
    ASSERT_TRUE(Start(exe, folder + "\\temp", &run, {},
                      "/LANG=english /NODESKTOP /NOSTARTMENU /LOG=\"" + log + "\" /D=" + destination));
    language = WaitForPage(run, "Choose Setup Language");
    ASSERT_NE(nullptr, language);
    std::vector<std::string> items = ComboItems(GetDlgItem(language, IDC_LANGUAGE_LIST));
    int selected = ComboSelection(GetDlgItem(language, IDC_LANGUAGE_LIST));
    ASSERT_GE(selected, 0);
    EXPECT_EQ("English", items[static_cast<size_t>(selected)]) << "instead of the fourth entry, Francais";
    Click(language, IDC_LANGUAGE_OK);
    HWND confirm = WaitForPageWith(IDC_CONFIRM_TEXT);
    ASSERT_NE(nullptr, confirm);
    Click(confirm, IDC_CONFIRM_INSTALL);
    HWND page = WaitForPageWith(IDC_DESTINATION_PATH);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(destination, ItemText(page, IDC_DESTINATION_PATH));
    Click(page, IDC_DESTINATION_NEXT);
    HWND options = WaitForPageWith(IDC_OPTION_RUN, 60000);
    ASSERT_NE(nullptr, options);
    EXPECT_TRUE(Enabled(GetDlgItem(options, IDC_OPTION_DESKTOP)));
    EXPECT_FALSE(Checked(options, IDC_OPTION_DESKTOP));
    EXPECT_FALSE(Checked(options, IDC_OPTION_MENU));
    EXPECT_TRUE(Checked(options, IDC_OPTION_INFO));
    Click(options, IDC_OPTIONS_FINISH);
    DWORD code = 0;
    ASSERT_TRUE(WaitExit(&run, 60000, &code));
    EXPECT_EQ(1u, code) << "an interactive run keeps its exit codes";
    EXPECT_TRUE(PathExists(destination + "\\Silent Preset.txt"));
    std::string text = LogOf(log);
    const std::vector<std::string> lines = {"language: English\r\n", "destination: " + destination + "\r\n",
                                            "section " + destination + ": 2 members, checksum ", "exit code: 1\r\n"};
    for (const std::string& line : lines)
        EXPECT_NE(std::string::npos, text.find(line)) << line << " in\n" << text;
    EXPECT_EQ(std::string::npos, text.find("shortcut ")) << text;
}

TEST_F(Silent, QuestionMarkListsTheSwitchesAndUnknownOnesAreShown) {
    folder = CaseFolder("silent-help");
    std::string exe = BuildInstaller(folder, "e2e-silent-help", BasicProduct("Silent Help", {"English"}));
    struct Row {
        const char* arguments;
        const char* starts;
        DWORD code;
    } rows[] = {
        {"/?", "Switches (with / or -, in any case):", 0},
        {"/NOSUCH", "Unknown switch: /NOSUCH", 2},
    };
    for (const Row& r : rows) {
        ASSERT_TRUE(Start(exe, folder + "\\temp", &run, {}, r.arguments));
        HWND box = WaitForMessageBox(run);
        ASSERT_NE(nullptr, box) << r.arguments;
        BoxInfo info = ReadBox(box);
        EXPECT_EQ(0u, info.text.find(r.starts)) << info.text;
        EXPECT_NE(std::string::npos, info.text.find("/D=folder")) << info.text;
        Answer(box, IDOK);
        DWORD code = 99;
        ASSERT_TRUE(WaitExit(&run, 20000, &code));
        EXPECT_EQ(r.code, code) << r.arguments;
        EXPECT_EQ(std::vector<std::string>{}, ListFolder(folder + "\\temp")) << "nothing is unpacked";
    }
}

// /LOG= through a folder link planted from the Linux side (the links fixture
// of CTest): Z:\...\logs leads to target, which holds x.log. The silent
// installation and then the silent removal are told to log to logs\x.log:
// neither writes there, neither deletes x.log, and both complete.
TEST_F(Links, ALogThroughAFolderLinkIsNeitherWrittenNorDeletedAndTheRunsComplete) {
    std::string root = std::string("Z:") + BRONDALE_LINKS_DIR + "-log";
    std::replace(root.begin(), root.end(), '/', '\\');
    ASSERT_TRUE(PathExists(root + "\\target\\x.log")) << "the links fixture of CTest plants the layout";
    ASSERT_NE(0u, GetFileAttributesA((root + "\\logs").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    const std::map<std::string, Seen> before = Snapshot(root + "\\target");
    std::string log = root + "\\logs\\x.log";

    ProductFiles files = BasicProduct("Links Log", {"English"});
    std::string uninstaller;
    ASSERT_TRUE(ReadFileText(BuildFolder() + "\\UnInst.exe", &uninstaller));
    files["install\\UnInst.dat"] = uninstaller;
    DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Links Log");
    folder = CaseFolder("links-log");
    std::string exe = BuildInstaller(folder, "e2e-links-log", files);
    std::string destination = CaseFolder("links-log-dest") + "\\Links Log";
    ASSERT_TRUE(Start(exe, folder + "\\temp", &run, {}, "/S /LOG=" + log + " /D=" + destination));
    DWORD code = 99;
    ASSERT_TRUE(WaitExit(&run, 60000, &code));
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(PathExists(destination + "\\Links Log.txt"));
    EXPECT_EQ(before, Snapshot(root + "\\target")) << "the installer wrote through the link";

    // A link to a file reads as a plain file under Wine: the final path of
    // what was opened gives it away. (An unknown switch ends the run at once,
    // after the log was opened.)
    Installer remover;
    std::string untemp = CaseFolder("links-log-untemp");
    ASSERT_TRUE(Start(destination + "\\UnInstall\\UnInst.exe", untemp, &remover, {},
                      "/S /BOGUS /LOG=" + root + "\\file-link.log"));
    code = 99;
    ASSERT_TRUE(WaitExit(&remover, 60000, &code));
    EXPECT_EQ(5u, code);
    EXPECT_EQ(before, Snapshot(root + "\\target")) << "the uninstaller wrote through a link to a file";

    ASSERT_TRUE(Start(destination + "\\UnInstall\\UnInst.exe", untemp, &remover, {}, "/S /LOG=" + log));
    code = 99;
    ASSERT_TRUE(WaitExit(&remover, 60000, &code));
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(PathExists(destination + "\\Links Log.txt"));
    EXPECT_EQ(before, Snapshot(root + "\\target")) << "the uninstaller wrote through the link";
    Kill(&remover);
}

namespace {

const char kUninstallKeyPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// A product that lets the user choose whom it installs for, with the real
// uninstaller, a desktop and a Start-menu shortcut.
ProductFiles ChoosingProduct(const std::string& name) {
    ProductFiles files = BasicProduct(name, {"English"});
    files["install\\init.cfg"] = "[cfg]\r\n1=" + name + "\r\n[product]\r\nScope=choose\r\n";
    files["install\\lnk.cfg"] = "[index1]\r\nmax=2\r\n[desktop]\r\n1=" + name + ".txt\r\n"
                                "[index2]\r\nmax=2\r\n[menu]\r\n1=" + name + ".txt\r\n";
    EXPECT_TRUE(ReadFileText(BuildFolder() + "\\UnInst.exe", &files["install\\UnInst.dat"]));
    return files;
}

// Where an installation of the product for every user (machine true) or for
// one user leaves something: its folder, its Uninstall key, its shortcuts.
struct Footprint {
    std::string folder, desktopLink, menuFolder;
    HKEY root;
};

Footprint FootprintOf(const std::string& name, bool machine) {
    Footprint f;
    f.folder = machine ? ProgramFilesFolder() + "\\" + name : ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\" + name;
    f.desktopLink = ShellFolder(machine ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOPDIRECTORY) + "\\" + name + ".txt.lnk";
    f.menuFolder = ShellFolder(machine ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS) + "\\" + name;
    f.root = machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    return f;
}

// What of a footprint is there, one line each.
std::vector<std::string> Present(const Footprint& f, const std::string& name) {
    std::vector<std::string> found;
    DWORD type = 0;
    std::string data;
    for (const std::string& path : {f.folder, f.desktopLink, f.menuFolder})
        if (PathExists(path))
            found.push_back(path);
    if (ReadValue(f.root, kUninstallKeyPath + name, "DisplayName", &type, &data))
        found.push_back(std::string(f.root == HKEY_LOCAL_MACHINE ? "HKLM" : "HKCU") + " key");
    return found;
}

void Forget(const std::string& name) {
    for (bool machine : {false, true}) {
        Footprint f = FootprintOf(name, machine);
        DeleteKey(f.root, kUninstallKeyPath + name);
        DeleteFileA(f.desktopLink.c_str());
        for (const char* link : {".txt.lnk", "UnInst.exe.lnk"})
            DeleteFileA((f.menuFolder + "\\" + (link[0] == '.' ? name + link : std::string(link))).c_str());
        RemoveDirectoryA(f.menuFolder.c_str());
        DeleteTree(f.folder);
    }
}

} // namespace

// The same installer for one user (/CURRENTUSER: the user's own programs
// folder, HKEY_CURRENT_USER, the user's own shortcuts, no elevated half)
// and for every user (/ALLUSERS: as the installer always installed, by its
// elevated half); each removed again by its silent uninstaller, started
// with the user's rights, to the last trace.
TEST_F(Silent, OneInstallerInstallsForOneUserOrForEveryUser) {
    const std::string name = "Scope Choose";
    Forget(name);
    // Windows keeps the user's programs folder; Wine's fresh prefix has none.
    CreateDirectoryA((ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Programs").c_str(), nullptr);
    folder = CaseFolder("silent-scope-choose");
    std::string exe = BuildInstaller(folder, "e2e-silent-scope-choose", ChoosingProduct(name));
    for (bool machine : {false, true}) {
        SCOPED_TRACE(machine ? "/ALLUSERS" : "/CURRENTUSER");
        Footprint f = FootprintOf(name, machine), other = FootprintOf(name, !machine);
        std::string log = folder + (machine ? "\\all.log" : "\\one.log");
        ASSERT_TRUE(StartUnelevated(exe, folder + "\\temp", &run, {},
                                    std::string(machine ? "/S /ALLUSERS" : "/S /CURRENTUSER") + " /LOG=" + log));
        DWORD code = 99;
        ASSERT_TRUE(WaitExit(&run, 60000, &code));
        EXPECT_EQ(0u, code);
        EXPECT_TRUE(PathExists(f.folder + "\\" + name + ".txt"));
        EXPECT_TRUE(PathExists(f.menuFolder + "\\UnInst.exe.lnk"));
        EXPECT_EQ((std::vector<std::string>{f.folder, f.desktopLink, f.menuFolder,
                                            machine ? "HKLM key" : "HKCU key"}),
                  Present(f, name));
        EXPECT_EQ(std::vector<std::string>{}, Present(other, name)) << "nothing of the other kind";
        DWORD type = 0;
        std::string command, digest;
        ASSERT_TRUE(ReadValue(f.root, kUninstallKeyPath + name, "UninstallString", &type, &command));
        EXPECT_EQ("\"" + f.folder + "\\Uninstall\\UnInst.exe\"" + std::string(1, '\0'), command);
        EXPECT_TRUE(ReadValue(f.root, kUninstallKeyPath + name, "RecordDigest", &type, &digest));
        EXPECT_EQ(65u, digest.size()) << "the seal beside the key";
        std::string text = LogOf(log);
        EXPECT_EQ(machine, text.find("elevated half: the channel of the user's half") != std::string::npos) << text;

        Installer remover;
        std::string removeLog = folder + (machine ? "\\all-remove.log" : "\\one-remove.log");
        ASSERT_TRUE(StartUnelevated(f.folder + "\\UnInstall\\UnInst.exe", CaseFolder("silent-scope-untemp"),
                                    &remover, {}, "/S /LOG=" + removeLog));
        ASSERT_TRUE(WaitExit(&remover, 60000, &code));
        EXPECT_EQ(0u, code) << LogOf(removeLog);
        for (int i = 0; i < 250 && PathExists(f.folder); ++i)
            Sleep(20);  // the uninstaller's copy removes its folder after it
        EXPECT_EQ(std::vector<std::string>{}, Present(f, name)) << LogOf(removeLog);
        EXPECT_EQ(machine, LogOf(removeLog).find("removal for every user") != std::string::npos);
    }
}

// With no switch, an interactive run asks before the wizard, in the
// language the language page would preselect: No makes this process the
// installation for one user, Yes has its elevated half install for every
// user, Cancel ends the run.
TEST_F(Silent, AProductThatLetsTheUserChooseAsksBeforeTheWizard) {
    const std::string name = "Scope Asked";
    folder = CaseFolder("silent-scope-asked");
    std::string exe = BuildInstaller(folder, "e2e-silent-scope-asked", ChoosingProduct(name));
    struct Row {
        int answer;
        bool samePages;  // the pages are the process's own
        std::string proposal;
        size_t scratchAfter;  // scratch folders in the temporary folder afterwards
    } rows[] = {
        {IDNO, true, ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\" + name, 1},
        // The run removes the folder the run for one user left; the
        // elevated half keeps its own.
        {IDYES, false, ProgramFilesFolder() + "\\" + name, 1},
        // A run without administrator rights may not remove the folder the
        // elevated half left.
        {IDCANCEL, false, "", 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.answer);
        ASSERT_TRUE(StartUnelevated(exe, folder + "\\temp", &run));
        HWND box = WaitForMessageBox(run);
        ASSERT_NE(nullptr, box);
        BoxInfo info = ReadBox(box);
        EXPECT_EQ(0u, info.text.find("Zainstalowa\xE6 program dla wszystkich u\xBFytkownik\xF3w")) << info.text;
        EXPECT_TRUE(info.yes && info.no);
        EXPECT_EQ("question", IconKind(box));
        Answer(box, r.answer);
        DWORD code = 99;
        if (r.answer != IDCANCEL) {
            language = WaitForPage(run, "Choose Setup Language");
            ASSERT_NE(nullptr, language);
            DWORD owner = 0;
            GetWindowThreadProcessId(language, &owner);
            EXPECT_EQ(r.samePages, owner == run.process.dwProcessId);
            Click(language, IDC_LANGUAGE_OK);
            HWND confirm = WaitForPageWith(IDC_CONFIRM_TEXT);
            ASSERT_NE(nullptr, confirm);
            Click(confirm, IDC_CONFIRM_INSTALL);
            HWND page = WaitForPageWith(IDC_DESTINATION_PATH);
            ASSERT_NE(nullptr, page);
            EXPECT_EQ(r.proposal, ItemText(page, IDC_DESTINATION_PATH));
            CancelWithYes(page, IDC_DESTINATION_CANCEL);
        } else {
            ASSERT_TRUE(WaitExit(&run, 20000, &code));
            EXPECT_EQ(1u, code);
        }
        // The package's start read for the question is removed whole; the
        // wizard's run keeps its scratch folder, emptied, as any
        // interactive run does, until a later run removes it as a dead
        // run's (before it asks).
        std::vector<std::string> after = ListFolder(folder + "\\temp");
        EXPECT_EQ(r.scratchAfter, after.size()) << ::testing::PrintToString(after);
        for (const std::string& name : after)
            EXPECT_EQ(std::vector<std::string>{}, ListFolder(folder + "\\temp\\" + name.substr(0, name.size() - 1)))
                << "unpacked in " << name;
    }
}
