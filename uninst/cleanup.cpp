// Removing the uninstaller once it has ended. The copy in the temporary
// folder is opened with FILE_FLAG_DELETE_ON_CLOSE and that handle is
// inherited by the copy's own process: when the copy ends, the last handle
// closes and the file is deleted (Wine does the same when its last handle
// goes, since the running image does not keep the file from being unlinked).
#include "uninst/cleanup.h"

#include <windows.h>

#include <cstdlib>

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

} // namespace

bool StartCleanup(const std::string& uninstallFolder) {
    char self[MAX_PATH], temp[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    DWORD t = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof self || t == 0 || t >= sizeof temp)
        return false;
    char copy[MAX_PATH + 64];
    wsprintfA(copy, "%sBrondaleUnInst%lu.exe", temp, GetTickCount());
    if (!CopyFileA(self, copy, FALSE))
        return false;

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileA(copy, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit, OPEN_EXISTING,
                              FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    HANDLE original = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &original, SYNCHRONIZE, TRUE, 0);
    std::string command = std::string("\"") + copy + "\" " + kCleanupSwitch + " " +
                          std::to_string(reinterpret_cast<uintptr_t>(original)) + " \"" + uninstallFolder + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    // The copy works in the temporary folder, so that no process keeps the
    // uninstaller's folder as its current folder.
    BOOL started = CreateProcessA(copy, &command[0], nullptr, nullptr, TRUE, 0, nullptr, temp, &si, &pi);
    if (started) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    if (original)
        CloseHandle(original);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    else if (started)
        MoveFileExA(copy, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    else
        DeleteFileA(copy);
    return started != FALSE;
}

int RunCleanup(const char* originalHandle, const std::string& uninstallFolder) {
    size_t slash = uninstallFolder.find_last_of('\\');
    if (slash == std::string::npos || lstrcmpiA(uninstallFolder.c_str() + slash + 1, "UnInstall") != 0)
        return 1;
    HANDLE original = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(strtoul(originalHandle, nullptr, 10)));
    if (original) {
        WaitForSingleObject(original, 60000);
        CloseHandle(original);
    }
    for (const char* name : {"UnInst.exe", "UnInst.cfg", "Files.lst", "Language.lng"})
        DeleteWithRetries(uninstallFolder + "\\" + name);
    RemoveDirectoryA(uninstallFolder.c_str());
    RemoveDirectoryA(Parent(uninstallFolder).c_str());
    return GetFileAttributesA(uninstallFolder.c_str()) == INVALID_FILE_ATTRIBUTES ? 0 : 1;
}
