// The finish sequence and the Uninstall registry key. Its start (the record,
// the file list, the uninstaller) can fail and then takes the whole
// installation back; after it, no step's result stops the sequence.
#include "finish/finish.h"

#include <cstdio>
#include <cstring>

#include "config/config.h"
#include "finish/record.h"
#include "finish/seal.h"
#include "package/extract.h"
#include "package/record.h"
#include "pages/pages.h"
#include "base/files.h"
#include "base/scratch.h"
#include "base/switches.h"

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

void KluczProduktu(char* key, size_t size) {
    char name[kCfgValueSize];
    GetFromCfg("1", name, kSecCfg, kInitCfg);
    if (name[0] == '\0')
        key[0] = '\0';
    else
        snprintf(key, size, "%s%.*s", kUninstallKey, static_cast<int>(kKeyNameField), name);
}

LONG DodajDlListy() {
    char name[kCfgValueSize];
    GetFromCfg("1", name, kSecCfg, kInitCfg);
    // Without a name the key would be the Uninstall key itself, which holds
    // every product's entry: nothing is registered.
    if (name[0] == '\0')
        return ERROR_SUCCESS;
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

namespace {

// A finish whose start failed: everything this run wrote is taken back and
// the wizard ends with the reason.
void CofnijZakonczenie(SectionResult result) {
    ZapisaneCofnij();
    UsunFolderyStrony();
    ZglosWynik(result);
    ZakonczWszystko();
}

} // namespace

SectionResult ZakonczInstalace() {
    *InstalacjaZakonczona() = 0;

    char destination[MAX_PATH];
    char record[MAX_PATH];
    dircfg("10", destination, 0, sizeof destination);
    bool fits = snprintf(record, sizeof record, "%s\\UnInstall\\UnInst.cfg", destination) < MAX_PATH;
    // Up to here an installation can still be taken back as a whole: the
    // record, the file list and the uninstaller are written over kept files.
    char productKey[MAX_PATH], source[MAX_PATH];
    KluczProduktu(productKey, sizeof productKey);
    dircfg("9", source, 0, sizeof source);
    strncat(source, "\\UnInst.dat", sizeof source - 1 - strlen(source));
    SectionResult start = fits ? ZacznijRekord(destination, productKey[0] ? productKey : nullptr, source)
                               : kSectionWriteFailed;
    if (start != kSectionOk) {
        LogLine("record, file list and uninstaller in %s\\UnInstall: not written, taken back", destination);
        CofnijZakonczenie(start);
        return start;
    }
    const char* const written[][2] = {
        {"file list", "Files.lst"}, {"record", "UnInst.cfg"}, {"uninstaller", "UnInst.exe"}};
    for (const auto& file : written)
        LogLine("%s %s\\UnInstall\\%s: written", file[0], destination, file[1]);
    ZapisaneZatwierdz();
    if (fits) {
        WritePrivateProfileStringA("lnk", nullptr, nullptr, record);
        WritePrivateProfileStringA("reg", nullptr, nullptr, record);
        char value[kCfgValueSize], path[kCfgValueSize], number[16];
        addtouninstlist(value, record, path, number);
        dircfg("11", record, 1, static_cast<int>(strlen(record)));

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
        SealRecord();

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
    return kSectionOk;
}
