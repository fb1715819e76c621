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
#include "finish/commit.h"
#include "finish/installation.h"
#include "finish/launch.h"
#include "finish/move.h"
#include "finish/product.h"
#include "finish/record.h"
#include "finish/registry.h"
#include "finish/seal.h"
#include "finish/shortcuts.h"
#include "package/destination.h"
#include "package/record.h"
#include "package/report.h"

namespace {

// A finish whose start failed: everything this run wrote is taken back and
// the reason is reported.
FinishResult UndoFinish(SectionResult result) {
    WrittenTakeBack();
    RemoveDestinationFolders();
    ReportResult(result);
    switch (result) {
    case kSectionNoMemory:
        return kFinishNoMemory;
    case kSectionLink:
        return kFinishLink;
    case kSectionCancelled:
        return kFinishFileInUse;
    case kSectionStopped:
        return kFinishStopped;
    default:
        return kFinishWriteFailed;
    }
}

// The installation into destination, read once: the product's name and key
// from init.cfg, the record's path. False when that path does not fit.
bool DescribeInstallation(const char* destination, Installation* installation) {
    snprintf(installation->destination, sizeof installation->destination, "%s", destination);
    installation->scope = *RunScope();
    installation->root = UninstallRoot(installation->scope);
    GetFromCfg("1", installation->product, kSecCfg, kInitCfg);
    ProductKeyFor(installation->product, installation->productKey, sizeof installation->productKey);
    return snprintf(installation->record, sizeof installation->record, "%s\\%s\\%s", destination, kRecordFolder,
                    kRecordFile) < static_cast<int>(sizeof installation->record);
}

// Writes the record, the file list and the uninstaller over kept files, so
// that up to here the installation can still be taken back as a whole.
SectionResult StartRecord(const Installation& installation) {
    const char* productKey = installation.productKey;
    const char* destination = installation.destination;
    char source[MAX_PATH];
    ScratchRead(kScratchInstall, source, sizeof source);
    size_t length = strlen(source);
    snprintf(source + length, sizeof source - length, "\\%s", kUninstallerInPackage);
    // Asked before this run writes the key; the earlier list, read by the
    // program section, is merged now and then let go.
    bool sealed = productKey[0] && SealedBefore(installation.root, productKey, destination);
    SectionResult result =
        BeginRecord(destination, productKey[0] ? productKey : nullptr, source, sealed, installation.scope);
    EarlierForget();
    return result;
}

// The record's own sections, the files written, and the uninstaller's
// Start-menu entry appended to lnk.cfg's [menu] list.
void CompleteRecord(const char* record) {
    WritePrivateProfileStringA("lnk", nullptr, nullptr, record);
    WritePrivateProfileStringA("reg", nullptr, nullptr, record);
    char value[kCfgValueSize], path[kCfgValueSize], number[16];
    addtouninstlist(value, record, path, number);
    ScratchWrite(kScratchRecord, record);

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
    runfrominitcfg(value, path, number, flag, true, destination);
    if (options.run)
        runfrominitcfg(value, path, number, flag, false, destination);
    ReportNotStarted();
}

}  // namespace

FinishResult FinishInstallation(const char* destination, const FinishOptions& options) {
    *InstalacjaZakonczona() = 0;

    Installation installation;
    SectionResult start = DescribeInstallation(destination, &installation) ? StartRecord(installation)
                                                                           : kSectionWriteFailed;
    if (start != kSectionOk) {
        LogLine("record, file list and uninstaller in %s\\%s: not written, taken back", destination, kRecordFolder);
        return UndoFinish(start);
    }
    const char* const written[][2] = {{"file list", kFileListFile},
                                      {"record", kRecordFile},
                                      {"uninstaller", kUninstallerFile}};
    for (const auto& file : written)
        LogLine("%s %s\\%s\\%s: written", file[0], destination, kRecordFolder, file[1]);
    CompleteRecord(installation.record);

    // Read while the Uninstall key still holds the earlier installation's
    // seal; removed once this installation holds the key.
    EarlierFolder earlier;
    FindEarlierFolder(installation, &earlier);
    DodajDlListy(installation);
    if (options.desktop)
        MakeShortcut(0, installation);
    if (options.menu)
        MakeShortcut(1, installation);
    DodajDoRejestru(installation);
    SealRecord(installation);
    // Only now, with the record, the list, the key and its digests whole,
    // do the kept copies of the earlier files go: a run that ends before
    // this point is taken back by the next, one that ends after it is
    // finished by it. The folder the product moved away from goes after.
    CommitInstallation();
    RemoveEarlierFolder(earlier, installation.record);
    Launch(options, destination);
    return kFinished;
}

FinishResult ZakonczInstalace(const FinishOptions& options) {
    char destination[MAX_PATH];
    ScratchRead(kScratchDestination, destination, sizeof destination);
    return FinishInstallation(destination, options);
}
