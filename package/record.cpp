// A growing list of paths in one block of memory: a kind byte and the path,
// zero-terminated (a kept entry adds its kept name), with a table beside it
// of each entry's offset and, for files, the size and CRC-32 of what was
// written or found unchanged (for kept entries: the original's attributes). No exceptions: an
// allocation failure is reported to the caller.
#include "package/record.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "package/heldfiles.h"
#include "package/heldtree.h"
#include "package/journal.h"
#include "platform/win32api.h"

namespace {

struct Entry {
    uint32_t offset;
    uint32_t size;
    uint32_t crc;
};

struct Record {
    char* text;
    size_t used;
    size_t capacity;
    Entry* offsets;
    size_t count;
    size_t slots;
};

Record* WrittenRecord() {
    static Record record;
    return &record;
}

bool Grow(void** block, size_t* capacity, size_t need, size_t unit) {
    if (need <= *capacity)
        return true;
    size_t next = *capacity ? *capacity * 2 : 256;
    while (next < need)
        next *= 2;
    void* grown = realloc(*block, next * unit);
    if (!grown)
        return false;
    *block = grown;
    *capacity = next;
    return true;
}

const char kKindLetters[] = "FDKSU";

bool Add(EntryKind kind, const char* path, const char* second, uint32_t size) {
    Record* r = WrittenRecord();
    size_t first = strlen(path) + 1;
    size_t length = 1 + first + (second ? strlen(second) + 1 : 0);
    if (r->used + length > UINT32_MAX)
        return false;
    if (!Grow(reinterpret_cast<void**>(&r->text), &r->capacity, r->used + length, 1) ||
        !Grow(reinterpret_cast<void**>(&r->offsets), &r->slots, r->count + 1, sizeof(Entry)))
        return false;
    r->offsets[r->count++] = Entry{static_cast<uint32_t>(r->used), size, 0};
    char* at = r->text + r->used;
    at[0] = kKindLetters[kind];
    memcpy(at + 1, path, first);
    if (second)
        memcpy(at + 1 + first, second, length - 1 - first);
    r->used += length;
    return true;
}

}  // namespace

void WrittenReset() {
    Record* r = WrittenRecord();
    free(r->text);
    free(r->offsets);
    memset(r, 0, sizeof *r);
}

bool WrittenAdd(const char* path, bool folder) { return Add(folder ? kEntryFolder : kEntryFile, path, nullptr, 0); }

bool WrittenAddKept(const char* original, const char* kept, uint32_t attributes) {
    return Add(kEntryKept, original, kept, attributes);
}

void WrittenKeptGoes(const char* original) {
    Record* r = WrittenRecord();
    bool folder;
    for (size_t i = r->count; i-- > 0;)
        if (WrittenKind(i) == kEntryKept && strcmp(WrittenEntry(i, &folder), original) == 0) {
            r->offsets[i].crc = 1;
            return;
        }
}

bool WrittenAddStale(const char* kept) { return Add(kEntryStale, kept, nullptr, 0); }

bool WrittenAddUnchanged(const char* path, uint32_t size, uint32_t crc) {
    if (!Add(kEntryUnchanged, path, nullptr, size))
        return false;
    WrittenRecord()->offsets[WrittenCount() - 1].crc = crc;
    return true;
}

size_t WrittenCount() { return WrittenRecord()->count; }

EntryKind WrittenKind(size_t i) {
    const char* entry = WrittenRecord()->text + WrittenRecord()->offsets[i].offset;
    return static_cast<EntryKind>(strchr(kKindLetters, entry[0]) - kKindLetters);
}

const char* WrittenEntry(size_t i, bool* folder) {
    Record* r = WrittenRecord();
    const char* entry = r->text + r->offsets[i].offset;
    *folder = entry[0] == kKindLetters[kEntryFolder];
    return entry + 1;
}

const char* WrittenKeptName(size_t i) {
    bool folder;
    const char* original = WrittenEntry(i, &folder);
    return WrittenKind(i) == kEntryKept ? original + strlen(original) + 1 : original;
}

void WrittenSetSum(size_t i, uint32_t size, uint32_t crc) {
    Record* r = WrittenRecord();
    if (i < r->count && WrittenKind(i) != kEntryKept) {
        r->offsets[i].size = size;
        r->offsets[i].crc = crc;
    }
}

void WrittenSum(size_t i, uint32_t* size, uint32_t* crc) {
    Entry e = WrittenRecord()->offsets[i];
    bool kept = WrittenKind(i) == kEntryKept;
    *size = kept ? 0 : e.size;
    *crc = kept ? 0 : e.crc;
}

void WrittenTakeBack() {
    // With a journal, the take-back is the one a recovery makes, by its
    // rules, and the record is only forgotten. It removes the folders the
    // run made by their names: the holds below the destination, which share
    // no deletion, go first.
    if (JournalActive())
        TreeReleaseBelowRoot();
    if (JournalTakeBack()) {
        WrittenReset();
        return;
    }
    bool folder;
    // Backwards, so that a file written over a kept one is gone before the
    // kept one comes back (and a path written twice unwinds in turn).
    for (size_t i = WrittenCount(); i-- > 0;) {
        const char* path = WrittenEntry(i, &folder);
        EntryKind kind = WrittenKind(i);
        if (kind == kEntryFile) {
            HeldDelete(path);
        } else if (kind == kEntryKept) {
            // A rename keeps the bytes and times; the attributes went hidden
            // with the kept name and are given back here.
            HeldPutBack(WrittenKeptName(i), path, WrittenRecord()->offsets[i].size);
        }
    }
    // Folders were recorded parent first, so going backwards removes children
    // before their parents; a folder that still holds something stays.
    for (size_t i = WrittenCount(); i-- > 0;) {
        const char* path = WrittenEntry(i, &folder);
        if (folder)
            TreeRemoveFolder(path);
    }
    WrittenReset();
    JournalEnd();
}

void WrittenCommit() {
    for (size_t i = 0; i < WrittenCount(); ++i) {
        EntryKind kind = WrittenKind(i);
        bool folder;
        const char* kept = WrittenKeptName(i);
        bool goes = WrittenRecord()->offsets[i].crc != 0;
        if (kind == kEntryKept && !goes && !HeldFileThere(WrittenEntry(i, &folder)))
            HeldPutBack(kept, WrittenEntry(i, &folder), WrittenRecord()->offsets[i].size);
        else if (kind == kEntryKept || (kind == kEntryStale && KeptOriginalThere(kept)))
            HeldDelete(kept);
    }
    WrittenReset();
}
