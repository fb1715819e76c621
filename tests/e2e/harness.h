// The end-to-end harness: runs in the same Wine prefix as the installer, packs
// installers with the packing tool, starts them and drives their pages from
// outside through the Win32 API, as a user's clicks would.
#ifndef BRONDALE_TESTS_E2E_HARNESS_H
#define BRONDALE_TESTS_E2E_HARNESS_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// Files of a product folder: relative path (backslashes) to content.
using ProductFiles = std::map<std::string, std::string>;

// A fresh folder for one test case, below the harness's temporary folder.
std::string CaseFolder(const std::string& name);
// Deletes folder and everything below it (read-only files too).
void DeleteTree(const std::string& folder);
// Writes files below folder, creating subfolders.
void WriteTree(const std::string& folder, const ProductFiles& files);
bool WriteFileText(const std::string& path, const std::string& text);
bool ReadFileText(const std::string& path, std::string* text);
bool PathExists(const std::string& path);
// Names inside a folder (no "." and ".."), sorted; folders end in a backslash.
std::vector<std::string> ListFolder(const std::string& folder);

// One file as found on disk: bytes, attributes and modification time.
struct Seen {
    std::string bytes;
    DWORD attributes = 0;
    FILETIME written{};
    bool operator==(const Seen& o) const {
        return bytes == o.bytes && attributes == o.attributes && CompareFileTime(&written, &o.written) == 0;
    }
};
// Every file below folder (and every folder, as "name\\" with nothing seen),
// by its path relative to folder.
std::map<std::string, Seen> Snapshot(const std::string& folder, const std::string& relative = "");

// Folder of the harness's own executable, where brondale.exe and
// brondale-pack.exe are built.
std::string BuildFolder();
// Packs product into installer with brondale-pack.exe; false with the tool's
// output in *log when it fails.
// Runs a command line, waits for it (two minutes at most) and returns its
// exit code (99 when it could not start) with its output.
int RunTool(const std::string& command, std::string* output);
// options go on the tool's command line (say, "--force").
bool Pack(const std::string& product, const std::string& installer, std::string* log, const std::string& options = "");

// A small product: one language file per name (text 3 translated as the
// language's name), init.cfg naming the product, an uninstaller and a file.
ProductFiles BasicProduct(const std::string& name, const std::vector<std::string>& languages);
// Where the Lang section of an installer file starts: right after the
// package signature, found as the installer finds it (the installer program
// before it is longer than brondale.exe once its resources are rewritten).
size_t FirstSectionAt(const std::string& installer);

// Writes files into CASE\product and packs them into CASE\exeName.exe.
std::string BuildInstaller(const std::string& caseFolder, const std::string& exeName, const ProductFiles& files,
                           const std::string& packOptions = "");

struct Installer {
    PROCESS_INFORMATION process{};
    std::string tempFolder;  // what the installer sees as TMP and TEMP
};

// Starts exe with TMP and TEMP set to tempFolder (created if missing) and
// the extra environment variables given; arguments follow the program's
// quoted name on its command line.
bool Start(const std::string& exe, const std::string& tempFolder, Installer* run,
           const std::map<std::string, std::string>& extra = {}, const std::string& arguments = "");
// The same with the unelevated half of the harness's own token (its linked
// token), as a desktop shell starts what its user opens: under Wine every
// process the harness starts otherwise reads as the elevated half, which
// installs in one process; started this way the installer is the user's
// half and starts an elevated half of its own.
bool StartUnelevated(const std::string& exe, const std::string& tempFolder, Installer* run,
                     const std::map<std::string, std::string>& extra = {}, const std::string& arguments = "");
// The process and every process it started, and those they started.
std::vector<DWORD> ProcessTree(DWORD pid);
// The same with a temporary folder and arguments given letter for letter
// (UTF-16), for names that the code page cannot write; the environment is
// otherwise the harness's own.
bool StartWide(const std::string& exe, const std::wstring& tempFolder, Installer* run, const std::wstring& arguments);
// Waits for the process to end; false on a timeout. Ends a process that is
// still running when the test gives up on it.
bool WaitExit(Installer* run, DWORD timeoutMs, DWORD* exitCode);
void Kill(Installer* run);
// WaitExit for a run that must show nothing: until the process ends, looks
// every few milliseconds for top-level windows of its process and the
// processes it started, visible or not, and adds each one's class and
// caption to *seen once.
bool WaitExitWatching(Installer* run, DWORD timeoutMs, DWORD* exitCode, std::vector<std::string>* seen);

// Visible top-level dialog windows of a process and of the processes it
// started (an elevated half's pages among them).
std::vector<HWND> Dialogs(DWORD pid);
// True for a message box (it has the static text control 0xFFFF).
bool IsMessageBox(HWND window);
// Waits for a visible page (not a message box) of the process with the given
// caption, or any page when caption is null.
HWND WaitForPage(const Installer& run, const char* caption, DWORD timeoutMs = 20000);
// Waits for a message box of the process other than besides.
HWND WaitForMessageBox(const Installer& run, DWORD timeoutMs = 20000, HWND besides = nullptr);

// Window texts in code page 1250, read across the process boundary.
std::string Text(HWND window);
std::string ItemText(HWND dialog, int id);
std::vector<std::string> ComboItems(HWND combo);
int ComboSelection(HWND combo);

// Replaces a control's text as typing would (the edit notifies its page).
void SetItemText(HWND dialog, int id, const std::string& text);
// Polls until done() holds, for timeoutMs at most.
bool WaitUntil(bool (*done)(HWND), HWND window, DWORD timeoutMs = 5000);
// The Program Files folder as the installer's shell reports it.
std::string ProgramFilesFolder();
// A shortcut file read back through IShellLink.
struct Shortcut {
    bool found = false;
    std::string target, folder, description;
};
Shortcut ReadShortcut(const std::string& path);
// A shell folder (CSIDL_...) of this prefix.
std::string ShellFolder(int csidl);
// A registry value: false when it is missing.
bool ReadValue(HKEY root, const std::string& key, const char* name, DWORD* type, std::string* data);
// Removes a key and everything below it.
void DeleteKey(HKEY root, const std::string& key);

// The scratch folders (Brondale and 16 hexadecimal digits) in a TEMP folder.
std::vector<std::string> ScratchFolders(const std::string& temp);
// The scratch settings value of key in the installer's scratch folder.
std::string ScratchKey(const std::string& scratch, const char* key);

// The DACL of a file or folder in its text form (SDDL), "" when it cannot be
// read; and whether such a DACL grants Everyone, Users or Authenticated
// Users anything.
std::string FolderDacl(const std::string& path);
bool LetsOthersIn(const std::string& dacl);

// Presses a button as a click would (posted, so a modal dialog it opens does
// not block the harness).
void Click(HWND dialog, int id);
// Answers a message box with the button of that id.
void Answer(HWND box, int id);

// What a message box says: text, caption, which standard buttons it has.
struct BoxInfo {
    std::string text;
    std::string caption;
    bool ok = false, yes = false, no = false, icon = false;
};
BoxInfo ReadBox(HWND box);
// "question", "error", "warning" or "information": the system icon a message
// box shows, compared by its pixels on the screen.
std::string IconKind(HWND box);

#endif
