// The uninstall record's writer. Numbers are plain decimal; [lnk] and [reg]
// count from 1 without gaps because the finish sequence deletes them first.
#include "finish/record.h"

#include <cstdio>
#include <cstdlib>

#include "config/config.h"
#include "platform/win32api.h"
#include "shell/scratch.h"

bool WriteToUnInstall(bool reg, const char* entry, const char* valueName) {
    char record[MAX_PATH];
    dircfg("11", record, 0, sizeof record);
    const char* section = reg ? "reg" : "lnk";
    UINT n = GetPrivateProfileIntA(section, "max", 0, record) + 1;
    char number[16];
    snprintf(number, sizeof number, "%u", n);
    BOOL ok = WritePrivateProfileStringA(section, "max", number, record);
    ok = WritePrivateProfileStringA(section, number, entry, record);
    if (valueName)
        ok = WritePrivateProfileStringA("sub", number, valueName, record);
    return ok != FALSE;
}

void addtouninstlist(char* value, const char* recordPath, char* path, char* number) {
    GetFromCfg("maxU", value, kSecIndex, kInitCfg);
    int end = atoi(value);
    if (end == 0)
        return;
    WritePrivateProfileStringA("maxU", "1", value, recordPath);
    if (end > kMaxListEnd)
        end = kMaxListEnd;
    for (int k = 1; k < end; ++k) {
        snprintf(number, 16, "%d", k);
        GetFromCfg(number, path, kSecRunU, kInitCfg);
        if (path[0] != '\0')
            WritePrivateProfileStringA("RunU", number, path, recordPath);
    }
}
