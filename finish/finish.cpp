// The finish sequence. Its start (the record, the file list, the
// uninstaller) can fail and then takes the whole installation back; after
// it, no step's result stops the sequence.
#include "finish/finish.h"

#include <cstdio>
#include <cstring>

#include "base/installed.h"
#include "base/scratch.h"
#include "base/state.h"
#include "base/switches.h"
#include "config/config.h"
#include "finish/launch.h"
#include "finish/product.h"
#include "finish/record.h"
#include "finish/registry.h"
#include "finish/seal.h"
#include "finish/shortcuts.h"
#include "package/destination.h"
#include "package/record.h"

namespace {

// A finish whose start failed: everything this run wrote is taken back and
// the reason is reported.
void UndoFinish(SectionResult result) {
    WrittenTakeBack();
    RemoveDestinationFolders();
    ReportResult(result);
}

// Writes the record, the file list and the uninstaller over kept files, so
// that up to here the installation can still be taken back as a whole.
// Fills record with the record's path.
SectionResult StartRecord(const char* destination, char* record) {
    if (snprintf(record, MAX_PATH, "%s\\%s\\%s", destination, kRecordFolder, kRecordFile) >= MAX_PATH)
        return kSectionWriteFailed;
    char productKey[MAX_PATH], source[MAX_PATH];
    ProductKeyPath(productKey, sizeof productKey);
    dircfg("9", source, 0, sizeof source);
    size_t length = strlen(source);
    snprintf(source + length, sizeof source - length, "\\%s", kUninstallerInPackage);
    // Asked before this run writes the key; the earlier list, read by the
    // program section, is merged now and then let go.
    bool sealed = productKey[0] && SealedBefore(productKey, destination);
    SectionResult result = BeginRecord(destination, productKey[0] ? productKey : nullptr, source, sealed);
    EarlierForget();
    return result;
}

// The record's own sections, the files written, and the uninstaller's
// Start-menu entry appended to lnk.cfg's [menu] list.
void CompleteRecord(char* record) {
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
    WritePrivateProfileStringA("menu", entry, kUninstallerMenuEntry, lnk);
    snprintf(entry, sizeof entry, "%u", m + 1);
    WritePrivateProfileStringA("index2", "max", entry, lnk);
}

void Launch(const FinishOptions& options, const char* destination) {
    if (options.info) {
        char info[kCfgValueSize];
        GetFromCfg("3", info, kSecCfg, kInitCfg);
        howtorun(info, destination);
    }
    char value[kCfgValueSize], path[MAX_PATH], number[16], flag[kCfgValueSize];
    runfrominitcfg(value, path, number, flag, true);
    if (options.run)
        runfrominitcfg(value, path, number, flag, false);
    ReportNotStarted();
}

} // namespace

SectionResult ZakonczInstalace(const FinishOptions& options) {
    *InstalacjaZakonczona() = 0;

    char destination[MAX_PATH];
    char record[MAX_PATH];
    dircfg("10", destination, 0, sizeof destination);
    SectionResult start = StartRecord(destination, record);
    if (start != kSectionOk) {
        LogLine("record, file list and uninstaller in %s\\%s: not written, taken back", destination, kRecordFolder);
        UndoFinish(start);
        return start;
    }
    const char* const written[][2] = {
        {"file list", kFileListFile}, {"record", kRecordFile}, {"uninstaller", kUninstallerFile}};
    for (const auto& file : written)
        LogLine("%s %s\\%s\\%s: written", file[0], destination, kRecordFolder, file[1]);
    WrittenCommit();
    CompleteRecord(record);

    DodajDlListy();
    if (options.desktop)
        MakeShortcut(0);
    if (options.menu)
        MakeShortcut(1);
    DodajDoRejestru();
    SealRecord();
    Launch(options, destination);
    return kSectionOk;
}
