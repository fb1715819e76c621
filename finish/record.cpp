// The uninstall record's writer. Numbers are plain decimal; [lnk] and [reg]
// count from 1 without gaps because the finish sequence deletes them first.
#include "finish/record.h"

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "config/config.h"
#include "package/record.h"
#include "platform/win32api.h"
#include "shell/scratch.h"
#include "shell/switches.h"

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
    LogLine("record [%s] %s=%s%s%s: %s", section, number, entry, valueName ? ", value " : "", valueName ? valueName : "",
            ok ? "written" : "failed");
    return ok != FALSE;
}

void addtouninstlist(char* value, const char* recordPath, char* path, char* number) {
    GetFromCfg("maxU", value, kSecIndex, kInitCfg);
    int end = atoi(value);
    if (end == 0)
        return;
    LogLine("record [maxU] 1=%s: %s", value,
            WritePrivateProfileStringA("maxU", "1", value, recordPath) ? "written" : "failed");
    if (end > kMaxListEnd)
        end = kMaxListEnd;
    for (int k = 1; k < end; ++k) {
        snprintf(number, 16, "%d", k);
        GetFromCfg(number, path, kSecRunU, kInitCfg);
        if (path[0] != '\0')
            LogLine("record [RunU] %s=%s: %s", number, path,
                    WritePrivateProfileStringA("RunU", number, path, recordPath) ? "written" : "failed");
    }
}

bool ZapiszListePlikow(const char* destination, const char* listPath) {
    HANDLE list = CreateFileA(listPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (list == INVALID_HANDLE_VALUE)
        return false;
    size_t prefix = strlen(destination);
    bool ok = true;
    for (size_t i = 0; i < ZapisaneIle() && ok; ++i) {
        bool folder = false;
        const char* path = ZapisaneWpis(i, &folder);
        if (folder || strncmp(path, destination, prefix) != 0 || path[prefix] != '\\' || path[prefix + 1] == '\0')
            continue;
        uint32_t size = 0, crc = 0;
        ZapisaneSuma(i, &size, &crc);
        char line[MAX_PATH + 32];
        int n = snprintf(line, sizeof line, "%lu %08lX %s\r\n", static_cast<unsigned long>(size),
                         static_cast<unsigned long>(crc), path + prefix + 1);
        DWORD put = 0;
        ok = n > 0 && n < static_cast<int>(sizeof line) && WriteFile(list, line, static_cast<DWORD>(n), &put, nullptr) &&
             put == static_cast<DWORD>(n);
    }
    return CloseHandle(list) && ok;
}

void ZapiszJezyk(const char* target) {
    char chosen[MAX_PATH];
    dircfg("8", chosen, 0, sizeof chosen);
    DeleteFileA(target);
    CopyFileA(chosen, target, FALSE);
}
