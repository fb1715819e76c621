// Registry value texts. Everything works in fixed 260-byte buffers and never
// writes past them.
#include "finish/values.h"

#include <cstdio>
#include <cstring>

#include "base/installed.h"
#include "base/state.h"
#include "platform/win32api.h"

int hextoi(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    return c - 55;
}

void convertvalue(unsigned char* text) {
    size_t length = strlen(reinterpret_cast<char*>(text));
    for (size_t i = 0; i < length; ++i)
        if (text[i] >= 'a' && text[i] <= 'z')
            text[i] = static_cast<unsigned char>(text[i] - 'a' + 'A');
    for (size_t i = 0; i < length / 2; ++i) {
        unsigned char t = text[i];
        text[i] = text[length - 1 - i];
        text[length - 1 - i] = t;
    }
    // Byte j is written over position j, which is never ahead of the
    // characters 2j and 2j + 1 still to be read.
    for (size_t j = 0; 2 * j + 1 < length; ++j)
        text[j] = static_cast<unsigned char>(16 * hextoi(static_cast<char>(text[2 * j + 1])) +
                                             hextoi(static_cast<char>(text[2 * j])));
}

short FindKeyType(char* path) {
    short root = RegistryRootOf(path);
    if (root == kNoRegistryRoot)
        return 4;
    char* first = strchr(path, '\\');
    memmove(path, first + 1, strlen(first + 1) + 1);
    return root;
}

bool replacestr(const char* pattern, char* text, char* work, char* marker, const char* replacement) {
    size_t patternLength = strlen(pattern), replacementLength = strlen(replacement);
    if (patternLength == 0)
        return true;
    size_t from = 0;
    work[0] = '\0';
    size_t used = 0;
    for (;;) {
        char* found = strstr(text + from, pattern);
        size_t before = found ? static_cast<size_t>(found - (text + from)) : strlen(text + from);
        size_t add = before + (found ? replacementLength : 0);
        if (used + add > MAX_PATH - 1)
            return false;
        memcpy(work + used, text + from, before);
        used += before;
        if (!found)
            break;
        memcpy(work + used, replacement, replacementLength);
        used += replacementLength;
        strcpy(marker, "3");
        from += before + patternLength;
    }
    work[used] = '\0';
    memcpy(text, work, used + 1);
    return true;
}

bool SciezkaDynamicznie(char* value, char* type, const char* destination) {
    char replacement[MAX_PATH];
    snprintf(replacement, sizeof replacement, "%s", destination);
    size_t length = strlen(replacement);
    if (length > 0 && replacement[length - 1] == '\\')
        replacement[length - 1] = '\0';
    char pattern[MAX_PATH];
    snprintf(pattern, sizeof pattern, "%%ProgramFiles%%\\%s", NazwaProgramu());
    char work[MAX_PATH];
    return replacestr(pattern, value, work, type, replacement);
}
