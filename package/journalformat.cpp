// The journal's lines: built with their CRC, read back in place. Reading
// stops at the first line that does not check or does not parse, so a line
// torn by a power cut is never obeyed, and nothing after it either.
#include "package/journalformat.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <zlib.h>

namespace {

uint32_t LineCrc(const char* text, size_t n) {
    return static_cast<uint32_t>(::crc32(::crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(text),
                                         static_cast<uInt>(n)));
}

bool ParseHex(const char* text, uint32_t* value) {
    if (text[0] == '\0' || strlen(text) > 8)
        return false;
    char* end = nullptr;
    unsigned long v = strtoul(text, &end, 16);
    if (*end != '\0')
        return false;
    *value = static_cast<uint32_t>(v);
    return true;
}

// Cuts the next line out of text at *at: its fields (at most max) into
// fields. Returns the number of fields; 0 at the end, -1 for a line that does
// not check.
int NextLine(char* text, size_t size, size_t* at, char** fields, int max) {
    if (*at >= size || text[*at] == '\0')
        return 0;
    char* line = text + *at;
    char* end = static_cast<char*>(memchr(line, '\n', size - *at));
    if (!end || end == line || end[-1] != '\r')
        return -1;
    *at = static_cast<size_t>(end - text) + 1;
    end[-1] = '\0';
    char* tab = strrchr(line, '\t');
    uint32_t stored = 0;
    if (!tab || !ParseHex(tab + 1, &stored) || strlen(tab + 1) != 8 ||
        LineCrc(line, static_cast<size_t>(tab - line)) != stored)
        return -1;
    *tab = '\0';
    int count = 0;
    for (char* field = line; count < max;) {
        fields[count++] = field;
        char* next = strchr(field, '\t');
        if (!next)
            return count;
        *next = '\0';
        field = next + 1;
    }
    return -1;
}

// The fields a record of each type has, its type included.
int FieldsOf(char type) {
    switch (type) {
    case 'D':
    case 'P':
        return 2;
    case 'F':
        return 4;
    case 'K':
        return 4;
    case 'U':
        return 3;
    case 'V':
        return 7;
    case 'N':
        return 3;
    case 'C':
    case 'G':
        return 1;
    default:
        return -1;
    }
}

bool ToRecord(char** f, int n, JournalRecord* r) {
    if (strlen(f[0]) != 1 || FieldsOf(f[0][0]) != n)
        return false;
    memset(r, 0, sizeof *r);
    r->type = f[0][0];
    switch (r->type) {
    case 'D':
    case 'P':
        r->path = f[1];
        return true;
    case 'F':
        r->path = f[1];
        return ParseHex(f[2], &r->number[0]) && ParseHex(f[3], &r->number[1]);
    case 'K':
        r->path = f[1];
        r->second = f[2];
        return ParseHex(f[3], &r->number[0]);
    case 'U':
        r->path = f[1];
        r->second = f[2];
        return true;
    case 'V':
        r->path = f[2];
        r->second = f[3];
        r->data = f[6];
        return ParseHex(f[1], &r->number[0]) && ParseHex(f[4], &r->number[1]) && ParseHex(f[5], &r->number[2]);
    case 'N':
        r->path = f[2];
        return ParseHex(f[1], &r->number[0]);
    default:
        return true;
    }
}

}  // namespace

size_t JournalLine(char* out, size_t size, const char* const* fields, int count) {
    size_t n = 0;
    for (int i = 0; i < count; ++i) {
        size_t length = strlen(fields[i]);
        if (strcspn(fields[i], "\t\r\n") != length || n + length + 1 >= size)
            return 0;
        if (i > 0)
            out[n++] = '\t';
        memcpy(out + n, fields[i], length);
        n += length;
    }
    int tail = snprintf(out + n, size - n, "\t%08lX\r\n", static_cast<unsigned long>(LineCrc(out, n)));
    if (tail < 0 || n + static_cast<size_t>(tail) >= size)
        return 0;
    return n + static_cast<size_t>(tail);
}

bool ParseJournal(char* text, size_t size, ParsedJournal* journal) {
    memset(journal, 0, sizeof *journal);
    char* f[8];
    size_t at = 0;
    int n = NextLine(text, size, &at, f, 8);
    if (n != 7 || strcmp(f[0], kJournalMagic) != 0 || strcmp(f[1], kJournalVersion) != 0 || strlen(f[2]) != 1 ||
        (f[2][0] != kJournalInstall && f[2][0] != kJournalRemoval) || f[3][0] == '\0' ||
        !ParseHex(f[5], &journal->process) || (strcmp(f[6], "0") != 0 && strcmp(f[6], "1") != 0))
        return false;
    journal->kind = f[2][0];
    journal->madeRecordFolder = f[6][0] == '1';
    journal->destination = f[3];
    journal->productKey = f[4];
    // Every record takes one line of at least four characters.
    size_t most = size / 4 + 1;
    journal->records = static_cast<JournalRecord*>(malloc(most * sizeof(JournalRecord)));
    if (!journal->records)
        return false;
    while ((n = NextLine(text, size, &at, f, 8)) != 0) {
        if (n < 0 || journal->count == most || !ToRecord(f, n, &journal->records[journal->count])) {
            journal->torn = true;
            break;
        }
        ++journal->count;
    }
    return true;
}

bool JournalHeaderTorn(const char* text, size_t size) {
    const char* end = static_cast<const char*>(memchr(text, '\n', size));
    return !end;
}

void FreeJournal(ParsedJournal* journal) {
    free(journal->records);
    journal->records = nullptr;
    journal->count = 0;
}

HKEY RegistryRootKey(uint32_t index) {
    static const HKEY kRoots[4] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, HKEY_USERS};
    return index < 4 ? kRoots[index] : nullptr;
}

void HexBytes(const unsigned char* bytes, size_t size, char* out) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < size; ++i) {
        out[2 * i] = kDigits[bytes[i] >> 4];
        out[2 * i + 1] = kDigits[bytes[i] & 15];
    }
    out[2 * size] = '\0';
}

long UnhexBytes(const char* text, unsigned char* out, size_t room) {
    size_t length = strlen(text);
    if (length % 2 != 0 || length / 2 > room)
        return -1;
    for (size_t i = 0; i < length / 2; ++i) {
        unsigned value = 0;
        for (int k = 0; k < 2; ++k) {
            char c = text[2 * i + k];
            int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
            if (d < 0)
                return -1;
            value = value * 16 + static_cast<unsigned>(d);
        }
        out[i] = static_cast<unsigned char>(value);
    }
    return static_cast<long>(length / 2);
}
