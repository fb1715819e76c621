// Safe placement. Nothing here writes to what already stands at a path: a
// name in the way is opened as itself from its held folder, only to be
// moved aside or read, and every file moved aside or created is recorded,
// or undone at once when the record cannot take it.
#include "package/placement.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/files.h"
#include "base/format.h"
#include "base/names.h"
#include "base/state.h"
#include "base/switches.h"
#include "lang/texts.h"
#include "package/heldfiles.h"
#include "package/journal.h"
#include "package/record.h"
#include "trust/owner.h"
#include "trust/relative.h"

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

// A file created new in its held folder, journaled before.
HANDLE CreateNew(const char* path) {
    if (!JournalWillCreate(path)) {
        SetLastError(ERROR_WRITE_FAULT);
        return INVALID_HANDLE_VALUE;
    }
    return HeldCreateNew(path, GENERIC_WRITE | DELETE);
}

// The journal names each kept copy before the move and forgets it when the
// move did not happen.
const KeepHooks kJournaledKeep = {JournalKeep, JournalKeepFailed};

// The errors of a new file when its name is taken: a file or link
// (exists), or a folder or a file that refuses (access denied).
bool InTheWay(DWORD error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
}

// Deletes the file just created through its own handle and closes it.
void Unmake(HANDLE file) {
    DeleteThrough(file);
    CloseHandle(file);
}

// Whether the file held open may stay where it is: one name, and as its
// owner an administrator or, in an installation for one user, that user,
// whose files its earlier run made.
bool MayStay(HANDLE file) {
    char sddl[4096];
    return NamesThrough(file) == 1 && ReadDescriptor(file, sddl, sizeof sddl) &&
           JudgeOwner(sddl, TrustedAccount(*RunScope() == kScopeUser)).verdict == kOnlyAdministrators;
}

}  // namespace

bool AskFileInUse(const char* path) {
    char text[512];
    snprintf(text, sizeof text, "%s\n\n%s", GetLang(20, DefaultText(20)), path);
    // A silent run has nobody to close the other program: it cancels.
    return Tell(text, Brondale(), MB_RETRYCANCEL | MB_ICONWARNING, IDCANCEL) == IDRETRY;
}

SectionResult MakeWay(const char* path) {
    char kept[MAX_PATH];
    DWORD error = ERROR_SUCCESS, attributes = 0;
    while (!HeldMoveAside(path, kept, &attributes, &error, &kJournaledKeep)) {
        if (error == ERROR_FILE_NOT_FOUND)
            return kSectionOk;
        if (error == kErrorLink) {
            snprintf(RefusedPath(), MAX_PATH, "%s", path);
            return kSectionLink;
        }
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
    if (!WrittenAddKept(path, kept, attributes)) {
        HeldPutBack(kept, path, attributes);
        return kSectionNoMemory;
    }
    return kSectionOk;
}

HANDLE HoldInPlace(const char* path) {
    // Opened as itself from its held folder: a link or a folder is never
    // compared, and held without delete sharing the name cannot pass to
    // another file while it is.
    HANDLE file = HeldOpenExisting(path, GENERIC_READ, FILE_SHARE_READ);
    if (file != INVALID_HANDLE_VALUE && !MayStay(file)) {
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
        Unmake(file);
        return kPlaceFailed;
    }
    DWORD put = 0;
    if (size != 0 && (!WriteFile(file, data, size, &put, nullptr) || put != size)) {
        Unmake(file);
        return kPlaceFailed;
    }
    if (CloseHandle(file))
        return kPlaced;
    HeldDelete(path);
    return kPlaceFailed;
}

PlaceResult PlaceOver(const char* path, const unsigned char* data, DWORD size, char* kept, DWORD* attributes) {
    kept[0] = '\0';
    DWORD error = ERROR_SUCCESS;
    if (!HeldMoveAside(path, kept, attributes, &error, &kJournaledKeep)) {
        kept[0] = '\0';
        return error == ERROR_FILE_NOT_FOUND ? PlaceNew(path, data, size) : kPlaceInTheWay;
    }
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
        Unmake(*output);
        *output = INVALID_HANDLE_VALUE;
        return kSectionWriteFailed;
    }
    if (!WrittenAdd(path, false)) {
        Unmake(*output);
        *output = INVALID_HANDLE_VALUE;
        return kSectionNoMemory;
    }
    return kSectionOk;
}
