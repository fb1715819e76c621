// Files of the held tree, by their folder's handle. Every operation opens
// the name it works on as itself, looks at it through that handle and acts
// through the same handle: what it checked is what it changes.
#include "package/heldfiles.h"

#include <cstdio>
#include <cstring>

#include "base/ascii.h"
#include "base/format.h"
#include "package/heldtree.h"
#include "trust/relative.h"

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// What a move or a deletion opens a file with: renaming and deleting it,
// its attributes.
const DWORD kMoveAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

// The held folder of path and the name in it; INVALID_HANDLE_VALUE (last
// error ERROR_PATH_NOT_FOUND) when the folder is not held.
HANDLE FolderOf(const char* path, const char** leaf) {
    HANDLE folder = TreeParent(path, leaf);
    if (folder == INVALID_HANDLE_VALUE)
        SetLastError(ERROR_PATH_NOT_FOUND);
    return folder;
}

// Opens the file name of folder to move or delete it.
HANDLE OpenToMove(HANDLE folder, const char* name) {
    return OpenIn(folder, name, kMoveAccess, kShareAll, FILE_OPEN, FILE_NON_DIRECTORY_FILE);
}

// Creates name in folder, or empties the file there, opened as itself.
HANDLE Afresh(HANDLE folder, const char* name, DWORD access) {
    HANDLE file = OpenIn(folder, name, access, 0, FILE_CREATE, FILE_NON_DIRECTORY_FILE);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_ALREADY_EXISTS)
        return file;
    file = OpenIn(folder, name, access, 0, FILE_OPEN, FILE_NON_DIRECTORY_FILE);
    if (file != INVALID_HANDLE_VALUE && !SetEndOfFile(file)) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

// Deletes the file open on file, clearing a read-only attribute first.
bool DeleteOpen(HANDLE file) {
    DWORD attributes = AttributesThrough(file);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetAttributesThrough(file, (attributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_NORMAL);
    return DeleteThrough(file);
}

uint32_t HexValue(const char* digits) {
    uint32_t value = 0;
    for (const char* c = digits; *c; ++c) {
        char l = LowerAscii(*c);
        value = value << 4 | static_cast<uint32_t>(l <= '9' ? l - '0' : l - 'a' + 10);
    }
    return value;
}

}  // namespace

uint32_t KeptDigitsFor(const char* name) {
    uint32_t hash = 2166136261u;
    for (const char* c = name; *c; ++c)
        hash = (hash ^ static_cast<unsigned char>(LowerAscii(*c))) * 16777619u;
    return hash & 0x0FFFFFFFu;
}

HANDLE HeldCreateNew(const char* path, DWORD access) {
    const char* leaf;
    HANDLE folder = FolderOf(path, &leaf);
    if (folder == INVALID_HANDLE_VALUE)
        return folder;
    return OpenIn(folder, leaf, access, 0, FILE_CREATE, FILE_NON_DIRECTORY_FILE);
}

HANDLE HeldCreateAfresh(const char* path, DWORD access) {
    const char* leaf;
    HANDLE folder = FolderOf(path, &leaf);
    return folder == INVALID_HANDLE_VALUE ? folder : Afresh(folder, leaf, access);
}

HANDLE HeldOpenExisting(const char* path, DWORD access, DWORD share) {
    const char* leaf;
    HANDLE folder = FolderOf(path, &leaf);
    if (folder == INVALID_HANDLE_VALUE)
        return folder;
    return OpenIn(folder, leaf, access, share, FILE_OPEN, FILE_NON_DIRECTORY_FILE);
}

bool HeldMoveAside(const char* path, char* kept, DWORD* attributes, DWORD* error, const KeepHooks* hooks) {
    const char* leaf;
    HANDLE folder = FolderOf(path, &leaf);
    size_t folderLength = static_cast<size_t>(leaf - path);
    if (folder == INVALID_HANDLE_VALUE || folderLength + kKeptNameLength > kMaxPath) {
        *error = folder == INVALID_HANDLE_VALUE ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_NAME;
        return false;
    }
    HANDLE file = OpenToMove(folder, leaf);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    *attributes = AttributesThrough(file);
    uint32_t digits = KeptDigitsFor(leaf);
    bool moved = false;
    *error = ERROR_ALREADY_EXISTS;
    for (uint32_t attempt = 0; !moved && *error == ERROR_ALREADY_EXISTS && attempt < kKeptNameTries; ++attempt) {
        memcpy(kept, path, folderLength);
        snprintf(kept + folderLength, MAX_PATH - folderLength, "%s%07lX", kKeptPrefix,
                 static_cast<unsigned long>((digits + attempt) & 0x0FFFFFFFu));
        if (hooks && !hooks->before(path, kept, *attributes)) {
            *error = ERROR_WRITE_FAULT;
            break;
        }
        moved = RenameIn(file, folder, kept + folderLength, false);
        if (!moved) {
            *error = GetLastError();
            if (hooks)
                hooks->failed(path, kept);
        }
    }
    // Hidden, so that it does not show among the product's files while the
    // installation runs, and so that a later run can tell it from the user's.
    if (moved && *attributes != INVALID_FILE_ATTRIBUTES)
        SetAttributesThrough(file, (*attributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_HIDDEN);
    CloseHandle(file);
    return moved;
}

bool HeldPutBack(const char* kept, const char* original, DWORD attributes) {
    const char* leaf;
    const char* name = strrchr(original, '\\');
    HANDLE folder = FolderOf(kept, &leaf);
    HANDLE file = folder == INVALID_HANDLE_VALUE || !name ? INVALID_HANDLE_VALUE : OpenToMove(folder, leaf);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool back = RenameIn(file, folder, name + 1, false);
    if (back)
        SetAttributesThrough(file, attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL);
    CloseHandle(file);
    return back;
}

bool HeldDelete(const char* path) {
    const char* leaf;
    HANDLE folder = FolderOf(path, &leaf);
    HANDLE file = folder == INVALID_HANDLE_VALUE ? INVALID_HANDLE_VALUE : OpenToMove(folder, leaf);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool deleted = DeleteOpen(file);
    CloseHandle(file);
    return deleted;
}

bool HeldCopyIn(const char* source, const char* path) {
    HANDLE from = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (from == INVALID_HANDLE_VALUE)
        return false;
    HANDLE to = HeldCreateNew(path, GENERIC_WRITE | DELETE);
    bool ok = to != INVALID_HANDLE_VALUE;
    unsigned char block[16384];
    while (ok) {
        DWORD got = 0, put = 0;
        ok = ReadFile(from, block, sizeof block, &got, nullptr) != FALSE;
        if (!ok || got == 0)
            break;
        ok = WriteFile(to, block, got, &put, nullptr) && put == got;
    }
    CloseHandle(from);
    if (to == INVALID_HANDLE_VALUE)
        return false;
    if (!ok)
        DeleteThrough(to);
    return CloseHandle(to) && ok;
}

bool HeldFileThere(const char* path) {
    const char* leaf;
    HANDLE folder = FolderOf(path, &leaf);
    return folder != INVALID_HANDLE_VALUE && NameTakenIn(folder, leaf);
}

bool KeptOriginalThere(const char* keptPath) {
    const char* name = strrchr(keptPath, '\\');
    char pattern[MAX_PATH];
    if (!name || !IsKeptName(name + 1) ||
        snprintf(pattern, sizeof pattern, "%.*s\\*", static_cast<int>(name - keptPath), keptPath) >= MAX_PATH)
        return false;
    uint32_t digits = HexValue(name + 1 + strlen(kKeptPrefix));
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    bool there = false;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsKeptName(entry.cFileName))
            there = ((digits - KeptDigitsFor(entry.cFileName)) & 0x0FFFFFFFu) < kKeptNameTries;
    } while (!there && FindNextFileA(find, &entry));
    FindClose(find);
    return there;
}

HANDLE HeldFileCreate(const char* folder, const char* name, bool replace) {
    HANDLE held = TreeFind(folder);
    if (held == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return held;
    }
    const DWORD access = GENERIC_WRITE | DELETE;
    return replace ? Afresh(held, name, access) : OpenIn(held, name, access, 0, FILE_CREATE, FILE_NON_DIRECTORY_FILE);
}

bool HeldFileFlush(HANDLE file) { return FlushFileBuffers(file) != FALSE; }

bool HeldFileDelete(const char* folder, const char* name) {
    HANDLE held = TreeFind(folder);
    HANDLE file = held == INVALID_HANDLE_VALUE ? INVALID_HANDLE_VALUE : OpenToMove(held, name);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool deleted = DeleteOpen(file);
    CloseHandle(file);
    return deleted;
}
