// The uninstall record as this run writes it, kept in memory beside the
// file: its seal is taken of these bytes, written out whole, never of a file
// read back after later steps.
#include "finish/recordcopy.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win32api.h"
#include "trust/digest.h"

namespace {

// The record's entries in the order they were first written; a later write
// of the same key replaces the value where it stands, as the profile
// functions do.
struct RecordEntry {
    char section[8];
    char key[16];
    char* value;
};

struct RecordCopy {
    RecordEntry* entries;
    size_t count, capacity;
    bool lost;  // memory ran out: the copy is not the record, and seals nothing
};

RecordCopy* Copy() {
    static RecordCopy copy;
    return &copy;
}

// The record's text from the copy kept as it was written: each section in
// the order it was first written, its keys likewise. Null when memory ran
// out now or while the copy was kept; the caller frees the text.
char* RecordText(size_t* size) {
    RecordCopy* c = Copy();
    size_t total = 1;
    for (size_t i = 0; i < c->count; ++i)
        total += strlen(c->entries[i].section) + strlen(c->entries[i].key) + strlen(c->entries[i].value) + 8;
    char* text = c->lost ? nullptr : static_cast<char*>(malloc(total));
    if (!text)
        return nullptr;
    size_t used = 0;
    for (size_t i = 0; i < c->count; ++i) {
        const char* section = c->entries[i].section;
        bool first = true;
        for (size_t j = 0; j < i && first; ++j)
            first = strcmp(c->entries[j].section, section) != 0;
        if (!first)
            continue;
        used += snprintf(text + used, total - used, "[%s]\r\n", section);
        for (size_t j = i; j < c->count; ++j)
            if (strcmp(c->entries[j].section, section) == 0)
                used += snprintf(text + used, total - used, "%s=%s\r\n", c->entries[j].key, c->entries[j].value);
    }
    *size = used;
    return text;
}

} // namespace

void CopyReset() {
    RecordCopy* c = Copy();
    for (size_t i = 0; i < c->count; ++i)
        free(c->entries[i].value);
    free(c->entries);
    *c = RecordCopy();
}

void CopySet(const char* section, const char* key, const char* value) {
    RecordCopy* c = Copy();
    size_t i = 0;
    while (i < c->count && !(strcmp(c->entries[i].section, section) == 0 && strcmp(c->entries[i].key, key) == 0))
        ++i;
    char* text = static_cast<char*>(malloc(strlen(value) + 1));
    if (i == c->count && c->count == c->capacity) {
        size_t grown = c->capacity ? 2 * c->capacity : 64;
        RecordEntry* more = static_cast<RecordEntry*>(realloc(c->entries, grown * sizeof *more));
        if (more) {
            c->entries = more;
            c->capacity = grown;
        }
    }
    if (!text || i == c->capacity) {
        free(text);
        c->lost = true;
        return;
    }
    strcpy(text, value);
    if (i == c->count) {
        snprintf(c->entries[i].section, sizeof c->entries[i].section, "%s", section);
        snprintf(c->entries[i].key, sizeof c->entries[i].key, "%s", key);
        ++c->count;
    } else {
        free(c->entries[i].value);
    }
    c->entries[i].value = text;
}

bool WriteSealedRecord(const char* recordPath, const char* keyPath, char digest[kDigestTextSize]) {
    digest[0] = '\0';
    size_t size = 0;
    char* text = RecordText(&size);
    if (!text)
        return false;
    HANDLE file = CreateFileA(recordPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD put = 0;
    bool ok = file != INVALID_HANDLE_VALUE && WriteFile(file, text, static_cast<DWORD>(size), &put, nullptr) &&
              put == size;
    if (file != INVALID_HANDLE_VALUE && !CloseHandle(file))
        ok = false;
    ok = ok && SealDigest(keyPath, text, size, digest);
    free(text);
    return ok;
}

