// The path list's reader and the output paths built from it. One list is read
// at a time; the folders a line needs are created here, and only those below
// the target enter the record of what the section wrote.
#include "package/pathlist.h"

#include <cstdio>
#include <cstring>

#include "base/files.h"
#include "base/format.h"
#include "base/scratch.h"
#include "package/heldtree.h"
#include "package/journal.h"
#include "package/locator.h"
#include "package/placement.h"
#include "package/record.h"

// Taken from the scratch folder of the moment: a run that read the
// package's start into a scratch folder of its own and removed it again
// makes another.
char* lista() {
    static char path[MAX_PATH];
    snprintf(path, sizeof path, "%s\\list.txt", tmp_dir());
    return path;
}

namespace {

// Read-ahead of the path-list file; one list is read at a time.
struct ListReader {
    unsigned char data[4096];
    DWORD size;
    DWORD next;
    bool end;
};

ListReader* Reader() {
    static ListReader reader;
    return &reader;
}

void ReaderReset() {
    ListReader* r = Reader();
    r->size = r->next = 0;
    r->end = false;
}

// -1 at the end of the file or on a read error.
int ReaderByte(HANDLE list) {
    ListReader* r = Reader();
    if (r->next == r->size) {
        if (r->end)
            return -1;
        DWORD got = 0;
        if (!ReadFile(list, r->data, sizeof r->data, &got, nullptr) || got == 0) {
            r->end = true;
            return -1;
        }
        r->size = got;
        r->next = 0;
    }
    return r->data[r->next++];
}

// The folder that the last TreeMakeFolders made deepest, "" for none.
char* LastMade() {
    static char folder[MAX_PATH];
    return folder;
}

void RecordFolder(const char* folder) {
    // A folder the record cannot hold stays behind on failure; it is empty.
    WrittenAdd(folder, true);
    snprintf(LastMade(), MAX_PATH, "%s", folder);
}

// Whether the target is held as the tree's root for this list.
bool* TargetHeld() {
    static bool held;
    return &held;
}

// Holds the target, making it first when it is not there (a scratch
// section's; the destination is made and held by its acceptance).
bool HoldTarget(const char* target) {
    if (*TargetHeld())
        return true;
    if (!TreeHoldRoot(target)) {
        char self[MAX_PATH];
        snprintf(self, sizeof self, "%s\\", target);
        CreateBaseDirectory(self, nullptr);
        if (!TreeHoldRoot(target))
            return false;
    }
    *TargetHeld() = true;
    return true;
}

// The folder of the previous member, with its trailing backslash: it and
// every folder above it have been looked at (or created) for this list.
char* LastParent() {
    static char folder[MAX_PATH];
    return folder;
}

// Builds target\line into path (MAX_PATH bytes) for a line that passes the
// path rule; false when the line or the path it makes cannot be used.
bool BuildOutputPath(char* path, const char* target, const char* line) {
    size_t lineLength = strlen(line);
    if (!IsSafeMemberPath(line, lineLength))
        return false;
    if (strlen(target) + 1 + lineLength > kMaxPath)
        return false;
    if (snprintf(path, MAX_PATH, "%s\\%s", target, line) >= MAX_PATH)
        return false;
    // A folder path takes at most 247 characters (MAX_PATH less room for an
    // 8.3 name): one longer could not be created, nor emptied again.
    return strrchr(path, '\\') - path <= static_cast<long>(kMaxFolderPath);
}

}  // namespace

HANDLE OpenPathList() {
    HANDLE list = winfopen(lista(), false);
    if (list != INVALID_HANDLE_VALUE) {
        ReaderReset();
        LastParent()[0] = '\0';
        *TargetHeld() = false;
    }
    return list;
}

int ffscanf(HANDLE list, char* buffer) {
    size_t length = 0;
    int c = ReaderByte(list);
    if (c < 0)
        return 0;
    bool bad = false;
    for (; c >= 0 && c != '\n'; c = ReaderByte(list)) {
        if (c == '\r') {
            int next = ReaderByte(list);
            if (next == '\n')
                break;
            bad = true;
            if (next < 0)
                break;
            c = next;
        }
        if (c < 0x20)
            bad = true;
        if (length < kMaxPath)
            buffer[length] = static_cast<char>(c);
        ++length;
    }
    if (length > kMaxPath) {
        buffer[kMaxPath] = '\0';
        return -1;
    }
    buffer[length] = '\0';
    return bad ? -1 : 1;
}

SectionResult dircat(HANDLE list, const char* target) {
    char line[MAX_PATH];
    char* path = tmp();
    if (ffscanf(list, line) != 1 || !BuildOutputPath(path, target, line))
        return kSectionDamaged;
    // Consecutive members usually share a folder: look at each one once.
    char* parent = LastParent();
    size_t parentLength = static_cast<size_t>(strrchr(path, '\\') - path) + 1;
    if (strlen(parent) == parentLength && memcmp(parent, path, parentLength) == 0)
        return kSectionOk;
    if (!HoldTarget(target))
        return kSectionWriteFailed;
    // Every folder from the target down is held from the one above it: one
    // that is there is opened as itself, a missing one is made and recorded.
    // The target and the folders above it are not the section's own.
    LastMade()[0] = '\0';
    SectionResult made = TreeMakeFolders(path, parentLength, nullptr, RecordFolder, JournalWillCreateFolder);
    if (made != kSectionOk)
        return made;
    TreeSpelling(path, parentLength - 1);
    memcpy(parent, path, parentLength);
    parent[parentLength] = '\0';
    // A folder that was there may hold kept copies of a run that ended early.
    size_t madeLength = strlen(LastMade());
    bool own = madeLength + 1 == parentLength && memcmp(LastMade(), path, madeLength) == 0;
    return own ? kSectionOk : RecordStale(parent);
}

bool RoomForPaths(size_t destinationLength, size_t longestPath, size_t longestFolder) {
    size_t uninstallFolder = destinationLength + kRecordSuffixLongest - strlen("\\Language.lng");
    return destinationLength + kRecordSuffixLongest <= kMaxPath && uninstallFolder <= kMaxFolderPath &&
           destinationLength + 1 + longestPath <= kMaxPath && destinationLength + 1 + longestFolder <= kMaxFolderPath;
}
