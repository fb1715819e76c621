// The path list's reader and the output paths built from it. One list is read
// at a time; the folders a line needs are created here, and only those below
// the target enter the record of what the section wrote.
#include "package/pathlist.h"

#include <cstdio>
#include <cstring>

#include "base/files.h"
#include "base/format.h"
#include "base/scratch.h"
#include "package/locator.h"
#include "package/placement.h"
#include "package/record.h"

char* lista() {
    static char path[MAX_PATH];
    if (path[0] == '\0')
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

// The folder of the previous member, with its trailing backslash.
char* LastParent() {
    static char folder[MAX_PATH];
    return folder;
}

void RecordFolder(const char* folder) {
    // A folder the record cannot hold stays behind on failure; it is empty.
    WrittenAdd(folder, true);
}

// Turns tmp into target\line for a line that passes the path rule; false
// when the line or the path it makes cannot be used.
bool BuildOutputPath(const char* target, const char* line) {
    size_t lineLength = strlen(line);
    if (!IsSafeMemberPath(line, lineLength))
        return false;
    if (strlen(target) + 1 + lineLength > kMaxPath)
        return false;
    if (snprintf(tmp(), MAX_PATH, "%s\\%s", target, line) >= MAX_PATH)
        return false;
    // A folder path takes at most 247 characters (MAX_PATH less room for an
    // 8.3 name): one longer could not be created, nor emptied again.
    return strrchr(tmp(), '\\') - tmp() <= static_cast<long>(kMaxFolderPath);
}

} // namespace

HANDLE OpenPathList() {
    HANDLE list = winfopen(lista(), false);
    if (list != INVALID_HANDLE_VALUE) {
        ReaderReset();
        LastParent()[0] = '\0';
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
    if (ffscanf(list, line) != 1 || !BuildOutputPath(target, line))
        return kSectionDamaged;
    // Consecutive members usually share a folder: create each one once.
    char* parent = LastParent();
    size_t parentLength = static_cast<size_t>(strrchr(tmp(), '\\') - tmp()) + 1;
    if (strlen(parent) == parentLength && memcmp(parent, tmp(), parentLength) == 0)
        return kSectionOk;
    bool existed = false;
    SectionResult checked = CheckFolders(tmp(), strlen(target), parentLength, &existed);
    if (checked != kSectionOk)
        return checked;
    // The target and the folders above it are not the section's own and stay
    // whatever happens; only folders created below the target are recorded.
    char self[MAX_PATH];
    snprintf(self, sizeof self, "%s\\", target);
    CreateBaseDirectory(self, nullptr);
    memcpy(parent, tmp(), parentLength);
    parent[parentLength] = '\0';
    if (existed)
        return RecordStale(parent);
    CreateBaseDirectory(parent, RecordFolder);
    return kSectionOk;
}

bool RoomForPaths(size_t destinationLength, size_t longestPath, size_t longestFolder) {
    size_t uninstallFolder = destinationLength + kRecordSuffixLongest - strlen("\\Language.lng");
    return destinationLength + kRecordSuffixLongest <= kMaxPath && uninstallFolder <= kMaxFolderPath &&
           destinationLength + 1 + longestPath <= kMaxPath && destinationLength + 1 + longestFolder <= kMaxFolderPath;
}
