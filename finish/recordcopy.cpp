// The uninstall record as this run writes it, kept in memory beside the
// file: its seal is taken of these bytes, written out whole, never of a file
// read back after later steps.
#include "finish/recordcopy.h"

#include <cstdlib>
#include <cstring>

#include "base/ini.h"
#include "package/heldfiles.h"
#include "platform/win32api.h"
#include "trust/digest.h"

namespace {

// The record's text, changed by each write as the profile functions change
// the file: a section and a key stay where they were first written, a later
// write of a key replaces its value in place.
struct RecordCopy {
    char* text;
    size_t size, capacity;
    bool lost;  // memory ran out: the copy is not the record, and seals nothing
};

RecordCopy* Copy() {
    static RecordCopy copy;
    return &copy;
}

}  // namespace

void CopyReset() {
    RecordCopy* c = Copy();
    free(c->text);
    *c = RecordCopy();
}

void CopySet(const char* section, const char* key, const char* value) {
    RecordCopy* c = Copy();
    if (c->lost)
        return;
    size_t needed = c->size + IniSetRoom(section, key, value);
    if (needed > c->capacity) {
        size_t grown = 2 * c->capacity > needed ? 2 * c->capacity : needed + 1024;
        char* more = static_cast<char*>(realloc(c->text, grown));
        if (!more) {
            c->lost = true;
            return;
        }
        c->text = more;
        c->capacity = grown;
    }
    IniSet(c->text, &c->size, c->capacity, section, key, value);
}

bool WriteSealedRecord(const char* recordPath, const char* keyPath, const char* folder, char digest[kDigestTextSize]) {
    digest[0] = '\0';
    const RecordCopy* c = Copy();
    if (c->lost)
        return false;
    const char* text = c->text ? c->text : "";
    size_t size = c->size;
    HANDLE file = HeldCreateAfresh(recordPath, GENERIC_WRITE);
    DWORD put = 0;
    bool ok = file != INVALID_HANDLE_VALUE && WriteFile(file, text, static_cast<DWORD>(size), &put, nullptr) &&
              put == size;
    if (file != INVALID_HANDLE_VALUE && !CloseHandle(file))
        ok = false;
    return ok && SealDigest(keyPath, text, size, digest, folder);
}
