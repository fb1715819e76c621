// The run's log. One handle, written a whole line at a time; its failure is
// never the run's. It is never deleted by name: an existing log is emptied
// through its own handle, once every folder on its way has been held.
#include "base/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/files.h"
#include "platform/win32api.h"

namespace {

HANDLE* LogHandle() {
    static HANDLE log = INVALID_HANDLE_VALUE;
    return &log;
}

// Folders a path of at most 259 characters can pass through.
const int kMaxFolders = MAX_PATH / 2;

// The length of the root of a full path, which is not checked: "X:\", the
// share of "\\server\share\", or "\" (a rooted path, as the stand-in's).
// 0 for device paths ("\\?\", "\\.\") and anything else.
size_t RootLength(const char* full) {
    if (((full[0] >= 'A' && full[0] <= 'Z') || (full[0] >= 'a' && full[0] <= 'z')) && full[1] == ':' && full[2] == '\\')
        return 3;
    if (full[0] == '\\' && full[1] != '\\')
        return 1;
    if (full[0] != '\\' || full[2] == '?' || full[2] == '.' || full[2] == '\\' || full[2] == '\0')
        return 0;
    const char* share = strchr(full + 2, '\\');
    const char* end = share && share[1] != '\\' ? strchr(share + 1, '\\') : nullptr;
    return end ? static_cast<size_t>(end - full) + 1 : 0;
}

// Opens every folder of full between its root and its last backslash as
// itself, without delete sharing, into held (*count of them): none can be
// renamed or replaced until they are closed. True when each is a plain
// folder and the last one is where the name says (not reached through a
// short name or anything else that would make the final check fail later).
bool HoldFolders(const char* full, size_t root, HANDLE* held, int* count) {
    *count = 0;
    char folder[MAX_PATH];
    for (size_t end = root; NextPathFolder(full, false, &end, folder);) {
        if (*count == kMaxFolders)
            return false;
        HANDLE h = CreateFileA(folder, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        held[(*count)++] = h;
        if (!IsPlainFolder(h))
            return false;
    }
    if (*count == 0)
        return true;
    char final[MAX_PATH];
    return FinalPath(held[*count - 1], final, sizeof final) && SamePath(final, folder);
}

// Opens the file itself for writing, as itself: an existing one, or else a
// new one. A link at the name is opened as the link, never followed, and a
// new file is never made through one.
HANDLE OpenAsItself(const char* full) {
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    HANDLE log = CreateFileA(full, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr);
    if (log == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND)
        log = CreateFileA(full, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, flags, nullptr);
    return log;
}

// True when log is a plain file with one name only, and that name is full.
bool IsTheNamedFile(HANDLE log, const char* full) {
    BY_HANDLE_FILE_INFORMATION info;
    char final[MAX_PATH];
    return GetFileInformationByHandle(log, &info) &&
           !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
           info.nNumberOfLinks == 1 && FinalPath(log, final, sizeof final) && SamePath(final, full);
}

}  // namespace

bool LogOpen(const char* path, bool append) {
    LogClose();
    char full[MAX_PATH];
    DWORD n = path && path[0] != '\0' ? GetFullPathNameA(path, sizeof full, full, nullptr) : 0;
    size_t root = n > 0 && n < sizeof full ? RootLength(full) : 0;
    if (root == 0)
        return false;
    HANDLE held[kMaxFolders];
    int count = 0;
    HANDLE log = INVALID_HANDLE_VALUE;
    if (HoldFolders(full, root, held, &count))
        log = OpenAsItself(full);
    // The file's own checks, before a byte of it changes.
    if (log != INVALID_HANDLE_VALUE &&
        !(IsTheNamedFile(log, full) &&
          (append ? SetFilePointer(log, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER : SetEndOfFile(log) != 0))) {
        CloseHandle(log);
        log = INVALID_HANDLE_VALUE;
    }
    for (int i = 0; i < count; ++i)
        CloseHandle(held[i]);
    *LogHandle() = log;
    return log != INVALID_HANDLE_VALUE;
}

void LogWrite(const char* text, size_t n) {
    DWORD put = 0;
    if (*LogHandle() != INVALID_HANDLE_VALUE && n > 0)
        WriteFile(*LogHandle(), text, static_cast<DWORD>(n), &put, nullptr);
}

void LogLine(const char* format, ...) {
    if (*LogHandle() == INVALID_HANDLE_VALUE)
        return;
    char line[1026];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(line, sizeof line - 2, format, args);
    va_end(args);
    if (n < 0)
        return;
    size_t length = static_cast<size_t>(n) < sizeof line - 2 ? static_cast<size_t>(n) : sizeof line - 3;
    line[length++] = '\r';
    line[length++] = '\n';
    LogWrite(line, length);
}

bool LogIsOpen() { return *LogHandle() != INVALID_HANDLE_VALUE; }

void LogClose() {
    if (*LogHandle() != INVALID_HANDLE_VALUE)
        CloseHandle(*LogHandle());
    *LogHandle() = INVALID_HANDLE_VALUE;
}
