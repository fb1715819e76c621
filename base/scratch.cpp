// The scratch settings file. Nothing is cached: every dircfg call goes to the
// file, so the extraction worker may read key 10 safely.
#include "base/scratch.h"

#include <cstdio>

#include "platform/win32api.h"

char* tmp_dir() {
    static char path[MAX_PATH];
    return path;
}

int dircfg(const char* key, char* buffer, unsigned short mode, int size) {
    char file[MAX_PATH];
    snprintf(file, sizeof file, "%s\\init.cfg", tmp_dir());
    if (mode == 0)
        return static_cast<int>(GetPrivateProfileStringA("t1", key, "", buffer, static_cast<DWORD>(size), file));
    if (mode == 1)
        return WritePrivateProfileStringA("t1", key, buffer, file);
    return mode;
}
