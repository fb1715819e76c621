// Scratch folder and scratch settings file. Nothing is cached: every dircfg
// call goes to the file, so the extraction worker may read key 10 safely.
#include "shell/scratch.h"

#include <cstdio>
#include <cstring>

#include "platform/win32api.h"

char* tmp_dir() {
    static char path[MAX_PATH];
    return path;
}

bool ustawtmp() {
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length > kMaxTempPath)
        return true;
    for (;;) {
        int n = snprintf(tmp_dir(), MAX_PATH, "%sBrondale%d", temp, static_cast<int>(GetTickCount()));
        if (n < MAX_PATH && _access(tmp_dir(), 0) != 0)
            return false;
    }
}

void AddToReg(char* path, const char* key, const char* name) {
    strncat(path, name, MAX_PATH - 1 - strlen(path));
    CreateDirectoryA(path, nullptr);
    dircfg(key, path, 1, static_cast<int>(strlen(path)));
}

void GetCfg() {
    char base[MAX_PATH];
    // A folder of that name may have appeared since ustawtmp looked (planted,
    // or another copy started in the same tick): never use one we did not
    // create.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        snprintf(base, sizeof base, "%s\\", tmp_dir());
        if (CreateDirectoryA(base, nullptr) || GetLastError() != ERROR_ALREADY_EXISTS)
            break;
        ustawtmp();
    }
    char copy[MAX_PATH];
    memcpy(copy, base, sizeof copy);
    AddToReg(base, "8", "Lang");
    AddToReg(copy, "9", "Install");
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
