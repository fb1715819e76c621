// The product's Uninstall key: the values that register the product, under
// HKEY_LOCAL_MACHINE or, for an installation for one user, HKEY_CURRENT_USER. Every
// value goes through the registry accessor and is named in the log; the
// key's removal is the uninstaller's, which deletes it whole.
#include "finish/product.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "base/format.h"
#include "base/installed.h"
#include "base/switches.h"
#include "config/config.h"
#include "finish/record.h"
#include "finish/registry.h"

namespace {

LONG SetText(short root, const char* key, const char* name, char* text) {
    LONG result = addregister(key, name, reinterpret_cast<unsigned char*>(text), 1, root,
                              static_cast<int>(strlen(text)), REG_SZ);
    LogLine("Uninstall key %s = %s: %s (%ld)", name, text, result == ERROR_SUCCESS ? "written" : "failed",
            static_cast<long>(result));
    return result;
}

// A REG_DWORD through the accessor, which takes it as eight hexadecimal
// digits, most significant first.
LONG SetNumber(short root, const char* key, const char* name, unsigned long value) {
    char digits[16];
    snprintf(digits, sizeof digits, "%08lX", value);
    LONG result = addregister(key, name, reinterpret_cast<unsigned char*>(digits), 1, root, 8, REG_DWORD);
    LogLine("Uninstall key %s = %lu: %s (%ld)", name, value, result == ERROR_SUCCESS ? "written" : "failed",
            static_cast<long>(result));
    return result;
}

// Bytes of the file at path (0 when it cannot be read), added to *total.
void AddFileSize(const char* path, unsigned long long* total) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(path, GetFileExInfoStandard, &data) && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        *total += (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The installed files' size in KiB, rounded up: the sizes the file list
// gives for the product's files (this run's and an upgraded one's) and the
// record folder's own files as they are now. The list is this run's own
// file; a line it cannot read adds nothing.
unsigned long InstalledKiB(const char* destination) {
    unsigned long long total = 0;
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s\\%s\\%s", destination, kRecordFolder, kFileListFile);
    FILE* list = fopen(path, "rb");
    char line[MAX_PATH + 32];
    while (list && fgets(line, sizeof line, list)) {
        if (line[0] >= '0' && line[0] <= '9')
            total += strtoull(line, nullptr, 10);
        while (!strchr(line, '\n') && fgets(line, sizeof line, list)) {
        }
    }
    if (list)
        fclose(list);
    for (const char* file : {kRecordFile, kFileListFile, kLanguageRecordFile, kUninstallerFile}) {
        snprintf(path, sizeof path, "%s\\%s\\%s", destination, kRecordFolder, file);
        AddFileSize(path, &total);
    }
    unsigned long long kib = (total + 1023) / 1024;
    return kib > 0xFFFFFFFFull ? 0xFFFFFFFFul : static_cast<unsigned long>(kib);
}

// The values for deployment tools and the list of installed programs:
// version, publisher and address when init.cfg [product] gives them, the
// folder, today's date, the size, and no Modify or Repair button.
void SetIdentity(short root, const char* key, const char* destination) {
    const char* const kGiven[3][2] = {{kProductVersion, kDisplayVersionValue},
                                      {kProductPublisher, kPublisherValue},
                                      {kProductUrl, kUrlInfoValue}};
    char value[kCfgValueSize];
    for (const auto& given : kGiven) {
        GetFromCfg(given[0], value, kSecProduct, kInitCfg);
        if (value[0] != '\0')
            SetText(root, key, given[1], value);
    }
    snprintf(value, sizeof value, "%s", destination);
    SetText(root, key, kInstallLocationValue, value);
    SYSTEMTIME today;
    GetLocalTime(&today);
    snprintf(value, sizeof value, "%04u%02u%02u", today.wYear, today.wMonth, today.wDay);
    SetText(root, key, kInstallDateValue, value);
    SetNumber(root, key, kEstimatedSizeValue, InstalledKiB(destination));
    SetNumber(root, key, kNoModifyValue, 1);
    SetNumber(root, key, kNoRepairValue, 1);
}

// The icon of the list of installed programs: the installed file that
// init.cfg [product] Program names (quoted, like the uninstaller's), else the
// uninstaller itself. A name outside the product, or no file of it, keeps
// the uninstaller's icon.
void ProductIcon(const char* destination, const char* uninstaller, char* icon, size_t size) {
    char program[kCfgValueSize], path[MAX_PATH];
    GetFromCfg(kProductProgram, program, kSecProduct, kInitCfg);
    snprintf(icon, size, "%s", uninstaller);
    if (program[0] == '\0')
        return;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (IsSafeMemberPath(program, strlen(program)) &&
        snprintf(path, sizeof path, "%s\\%s", destination, program) < static_cast<int>(sizeof path))
        attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
        LogLine("[product] Program %s: not a file of the product, the uninstaller's icon stays", program);
        return;
    }
    snprintf(icon, size, "\"%s\"", path);
}

}  // namespace

LONG DodajDlListy(const Installation& installation) {
    // Without a name the key would be the Uninstall key itself, which holds
    // every product's entry: nothing is registered.
    if (installation.product[0] == '\0')
        return ERROR_SUCCESS;
    const char* key = installation.productKey;
    const char* destination = installation.destination;
    short root = installation.root;
    WriteToUnInstall(true, key, nullptr);
    char name[kCfgValueSize];
    snprintf(name, sizeof name, "%s", installation.product);
    SetText(root, key, "DisplayName", name);
    char uninstaller[MAX_PATH + 32];
    snprintf(uninstaller, sizeof uninstaller, "\"%s%s\"", destination, kUninstallerCommand);
    char icon[MAX_PATH + 32];
    ProductIcon(destination, uninstaller, icon, sizeof icon);
    SetText(root, key, "DisplayIcon", icon);
    LONG result = SetText(root, key, "UninstallString", uninstaller);
    LogLine("Uninstall key %s\\%s: %s (%ld)", kRegistryRoots[root], key, result == ERROR_SUCCESS ? "written" : "failed",
            static_cast<long>(result));
    // Deployment tools remove a product without questions through this
    // value, beside the interactive one.
    strncat(uninstaller, " /S", sizeof uninstaller - 1 - strlen(uninstaller));
    SetText(root, key, kQuietUninstallValue, uninstaller);
    SetIdentity(root, key, destination);
    return result;
}
