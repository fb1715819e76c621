// Removing the uninstaller once it has ended. The copy goes into a new
// protected folder of the temporary folder and is opened with
// FILE_FLAG_DELETE_ON_CLOSE; that handle is inherited by the copy's own
// process: when the copy ends, the last handle closes and the file is
// deleted (Wine deletes it too, once the ended copy's image is gone).
#include "uninst/cleanup.h"

#include <windows.h>

#include <cstdlib>

#include "base/format.h"
#include "base/installed.h"
#include "package/journalformat.h"
#include "trust/codepage.h"
#include "trust/held.h"

namespace {

std::string Parent(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Deletes path, trying again for up to five seconds while it is still in use
// (the ended uninstaller's image may be released a moment after its end).
void DeleteWithRetries(const std::string& path) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (DeleteFileA(path.c_str()) || GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            return;
        Sleep(100);
    }
}

// Lets the copy's own folder go after the copy: a handle of this process,
// opened after the inherited one of the file, deletes the folder when it
// closes at the end, if the file has gone by then; and the folder is also
// marked for deletion at the next start of Windows. (Wine keeps the running
// file until the program's image is gone, after its handles, so there the
// empty folder waits for that start.)
void RemoveOwnFolderAtEnd() {
    char self[MAX_PATH], system[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    if (n == 0 || n >= sizeof self || !GetSystemDirectoryA(system, sizeof system))
        return;
    std::string folder = Parent(self);
    // The current folder is held open without delete sharing.
    SetCurrentDirectoryA(system);
    CreateFileA(folder.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    MoveFileExA(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// Waits for the uninstaller that started this copy to end. original is
// "handle.process": the inherited handle of that process and its id. A
// handle that is not that process's (the uninstaller was ended while it
// started the copy, and the number names another object here) is not
// waited on; the process is then opened by its id, if it still runs.
void WaitForOriginal(const char* original) {
    char* dot = nullptr;
    HANDLE inherited = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(strtoul(original, &dot, 10)));
    DWORD process = *dot == '.' ? strtoul(dot + 1, nullptr, 10) : 0;
    HANDLE wait = inherited && GetProcessId(inherited) == process ? inherited : nullptr;
    if (!wait && process)
        wait = OpenProcess(SYNCHRONIZE, FALSE, process);
    if (wait) {
        WaitForSingleObject(wait, 60000);
        CloseHandle(wait);
    }
}

}  // namespace

bool CreatePrivateFolder(std::string* folder, HANDLE* held) {
    char temp[MAX_PATH], digits[17];
    if (UsableTempFolder(temp, sizeof temp) == kTempNone || !RandomHex(digits, 8))
        return false;
    std::string name = std::string(temp) + kInstallerName + "UnInst" + digits;
    *held = CreateHeldFolder(name.c_str());
    if (*held == INVALID_HANDLE_VALUE)
        return false;
    *folder = name;
    return true;
}

bool StartCleanup(const std::string& uninstallFolder) {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    if (n == 0 || n >= sizeof self)
        return false;
    std::string folder;
    HANDLE held = INVALID_HANDLE_VALUE;
    if (!CreatePrivateFolder(&folder, &held))
        return false;
    std::string copy = folder + "\\" + kUninstallerFile;
    if (!CopyFileA(self, copy.c_str(), TRUE)) {
        ReleaseHeld(&held);
        RemoveDirectoryA(folder.c_str());
        return false;
    }

    // Open against writers from here on; the copy inherits the handle, so
    // the file goes when the copy ends.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileA(copy.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit, OPEN_EXISTING,
                              FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileA(copy.c_str());
        ReleaseHeld(&held);
        RemoveDirectoryA(folder.c_str());
        return false;
    }
    HANDLE original = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &original, SYNCHRONIZE, TRUE, 0);
    std::string command = "\"" + copy + "\" " + kCleanupSwitch + " " +
                          std::to_string(reinterpret_cast<uintptr_t>(original)) + "." +
                          std::to_string(GetCurrentProcessId()) + " \"" + uninstallFolder + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    // The copy works in its own folder, so that no process keeps the
    // uninstaller's folder as its current folder and nothing is looked up
    // in a folder that others can write.
    BOOL started = CreateProcessA(copy.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &si,
                                  &pi);
    if (started) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    if (original)
        CloseHandle(original);
    CloseHandle(file);
    // Held until the copy runs from it; the copy removes it at its end.
    ReleaseHeld(&held);
    if (!started)
        RemoveDirectoryA(folder.c_str());
    return started != FALSE;
}

int RunCleanup(const char* originalHandle, const std::string& uninstallFolder) {
    size_t slash = uninstallFolder.find_last_of('\\');
    if (slash == std::string::npos || lstrcmpiA(uninstallFolder.c_str() + slash + 1, kRecordFolder) != 0) {
        RemoveOwnFolderAtEnd();
        return 1;
    }
    WaitForOriginal(originalHandle);
    // The removal's journal last: a cleanup stopped before it is finished by
    // the next run of the installer or of a program left here.
    for (const char* name : {kRecordFile, kFileListFile, kLanguageRecordFile, kUninstallerFile, kJournalFile})
        DeleteWithRetries(uninstallFolder + "\\" + name);
    RemoveDirectoryA(uninstallFolder.c_str());
    RemoveDirectoryA(Parent(uninstallFolder).c_str());
    int result = GetFileAttributesA(uninstallFolder.c_str()) == INVALID_FILE_ATTRIBUTES ? 0 : 1;
    RemoveOwnFolderAtEnd();
    return result;
}
