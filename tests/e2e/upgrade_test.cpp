// Installing over an earlier installation: version 1 of the example product,
// then version 2 into the same folder, cancelled, damaged, held up by a file
// in use, or finished and removed again. Whatever happens to version 2,
// every file of version 1 stays as it was, down to attributes and times.
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "wizard.h"

#include <shlobj.h>
#include <zlib.h>

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string Built(const char* name) {
    std::string bytes;
    EXPECT_TRUE(ReadFileText(BuildFolder() + "\\" + name, &bytes)) << name;
    return bytes;
}

// A folder of the build machine as this Wine prefix sees it (drive Z: is /).
std::string UnixFolder(const char* path) {
    std::string out = std::string("Z:") + path;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

void ReadTree(const std::string& root, const std::string& relative, ProductFiles* files) {
    for (const std::string& name : ListFolder(relative.empty() ? root : root + "\\" + relative)) {
        std::string sub = relative.empty() ? name : relative + "\\" + name;
        if (name.back() == '\\') {
            ReadTree(root, sub.substr(0, sub.size() - 1), files);
            continue;
        }
        std::string bytes;
        EXPECT_TRUE(ReadFileText(root + "\\" + sub, &bytes)) << sub;
        (*files)[sub] = bytes;
    }
}

void Rename(std::string* text, const std::string& from, const std::string& to) {
    for (size_t at = text->find(from); at != std::string::npos; at = text->find(from, at + to.size()))
        text->replace(at, from.size(), to);
}

// The example product under its own name. Version 2 changes readme.txt,
// adds v2\added.txt and no longer has v1\only.txt; data\same.txt is in both.
// The programs are the recording program, the uninstaller the real one.
ProductFiles Example(const std::string& name, int version) {
    ProductFiles files;
    ReadTree(UnixFolder(BRONDALE_EXAMPLE_DIR), "", &files);
    for (const char* cfg : {"install\\init.cfg", "install\\reg.cfg", "install\\lnk.cfg"})
        Rename(&files[cfg], "Brondale Demo", name);
    files["install\\UnInst.dat"] = Built("UnInst.exe");
    files["program\\DemoApp.exe"] = Built("brondale-launched.exe");
    files["program\\data\\same.txt"] = "in both versions";
    if (version == 1) {
        files["program\\v1\\only.txt"] = "only version 1 has this";
    } else {
        files["program\\readme.txt"] += "\r\nVersion 2.";
        files["program\\v2\\added.txt"] = "new in version 2";
    }
    return files;
}

std::string Names(const std::map<std::string, Seen>& files) {
    std::string out;
    for (const auto& f : files)
        out += f.first + "  ";
    return out;
}

// Where the program section starts in an installer file.
size_t ProgramSectionStart(const std::string& data) {
    size_t at = FirstSectionAt(data);
    for (int s = 0; s < 2; ++s) {
        uint32_t count = *reinterpret_cast<const uint32_t*>(&data[at + 11]);
        at += *reinterpret_cast<const uint32_t*>(&data[at + 15 + 4 * count]);
    }
    return at;
}

class Upgrade : public Wizard {
protected:
    void TearDown() override {
        Kill(&remover);
        Wizard::TearDown();
        Forget();
    }
    void Forget() {
        DeleteKey(HKEY_LOCAL_MACHINE, kUninstallKey + product);
        DeleteKey(HKEY_CURRENT_USER, "Software\\" + product);
        DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + product);
    }
    // Packs both versions of product name and chooses a destination. The
    // example product always starts its program: the stand-in desktop shell
    // gives it a route.
    void Prepare(const std::string& name, const ProductFiles& second) {
        product = name;
        Forget();
        EXPECT_TRUE(StartDesktopShell());
        folder = CaseFolder(name);
        v1 = BuildInstaller(folder, "e2e-" + name + "-1", Example(name, 1));
        v2 = BuildInstaller(CaseFolder(name + "-v2"), "e2e-" + name + "-2", second);
        destination = CaseFolder(name + "-dest") + "\\" + name;
    }
    // Starts exe and walks it to the confirmation page, in Polish.
    HWND ToConfirmationOf(const std::string& exe) {
        if (!Start(exe, folder + "\\temp", &run, environment))
            return nullptr;
        language = WaitForPage(run, "Choose Setup Language");
        if (!language)
            return nullptr;
        // The built-in texts, whatever the list preselects.
        std::vector<std::string> items = ComboItems(GetDlgItem(language, IDC_LANGUAGE_LIST));
        auto polski = std::find(items.begin(), items.end(), "Polski");
        if (polski == items.end())
            return nullptr;
        HWND list = GetDlgItem(language, IDC_LANGUAGE_LIST);
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(polski - items.begin()), 0);
        Click(language, IDC_LANGUAGE_OK);
        return WaitForPageWith(IDC_CONFIRM_TEXT);
    }
    // On to the destination page (the licence accepted), which shows its
    // proposal.
    HWND ToDestinationOf(const std::string& exe) {
        HWND confirm = ToConfirmationOf(exe);
        if (!confirm)
            return nullptr;
        Click(confirm, IDC_CONFIRM_INSTALL);
        HWND licence = WaitForPageWith(IDC_LICENCE_TEXT);
        if (!licence)
            return nullptr;
        Click(licence, IDC_LICENCE_ACCEPT);
        if (!WaitUntil([](HWND p) { return IsWindowEnabled(GetDlgItem(p, IDC_LICENCE_NEXT)) != 0; }, licence))
            return nullptr;
        Click(licence, IDC_LICENCE_NEXT);
        return WaitForPageWith(IDC_DESTINATION_PATH);
    }
    // On to the progress page, into the case's destination.
    HWND ToProgressOf(const std::string& exe) {
        HWND page = ToDestinationOf(exe);
        if (!page)
            return nullptr;
        SetItemText(page, IDC_DESTINATION_PATH, destination);
        Click(page, IDC_DESTINATION_NEXT);
        // A small program section can be unpacked before the progress page
        // is seen: the options page that follows it will do.
        return WaitForPageWith(IDC_PROGRESS_BAR, 20000, IDC_OPTION_RUN);
    }
    // A whole installation of exe, every option box unticked (the
    // information file would open a viewer).
    void InstallWhole(const std::string& exe) {
        ASSERT_NE(nullptr, ToProgressOf(exe));
        HWND options = WaitForPageWith(IDC_OPTION_RUN, 60000);
        ASSERT_NE(nullptr, options);
        for (int id = IDC_OPTION_DESKTOP; id <= IDC_OPTION_RUN; ++id)
            if (Enabled(GetDlgItem(options, id)) && Checked(options, id))
                Click(options, id);
        Click(options, IDC_OPTIONS_FINISH);
        DWORD code = 0;
        ASSERT_TRUE(WaitExit(&run, 60000, &code));
        ASSERT_EQ(1u, code);
        ASSERT_TRUE(PathExists(destination + "\\UnInstall\\UnInst.exe"));
        Sleep(200);  // the program started at the end has ended
    }
    // Version 1 installed, readme.txt made hidden and read-only, a file of
    // the user's beside the product; returns the snapshot to compare with.
    std::map<std::string, Seen> InstallFirst() {
        InstallWhole(v1);
        EXPECT_TRUE(WriteFileText(destination + "\\data\\mine.txt", "the user's own"));
        EXPECT_TRUE(SetFileAttributesA((destination + "\\readme.txt").c_str(),
                                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
        return Snapshot(destination);
    }
    // Version 1 is still installed: its files as they were, no kept copy
    // and nothing of version 2, its Uninstall entry naming its uninstaller.
    void ExpectFirstIntact(const std::map<std::string, Seen>& before) {
        std::map<std::string, Seen> now = Snapshot(destination);
        EXPECT_EQ(Names(before), Names(now));
        for (const auto& f : before)
            EXPECT_TRUE(now.count(f.first) && now[f.first] == f.second)
                << f.first << ": bytes, attributes or time differ";
        DWORD type = 0;
        std::string data;
        ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey + product, "UninstallString", &type, &data));
        EXPECT_EQ("\"" + destination + "\\Uninstall\\UnInst.exe\"" + std::string(1, '\0'), data);
    }
    // Runs the installed uninstaller with Yes and waits until its clean-up
    // copy has removed the UnInstall folder.
    void Uninstall() {
        ASSERT_TRUE(Start(destination + "\\UnInstall\\UnInst.exe", CaseFolder(product + "-untemp"), &remover));
        HWND question = WaitForMessageBox(remover);
        ASSERT_NE(nullptr, question);
        Answer(question, IDYES);
        HWND box = WaitForMessageBox(remover, 30000, question);
        ASSERT_NE(nullptr, box) << "no final message";
        Answer(box, IDOK);
        DWORD code = 99;
        ASSERT_TRUE(WaitExit(&remover, 30000, &code));
        for (int i = 0; i < 500 && PathExists(destination + "\\UnInstall"); ++i)
            Sleep(20);
        EXPECT_FALSE(PathExists(destination + "\\UnInstall"));
        // The removal copy tries the destination folder last; once in a full
        // run under Wine the folder listed empty meanwhile.
        for (int i = 0; i < 100 && PathExists(destination) && ListFolder(destination).empty(); ++i)
            Sleep(20);
    }
    // A silent installation of exe into the destination (with switches
    // before /D=, or with none when into is ""); returns its log.
    std::string InstallSilently(const std::string& exe, const std::string& switches = "", DWORD expected = 0,
                                const std::string& into = "*") {
        std::string log = folder + "\\silent.log";
        DeleteFileA(log.c_str());
        DWORD code = 99;
        std::string arguments = "/S /NOINFO " + switches + " \"/LOG=" + log + "\"";
        if (!into.empty())
            arguments += " /D=" + (into == "*" ? destination : into);
        EXPECT_TRUE(Start(exe, folder + "\\temp", &run, environment, arguments));
        EXPECT_TRUE(WaitExit(&run, 60000, &code));
        EXPECT_EQ(expected, code);
        Sleep(200);  // the program started at the end has ended
        std::string text;
        ReadFileText(log, &text);
        return text;
    }
    // Ends a run that shows a message box with text, answering it with OK.
    void EndsWithBox(const std::string& text) {
        HWND box = WaitForMessageBox(run, 60000);
        ASSERT_NE(nullptr, box);
        EXPECT_EQ(text, ReadBox(box).text);
        Answer(box, IDOK);
        DWORD code = 0;
        ASSERT_TRUE(WaitExit(&run, 30000, &code));
        EXPECT_EQ(1u, code);
    }

    Installer remover;
    std::string product, v1, v2, destination;
};

// A file-list line as the installer writes it: size, CRC-32, path.
std::string ListLine(const std::string& relative, const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    char head[32];
    snprintf(head, sizeof head, "%u %08X ", static_cast<unsigned>(bytes.size()), static_cast<unsigned>(~crc));
    return head + relative + "\r\n";
}

// The product's files of a snapshot: everything but the uninstall record's
// folder, which every run writes afresh.
std::map<std::string, Seen> ProgramFiles(std::map<std::string, Seen> files) {
    for (auto it = files.begin(); it != files.end();)
        it = it->first.compare(0, 10, "UnInstall\\") == 0 ? files.erase(it) : std::next(it);
    return files;
}

bool NoKeptCopies(const std::map<std::string, Seen>& files) {
    for (const auto& f : files) {
        std::string name = f.first.substr(f.first.rfind('\\', f.first.size() - 2) + 1);
        if (name.compare(0, 4, "~BDK") == 0)
            return false;
    }
    return true;
}

} // namespace

TEST_F(Upgrade, CancelWhileUnpackingVersion2GivesVersion1Back) {
    ProductFiles second = Example("Upgrade Cancel", 2);
    for (int i = 0; i < 3; ++i)
        second["program\\zz\\part" + std::to_string(i) + ".bin"] = std::string(300u << 20, '\0');
    Prepare("Upgrade Cancel", second);
    std::map<std::string, Seen> before = InstallFirst();
    ASSERT_FALSE(HasFailure());

    HWND progress = ToProgressOf(v2);
    ASSERT_NE(nullptr, progress);
    // Past the files that replace version 1's, into the large ones. The
    // small files are written by the file pool's workers, which may still
    // be at them when the large ones' folder appears.
    for (int i = 0; i < 1500 && !(PathExists(destination + "\\zz") && PathExists(destination + "\\v2\\added.txt")); ++i)
        Sleep(20);
    ASSERT_TRUE(PathExists(destination + "\\zz"));
    ASSERT_TRUE(PathExists(destination + "\\v2\\added.txt"));
    CancelWithYes(progress, IDC_PROGRESS_CANCEL);
    ExpectFirstIntact(before);
    EXPECT_TRUE(NoKeptCopies(Snapshot(destination)));

    // The earlier record still works: the uninstaller removes version 1.
    SetFileAttributesA((destination + "\\readme.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    Uninstall();
    EXPECT_EQ(std::vector<std::string>{"data\\"}, ListFolder(destination));
    EXPECT_EQ(std::vector<std::string>{"mine.txt"}, ListFolder(destination + "\\data"));
}

TEST_F(Upgrade, DamagedVersion2GivesVersion1Back) {
    ProductFiles second = Example("Upgrade Damaged", 2);
    std::string noise(1 << 20, '\0');
    uint32_t x = 7;
    for (char& c : noise) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    second["program\\zz\\noise.bin"] = noise;
    Prepare("Upgrade Damaged", second);
    std::string data;
    ASSERT_TRUE(ReadFileText(v2, &data));
    ASSERT_GT(data.size() - ProgramSectionStart(data), 1000000u);
    // Inside the compressed data of the last member, the noise.
    data[data.size() - 5000] ^= 0x40;
    ASSERT_TRUE(WriteFileText(v2, data));
    std::map<std::string, Seen> before = InstallFirst();
    ASSERT_FALSE(HasFailure());

    ASSERT_NE(nullptr, ToProgressOf(v2));
    EndsWithBox("File is corupted.");
    ExpectFirstIntact(before);
    EXPECT_TRUE(NoKeptCopies(Snapshot(destination)));
}

TEST_F(Upgrade, UninstallAfterAnUpgradeRemovesBothVersions) {
    Prepare("Upgrade Remove", Example("Upgrade Remove", 2));
    InstallWhole(v1);
    ASSERT_FALSE(HasFailure());
    ASSERT_TRUE(WriteFileText(destination + "\\data\\mine.txt", "the user's own"));
    InstallWhole(v2);
    ASSERT_FALSE(HasFailure());
    std::map<std::string, Seen> upgraded = Snapshot(destination);
    EXPECT_TRUE(NoKeptCopies(upgraded)) << Names(upgraded);
    EXPECT_TRUE(upgraded.count("v1\\only.txt")) << "the upgrade leaves version 1's other files";
    EXPECT_EQ("new in version 2", upgraded["v2\\added.txt"].bytes);
    std::string list;
    ASSERT_TRUE(ReadFileText(destination + "\\UnInstall\\Files.lst", &list));
    EXPECT_NE(std::string::npos, list.find(" v1\\only.txt\r\n")) << list;
    EXPECT_NE(std::string::npos, list.find(" v2\\added.txt\r\n")) << list;
    EXPECT_EQ(std::string::npos, list.find("mine.txt")) << list;

    Uninstall();
    EXPECT_EQ(std::vector<std::string>{"data\\"}, ListFolder(destination));
    EXPECT_EQ(std::vector<std::string>{"mine.txt"}, ListFolder(destination + "\\data"));
}

// The earlier file list changed after its seal (here a line for the user's
// own file, with its true size and CRC-32): the upgrade does not merge it,
// so the uninstaller removes only what version 2 wrote and the user's file
// stays.
TEST_F(Upgrade, AnEarlierFileListChangedAfterItsSealIsNotMerged) {
    Prepare("Upgrade Tampered", Example("Upgrade Tampered", 2));
    InstallWhole(v1);
    ASSERT_FALSE(HasFailure());
    const std::string mine = "the user's own";
    ASSERT_TRUE(WriteFileText(destination + "\\data\\mine.txt", mine));
    std::string list;
    ASSERT_TRUE(ReadFileText(destination + "\\UnInstall\\Files.lst", &list));
    ASSERT_NE(std::string::npos, list.find(" v1\\only.txt\r\n")) << list;
    char crc[16];
    snprintf(crc, sizeof crc, "%08lX", crc32(0L, reinterpret_cast<const Bytef*>(mine.data()), static_cast<uInt>(mine.size())));
    list += std::to_string(mine.size()) + " " + crc + " data\\mine.txt\r\n";
    ASSERT_TRUE(WriteFileText(destination + "\\UnInstall\\Files.lst", list));

    InstallWhole(v2);
    ASSERT_FALSE(HasFailure());
    ASSERT_TRUE(ReadFileText(destination + "\\UnInstall\\Files.lst", &list));
    EXPECT_EQ(std::string::npos, list.find("mine.txt")) << list;
    EXPECT_EQ(std::string::npos, list.find("only.txt")) << "nothing of the changed list is merged: " << list;
    EXPECT_NE(std::string::npos, list.find(" v2\\added.txt\r\n")) << list;

    Uninstall();
    EXPECT_EQ((std::vector<std::string>{"data\\", "v1\\"}), ListFolder(destination));
    EXPECT_EQ(std::vector<std::string>{"mine.txt"}, ListFolder(destination + "\\data"));
    EXPECT_EQ(std::vector<std::string>{"only.txt"}, ListFolder(destination + "\\v1"))
        << "version 1's file, no longer listed, stays";
}

// Another program holds readme.txt open without delete sharing: the
// installer names it and waits for Retry or Cancel.
TEST_F(Upgrade, FileHeldOpenIsNamedAndRetryOrCancelIsTheUsersChoice) {
    Prepare("Upgrade Held", Example("Upgrade Held", 2));
    std::map<std::string, Seen> before = InstallFirst();
    ASSERT_FALSE(HasFailure());
    std::string held = destination + "\\readme.txt";

    for (bool retry : {false, true}) {
        HANDLE h = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        ASSERT_NE(nullptr, ToProgressOf(v2)) << retry;
        HWND box = WaitForMessageBox(run, 60000);
        ASSERT_NE(nullptr, box) << retry;
        BoxInfo info = ReadBox(box);
        EXPECT_NE(std::string::npos, info.text.find(held)) << info.text;
        EXPECT_EQ(0u, info.text.find("Plik jest otwarty w innym programie.")) << info.text;
        EXPECT_EQ("Brondale", info.caption);
        CloseHandle(h);
        if (!retry) {
            Answer(box, IDCANCEL);
            DWORD code = 0;
            ASSERT_TRUE(WaitExit(&run, 30000, &code)) << "Cancel ends the installation";
            EXPECT_EQ(1u, code);
            ExpectFirstIntact(before);
            continue;
        }
        Answer(box, IDRETRY);
        HWND options = WaitForPageWith(IDC_OPTION_RUN, 60000);
        ASSERT_NE(nullptr, options) << "Retry goes on once the file is free";
        std::string readme;
        ASSERT_TRUE(ReadFileText(held, &readme));
        EXPECT_NE(std::string::npos, readme.find("Version 2.")) << "replaced";
        CancelWithYes(options, 0);
        ExpectFirstIntact(before);
    }
}

// The same installer run again over its own installation leaves every file
// as it is, down to its time, and writes the same file list; a file whose
// bytes were changed since, at the same size, is replaced.
TEST_F(Upgrade, TheSameInstallerAgainLeavesUnchangedFilesUntouched) {
    Prepare("Upgrade-Again", Example("Upgrade-Again", 2));
    InstallSilently(v1);
    ASSERT_FALSE(HasFailure());
    std::map<std::string, Seen> before = ProgramFiles(Snapshot(destination));
    std::string listBefore, listAfter;
    ASSERT_TRUE(ReadFileText(destination + "\\UnInstall\\Files.lst", &listBefore));

    std::string log = InstallSilently(v1);
    EXPECT_NE(std::string::npos, log.find("earlier file list " + destination + "\\UnInstall\\Files.lst: ")) << log;
    std::map<std::string, Seen> again = Snapshot(destination);
    EXPECT_TRUE(NoKeptCopies(again)) << Names(again);
    again = ProgramFiles(again);
    EXPECT_EQ(Names(before), Names(again));
    for (const auto& f : before)
        EXPECT_TRUE(again[f.first] == f.second) << f.first << ": bytes, attributes or time changed";
    ASSERT_TRUE(ReadFileText(destination + "\\UnInstall\\Files.lst", &listAfter));
    EXPECT_EQ(listBefore, listAfter);

    // The list still calls it unchanged; its bytes say otherwise.
    ASSERT_TRUE(WriteFileText(destination + "\\data\\same.txt", "in BOTH versions"));
    std::map<std::string, Seen> changed = ProgramFiles(Snapshot(destination));
    InstallSilently(v1);
    std::map<std::string, Seen> repaired = ProgramFiles(Snapshot(destination));
    EXPECT_EQ("in both versions", repaired["data\\same.txt"].bytes);
    EXPECT_FALSE(repaired["data\\same.txt"] == changed["data\\same.txt"]);
    for (const auto& f : before)
        if (f.first != "data\\same.txt") {
            EXPECT_TRUE(repaired[f.first] == f.second) << f.first << " was touched";
        }
}

// An upgrade that changes one file replaces that one and leaves the others
// as they were; the new list gives the changed file its new sum.
TEST_F(Upgrade, AnUpgradeChangingOneFileReplacesOnlyThatOne) {
    ProductFiles second = Example("Upgrade-One", 1);
    second["program\\data\\same.txt"] = "changed in version 2";
    Prepare("Upgrade-One", second);
    InstallSilently(v1);
    ASSERT_FALSE(HasFailure());
    std::map<std::string, Seen> before = ProgramFiles(Snapshot(destination));
    InstallSilently(v2);
    std::map<std::string, Seen> after = Snapshot(destination);
    EXPECT_TRUE(NoKeptCopies(after)) << Names(after);
    after = ProgramFiles(after);
    EXPECT_EQ(Names(before), Names(after));
    for (const auto& f : before) {
        if (f.first == "data\\same.txt")
            EXPECT_EQ("changed in version 2", after[f.first].bytes);
        else
            EXPECT_TRUE(after[f.first] == f.second) << f.first << ": bytes, attributes or time changed";
    }
    std::string list;
    ASSERT_TRUE(ReadFileText(destination + "\\UnInstall\\Files.lst", &list));
    EXPECT_NE(std::string::npos, list.find(ListLine("data\\same.txt", "changed in version 2"))) << list;
    EXPECT_NE(std::string::npos, list.find(ListLine("readme.txt", before["readme.txt"].bytes))) << list;
}

namespace {

ProductFiles Versioned(ProductFiles files, const std::string& version) {
    Rename(&files["install\\init.cfg"], "Version=1.0.0", "Version=" + version);
    return files;
}

bool Says(const std::string& log, const std::string& line) {
    bool found = log.find(line) != std::string::npos;
    EXPECT_TRUE(found) << line << "\nnot in\n" << log;
    return found;
}

} // namespace

// Version 2 into another folder moves the product there: once it is
// registered, the first folder loses every file of version 1 and its
// record, and the desktop shortcut that led into it (version 2 made none);
// the next installation, on the page or silent, proposes the new folder;
// the first folder's uninstaller (put back here) says its installation is
// no longer the registered one and removes nothing. Moving back leaves only
// what the user changed or added.
TEST_F(Upgrade, InstallingIntoAnotherFolderMovesTheProduct) {
    Prepare("Upgrade Move", Example("Upgrade Move", 2));
    const std::string desktopLink = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\readme.txt.lnk";
    const std::string menu = ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\" + product;
    DeleteFileA(desktopLink.c_str());
    InstallSilently(v1);
    ASSERT_FALSE(HasFailure());
    ASSERT_TRUE(PathExists(desktopLink));
    const std::string first = destination;
    ProductFiles record;
    ReadTree(first + "\\UnInstall", "", &record);
    ASSERT_TRUE(record.count("UnInst.exe") && record.count("UnInst.cfg") && record.count("Files.lst"));

    destination = CaseFolder(product + "-moved") + "\\" + product;
    const std::string second = destination;
    std::string log = InstallSilently(v2, "/NODESKTOP");
    EXPECT_FALSE(PathExists(first)) << "the move leaves nothing in the first folder";
    EXPECT_EQ("new in version 2", Snapshot(second)["v2\\added.txt"].bytes);
    Says(log, "earlier installation in " + first + ": the product moves to " + second + "\r\n");
    Says(log, "earlier installation in " + first + ": its unchanged files and its record removed, the folder too");
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey + product, "UninstallString", &type, &data));
    EXPECT_EQ("\"" + second + "\\Uninstall\\UnInst.exe\"" + std::string(1, '\0'), data);
    EXPECT_FALSE(PathExists(desktopLink)) << "it led into the first folder and was not made again";
    EXPECT_EQ(second + "\\readme.txt", ReadShortcut(menu + "\\readme.txt.lnk").target) << "made again";

    // The next installation follows the product.
    HWND page = ToDestinationOf(v2);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(second, ItemText(page, IDC_DESTINATION_PATH));
    Kill(&run);
    log = InstallSilently(v2, "", 0, "");
    Says(log, "destination: " + second + "\r\n");

    WriteTree(first + "\\UnInstall", record);
    std::string removal = folder + "\\removal.log";
    ASSERT_TRUE(Start(first + "\\UnInstall\\UnInst.exe", CaseFolder(product + "-untemp"), &remover, {},
                      "/S \"/LOG=" + removal + "\""));
    DWORD code = 99;
    ASSERT_TRUE(WaitExit(&remover, 30000, &code));
    EXPECT_EQ(7u, code);
    std::string said;
    ASSERT_TRUE(ReadFileText(removal, &said));
    EXPECT_TRUE(said.find("no longer the registered one") != std::string::npos ||
                said.find("nie jest ju\xBF zarejestrowana") != std::string::npos)
        << said;
    Says(said, "\r\n    " + second + "\r\n");
    EXPECT_EQ(record.size(), ListFolder(first + "\\UnInstall").size()) << "nothing removed";
    EXPECT_TRUE(PathExists(second + "\\UnInstall\\UnInst.exe"));
    for (const auto& f : record)
        DeleteFileA((first + "\\UnInstall\\" + f.first).c_str());
    RemoveDirectoryA((first + "\\UnInstall").c_str());
    RemoveDirectoryA(first.c_str());

    // Back to the first folder, with a file of the user's and one the user
    // changed in the second.
    ASSERT_TRUE(WriteFileText(second + "\\data\\mine.txt", "the user's own"));
    ASSERT_TRUE(WriteFileText(second + "\\readme.txt", "changed by the user"));
    log = InstallSilently(v1, "", 0, first);
    EXPECT_TRUE(PathExists(first + "\\v1\\only.txt"));
    EXPECT_EQ((std::vector<std::string>{"data\\", "readme.txt"}), ListFolder(second));
    EXPECT_EQ(std::vector<std::string>{"mine.txt"}, ListFolder(second + "\\data"));
    Says(log, second + "\\data\\mine.txt stays, changed or added");
    Says(log, second + "\\readme.txt stays, changed or added");
    Says(log, "earlier installation in " + second + ": its unchanged files and its record removed, the folder stays");
    DeleteFileA((menu + "\\readme.txt.lnk").c_str());
    DeleteFileA(desktopLink.c_str());
    RemoveDirectoryA(menu.c_str());
}

// An older version over a newer one (versions compare as numbers: 2.9 is
// older than 2.10): a silent run changes nothing and exits with 9; an
// interactive one asks, naming both, and No changes nothing either;
// /ALLOWDOWNGRADE installs it.
TEST_F(Upgrade, AnOlderVersionOverANewerOneIsAskedOrRefused) {
    Prepare("Upgrade Older", Versioned(Example("Upgrade Older", 2), "2.10"));
    v1 = BuildInstaller(folder, "e2e-Upgrade Older-29", Versioned(Example(product, 1), "2.9"));
    InstallSilently(v2);
    ASSERT_FALSE(HasFailure());
    const std::map<std::string, Seen> before = Snapshot(destination);
    auto unchanged = [&](const char* when) {
        std::map<std::string, Seen> now = Snapshot(destination);
        EXPECT_EQ(Names(before), Names(now)) << when;
        for (const auto& f : before)
            EXPECT_TRUE(now[f.first] == f.second) << when << ": " << f.first;
        DWORD type = 0;
        std::string version;
        EXPECT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey + product, "DisplayVersion", &type, &version));
        EXPECT_EQ("2.10" + std::string(1, '\0'), version) << when;
    };

    std::string log = InstallSilently(v1, "", 9);
    Says(log, "version 2.9 over the installed version 2.10: an older version over a newer one, nothing was changed");
    Says(log, "exit code: 9\r\n");
    unchanged("silent");

    HWND confirm = ToConfirmationOf(v1);
    ASSERT_NE(nullptr, confirm);
    Click(confirm, IDC_CONFIRM_INSTALL);
    HWND box = WaitForMessageBox(run);
    ASSERT_NE(nullptr, box);
    BoxInfo info = ReadBox(box);
    EXPECT_EQ("Zainstalowana jest nowsza wersja programu:\r\n2.10\r\n\r\n"
              "Zast\xB9pi\xE6 j\xB9 starsz\xB9 wersj\xB9 z tego instalatora?\r\n2.9",
              info.text);
    EXPECT_TRUE(info.yes && info.no);
    Answer(box, IDNO);
    DWORD code = 0;
    ASSERT_TRUE(WaitExit(&run, 30000, &code));
    EXPECT_EQ(1u, code);
    unchanged("No");

    log = InstallSilently(v1, "/ALLOWDOWNGRADE");
    Says(log, "an older version over a newer one, allowed by /ALLOWDOWNGRADE");
    DWORD type = 0;
    std::string version;
    ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey + product, "DisplayVersion", &type, &version));
    EXPECT_EQ("2.9" + std::string(1, '\0'), version);
    EXPECT_TRUE(PathExists(destination + "\\v1\\only.txt"));
}
