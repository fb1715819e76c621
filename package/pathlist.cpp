// The path list's reader and the output paths built from it. One list is read
// at a time; the folders a line needs are created here, and only those below
// the target enter the record of what the section wrote.
#include "package/pathlist.h"

#include <cstdio>
#include <cstring>

#include "base/files.h"
#include "base/format.h"
#include "base/scratch.h"
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

void RecordFolder(const char* folder) {
    // A folder the record cannot hold stays behind on failure; it is empty.
    WrittenAdd(folder, true);
}

// The folder of the previous member, with its trailing backslash: it and
// every folder above it have been looked at (or created) for this list.
char* LastParent() {
    static char folder[MAX_PATH];
    return folder;
}

// Whether the target folder has been made for this list.
bool* TargetMade() {
    static bool made;
    return &made;
}

// Where the folders of path stop being known: the length of the longest
// folder path (before a backslash) that path shares with the previous
// member's folder, at least the target's.
size_t KnownFolders(const char* path, size_t targetLength) {
    const char* parent = LastParent();
    size_t known = targetLength;
    for (size_t i = 0; parent[i] != '\0' && parent[i] == path[i]; ++i)
        if (parent[i] == '\\' && i > known)
            known = i;
    return known;
}

// Creates the folders of the file path path from the one ending at missing
// down to the file's own, recording each one made.
void CreateFoldersFrom(const char* path, size_t missing) {
    char folder[MAX_PATH];
    for (size_t end = missing; NextPathFolder(path, false, &end, folder);)
        if (JournalWillCreateFolder(folder) && CreateDirectoryA(folder, nullptr))
            RecordFolder(folder);
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
        *TargetMade() = false;
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
    // Consecutive members usually share a folder: create each one once.
    char* parent = LastParent();
    size_t parentLength = static_cast<size_t>(strrchr(path, '\\') - path) + 1;
    if (strlen(parent) == parentLength && memcmp(parent, path, parentLength) == 0)
        return kSectionOk;
    size_t missing = 0;
    SectionResult checked = CheckFolders(path, KnownFolders(path, strlen(target)), parentLength, &missing);
    if (checked != kSectionOk)
        return checked;
    // The target and the folders above it are not the section's own and stay
    // whatever happens; only folders created below the target are recorded.
    if (!*TargetMade()) {
        char self[MAX_PATH];
        snprintf(self, sizeof self, "%s\\", target);
        CreateBaseDirectory(self, nullptr);
        *TargetMade() = true;
    }
    memcpy(parent, path, parentLength);
    parent[parentLength] = '\0';
    if (missing == 0)
        return RecordStale(parent);
    CreateFoldersFrom(path, missing);
    return kSectionOk;
}

bool RoomForPaths(size_t destinationLength, size_t longestPath, size_t longestFolder) {
    size_t uninstallFolder = destinationLength + kRecordSuffixLongest - strlen("\\Language.lng");
    return destinationLength + kRecordSuffixLongest <= kMaxPath && uninstallFolder <= kMaxFolderPath &&
           destinationLength + 1 + longestPath <= kMaxPath && destinationLength + 1 + longestFolder <= kMaxFolderPath;
}
