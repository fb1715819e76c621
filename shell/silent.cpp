// The run with switches. The silent installation calls the same steps the
// pages call, in the same order, with the choices the pages would offer
// taken from the switches; no window is created at any point, so every
// report goes through Tell or the log. What it created is taken back on any
// failure: the section reader takes back its own files, this file the
// destination folders it made.
#include "shell/silent.h"

#include <windows.h>

#include <cstdio>

#include "base/files.h"
#include "base/names.h"
#include "base/scratch.h"
#include "base/state.h"
#include "base/switches.h"
#include "config/config.h"
#include "finish/finish.h"
#include "lang/languages.h"
#include "package/destination.h"
#include "package/programfiles.h"
#include "package/registered.h"
#include "package/extract.h"
#include "package/heldfiles.h"
#include "package/locator.h"
#include "shell/halves.h"
#include "shell/startup.h"
#include "trust/codepage.h"
#include "trust/leftovers.h"
#include "trust/relative.h"
#include "trust/scratch.h"

namespace {

const char kUsage[] =
    "Switches (with / or -, in any case):\r\n"
    "/S\tinstall silently: no page, no message\r\n"
    "/D=folder\tthe destination; last, to the end of the line, without quotes\r\n"
    "/LANG=name\ta language of the package, or Polski\r\n"
    "/NODESKTOP\tno desktop shortcuts\r\n"
    "/NOSTARTMENU\tno Start-menu shortcuts\r\n"
    "/NOINFO\tdo not open the information file\r\n"
    "/NORUN\tdo not start the programs to run\r\n"
    "/RUN\tin a silent run, open the information file and start the programs\r\n"
    "/ALLUSERS\tinstall for every user, where the product lets you choose\r\n"
    "/CURRENTUSER\tinstall only for yourself, where the product allows it\r\n"
    "/ALLOWDOWNGRADE\tinstall an older version over a newer one\r\n"
    "/LOG=file\twrite a log of every step\r\n"
    "/?\tthis list";

const char* ResultName(SectionResult result) {
    switch (result) {
    case kSectionOk:
        return "ok";
    case kSectionDamaged:
        return "the package is damaged";
    case kSectionWriteFailed:
        return "a file could not be written";
    case kSectionNoMemory:
        return "out of memory";
    case kSectionLink:
        return "a link or junction stands in the destination";
    case kSectionCancelled:
        return "a file is held open by another program";
    default:
        return "stopped";
    }
}

int ExitFor(SectionResult result) {
    if (result == kSectionDamaged)
        return kExitDamaged;
    if (result == kSectionCancelled)
        return kExitFileInUse;
    return result == kSectionLink ? kExitDestination : kExitWriteFailed;
}

// A finish that failed stands for the section failure of the same reason:
// the same log text and exit code.
SectionResult SameAs(FinishResult result) {
    static const SectionResult kSame[] = {kSectionOk,   kSectionWriteFailed, kSectionNoMemory,
                                          kSectionLink, kSectionCancelled,   kSectionStopped};
    static_assert(sizeof kSame / sizeof kSame[0] == kFinishStopped + 1, "one section result for each");
    return kSame[result];
}

// The destination of /D=, or the page's proposal Program Files\product.
// Fills the product name and Program Files path the way the page does.
bool ChooseDestination(char* destination) {
    char proposal[MAX_PATH];
    ProposeDestination(proposal, *RunScope());
    const Switches* s = RunSwitches();
    if (s->badDestination) {
        LogLine("destination: /D= names no path that fits");
        return false;
    }
    if (s->destination[0] != '\0' && !DestinationArgumentExact(s->destination)) {
        LogLine("destination: %s: /D= names a folder with letters that the code page %u cannot write", s->destination,
                GetACP());
        return false;
    }
    if (s->destination[0] != '\0')
        snprintf(destination, MAX_PATH, "%s", s->destination);
    else
        snprintf(destination, MAX_PATH, "%s", proposal);
    return true;
}

// An older version over a newer one changes nothing, unless /ALLOWDOWNGRADE
// allows it.
bool DowngradeRefused() {
    char ours[kCfgValueSize], installed[64];
    if (PackageAgainstRegistered(UninstallRoot(*RunScope()), ours, installed) != kOlderThanInstalled)
        return false;
    bool allowed = RunSwitches()->allowDowngrade;
    LogLine("version %s over the installed version %s: an older version over a newer one, %s", ours, installed,
            allowed ? "allowed by /ALLOWDOWNGRADE" : "nothing was changed (/ALLOWDOWNGRADE allows it)");
    return !allowed;
}

// The destination page's check and folders (AcceptDestination), plus what a
// person at the page would notice only later: the folder must exist once
// created and take a new file.
int PrepareDestination(const char* destination) {
    DestinationVerdict verdict = AcceptDestination(destination, *RunScope()).verdict;
    if (verdict == kDestinationBusy)
        return kExitAnotherCopy;
    if (verdict != kDestinationAccepted)
        return kExitDestination;
    // A probe file that this run creates in the held folder (a new name,
    // never through a link) and deletes through its own handle.
    char name[32];
    snprintf(name, sizeof name, "Brondale%lu.tmp", static_cast<unsigned long>(GetTickCount()));
    HANDLE h = HeldFileCreate(destination, name, false);
    if (h == INVALID_HANDLE_VALUE) {
        LogLine("destination: %s: the folder cannot be written (error %lu)", destination,
                static_cast<unsigned long>(GetLastError()));
        return kExitDestination;
    }
    DeleteThrough(h);
    CloseHandle(h);
    return kExitInstalled;
}

// Everything after the scratch folder. The package handle and the scratch
// folder are left to the caller's clean-up.
int Install() {
    SectionResult sections = ReadInstallSections();
    if (sections != kSectionOk)
        return ExitFor(sections);
    char language[32];
    ChooseLanguage(RunSwitches()->language, language);
    if (DecideRunScope() != kScopeChosen)
        return kExitUsage;
    if (DowngradeRefused())
        return kExitDowngrade;

    char destination[MAX_PATH];
    if (!ChooseDestination(destination))
        return kExitDestination;
    int code = PrepareDestination(destination);
    if (code != kExitInstalled) {
        RemoveDestinationFolders();
        return code;
    }
    *PaczkaZProgramem() = 1;
    SectionResult result = ExtractSection(destination, kModePlain, *HandleToGzc());
    if (result != kSectionOk) {
        LogLine("installation taken back: %s", ResultName(result));
        RemoveDestinationFolders();
        return ExitFor(result);
    }
    // The page leaves the information file's box disabled when init.cfg
    // names none.
    char info[kCfgValueSize];
    GetFromCfg("3", info, kSecCfg, kInitCfg);
    if (info[0] == '\0')
        RunSwitches()->noInfo = true;
    FinishOptions options{SilentChoice(IDC_OPTION_DESKTOP), SilentChoice(IDC_OPTION_MENU),
                          SilentChoice(IDC_OPTION_INFO), SilentChoice(IDC_OPTION_RUN)};
    FinishResult finish = FinishInstallation(destination, options);
    if (finish != kFinished) {
        LogLine("installation taken back: %s", ResultName(SameAs(finish)));
        return ExitFor(SameAs(finish));
    }
    return kExitInstalled;
}

}  // namespace

bool TakeSwitches(const char* arguments, int* exitCode) {
    static const SwitchProgram kInstaller = {true, "installer", kUsage, kExitUsage};
    if (!TakeCommandLine(arguments, kInstaller, exitCode))
        return false;
    *exitCode = EndRun(*exitCode);
    return true;
}

int InstallSilently() {
    LogLine("silent installation");
    if (!CheckPlatform())
        return kExitRefused;
    if (!GuardSingleInstance()) {
        LogLine("start-up: another copy of this installer is running");
        return kExitAnotherCopy;
    }
    char temp[MAX_PATH];
    TempSource source = UsableTempFolder(temp, sizeof temp);
    if (source != kTempNone)
        RemoveDeadScratchFolders(temp);
    if (source == kTempNone || !CreateScratchFolder(temp)) {
        tmp_dir()[0] = '\0';
        LogLine("scratch folder: the temporary folder cannot be used");
        return kExitRefused;
    }
    GetCfg();
    if (!ScratchFoldersHeld()) {
        LogLine("scratch folder: %s: its Lang and Install folders cannot be made and held", tmp_dir());
        KoniecProgramu();
        RemoveDirectoryA(tmp_dir());
        return kExitRefused;
    }
    LogLine("scratch folder: %s", tmp_dir());
    int code = Install();
    KoniecProgramu();
    // The interactive run keeps the emptied folder; a silent one leaves
    // nothing but its log.
    RemoveDirectoryA(tmp_dir());
    return code;
}

int EndRun(int code) {
    LogLine("exit code: %d", code);
    LogClose();
    return code;
}
