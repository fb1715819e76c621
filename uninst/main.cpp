// UnInst.exe: removes a product that Brondale installed. It lives in
// DEST\UnInstall beside the record UnInst.cfg, asks once, then takes away
// what the record and the file list name, and last removes itself.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "shell/switches.h"
#include "uninst/cleanup.h"
#include "uninst/quiet.h"
#include "uninst/record.h"
#include "uninst/steps.h"
#include "uninst/texts.h"

namespace {

// Exit codes.
const int kRemoved = 0;
const int kCancelled = 1;
const int kNoRecord = 2;
const int kSomethingStayed = 3;

std::string Parent(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// A heading and its paths; long lists are cut so the box fits the screen.
void AddList(std::string* message, UninstallText heading, const std::vector<std::string>& paths) {
    if (paths.empty())
        return;
    const size_t kShown = 20;
    *message += "\r\n\r\n" + Text(heading);
    for (size_t i = 0; i < paths.size() && i < kShown; ++i)
        *message += "\r\n" + paths[i];
    if (paths.size() > kShown)
        *message += "\r\n... (" + std::to_string(paths.size() - kShown) + ")";
}

std::string FinalMessage(const Outcome& outcome, const std::string& destination) {
    std::string message = Text(kTextDone);
    AddList(&message, kTextFailed, outcome.failed);
    AddList(&message, kTextKept, outcome.kept);
    if (outcome.folderKept)
        AddList(&message, kTextFolder, {destination});
    if (!outcome.failed.empty())
        message += "\r\n\r\n" + Text(kTextAgain);
    return message;
}

int Uninstall() {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    std::string uninstallFolder = Parent(n > 0 && n < sizeof self ? self : "");
    std::string destination = Parent(uninstallFolder);
    UseLanguageFile(uninstallFolder + "\\Language.lng");

    UninstallRecord record;
    std::string recordPath = uninstallFolder + "\\UnInst.cfg";
    std::string caption = "Brondale";
    // A destination that is a drive's root is never the product's own folder.
    if (destination.find('\\') == std::string::npos || !ReadRecord(recordPath, &record)) {
        Tell((Text(kTextNoRecord) + "\r\n" + recordPath).c_str(), caption.c_str(), MB_ICONERROR, IDOK);
        return kNoRecord;
    }
    std::string product;
    if (IsProductUninstallKey(record.productKey, &product))
        caption = product;
    std::string question = Text(kTextConfirm) + " " + caption + "?";
    if (Tell(question.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION, IDYES) != IDYES)
        return kCancelled;

    RunFirst(destination, record.runFirst);
    Outcome outcome;
    RemoveShortcuts(record.shortcuts, &outcome);
    RemoveValues(record, &outcome);
    RemoveFiles(destination, ReadFileList(uninstallFolder + "\\Files.lst"), &outcome);
    // With something left that could not be removed, the uninstaller and its
    // record stay, so that it can be run again.
    bool stays = !outcome.failed.empty();
    ListLeftovers(destination, uninstallFolder, stays, &outcome);
    Tell(FinalMessage(outcome, destination).c_str(), caption.c_str(), stays ? MB_ICONWARNING : MB_ICONINFORMATION,
         IDOK);
    if (!stays)
        StartCleanup(uninstallFolder);
    return RemovalExitCode(stays ? kSomethingStayed : kRemoved, outcome);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
    if (__argc == 4 && lstrcmpiA(__argv[1], kCleanupSwitch) == 0)
        return RunCleanup(__argv[2], __argv[3]);
    int code = 0;
    if (TakeUninstallSwitches(arguments, &code))
        return code;
    return EndUninstall(Uninstall());
}
