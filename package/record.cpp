// A growing list of paths in one block of memory: a kind byte and the path,
// zero-terminated, with a table beside it of each entry's offset and, for
// files, the size and CRC-32 of what was written. No exceptions: an
// allocation failure is reported to the caller.
#include "package/record.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

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

Record* Zapisane() {
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

} // namespace

void ZapisaneReset() {
    Record* r = Zapisane();
    free(r->text);
    free(r->offsets);
    memset(r, 0, sizeof *r);
}

bool ZapisaneDodaj(const char* path, bool folder) {
    Record* r = Zapisane();
    size_t length = strlen(path) + 2;
    if (r->used + length > UINT32_MAX)
        return false;
    if (!Grow(reinterpret_cast<void**>(&r->text), &r->capacity, r->used + length, 1) ||
        !Grow(reinterpret_cast<void**>(&r->offsets), &r->slots, r->count + 1, sizeof(Entry)))
        return false;
    r->offsets[r->count++] = Entry{static_cast<uint32_t>(r->used), 0, 0};
    r->text[r->used] = folder ? 'D' : 'F';
    memcpy(r->text + r->used + 1, path, length - 1);
    r->used += length;
    return true;
}

size_t ZapisaneIle() { return Zapisane()->count; }

const char* ZapisaneWpis(size_t i, bool* folder) {
    Record* r = Zapisane();
    const char* entry = r->text + r->offsets[i].offset;
    *folder = entry[0] == 'D';
    return entry + 1;
}

void ZapisaneUstawSume(size_t i, uint32_t size, uint32_t crc) {
    Record* r = Zapisane();
    if (i < r->count) {
        r->offsets[i].size = size;
        r->offsets[i].crc = crc;
    }
}

void ZapisaneSuma(size_t i, uint32_t* size, uint32_t* crc) {
    Entry e = Zapisane()->offsets[i];
    *size = e.size;
    *crc = e.crc;
}

void ZapisaneCofnij() {
    bool folder;
    for (size_t i = ZapisaneIle(); i-- > 0;) {
        const char* path = ZapisaneWpis(i, &folder);
        if (!folder)
            DeleteFileA(path);
    }
    // Folders were recorded parent first, so going backwards removes children
    // before their parents; a folder that still holds something stays.
    for (size_t i = ZapisaneIle(); i-- > 0;) {
        const char* path = ZapisaneWpis(i, &folder);
        if (folder)
            RemoveDirectoryA(path);
    }
    ZapisaneReset();
}
