// The end-to-end harness. Everything goes through the Win32 API of the same
// Wine prefix; texts are read as UTF-16 and converted to code page 1250,
// because ANSI messages across processes are not converted back by Wine.
#include "harness.h"

#include <aclapi.h>
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <objbase.h>
#include <sddl.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include "base/format.h"

namespace {

std::string FromWide(const wchar_t* text, int length) {
    if (length <= 0)
        return std::string();
    int n = WideCharToMultiByte(1250, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(1250, 0, text, length, &out[0], n, nullptr, nullptr);
    return out;
}

void CreateFolders(const std::string& path) {
    for (size_t i = 3; i < path.size(); ++i)
        if (path[i] == '\\')
            CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
}

// Wide, so that a name the code page cannot write (a test's user folder in
// another script) goes too.
void DeleteTreeW(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = folder + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTreeW(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

} // namespace

void DeleteTree(const std::string& folder) {
    wchar_t wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wide, MAX_PATH))
        DeleteTreeW(wide);
}

std::string CaseFolder(const std::string& name) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string folder = std::string(temp) + "brondale-e2e\\" + name;
    DeleteTree(folder);
    CreateFolders(folder + "\\");
    return folder;
}

bool WriteFileText(const std::string& path, const std::string& text) {
    CreateFolders(path);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    bool ok = text.empty() || (WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &put, nullptr) &&
                               put == text.size());
    CloseHandle(h);
    return ok;
}

bool ReadFileText(const std::string& path, std::string* text) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    text->clear();
    char block[65536];
    DWORD got = 0;
    while (ReadFile(h, block, sizeof block, &got, nullptr) && got > 0)
        text->append(block, got);
    CloseHandle(h);
    return true;
}

void WriteTree(const std::string& folder, const ProductFiles& files) {
    for (const auto& f : files)
        WriteFileText(folder + "\\" + f.first, f.second);
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        names.push_back(name + ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? "\\" : ""));
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

std::string BuildFolder() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s = path;
    return s.substr(0, s.find_last_of('\\'));
}

int RunTool(const std::string& command, std::string* output) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    char logFile[MAX_PATH];
    GetTempFileNameA(temp, "brt", 0, logFile);
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE out = CreateFileA(logFile, GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = out;
    si.hStdInput = INVALID_HANDLE_VALUE;
    PROCESS_INFORMATION pi{};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    DWORD code = 99;
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        WaitForSingleObject(pi.hProcess, 120000);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(out);
    ReadFileText(logFile, output);
    DeleteFileA(logFile);
    return static_cast<int>(code);
}

size_t FirstSectionAt(const std::string& installer) {
    unsigned short state = 0;
    for (size_t i = kPackageStart; i < installer.size(); ++i) {
        state = MatchSignatureByte(state, static_cast<unsigned char>(installer[i]));
        if (state == kSignatureSize)
            return i + 1;
    }
    return installer.size();
}

bool Pack(const std::string& product, const std::string& installer, std::string* log, const std::string& options) {
    std::string folder = BuildFolder();
    return RunTool("\"" + folder + "\\brondale-pack.exe\" \"" + product + "\" -o \"" + installer + "\" --stub \"" + folder +
                       "\\brondale.exe\" " + options,
                   log) == 0;
}

namespace {

bool StartWith(HANDLE token, const std::string& exe, const std::string& tempFolder, Installer* run,
               const std::map<std::string, std::string>& extra, const std::string& arguments) {
    run->tempFolder = tempFolder;
    CreateFolders(tempFolder + "\\");
    // The environment of the harness, with TMP and TEMP pointing elsewhere.
    std::string block;
    char* env = GetEnvironmentStringsA();
    for (char* p = env; *p; p += strlen(p) + 1) {
        std::string var = p;
        std::string upper = var.substr(0, 5);
        std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
        if (upper.compare(0, 4, "TMP=") == 0 || upper == "TEMP=")
            continue;
        block += var;
        block.push_back('\0');
    }
    FreeEnvironmentStringsA(env);
    block += "TMP=" + tempFolder;
    block.push_back('\0');
    block += "TEMP=" + tempFolder;
    block.push_back('\0');
    for (const auto& e : extra) {
        block += e.first + "=" + e.second;
        block.push_back('\0');
    }
    block.push_back('\0');

    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string command = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (token)
        return CreateProcessAsUserA(token, exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, &block[0], nullptr,
                                    &si, &run->process) != 0;
    return CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, &block[0], nullptr, &si,
                          &run->process) != 0;
}

} // namespace

bool Start(const std::string& exe, const std::string& tempFolder, Installer* run,
           const std::map<std::string, std::string>& extra, const std::string& arguments) {
    return StartWith(nullptr, exe, tempFolder, run, extra, arguments);
}

bool StartUnelevated(const std::string& exe, const std::string& tempFolder, Installer* run,
                     const std::map<std::string, std::string>& extra, const std::string& arguments) {
    HANDLE own = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own))
        return false;
    TOKEN_LINKED_TOKEN linked{};
    DWORD got = 0;
    bool have = GetTokenInformation(own, TokenLinkedToken, &linked, sizeof linked, &got) && linked.LinkedToken;
    CloseHandle(own);
    if (!have)
        return false;
    bool started = StartWith(linked.LinkedToken, exe, tempFolder, run, extra, arguments);
    CloseHandle(linked.LinkedToken);
    return started;
}

std::vector<DWORD> ProcessTree(DWORD pid) {
    std::vector<DWORD> tree = {pid};
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return tree;
    std::vector<std::pair<DWORD, DWORD>> all;  // process, parent
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        all.push_back({entry.th32ProcessID, entry.th32ParentProcessID});
    CloseHandle(snapshot);
    for (size_t i = 0; i < tree.size(); ++i)
        for (const auto& p : all)
            if (p.second == tree[i] && p.first != pid && std::find(tree.begin(), tree.end(), p.first) == tree.end())
                tree.push_back(p.first);
    return tree;
}

bool StartWide(const std::string& exe, const std::wstring& tempFolder, Installer* run, const std::wstring& arguments) {
    run->tempFolder.clear();
    std::wstring block;
    wchar_t* env = GetEnvironmentStringsW();
    for (wchar_t* p = env; *p; p += wcslen(p) + 1) {
        if (_wcsnicmp(p, L"TMP=", 4) != 0 && _wcsnicmp(p, L"TEMP=", 5) != 0)
            block.append(p, wcslen(p) + 1);
    }
    FreeEnvironmentStringsW(env);
    for (const wchar_t* name : {L"TMP=", L"TEMP="}) {
        block += name + tempFolder;
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    wchar_t converted[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, exe.c_str(), -1, converted, MAX_PATH))
        return false;
    std::wstring wideExe = converted;
    std::wstring command = L"\"" + wideExe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    return CreateProcessW(wideExe.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                          &block[0], nullptr, &si, &run->process) != 0;
}

bool WaitExit(Installer* run, DWORD timeoutMs, DWORD* exitCode) {
    if (!run->process.hProcess)
        return false;
    if (WaitForSingleObject(run->process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        Kill(run);
        return false;
    }
    GetExitCodeProcess(run->process.hProcess, exitCode);
    CloseHandle(run->process.hProcess);
    CloseHandle(run->process.hThread);
    run->process = PROCESS_INFORMATION{};
    return true;
}

void Kill(Installer* run) {
    if (!run->process.hProcess)
        return;
    TerminateProcess(run->process.hProcess, 99);
    WaitForSingleObject(run->process.hProcess, 5000);
    CloseHandle(run->process.hProcess);
    CloseHandle(run->process.hThread);
    run->process = PROCESS_INFORMATION{};
}

namespace {

struct Search {
    std::vector<DWORD> tree;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND w, LPARAM p) {
    Search* s = reinterpret_cast<Search*>(p);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    char cls[16] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (std::find(s->tree.begin(), s->tree.end(), owner) != s->tree.end() && IsWindowVisible(w) &&
        strcmp(cls, "#32770") == 0)
        s->found.push_back(w);
    return TRUE;
}

} // namespace

namespace {

struct Watch {
    std::vector<DWORD> tree;
    std::vector<HWND>* known;
    std::vector<std::string>* seen;
};

BOOL CALLBACK NoteWindow(HWND w, LPARAM p) {
    Watch* watch = reinterpret_cast<Watch*>(p);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (std::find(watch->tree.begin(), watch->tree.end(), owner) == watch->tree.end() ||
        std::find(watch->known->begin(), watch->known->end(), w) != watch->known->end())
        return TRUE;
    watch->known->push_back(w);
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    watch->seen->push_back(std::string(cls) + " \"" + Text(w) + "\"" + (IsWindowVisible(w) ? " visible" : ""));
    return TRUE;
}

} // namespace

bool WaitExitWatching(Installer* run, DWORD timeoutMs, DWORD* exitCode, std::vector<std::string>* seen) {
    std::vector<HWND> known;
    Watch watch{{}, &known, seen};
    for (DWORD waited = 0; waited < timeoutMs; waited += 5) {
        // The tree is taken again every 100 ms: an elevated half comes later.
        if (waited % 100 == 0)
            watch.tree = ProcessTree(run->process.dwProcessId);
        EnumWindows(NoteWindow, reinterpret_cast<LPARAM>(&watch));
        if (WaitForSingleObject(run->process.hProcess, 5) == WAIT_OBJECT_0)
            return WaitExit(run, 0, exitCode);
    }
    return WaitExit(run, 0, exitCode);
}

std::vector<HWND> Dialogs(DWORD pid) {
    Search search{ProcessTree(pid), {}};
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool IsMessageBox(HWND window) { return GetDlgItem(window, 0xFFFF) != nullptr; }

HWND WaitForPage(const Installer& run, const char* caption, DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 20) {
        for (HWND w : Dialogs(run.process.dwProcessId))
            if (!IsMessageBox(w) && (!caption || Text(w) == caption))
                return w;
        Sleep(20);
    }
    return nullptr;
}

HWND WaitForMessageBox(const Installer& run, DWORD timeoutMs, HWND besides) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 20) {
        for (HWND w : Dialogs(run.process.dwProcessId))
            if (w != besides && IsMessageBox(w))
                return w;
        Sleep(20);
    }
    return nullptr;
}

std::string Text(HWND window) {
    wchar_t buffer[1024];
    LRESULT n = SendMessageW(window, WM_GETTEXT, sizeof buffer / sizeof buffer[0], reinterpret_cast<LPARAM>(buffer));
    return FromWide(buffer, static_cast<int>(n));
}

std::string ItemText(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    return item ? Text(item) : "<no control " + std::to_string(id) + ">";
}

std::vector<std::string> ComboItems(HWND combo) {
    std::vector<std::string> items;
    LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t buffer[256] = L"";
        LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
        if (length < 0 || length >= 256)
            continue;
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buffer));
        items.push_back(FromWide(buffer, static_cast<int>(length)));
    }
    return items;
}

int ComboSelection(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)); }

void Click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void Answer(HWND box, int id) { PostMessageA(GetDlgItem(box, id), BM_CLICK, 0, 0); }

BoxInfo ReadBox(HWND box) {
    BoxInfo info;
    info.text = ItemText(box, 0xFFFF);
    info.caption = Text(box);
    info.ok = GetDlgItem(box, IDOK) != nullptr;
    info.yes = GetDlgItem(box, IDYES) != nullptr;
    info.no = GetDlgItem(box, IDNO) != nullptr;
    info.icon = GetDlgItem(box, 0x440) != nullptr;
    return info;
}

namespace {

// Pixels of a 32 x 32 icon drawn on a background colour.
std::vector<COLORREF> Render(HICON icon, COLORREF background) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 32, 32);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all = {0, 0, 32, 32};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    DrawIconEx(dc, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            pixels.push_back(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return pixels;
}

long Distance(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b) {
    long d = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        d += abs(GetRValue(a[i]) - GetRValue(b[i])) + abs(GetGValue(a[i]) - GetGValue(b[i])) +
             abs(GetBValue(a[i]) - GetBValue(b[i]));
    return d;
}

} // namespace

// Which system icon a message box shows, told by its pixels: handles of
// system icons differ between processes, their images do not.
std::string IconKind(HWND box) {
    HWND icon = GetDlgItem(box, 0x440);
    if (!icon)
        return "none";
    struct Kind {
        const char* name;
        LPCSTR id;
    } kinds[] = {{"question", IDI_QUESTION}, {"error", IDI_ERROR}, {"warning", IDI_WARNING},
                 {"information", IDI_INFORMATION}};
    std::string best = "unknown";
    // Other windows on the display (the unit tests' pages) must not cover it.
    SetWindowPos(box, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // A box that has just appeared may not be painted yet: look again until
    // one icon matches to the pixel, for two seconds at most.
    for (int attempt = 0; attempt < 100; ++attempt) {
        RECT r;
        GetWindowRect(icon, &r);
        HDC screen = GetDC(nullptr);
        std::vector<COLORREF> shown;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                shown.push_back(GetPixel(screen, r.left + x, r.top + y));
        ReleaseDC(nullptr, screen);
        long bestDistance = -1;
        for (const Kind& k : kinds) {
            long d = Distance(shown, Render(LoadIconA(nullptr, k.id), shown[0]));
            if (bestDistance < 0 || d < bestDistance) {
                best = k.name;
                bestDistance = d;
            }
        }
        if (bestDistance == 0)
            break;
        Sleep(20);
    }
    return best;
}

ProductFiles BasicProduct(const std::string& name, const std::vector<std::string>& languages) {
    ProductFiles files;
    for (const std::string& l : languages)
        files["lang\\" + l + ".lng"] = "[lng]\r\n3=" + l + "\r\n";
    files["install\\init.cfg"] = "[cfg]\r\n1=" + name + "\r\n";
    files["install\\UnInst.dat"] = "MZ uninstaller";
    files["program\\" + name + ".txt"] = name;
    return files;
}

std::string BuildInstaller(const std::string& caseFolder, const std::string& exeName, const ProductFiles& files,
                           const std::string& packOptions) {
    std::string product = caseFolder + "\\product";
    WriteTree(product, files);
    std::string installer = caseFolder + "\\" + exeName + ".exe";
    std::string log;
    EXPECT_TRUE(Pack(product, installer, &log, packOptions)) << log;
    return installer;
}

void SetItemText(HWND dialog, int id, const std::string& text) {
    int n = MultiByteToWideChar(1250, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(1250, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

bool WaitUntil(bool (*done)(HWND), HWND window, DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 20) {
        if (done(window))
            return true;
        Sleep(20);
    }
    return done(window);
}

std::string ProgramFilesFolder() {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, path);
    return path;
}

std::string ScratchKey(const std::string& scratch, const char* key) {
    char value[MAX_PATH] = "";
    GetPrivateProfileStringA("t1", key, "", value, sizeof value, (scratch + "\\init.cfg").c_str());
    return value;
}

std::vector<std::string> ScratchFolders(const std::string& temp) {
    std::vector<std::string> found;
    for (const std::string& name : ListFolder(temp)) {
        if (name.size() == 25 && name.compare(0, 8, "Brondale") == 0 && name.back() == '\\' &&
            name.find_first_not_of("0123456789abcdef", 8) == 24)
            found.push_back(temp + "\\" + name.substr(0, name.size() - 1));
    }
    return found;
}


Shortcut ReadShortcut(const std::string& path) {
    Shortcut result;
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            WCHAR wide[MAX_PATH];
            MultiByteToWideChar(1250, 0, path.c_str(), -1, wide, MAX_PATH);
            if (SUCCEEDED(file->Load(wide, STGM_READ))) {
                char text[MAX_PATH];
                result.found = true;
                if (SUCCEEDED(link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH)))
                    result.target = text;
                if (SUCCEEDED(link->GetWorkingDirectory(text, sizeof text)))
                    result.folder = text;
                if (SUCCEEDED(link->GetDescription(text, sizeof text)))
                    result.description = text;
            }
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return result;
}

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
    return path;
}

bool ReadValue(HKEY root, const std::string& key, const char* name, DWORD* type, std::string* data) {
    HKEY h;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    bool ok = RegQueryValueExA(h, name, nullptr, type, nullptr, &size) == ERROR_SUCCESS;
    if (ok) {
        data->assign(size, '\0');
        ok = RegQueryValueExA(h, name, nullptr, type, reinterpret_cast<BYTE*>(&(*data)[0]), &size) == ERROR_SUCCESS;
        data->resize(size);
    }
    RegCloseKey(h);
    return ok;
}

void DeleteKey(HKEY root, const std::string& key) { RegDeleteTreeA(root, key.c_str()); }

std::string FolderDacl(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return "";
    LPSTR text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                         &text, nullptr);
    std::string dacl = text ? text : "";
    LocalFree(text);
    LocalFree(descriptor);
    return dacl;
}

bool LetsOthersIn(const std::string& dacl) {
    for (const char* other : {";WD)", ";BU)", ";AU)", ";S-1-1-0)", ";S-1-5-32-545)", ";S-1-5-11)"})
        if (dacl.find(other) != std::string::npos)
            return true;
    return false;
}

// Every file below folder with bytes, attributes and modification time.
std::map<std::string, Seen> Snapshot(const std::string& folder, const std::string& relative) {
    std::map<std::string, Seen> out;
    std::string here = relative.empty() ? folder : folder + "\\" + relative;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((here + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return out;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string sub = relative.empty() ? name : relative + "\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            std::map<std::string, Seen> inner = Snapshot(folder, sub);
            out.insert(inner.begin(), inner.end());
            out[sub + "\\"] = Seen{};
            continue;
        }
        Seen s;
        EXPECT_TRUE(ReadFileText(folder + "\\" + sub, &s.bytes)) << sub;
        s.attributes = entry.dwFileAttributes;
        s.written = entry.ftLastWriteTime;
        out[sub] = s;
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return out;
}
