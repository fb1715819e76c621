// The uninstaller UnInst.exe, end to end: a product is installed with the
// real installer, then its installed UnInst.exe is started and answered
// from outside, and what stays behind is read back.
#include <algorithm>
#include <functional>

#include "wizard.h"

#include <shlobj.h>
#include <tlhelp32.h>
#include <zlib.h>

#include "trust/digest.h"

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char kTestsKey[] = "Software\\Brondale Tests\\";

std::string Built(const char* name) {
    std::string bytes;
    EXPECT_TRUE(ReadFileText(BuildFolder() + "\\" + name, &bytes)) << name;
    return bytes;
}

// A product with shortcuts, registry values, [RunU] programs (the recording
// program) and files in subfolders; English texts for the uninstaller.
ProductFiles RemovableProduct(const std::string& name) {
    ProductFiles files;
    files["lang\\English.lng"] = "[lng]\r\n3=Install\r\n30=Really remove\r\n31=Removed.\r\n32=Could not remove:\r\n"
                                 "33=Changed or added, kept:\r\n34=Folder kept:\r\n36=Run it again.\r\n"
                                 "37=The record was changed.\r\n";
    files["install\\UnInst.dat"] = Built("UnInst.exe");
    // [RunU] 5 is a program by content but not by name: only .exe files are
    // started.
    files["install\\init.cfg"] = "[cfg]\r\n1=" + name + "\r\n[index]\r\nmaxU=6\r\n"
                                 "[RunU]\r\n1=slow.exe\r\n2=\r\n3=app.exe\r\n4=bin\\tool.exe\r\n5=bin\\tool.com\r\n";
    files["install\\lnk.cfg"] = "[index1]\r\nmax=2\r\n[desktop]\r\n1=bin\\tool.exe\r\n"
                                "[index2]\r\nmax=2\r\n[menu]\r\n1=app.exe\r\n";
    std::string key = "HKEY_CURRENT_USER\\" + std::string(kTestsKey) + name;
    files["install\\reg.cfg"] = "[index]\r\nmax=5\r\n"
                                "[key]\r\n1=" + key + "\r\n2=" + key + "\\Settings\r\n3=" + key + "\\Settings\r\n"
                                "4=Software\\No Root\r\n"
                                "[name]\r\n1=Path\r\n2=Count\r\n3=\r\n4=X\r\n"
                                "[type]\r\n1=3\r\n2=1\r\n3=3\r\n4=3\r\n"
                                "[value]\r\n1=C:\\somewhere\r\n2=0000000a\r\n3=hello\r\n4=y\r\n";
    std::string launched = Built("brondale-launched.exe");
    files["program\\app.exe"] = launched;
    files["program\\slow.exe"] = Built("brondale-slow.exe");
    files["program\\bin\\tool.exe"] = launched;
    files["program\\bin\\tool.com"] = launched;
    files["program\\data\\readme.txt"] = "read me";
    files["program\\data\\config.ini"] = "[a]\r\nb=1\r\n";
    files["program\\data\\deep\\empty.txt"] = "";
    return files;
}

class Uninstall : public Wizard {
protected:
    void TearDown() override {
        Kill(&remover);
        Wizard::TearDown();
    }
    // Installs the product into destination with the language of that name
    // chosen on the first page ("Polski" for the built-in one); atOptions,
    // when given, runs while the options page shows (the files are in
    // place, the run goes on).
    void Install(const std::string& name, const std::string& lang, const ProductFiles& files,
                 const std::function<void()>& atOptions = nullptr) {
        product = name;
        DeleteKey(HKEY_LOCAL_MACHINE, kUninstallKey + name);
        DeleteKey(HKEY_CURRENT_USER, kTestsKey + name);
        desktop = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
        menu = ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\" + name;
        DeleteFileA((desktop + "\\tool.exe.lnk").c_str());
        log = CaseFolder(name + "-log") + "\\launches.log";
        destination = CaseFolder(name + "-dest") + "\\" + name;
        ASSERT_TRUE(Launch(name, files));
        language = WaitForPage(run, "Choose Setup Language");
        ASSERT_NE(nullptr, language);
        std::vector<std::string> items = ComboItems(GetDlgItem(language, IDC_LANGUAGE_LIST));
        auto at = std::find(items.begin(), items.end(), lang);
        ASSERT_NE(items.end(), at) << lang;
        SendMessageW(GetDlgItem(language, IDC_LANGUAGE_LIST), CB_SETCURSEL, static_cast<WPARAM>(at - items.begin()), 0);
        Click(language, IDC_LANGUAGE_OK);
        HWND confirm = WaitForPageWith(IDC_CONFIRM_TEXT);
        ASSERT_NE(nullptr, confirm);
        Click(confirm, IDC_CONFIRM_INSTALL);
        HWND page = WaitForPageWith(IDC_DESTINATION_PATH);
        ASSERT_NE(nullptr, page);
        SetItemText(page, IDC_DESTINATION_PATH, destination);
        Click(page, IDC_DESTINATION_NEXT);
        HWND options = WaitForPageWith(IDC_OPTION_RUN, 60000);
        ASSERT_NE(nullptr, options);
        if (atOptions)
            atOptions();
        Click(options, IDC_OPTIONS_FINISH);
        DWORD code = 0;
        ASSERT_TRUE(WaitExit(&run, 60000, &code));
        ASSERT_EQ(1u, code);
        ASSERT_TRUE(PathExists(destination + "\\UnInstall\\UnInst.exe"));
        ASSERT_TRUE(PathExists(menu + "\\app.exe.lnk"));
        ASSERT_TRUE(PathExists(desktop + "\\tool.exe.lnk"));
        DeleteFileA(log.c_str());
    }
    // Starts the installed uninstaller; returns its question box.
    HWND StartRemover() {
        removerTemp = CaseFolder(product + "-untemp");
        if (!Start(destination + "\\UnInstall\\UnInst.exe", removerTemp, &remover, {{"BRONDALE_LAUNCH_LOG", log}}))
            return nullptr;
        return WaitForMessageBox(remover);
    }
    // Answers the question with Yes; returns the final message, answered
    // with OK, and the exit code.
    BoxInfo RemoveWithYes(DWORD* code) {
        BoxInfo final;
        HWND question = StartRemover();
        EXPECT_NE(nullptr, question);
        if (!question)
            return final;
        Answer(question, IDYES);
        HWND box = WaitForMessageBox(remover, 30000, question);
        EXPECT_NE(nullptr, box) << "no final message";
        if (!box)
            return final;
        final = ReadBox(box);
        finalIcon = IconKind(box);
        Answer(box, IDOK);
        EXPECT_TRUE(WaitExit(&remover, 30000, code));
        return final;
    }
    // Waits for the uninstaller's clean-up copy to end: the UnInstall folder
    // goes, and so does the copy in the temporary folder. Its private folder
    // goes with it, or, where the system holds the file until its image is
    // gone (Wine), waits empty for the next start of Windows.
    bool CleanedUp() {
        for (int i = 0; i < 500; ++i) {
            if (!PathExists(destination + "\\UnInstall") && OnlyCopyFoldersLeft())
                return true;
            Sleep(20);
        }
        for (const std::string& left : ListFolder(removerTemp))
            ADD_FAILURE() << "left in the temporary folder: " << left << " holding "
                          << ::testing::PrintToString(ListFolder(removerTemp + "\\" + left));
        return false;
    }
    // True when the temporary folder holds nothing but empty private folders
    // of the copy ("BrondaleUnInst" and 16 hexadecimal digits), each marked
    // for deletion at the next start and protected.
    bool OnlyCopyFoldersLeft() {
        DWORD type = 0;
        std::string pending;
        ReadValue(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                  "PendingFileRenameOperations", &type, &pending);
        for (const std::string& left : ListFolder(removerTemp)) {
            bool copyFolder = left.size() == 31 && left.compare(0, 14, "BrondaleUnInst") == 0 && left.back() == '\\' &&
                              left.find_first_not_of("0123456789abcdef", 14) == 30;
            std::string path = removerTemp + "\\" + left.substr(0, 30);
            if (!copyFolder || !ListFolder(path).empty() || pending.find(path) == std::string::npos)
                return false;
            EXPECT_FALSE(LetsOthersIn(FolderDacl(path))) << "the copy's folder is the uninstaller's alone: "
                                                         << FolderDacl(path);
        }
        return true;
    }
    std::vector<std::string> Starts() {
        std::string text;
        ReadFileText(log, &text);
        std::vector<std::string> names;
        for (size_t at = 0; at < text.size();) {
            size_t end = text.find("\r\n", at);
            // "time|name|folder" (brondale-launched adds its parent and
            // elevation after them): the name and the folder it started in.
            std::string line = text.substr(at, end - at);
            size_t name = line.find('|');
            size_t folder = name == std::string::npos ? name : line.find('|', name + 1);
            size_t after = folder == std::string::npos ? folder : line.find('|', folder + 1);
            names.push_back(name == std::string::npos ? line : line.substr(name + 1, after - name - 1));
            at = end == std::string::npos ? text.size() : end + 2;
        }
        return names;
    }
    bool KeyExists(HKEY root, const std::string& key) {
        HKEY h;
        if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
            return false;
        RegCloseKey(h);
        return true;
    }
    // Everything of the product outside its destination folder is gone.
    void ExpectSystemClean() {
        DWORD type = 0;
        std::string data;
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey + product)) << "the Uninstall key";
        EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kTestsKey + product, "Path", &type, &data));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestsKey + product + "\\Settings")) << "left empty";
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestsKey + product)) << "left empty";
        EXPECT_FALSE(PathExists(desktop + "\\tool.exe.lnk"));
        EXPECT_FALSE(PathExists(menu)) << "the Start-menu folder, with both shortcuts";
        EXPECT_TRUE(PathExists(ShellFolder(CSIDL_COMMON_PROGRAMS))) << "the shared folder above it stays";
    }

    // Stores the seal digests of the record and the file list as they are
    // now, for the product's key.
    void Seal() {
        const char* names[] = {kRecordDigestValue, kFileListDigestValue};
        const char* files[] = {"UnInst.cfg", "Files.lst"};
        for (int i = 0; i < 2; ++i) {
            char digest[kDigestTextSize];
            // Bound to the key and to the folder it registers, as the
            // installer seals.
            ASSERT_TRUE(SealFileDigest((kUninstallKey + product).c_str(),
                                       (destination + "\\UnInstall\\" + files[i]).c_str(), digest,
                                       destination.c_str()));
            HKEY key;
            ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kUninstallKey + product).c_str(), 0,
                                                   KEY_SET_VALUE, &key));
            RegSetValueExA(key, names[i], 0, REG_SZ, reinterpret_cast<const BYTE*>(digest), kDigestTextSize - 1);
            RegCloseKey(key);
        }
    }

    Installer remover;
    std::string product, desktop, menu, log, destination, removerTemp, finalIcon;
};

// Whether a process of that program name runs; with end, each one is ended.
bool Running(const char* name, bool end = false) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, name) != 0)
            continue;
        found = true;
        HANDLE process = end ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID) : nullptr;
        if (process) {
            TerminateProcess(process, 99);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    }
    CloseHandle(snapshot);
    return found;
}

// Ends every process of that program name until none has been seen for
// half a second. Under Wine a process shows in the list only once its
// first thread runs, so a clean-up copy that a killed uninstaller was
// starting may appear a while after the kill.
void EndStragglers(const char* name) {
    for (int quiet = 0, i = 0; quiet < 10 && i < 400; ++i) {
        quiet = Running(name, true) ? 0 : quiet + 1;
        Sleep(50);
    }
    EXPECT_FALSE(Running(name)) << name << " could not be ended";
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// What another Windows process (this one) gets when it tries to rename the
// folder at path: 0 when the rename went through.
DWORD RenameError(const std::string& path) {
    return MoveFileA(path.c_str(), (path + "-moved").c_str()) ? 0 : GetLastError();
}

std::string Crc(const std::string& bytes) {
    char hex[16];
    snprintf(hex, sizeof hex, "%08lX",
             crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
    return hex;
}

} // namespace

TEST_F(Uninstall, InstallerLeavesTheFileListAndTheLanguageBesideTheRecord) {
    ProductFiles files = RemovableProduct("Uninst List");
    Install("Uninst List", "English", files);
    std::string list, lang;
    ASSERT_TRUE(ReadFileText(destination + "\\UnInstall\\Files.lst", &list));
    std::string expected;
    for (const char* name : {"app.exe", "bin\\tool.com", "bin\\tool.exe", "data\\config.ini", "data\\deep\\empty.txt",
                             "data\\readme.txt", "slow.exe"}) {
        const std::string& bytes = files.at(std::string("program\\") + name);
        expected += std::to_string(bytes.size()) + " " + Crc(bytes) + " " + name + "\r\n";
    }
    // The packing tool chooses the member order; compare as sorted lines.
    auto sorted = [](const std::string& text) {
        std::vector<std::string> lines;
        for (size_t at = 0; at < text.size();) {
            size_t end = text.find("\r\n", at);
            lines.push_back(text.substr(at, end - at));
            at = end == std::string::npos ? text.size() : end + 2;
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    EXPECT_EQ(sorted(expected), sorted(list));
    ASSERT_TRUE(ReadFileText(destination + "\\UnInstall\\Language.lng", &lang));
    EXPECT_EQ(files.at("lang\\English.lng"), lang);
}

TEST_F(Uninstall, YesRemovesEverythingButWhatTheUserChangedOrAdded) {
    Install("Uninst Whole", "English", RemovableProduct("Uninst Whole"));
    ASSERT_TRUE(WriteFileText(destination + "\\data\\mine.txt", "the user's own"));
    ASSERT_TRUE(WriteFileText(destination + "\\data\\config.ini", "[a]\r\nb=2\r\n"));

    HWND question = StartRemover();
    ASSERT_NE(nullptr, question);
    BoxInfo asked = ReadBox(question);
    EXPECT_EQ("Really remove Uninst Whole?", asked.text) << "the language of the installation";
    EXPECT_EQ("Uninst Whole", asked.caption);
    EXPECT_TRUE(asked.yes && asked.no);
    EXPECT_EQ("question", IconKind(question));
    Kill(&remover);

    DWORD code = 99;
    BoxInfo final = RemoveWithYes(&code);
    EXPECT_EQ(0u, code);
    EXPECT_EQ(0u, final.text.find("Removed.")) << final.text;
    EXPECT_EQ("information", finalIcon) << "kept files are the user's, not a failure";
    EXPECT_TRUE(Contains(final.text, "Changed or added, kept:")) << final.text;
    EXPECT_TRUE(Contains(final.text, destination + "\\data\\mine.txt")) << final.text;
    EXPECT_TRUE(Contains(final.text, destination + "\\data\\config.ini")) << final.text;
    EXPECT_TRUE(Contains(final.text, "Folder kept:\r\n" + destination)) << final.text;
    EXPECT_FALSE(Contains(final.text, "Could not remove")) << final.text;
    EXPECT_FALSE(Contains(final.text, "readme.txt")) << final.text;

    EXPECT_EQ((std::vector<std::string>{"slow.exe:start|" + destination, "slow.exe:end|" + destination,
                                        "app.exe|" + destination, "tool.exe|" + destination + "\\bin"}),
              Starts())
        << "[RunU] in order, each in its own folder, each waited for";
    ASSERT_TRUE(CleanedUp()) << ::testing::PrintToString(ListFolder(destination)) << " temp "
                             << ::testing::PrintToString(ListFolder(removerTemp));
    EXPECT_EQ(std::vector<std::string>{"data\\"}, ListFolder(destination));
    EXPECT_EQ((std::vector<std::string>{"config.ini", "mine.txt"}), ListFolder(destination + "\\data"));
    ExpectSystemClean();
}

TEST_F(Uninstall, WithNothingChangedTheDestinationFolderGoesToo) {
    Install("Uninst Clean", "Polski", RemovableProduct("Uninst Clean"));
    DWORD code = 99;
    BoxInfo final = RemoveWithYes(&code);
    EXPECT_EQ(0u, code);
    EXPECT_EQ("Program zosta\xB3 odinstalowany.", final.text) << "Polish without a language file";
    EXPECT_EQ("Uninst Clean", final.caption);
    ASSERT_TRUE(CleanedUp());
    EXPECT_FALSE(PathExists(destination));
    ExpectSystemClean();
}

TEST_F(Uninstall, NoChangesNothing) {
    Install("Uninst Cancel", "Polski", RemovableProduct("Uninst Cancel"));
    std::vector<std::string> before = ListFolder(destination);
    HWND question = StartRemover();
    ASSERT_NE(nullptr, question);
    BoxInfo asked = ReadBox(question);
    EXPECT_EQ("Czy na pewno chcesz odinstalowa\xE6 program Uninst Cancel?", asked.text);
    Answer(question, IDNO);
    DWORD code = 99;
    ASSERT_TRUE(WaitExit(&remover, 30000, &code));
    EXPECT_EQ(1u, code);
    EXPECT_EQ(before, ListFolder(destination));
    EXPECT_EQ((std::vector<std::string>{"Files.lst", "UnInst.cfg", "UnInst.exe"}),
              ListFolder(destination + "\\UnInstall")) << "no language file for the built-in language";
    EXPECT_TRUE(PathExists(destination + "\\data\\readme.txt"));
    EXPECT_TRUE(PathExists(menu + "\\app.exe.lnk"));
    EXPECT_TRUE(PathExists(desktop + "\\tool.exe.lnk"));
    DWORD type = 0;
    std::string data;
    EXPECT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey + product, "UninstallString", &type, &data));
    EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, kTestsKey + product, "Path", &type, &data));
    EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, kTestsKey + product + "\\Settings", "Count", &type, &data));
    EXPECT_EQ(std::vector<std::string>{}, Starts()) << "no [RunU] program is started";
    EXPECT_EQ(std::vector<std::string>{}, ListFolder(removerTemp)) << "no clean-up copy";
}

TEST_F(Uninstall, FileHeldOpenIsReportedAndASecondRunRemovesIt) {
    Install("Uninst Held", "English", RemovableProduct("Uninst Held"));
    std::string held = destination + "\\bin\\tool.exe";
    HANDLE h = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD code = 99;
    BoxInfo final = RemoveWithYes(&code);
    EXPECT_EQ(3u, code);
    EXPECT_TRUE(Contains(final.text, "Could not remove:\r\n" + held)) << final.text;
    EXPECT_TRUE(Contains(final.text, "Run it again.")) << final.text;
    EXPECT_EQ("warning", finalIcon);
    EXPECT_FALSE(Contains(final.text, "kept:\r\n" + held)) << "reported once, as not removed: " << final.text;
    CloseHandle(h);

    // Everything else went; the uninstaller stays to be run again, and the
    // list of installed programs still starts it.
    EXPECT_EQ((std::vector<std::string>{"UnInstall\\", "bin\\"}), ListFolder(destination));
    EXPECT_EQ(std::vector<std::string>{"tool.exe"}, ListFolder(destination + "\\bin"));
    EXPECT_TRUE(PathExists(destination + "\\UnInstall\\UnInst.exe"));
    DWORD type = 0;
    std::string entry;
    EXPECT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey + product, "UninstallString", &type, &entry));
    EXPECT_EQ("\"" + destination + "\\Uninstall\\UnInst.exe\"", entry.c_str());
    EXPECT_FALSE(PathExists(desktop + "\\tool.exe.lnk"));
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kTestsKey + product, "Path", &type, &entry));

    final = RemoveWithYes(&code);
    EXPECT_EQ(0u, code);
    EXPECT_EQ("Removed.", final.text);
    ASSERT_TRUE(CleanedUp());
    EXPECT_FALSE(PathExists(destination));
    ExpectSystemClean();
}

TEST_F(Uninstall, TamperedRecordIsNotFollowedOutOfTheProduct) {
    Install("Uninst Tamper", "Polski", RemovableProduct("Uninst Tamper"));
    // Files outside the destination folder, named in the list with their true
    // size and CRC-32, and a record entry naming a file that is no shortcut.
    std::string outside = CaseFolder("Uninst Tamper-outside");
    std::string victim = outside + "\\victim.txt";
    std::string text = "not the product's";
    ASSERT_TRUE(WriteFileText(victim, text));
    ASSERT_TRUE(WriteFileText(outside + "\\notes.txt", text));
    std::string line = std::to_string(text.size()) + " " + Crc(text) + " ";
    std::string list;
    ASSERT_TRUE(ReadFileText(destination + "\\UnInstall\\Files.lst", &list));
    list += line + "..\\..\\Uninst Tamper-outside\\victim.txt\r\n" + line + victim + "\r\n" + line + "\\" +
            victim.substr(3) + "\r\n" + line + "data\\..\\..\\..\\Uninst Tamper-outside\\victim.txt\r\n";
    ASSERT_TRUE(WriteFileText(destination + "\\UnInstall\\Files.lst", list));
    std::string record = destination + "\\UnInstall\\UnInst.cfg";
    ASSERT_TRUE(WritePrivateProfileStringA("lnk", "max", "5", record.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("lnk", "4", (outside + "\\notes.txt").c_str(), record.c_str()));
    ASSERT_TRUE(WriteFileText(outside + "\\notes.lnk", text));
    ASSERT_TRUE(WritePrivateProfileStringA("lnk", "5", (outside + "\\notes.lnk").c_str(), record.c_str()));
    // Sealed again as if by an administrator: the rules below hold even then.
    Seal();
    // A value of someone else's in a key of the product: the key stays.
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, (kTestsKey + product + "\\Settings").c_str(), 0,
                                             nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegSetValueExA(key, "Foreign", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
    RegCloseKey(key);

    DWORD code = 99;
    BoxInfo final = RemoveWithYes(&code);
    EXPECT_EQ(0u, code);
    EXPECT_EQ("Program zosta\xB3 odinstalowany.", final.text);
    std::string left;
    EXPECT_TRUE(ReadFileText(victim, &left));
    EXPECT_EQ(text, left);
    EXPECT_TRUE(PathExists(outside + "\\notes.txt")) << "not a .lnk file";
    EXPECT_TRUE(PathExists(outside + "\\notes.lnk")) << "not in the desktop or the product's menu folder";
    ASSERT_TRUE(CleanedUp());
    EXPECT_FALSE(PathExists(destination));
    DWORD type = 0;
    std::string data;
    EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, kTestsKey + product + "\\Settings", "Foreign", &type, &data));
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kTestsKey + product + "\\Settings", "Count", &type, &data));
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kTestsKey + product, "Path", &type, &data));
    DeleteKey(HKEY_CURRENT_USER, kTestsKey + product);
}

TEST_F(Uninstall, AChangedOrUnsealedRecordRemovesNothing) {
    Install("Uninst Sealed", "English", RemovableProduct("Uninst Sealed"));
    std::string record = destination + "\\UnInstall\\UnInst.cfg";
    std::string list = destination + "\\UnInstall\\Files.lst";
    std::string recordBytes, listBytes, digest;
    ASSERT_TRUE(ReadFileText(record, &recordBytes));
    ASSERT_TRUE(ReadFileText(list, &listBytes));
    DWORD type = 0;
    ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey + product, kRecordDigestValue, &type, &digest));
    EXPECT_EQ(64u, strlen(digest.c_str()));
    // Someone else's value, and a file that was there before the product.
    std::string foreign = "HKEY_CURRENT_USER\\" + std::string(kTestsKey) + "Someone Else";
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kTestsKey) + "Someone Else").c_str(), 0,
                                             nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegSetValueExA(key, "Theirs", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
    RegCloseKey(key);
    std::string theirs = destination + "\\theirs.txt";
    ASSERT_TRUE(WriteFileText(theirs, "theirs"));
    std::vector<std::string> before = ListFolder(destination);
    // Another product, installed and sealed by an administrator: its sealed
    // record and list, put in this product's place, name its own key.
    std::string other = "Uninst Sealed Other";
    DeleteKey(HKEY_LOCAL_MACHINE, kUninstallKey + other);
    std::string otherDestination = CaseFolder(other + "-dest") + "\\" + other;
    std::string otherExe = BuildInstaller(CaseFolder(other), "e2e-uninst-other", RemovableProduct(other));
    Installer otherRun;
    ASSERT_TRUE(Start(otherExe, CaseFolder(other + "-temp"), &otherRun, {}, "/S /NODESKTOP /NOSTARTMENU /D=" + otherDestination));
    DWORD otherCode = 99;
    ASSERT_TRUE(WaitExit(&otherRun, 60000, &otherCode));
    ASSERT_EQ(0u, otherCode);
    std::string otherRecord, otherList;
    ASSERT_TRUE(ReadFileText(otherDestination + "\\UnInstall\\UnInst.cfg", &otherRecord));
    ASSERT_TRUE(ReadFileText(otherDestination + "\\UnInstall\\Files.lst", &otherList));

    // A second name of this uninstaller (a hard link) beside copies of its
    // sealed record and list in another folder: the key registers the
    // installed program's own path, so the copies are not obeyed there.
    std::string elsewhere = CaseFolder("Uninst Sealed-link") + "\\UnInstall";
    ASSERT_TRUE(WriteFileText(elsewhere + "\\UnInst.cfg", recordBytes));
    ASSERT_TRUE(WriteFileText(elsewhere + "\\Files.lst", listBytes));
    ASSERT_TRUE(CopyFileA((destination + "\\UnInstall\\Language.lng").c_str(),
                          (elsewhere + "\\Language.lng").c_str(), FALSE));
    ASSERT_TRUE(CreateHardLinkA((elsewhere + "\\UnInst.exe").c_str(),
                                (destination + "\\UnInstall\\UnInst.exe").c_str(), nullptr));
    removerTemp = CaseFolder(product + "-linktemp");
    ASSERT_TRUE(Start(elsewhere + "\\UnInst.exe", removerTemp, &remover, {{"BRONDALE_LAUNCH_LOG", log}}));
    HWND linked = WaitForMessageBox(remover);
    ASSERT_NE(nullptr, linked);
    EXPECT_EQ("The record was changed.\r\n" + elsewhere + "\\UnInst.cfg", ReadBox(linked).text);
    Answer(linked, IDOK);
    DWORD linkedCode = 99;
    ASSERT_TRUE(WaitExit(&remover, 30000, &linkedCode));
    EXPECT_EQ(6u, linkedCode);
    EXPECT_EQ(before, ListFolder(destination)) << "a hard link elsewhere";
    EXPECT_EQ((std::vector<std::string>{"Files.lst", "Language.lng", "UnInst.cfg", "UnInst.exe"}), ListFolder(elsewhere));
    EXPECT_EQ(std::vector<std::string>{}, Starts()) << "a hard link elsewhere: no [RunU] program";

    struct Row {
        const char* label;
        std::string record, list;
        bool dropDigest;
    } rows[] = {
        {"a value of another program added to [reg]",
         recordBytes + "[reg]\r\nmax=9\r\n9=" + foreign + "\r\n[sub]\r\n9=Theirs\r\n", listBytes, false},
        {"a line added to the file list", recordBytes, listBytes + "6 " + Crc("theirs") + " theirs.txt\r\n", false},
        {"another product's sealed record and list", otherRecord, otherList, false},
        {"no digest", recordBytes, listBytes, true},
    };
    for (const Row& r : rows) {
        ASSERT_TRUE(WriteFileText(record, r.record));
        ASSERT_TRUE(WriteFileText(list, r.list));
        if (r.dropDigest) {
            ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kUninstallKey + product).c_str(), 0,
                                                   KEY_SET_VALUE, &key));
            RegDeleteValueA(key, kFileListDigestValue);
            RegCloseKey(key);
        }
        HWND box = StartRemover();
        ASSERT_NE(nullptr, box) << r.label;
        BoxInfo info = ReadBox(box);
        EXPECT_EQ("The record was changed.\r\n" + record, info.text) << r.label;
        EXPECT_TRUE(info.ok && !info.yes) << r.label << ": nothing is asked";
        EXPECT_EQ("error", IconKind(box)) << r.label;
        Answer(box, IDOK);
        DWORD code = 99;
        ASSERT_TRUE(WaitExit(&remover, 30000, &code));
        EXPECT_EQ(6u, code) << r.label;
        EXPECT_EQ(before, ListFolder(destination)) << r.label;
        EXPECT_TRUE(PathExists(theirs)) << r.label;
        EXPECT_TRUE(PathExists(destination + "\\data\\readme.txt")) << r.label;
        EXPECT_TRUE(PathExists(menu + "\\app.exe.lnk")) << r.label;
        EXPECT_TRUE(PathExists(desktop + "\\tool.exe.lnk")) << r.label;
        std::string data;
        EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, std::string(kTestsKey) + "Someone Else", "Theirs", &type, &data));
        EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, kTestsKey + product, "Path", &type, &data)) << r.label;
        EXPECT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey + product, "UninstallString", &type, &data));
        EXPECT_EQ(std::vector<std::string>{}, Starts()) << r.label << ": no [RunU] program";
    }
    DeleteKey(HKEY_CURRENT_USER, std::string(kTestsKey) + "Someone Else");
    EXPECT_TRUE(PathExists(otherDestination + "\\app.exe")) << "the other product is untouched";
    DeleteKey(HKEY_LOCAL_MACHINE, kUninstallKey + other);
    DeleteKey(HKEY_CURRENT_USER, kTestsKey + other);
}

TEST_F(Uninstall, SilentRemovalOfASilentInstallationLeavesNothingOfTheProduct) {
    struct Row {
        const char* product;
        bool userFile;  // the user added a file to the product's folder
        DWORD code;
        const char* tail = "";  // after the destination in /D=
    } rows[] = {
        {"Uninst Silent", false, 0},
        {"Uninst Silent Kept", true, 4},
        {"Uninst Silent Slash", false, 0, "\\"},  // a destination given with its backslash
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.product);
        product = r.product;
        DeleteKey(HKEY_LOCAL_MACHINE, kUninstallKey + product);
        DeleteKey(HKEY_CURRENT_USER, kTestsKey + product);
        desktop = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
        menu = ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\" + product;
        log = CaseFolder(product + "-log") + "\\launches.log";
        std::string parent = CaseFolder(product + "-dest");
        destination = parent + "\\" + product;
        folder = CaseFolder(product + "-setup");
        std::string exe = BuildInstaller(folder, "e2e-" + std::string(r.userFile ? "uninst-kept" : "uninst-silent"),
                                         RemovableProduct(product));
        ASSERT_TRUE(Start(exe, folder + "\\temp", &run, {{"BRONDALE_LAUNCH_LOG", log}},
                          "/S /D=" + destination + r.tail));
        DWORD code = 99;
        ASSERT_TRUE(WaitExit(&run, 60000, &code));
        ASSERT_EQ(0u, code);
        ASSERT_TRUE(PathExists(menu + "\\app.exe.lnk"));
        ASSERT_TRUE(PathExists(desktop + "\\tool.exe.lnk"));
        DWORD type = 0;
        std::string quiet;
        ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey + product, "QuietUninstallString", &type, &quiet));
        DeleteFileA(log.c_str());
        if (r.userFile) {
            ASSERT_TRUE(WriteFileText(destination + "\\data\\notes.txt", "the user's"));
        }

        // What a deployment tool runs: the QuietUninstallString, with a log.
        std::string removeLog = CaseFolder(product + "-removelog") + "\\remove.log";
        removerTemp = CaseFolder(product + "-untemp");
        std::string command = quiet.c_str();
        ASSERT_EQ(0u, command.find('"'));
        size_t close = command.find('"', 1);
        ASSERT_EQ(" /S", command.substr(close + 1));
        ASSERT_TRUE(Start(command.substr(1, close - 1), removerTemp, &remover, {{"BRONDALE_LAUNCH_LOG", log}},
                          "/S \"/LOG=" + removeLog + "\""));
        std::vector<std::string> windows;
        ASSERT_TRUE(WaitExitWatching(&remover, 60000, &code, &windows));
        EXPECT_EQ(r.code, code);
        EXPECT_EQ(std::vector<std::string>{}, windows) << "no question, no message";
        EXPECT_EQ((std::vector<std::string>{"slow.exe:start|" + destination, "slow.exe:end|" + destination,
                                            "app.exe|" + destination, "tool.exe|" + destination + "\\bin"}),
                  Starts());
        ASSERT_TRUE(CleanedUp());
        if (r.userFile)
            EXPECT_EQ(std::vector<std::string>{"notes.txt"}, ListFolder(destination + "\\data"));
        else
            EXPECT_EQ(std::vector<std::string>{}, ListFolder(parent)) << "nothing of the product stays";
        ExpectSystemClean();
        std::string text;
        ASSERT_TRUE(ReadFileText(removeLog, &text));
        EXPECT_TRUE(Contains(text, "silent removal\r\n")) << text;
        EXPECT_TRUE(Contains(text, "[RunU] bin\\tool.com: not started")) << text;
        EXPECT_EQ(r.userFile, Contains(text, destination + "\\data\\notes.txt")) << text;
        EXPECT_TRUE(Contains(text, "exit code: " + std::to_string(r.code) + "\r\n")) << text;
    }
}

// Every folder of the destination tree is held open without delete sharing
// while the installation runs and while the uninstaller removes the files,
// so another process cannot rename one away and put a link in its place:
// nothing goes anywhere but into the destination.
TEST_F(Uninstall, FoldersOfTheDestinationCannotBeRenamedWhileInstallingOrRemoving) {
    const char* const folders[] = {"", "\\data", "\\data\\deep", "\\bin"};
    Install("Uninst Held", "English", RemovableProduct("Uninst Held"), [&] {
        for (const char* folder : folders) {
            EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), RenameError(destination + folder))
                << "installing, " << folder;
            EXPECT_FALSE(PathExists(destination + folder + "-moved"));
        }
    });
    // The folder the destination was made in (asked again by name, it
    // would be emptied).
    std::string parent = destination.substr(0, destination.find_last_of('\\'));
    EXPECT_EQ(std::vector<std::string>{"Uninst Held\\"}, ListFolder(parent)) << "nothing beside the destination";

    HWND question = StartRemover();
    ASSERT_NE(nullptr, question);
    Answer(question, IDYES);
    // The folders are held before the first [RunU] program starts and until
    // the removal ends; slow.exe runs for 700 ms, and the others follow.
    bool started = false;
    for (int i = 0; i < 3000 && !started; ++i) {
        std::vector<std::string> starts = Starts();
        started = !starts.empty() && starts[0] == "slow.exe:start|" + destination;
        if (!started)
            Sleep(10);
    }
    ASSERT_TRUE(started) << ::testing::PrintToString(Starts());
    for (const char* folder : folders)
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), RenameError(destination + folder))
            << "removing, " << folder;
    HWND box = WaitForMessageBox(remover, 30000, question);
    ASSERT_NE(nullptr, box) << "no final message";
    EXPECT_EQ(0u, ReadBox(box).text.find("Removed.")) << ReadBox(box).text;
    Answer(box, IDOK);
    DWORD code = 99;
    ASSERT_TRUE(WaitExit(&remover, 30000, &code));
    EXPECT_EQ(0u, code);
    ASSERT_TRUE(CleanedUp());
    EXPECT_EQ(std::vector<std::string>{}, ListFolder(parent)) << "everything went, and only from the destination";
    ExpectSystemClean();
}

// A silent removal killed at moments spread over its length (the first run,
// not killed, measures it; the last, not killed either, follows them):
// right after each kill the product is still registered exactly while its
// record is whole, unless the removal's journal says the record had begun
// to go; the next run of the uninstaller, if the killed one left it,
// finishes the removal with exit code 0, and then nothing of the product
// stays in its folder or the registry. What a killed run left in the
// temporary folder goes at the next start of a run there (each
// installation runs in the same one), so after the last run nothing stays
// there either.
TEST_F(Uninstall, AKilledRemovalIsFinishedByTheNextRun) {
    product = "Uninst Killed";
    desktop = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    menu = ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\" + product;
    ProductFiles files = BasicProduct(product, {});
    files["install\\UnInst.dat"] = Built("UnInst.exe");
    for (int i = 0; i < 300; ++i)
        files["program\\data\\" + std::to_string(i % 7) + "\\file" + std::to_string(i) + ".txt"] =
            std::string(static_cast<size_t>(100 + i), static_cast<char>('a' + i % 26));
    folder = CaseFolder(product + "-setup");
    std::string exe = BuildInstaller(folder, "e2e-uninst-killed", files);
    std::string parent = CaseFolder(product + "-dest");
    destination = parent + "\\" + product;
    removerTemp = CaseFolder(product + "-untemp");
    std::string record = destination + "\\UnInstall\\";
    DWORD length = 0;
    const int kLast = 8;
    for (int trial = 0; trial <= kLast; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        DWORD code = 99;
        EndStragglers("UnInst.exe");
        ASSERT_TRUE(Start(exe, removerTemp, &run, {}, "/S /D=" + destination));
        ASSERT_TRUE(WaitExit(&run, 60000, &code));
        ASSERT_EQ(0u, code);
        DWORD started = GetTickCount();
        std::string logs = CaseFolder(product + "-logs" + std::to_string(trial));
        ASSERT_TRUE(Start(record + "UnInst.exe", removerTemp, &remover, {}, "/S \"/LOG=" + logs + "\\killed.log\""));
        if (trial == 0 || trial == kLast) {
            EXPECT_TRUE(Running("UnInst.exe")) << "the wait for a clean-up copy below sees the uninstaller";
            ASSERT_TRUE(WaitExit(&remover, 60000, &code));
            length = trial == 0 ? GetTickCount() - started : length;
            ASSERT_EQ(0u, code);
        } else {
            Sleep(length * static_cast<DWORD>(trial) / 8);
            Kill(&remover);
            // A clean-up copy that the killed run had started is the end of
            // that run: the next one comes after it. Under Wine a copy whose
            // uninstaller was ended while it created it may hang in its own
            // start-up and never run a line; such a copy is ended as well,
            // and its folder goes at the next start.
            for (int i = 0; i < 500 && Running("UnInst.exe"); ++i)
                Sleep(20);
            EndStragglers("UnInst.exe");
            bool key = KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey + product);
            EXPECT_TRUE(key == PathExists(record + "UnInst.cfg") || PathExists(record + "UnInst.jnl"))
                << "registered " << key << " after " << length * static_cast<DWORD>(trial) / 8 << " ms";
            if (PathExists(record + "UnInst.exe")) {
                ASSERT_TRUE(Start(record + "UnInst.exe", removerTemp, &remover, {}, "/S \"/LOG=" + logs + "\\next.log\""));
                ASSERT_TRUE(WaitExit(&remover, 60000, &code));
                EXPECT_EQ(0u, code) << "the run after the kill";
            }
        }
        bool cleaned = true;
        if (trial == 0 || trial == kLast) {
            cleaned = CleanedUp();
        } else {
            for (int i = 0; i < 500 && PathExists(destination); ++i)
                Sleep(20);
        }
        std::string killedLog, nextLog;
        ReadFileText(logs + "\\killed.log", &killedLog);
        ReadFileText(logs + "\\next.log", &nextLog);
        ASSERT_TRUE(cleaned && !PathExists(destination)) << killedLog << "\n----\n" << nextLog << "\nrunning "
                                                         << Running("UnInst.exe");
        EXPECT_EQ(std::vector<std::string>{}, ListFolder(parent)) << "nothing of the product stays";
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey + product));
    }
}
