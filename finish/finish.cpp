// The finish sequence and the Uninstall registry key. No step's result stops
// the sequence; nothing is reported to the user.
#include "finish/finish.h"

#include <cstdio>
#include <cstring>

#include "config/config.h"
#include "finish/record.h"
#include "pages/pages.h"
#include "shell/files.h"
#include "shell/scratch.h"
#include "shell/switches.h"

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// The product name's share of the Uninstall key path.
const size_t kKeyNameField = 64;

} // namespace

bool OptionChosen(int id) {
    if (Unattended())
        return SilentChoice(id);
    HWND box = GetDlgItem(HwndMain()[6], id);
    return box && IsWindowEnabled(box) && SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

LONG DodajDlListy() {
    char name[kCfgValueSize];
    GetFromCfg("1", name, kSecCfg, kInitCfg);
    char key[MAX_PATH];
    snprintf(key, sizeof key, "%s%.*s", kUninstallKey, static_cast<int>(kKeyNameField), name);
    WriteToUnInstall(true, key, nullptr);
    addregister(key, "DisplayName", reinterpret_cast<unsigned char*>(name), 1, 1, static_cast<int>(strlen(name)),
                REG_SZ);
    char destination[MAX_PATH];
    char uninstaller[MAX_PATH + 32];
    dircfg("10", destination, 0, sizeof destination);
    snprintf(uninstaller, sizeof uninstaller, "\"%s\\Uninstall\\UnInst.exe\"", destination);
    addregister(key, "DisplayIcon", reinterpret_cast<unsigned char*>(uninstaller), 1, 1,
                static_cast<int>(strlen(uninstaller)), REG_SZ);
    LONG result = addregister(key, "UninstallString", reinterpret_cast<unsigned char*>(uninstaller), 1, 1,
                              static_cast<int>(strlen(uninstaller)), REG_SZ);
    LogLine("Uninstall key HKEY_LOCAL_MACHINE\\%s: %s (%ld)", key, result == ERROR_SUCCESS ? "written" : "failed",
            static_cast<long>(result));
    // Deployment tools remove a product without questions through this
    // value, beside the interactive one.
    strncat(uninstaller, " /S", sizeof uninstaller - 1 - strlen(uninstaller));
    addregister(key, "QuietUninstallString", reinterpret_cast<unsigned char*>(uninstaller), 1, 1,
                static_cast<int>(strlen(uninstaller)), REG_SZ);
    return result;
}

void ZakonczInstalace() {
    *InstalacjaZakonczona() = 0;

    char destination[MAX_PATH];
    char record[MAX_PATH];
    dircfg("10", destination, 0, sizeof destination);
    bool fits = snprintf(record, sizeof record, "%s\\UnInstall\\UnInst.cfg", destination) < MAX_PATH;
    if (fits) {
        WritePrivateProfileStringA("lnk", nullptr, nullptr, record);
        WritePrivateProfileStringA("reg", nullptr, nullptr, record);
        CreateBaseDirectory(record);
        char value[kCfgValueSize], path[kCfgValueSize], number[16];
        addtouninstlist(value, record, path, number);
        dircfg("11", record, 1, static_cast<int>(strlen(record)));

        char beside[MAX_PATH];
        if (snprintf(beside, sizeof beside, "%s\\UnInstall\\Files.lst", destination) < MAX_PATH)
            LogLine("file list %s: %s", beside, ZapiszListePlikow(destination, beside) ? "written" : "failed");
        if (snprintf(beside, sizeof beside, "%s\\UnInstall\\Language.lng", destination) < MAX_PATH)
            ZapiszJezyk(beside);

        char source[MAX_PATH], copy[MAX_PATH];
        dircfg("9", source, 0, sizeof source);
        strncat(source, "\\UnInst.dat", sizeof source - 1 - strlen(source));
        if (snprintf(copy, sizeof copy, "%s\\UnInstall\\UnInst.exe", destination) < MAX_PATH)
            LogLine("uninstaller %s: %s", copy, CopyFileA(source, copy, FALSE) ? "written" : "failed");

        char lnk[MAX_PATH];
        CfgPath(kLnkCfg, lnk);
        UINT m = GetPrivateProfileIntA("index2", "max", 1, lnk);
        char entry[16];
        snprintf(entry, sizeof entry, "%u", m);
        WritePrivateProfileStringA("menu", entry, "UnInstall\\UnInst.exe", lnk);
        snprintf(entry, sizeof entry, "%u", m + 1);
        WritePrivateProfileStringA("index2", "max", entry, lnk);

        DodajDlListy();
        MakeShortcut(0);
        MakeShortcut(1);
        DodajDoRejestru();

        if (OptionChosen(302)) {
            char info[kCfgValueSize];
            GetFromCfg("3", info, kSecCfg, kInitCfg);
            howtorun(info, destination);
        }
        char value2[kCfgValueSize], path2[MAX_PATH], flag[kCfgValueSize];
        runfrominitcfg(value2, path2, number, flag, true);
        if (OptionChosen(303))
            runfrominitcfg(value2, path2, number, flag, false);
    }
    ZakonczWszystko();
}
