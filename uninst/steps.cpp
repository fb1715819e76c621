// The uninstaller's steps. Nothing is removed that the record or the file
// list does not name, and a file is only removed while it is still the one
// the installer wrote.
#include "uninst/steps.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

#include "base/installed.h"
#include "base/regread.h"
#include "base/switches.h"
#include "trust/program.h"

namespace {

std::string Parent(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool Gone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = "";
    return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path)) ? path : "";
}

// Removes folder and the empty folders above it while they lie below top.
void RemoveEmptyFoldersBelow(std::string folder, const std::string& top) {
    while (IsBelow(folder, top) && RemoveDirectoryA(folder.c_str()))
        folder = Parent(folder);
}

// The uninstaller's roots are in the order of kRegistryRoots.
HKEY RootKey(RegistryRoot root) { return RegistryRootKey(static_cast<short>(root)); }

const char* RootName(RegistryRoot root) { return kRegistryRoots[root]; }

// Deletes key and everything below it; the result of the last deletion.
LONG DeleteKeyTree(HKEY root, const std::string& key) {
    HKEY h;
    LONG status = RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h);
    if (status != ERROR_SUCCESS)
        return status;
    std::vector<std::string> children;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(h, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.push_back(name);
    }
    RegCloseKey(h);
    for (const std::string& child : children)
        DeleteKeyTree(root, key + "\\" + child);
    return RegDeleteKeyA(root, key.c_str());
}

// Deletes key when it holds no values and no subkeys, then its parent the
// same way, stopping at the first key that holds something or sits directly
// under the root.
void RemoveEmptyKeys(HKEY root, std::string key) {
    while (key.find('\\') != std::string::npos) {
        HKEY h;
        if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
            return;
        DWORD subkeys = 1, values = 1;
        LONG status = RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                       nullptr, nullptr, nullptr);
        RegCloseKey(h);
        if (status != ERROR_SUCCESS || subkeys != 0 || values != 0 || RegDeleteKeyA(root, key.c_str()) != ERROR_SUCCESS)
            return;
        key = Parent(key);
    }
}

void Collect(const std::string& folder, const std::string& skip, std::vector<std::string>* files, bool* any) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string path = folder + "\\" + name;
        if (lstrcmpiA(path.c_str(), skip.c_str()) == 0)
            continue;
        *any = true;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                Collect(path, skip, files, any);
        } else {
            files->push_back(path);
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

}  // namespace

void RunFirst(const std::string& destination, const std::vector<std::string>& programs) {
    for (const std::string& program : programs) {
        // A program itself, never a document: a document would open in the
        // handler that the user's own class registrations name, as
        // administrator.
        if (!StaysInside(program) || !IsProgramPath(program.c_str())) {
            LogLine("[RunU] %s: not started, not a program inside the product's folder", program.c_str());
            continue;
        }
        std::string path = destination + "\\" + program;
        std::string folder = Parent(path);
        std::string line = "\"" + path + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(path.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                            &process)) {
            LogLine("[RunU] %s: could not be started (error %lu)", path.c_str(),
                    static_cast<unsigned long>(GetLastError()));
            continue;
        }
        CloseHandle(process.hThread);
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hProcess);
        LogLine("[RunU] %s: started and ended", path.c_str());
    }
}

void RemoveShortcuts(const UninstallRecord& record, Outcome* outcome, InstallScope scope) {
    std::string product, name;
    bool forUser = scope == kScopeUser;
    std::string desktop = ShellFolder(forUser ? CSIDL_DESKTOPDIRECTORY : CSIDL_COMMON_DESKTOPDIRECTORY);
    std::string programs = ShellFolder(forUser ? CSIDL_PROGRAMS : CSIDL_COMMON_PROGRAMS);
    std::string menu = IsProductUninstallKey(record.productKey, &product, &name) && !programs.empty()
                           ? programs + "\\" + name
                           : std::string();
    for (const std::string& shortcut : record.shortcuts) {
        if (!IsOwnShortcut(shortcut, desktop, menu))
            continue;
        if (!DeleteFileA(shortcut.c_str())) {
            DWORD error = GetLastError();
            if (!Gone(error)) {
                outcome->failed.push_back(shortcut);
                continue;
            }
        }
        RemoveEmptyFoldersBelow(Parent(shortcut), programs);
    }
}

void RemoveEntry(const UninstallRecord& record, Outcome* outcome, InstallScope scope) {
    std::string product;
    if (!IsProductUninstallKey(record.productKey, &product))
        return;
    RegistryRoot root = static_cast<RegistryRoot>(UninstallRoot(scope));
    LONG status = DeleteKeyTree(RootKey(root), record.productKey);
    if (status != ERROR_SUCCESS && !Gone(static_cast<DWORD>(status)))
        outcome->failed.push_back(std::string(kRegistryRoots[root]) + "\\" + record.productKey);
}

void RemoveValues(const UninstallRecord& record, Outcome* outcome) {
    for (const RecordedValue& value : record.values) {
        std::string subkey;
        RegistryRoot root = SplitRegistryPath(value.key, &subkey);
        if (root == kNoRoot || !value.named)
            continue;
        HKEY h;
        if (RegOpenKeyExA(RootKey(root), subkey.c_str(), 0, KEY_SET_VALUE | KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
            continue;
        LONG status = RegDeleteValueA(h, value.name.c_str());
        RegCloseKey(h);
        if (status != ERROR_SUCCESS && !Gone(static_cast<DWORD>(status)))
            outcome->failed.push_back(std::string(RootName(root)) + "\\" + subkey + " (" + value.name + ")");
        RemoveEmptyKeys(RootKey(root), subkey);
    }
}

void ListLeftovers(const std::string& destination, const std::string& uninstallFolder, bool uninstallerStays,
                   Outcome* outcome) {
    std::vector<std::string> files;
    bool any = false;
    Collect(destination, uninstallFolder, &files, &any);
    for (const std::string& file : files)
        if (std::find(outcome->failed.begin(), outcome->failed.end(), file) == outcome->failed.end())
            outcome->kept.push_back(file);
    outcome->folderKept = any || uninstallerStays;
}
