// The scratch settings file. Nothing is cached: every dircfg call goes to the
// file.
#include "base/scratch.h"

#include <cstdio>
#include <cstring>

#include "platform/win32api.h"

char* tmp_dir() {
    static char path[MAX_PATH];
    return path;
}

int dircfg(const char* key, char* buffer, unsigned short mode, int size) {
    // Room for the whole scratch path and the name: a cut name would be
    // another file. The scratch folder is chosen short enough (kMaxTempPath).
    char file[MAX_PATH + sizeof "\\init.cfg"];
    snprintf(file, sizeof file, "%s\\init.cfg", tmp_dir());
    if (mode == 0)
        return static_cast<int>(GetPrivateProfileStringA("t1", key, "", buffer, static_cast<DWORD>(size), file));
    if (mode == 1)
        return WritePrivateProfileStringA("t1", key, buffer, file);
    return mode;
}

namespace {

// The key's name in the file: its number in decimal.
void KeyName(ScratchKey key, char name[4]) { snprintf(name, 4, "%d", static_cast<int>(key)); }

}  // namespace

bool ScratchRead(ScratchKey key, char* buffer, size_t size) {
    char name[4];
    KeyName(key, name);
    if (size == 0)
        return false;
    buffer[0] = '\0';
    return dircfg(name, buffer, 0, static_cast<int>(size)) > 0;
}

bool ScratchWrite(ScratchKey key, const char* value) {
    char name[4];
    KeyName(key, name);
    // Mode 1 only reads the buffer.
    return dircfg(name, const_cast<char*>(value), 1, static_cast<int>(strlen(value))) != 0;
}
