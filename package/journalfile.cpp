// The journal's file, by its path in the record folder. It is always
// created new and opened as itself, so a link or a file put there before is
// never written through; a journal that is read must be one plain file with
// one name.
#include "package/journalfile.h"

#include <cstdio>
#include <cstdlib>

#include "package/journalformat.h"

namespace {

bool JournalPath(const char* recordFolder, char* path) {
    return snprintf(path, MAX_PATH, "%s\\%s", recordFolder, kJournalFile) < MAX_PATH;
}

}  // namespace

bool JournalFileCreate(const char* recordFolder, JournalFile* file) {
    file->handle = INVALID_HANDLE_VALUE;
    if (!JournalPath(recordFolder, file->path))
        return false;
    file->handle = CreateFileA(file->path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return file->handle != INVALID_HANDLE_VALUE;
}

bool JournalFileAppend(JournalFile* file, const char* bytes, size_t size) {
    DWORD put = 0;
    return file->handle != INVALID_HANDLE_VALUE && WriteFile(file->handle, bytes, static_cast<DWORD>(size), &put, nullptr) &&
           put == size;
}

bool JournalFileFlush(JournalFile* file) {
    return file->handle != INVALID_HANDLE_VALUE && FlushFileBuffers(file->handle);
}

bool JournalFileDelete(JournalFile* file) {
    if (file->handle != INVALID_HANDLE_VALUE)
        CloseHandle(file->handle);
    file->handle = INVALID_HANDLE_VALUE;
    return DeleteFileA(file->path) || GetFileAttributesA(file->path) == INVALID_FILE_ATTRIBUTES;
}

bool JournalFileFound(const char* recordFolder, char** bytes, size_t* size, size_t limit) {
    char path[MAX_PATH];
    if (bytes)
        *bytes = nullptr;
    if (!JournalPath(recordFolder, path) || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return false;
    if (!bytes)
        return true;
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return true;
    BY_HANDLE_FILE_INFORMATION info;
    bool plain = GetFileInformationByHandle(h, &info) &&
                 !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
                 info.nNumberOfLinks == 1 && info.nFileSizeHigh == 0 && info.nFileSizeLow <= limit;
    char* text = plain ? static_cast<char*>(malloc(info.nFileSizeLow + 1)) : nullptr;
    DWORD got = 0;
    if (text && (!ReadFile(h, text, info.nFileSizeLow, &got, nullptr) || got != info.nFileSizeLow)) {
        free(text);
        text = nullptr;
    }
    CloseHandle(h);
    if (text) {
        text[got] = '\0';
        *bytes = text;
        *size = got;
    }
    return true;
}

bool JournalFileDeleteFound(const char* recordFolder) {
    char path[MAX_PATH];
    return JournalPath(recordFolder, path) &&
           (DeleteFileA(path) || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES);
}
