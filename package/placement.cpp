// Safe placement. Nothing here writes to what already stands at a path: a
// name in the way is looked at by its attributes (or opened only to be
// read, never through a link), and every file moved aside or created is
// recorded, or undone at once when the record cannot take it.
#include "package/placement.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/files.h"
#include "base/format.h"
#include "base/names.h"
#include "base/switches.h"
#include "lang/texts.h"
#include "package/journal.h"
#include "package/record.h"

SectionResult CheckFolders(const char* path, size_t known, size_t parentLength, size_t* missing) {
    char folder[MAX_PATH];
    *missing = 0;
    for (size_t end = known + 1; NextPathFolder(path, false, &end, folder) && end <= parentLength;) {
        DWORD attributes = GetFileAttributesA(folder);
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            *missing = end - 1;
            return kSectionOk;
        }
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            snprintf(RefusedPath(), MAX_PATH, "%s", folder);
            return kSectionLink;
        }
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return kSectionWriteFailed;
    }
    return kSectionOk;
}

SectionResult RecordStale(const char* folder) {
    char pattern[MAX_PATH];
    if (snprintf(pattern, sizeof pattern, "%s%s*", folder, kKeptPrefix) >= static_cast<int>(sizeof pattern))
        return kSectionOk;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return kSectionOk;
    SectionResult result = kSectionOk;
    do {
        const DWORD kNotPlain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
        if (!IsKeptName(entry.cFileName) || (entry.dwFileAttributes & kNotPlain) ||
            !(entry.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN))
            continue;
        char path[MAX_PATH];
        if (snprintf(path, sizeof path, "%s%s", folder, entry.cFileName) < static_cast<int>(sizeof path) &&
            !WrittenAddStale(path))
            result = kSectionNoMemory;
    } while (result == kSectionOk && FindNextFileA(find, &entry));
    FindClose(find);
    return result;
}

namespace {

// A kept name in path's folder that is not taken: kept receives it. The
// digits run on from a value drawn once per run, so that names of one run
// differ and a name left by an earlier run is passed over.
// Atomic, since the file pool's workers move files aside too. The journal
// names the kept copy before the move (a name found free, so a file that is
// not this run's is never taken for its kept copy).
bool MoveAside(const char* path, char* kept, DWORD attributes, DWORD* error) {
    static std::atomic<uint32_t> next{GetTickCount() * 2654435761u};
    size_t folder = static_cast<size_t>(strrchr(path, '\\') - path) + 1;
    for (int attempt = 0; attempt < 64; ++attempt) {
        uint32_t digits = next.fetch_add(1) & 0x0FFFFFFFu;
        if (folder + kKeptNameLength > kMaxPath) {
            *error = ERROR_INVALID_NAME;
            return false;
        }
        memcpy(kept, path, folder);
        snprintf(kept + folder, MAX_PATH - folder, "%s%07lX", kKeptPrefix, static_cast<unsigned long>(digits));
        if (JournalActive() && GetFileAttributesA(kept) != INVALID_FILE_ATTRIBUTES)
            continue;
        if (!JournalKeep(path, kept, attributes)) {
            *error = ERROR_WRITE_FAULT;
            return false;
        }
        if (MoveFileA(path, kept))
            return true;
        *error = GetLastError();
        JournalKeepFailed(path, kept);
        if (*error != ERROR_ALREADY_EXISTS && *error != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
}

// A file created new, journaled before and after.
HANDLE CreateNew(const char* path) {
    if (!JournalWillCreate(path)) {
        SetLastError(ERROR_WRITE_FAULT);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The errors of CREATE_NEW when a name is taken: a file or link (exists), or
// a folder or a file that refuses (access denied).
bool InTheWay(DWORD error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
}

}  // namespace

bool AskFileInUse(const char* path) {
    char text[512];
    snprintf(text, sizeof text, "%s\n\n%s", GetLang(20, DefaultText(20)), path);
    // A silent run has nobody to close the other program: it cancels.
    return Tell(text, Brondale(), MB_RETRYCANCEL | MB_ICONWARNING, IDCANCEL) == IDRETRY;
}

SectionResult MakeWay(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return kSectionOk;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        snprintf(RefusedPath(), MAX_PATH, "%s", path);
        return kSectionLink;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return kSectionWriteFailed;
    char kept[MAX_PATH];
    DWORD error = ERROR_SUCCESS;
    while (!MoveAside(path, kept, attributes, &error)) {
        // Held open without delete sharing; a running program's file can be
        // renamed, so this is an editor or a viewer the user can close.
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION)
            return kSectionWriteFailed;
        snprintf(RefusedPath(), MAX_PATH, "%s", path);
        if (!AskFileInUse(path))
            return kSectionCancelled;
        if (*StopExtraction())
            return kSectionStopped;
    }
    // Hidden, so that it does not show among the product's files while the
    // installation runs, and so that a later run can tell it from the user's.
    SetFileAttributesA(kept, (attributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_HIDDEN);
    if (!WrittenAddKept(path, kept, attributes)) {
        MoveFileA(kept, path);
        SetFileAttributesA(path, attributes);
        return kSectionNoMemory;
    }
    return kSectionOk;
}

HANDLE HoldInPlace(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return file;
    // Held without delete sharing, the name cannot pass to another file
    // now: what the attributes tell is the held file. A link opened as
    // itself, or a folder, is not compared.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

bool SameInPlace(const char* path, const unsigned char* data, DWORD size) {
    HANDLE file = HoldInPlace(path);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    unsigned char chunk[16384];
    DWORD done = 0;
    bool same = false;
    // Read until the file ends, so that a longer file shows.
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr))
            break;
        if (got == 0) {
            same = done == size;
            break;
        }
        if (got > size - done || memcmp(chunk, data + done, got) != 0)
            break;
        done += got;
    }
    CloseHandle(file);
    return same;
}

PlaceResult PlaceNew(const char* path, const unsigned char* data, DWORD size) {
    HANDLE file = CreateNew(path);
    if (file == INVALID_HANDLE_VALUE)
        return InTheWay(GetLastError()) ? kPlaceInTheWay : kPlaceFailed;
    if (!JournalCreated(path, file)) {
        CloseHandle(file);
        DeleteFileA(path);
        return kPlaceFailed;
    }
    DWORD put = 0;
    bool ok = size == 0 || (WriteFile(file, data, size, &put, nullptr) && put == size);
    if (!CloseHandle(file))
        ok = false;
    if (ok)
        return kPlaced;
    DeleteFileA(path);
    return kPlaceFailed;
}

PlaceResult PlaceOver(const char* path, const unsigned char* data, DWORD size, char* kept, DWORD* attributes) {
    kept[0] = '\0';
    *attributes = GetFileAttributesA(path);
    if (*attributes == INVALID_FILE_ATTRIBUTES)
        return PlaceNew(path, data, size);
    DWORD error = ERROR_SUCCESS;
    if ((*attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
        !MoveAside(path, kept, *attributes, &error)) {
        kept[0] = '\0';
        return kPlaceInTheWay;
    }
    SetFileAttributesA(kept, (*attributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_HIDDEN);
    // Whatever stands at path now came after the move: not waited for.
    PlaceResult placed = PlaceNew(path, data, size);
    return placed == kPlaced ? kPlaced : kPlaceFailed;
}

SectionResult CreateMemberFile(const char* path, HANDLE* output) {
    // CREATE_NEW never opens what is there, a link included. Only when
    // something is in the way is it looked at and moved aside, so that a
    // fresh installation costs one call per file as it always did.
    *output = CreateNew(path);
    if (*output == INVALID_HANDLE_VALUE && InTheWay(GetLastError())) {
        SectionResult result = MakeWay(path);
        if (result != kSectionOk)
            return result;
        *output = CreateNew(path);
    }
    if (*output == INVALID_HANDLE_VALUE)
        return kSectionWriteFailed;
    if (!JournalCreated(path, *output)) {
        CloseHandle(*output);
        *output = INVALID_HANDLE_VALUE;
        DeleteFileA(path);
        return kSectionWriteFailed;
    }
    if (!WrittenAdd(path, false)) {
        CloseHandle(*output);
        *output = INVALID_HANDLE_VALUE;
        DeleteFileA(path);
        return kSectionNoMemory;
    }
    return kSectionOk;
}
