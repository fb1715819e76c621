// The run's halves and its scope. The user's half reads the package's
// start into a scratch folder of its own, in its user's temporary folder,
// for the Scope, the language of its question and, at the end, the
// [Run] list against which it checks the elevated half's report; it takes
// no start-up check and no single-instance guard, which belong to the half
// that installs. Under Wine the elevated half is started with the user's
// half's own token (see trust/channel.cpp), so there both halves can write
// everywhere; the tests start the user's half with the unelevated half of
// the token, as a desktop shell would.
#include "shell/halves.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "base/names.h"
#include "base/scratch.h"
#include "base/state.h"
#include "base/switches.h"
#include "config/scope.h"
#include "finish/launch.h"
#include "finish/launchlist.h"
#include "lang/languages.h"
#include "lang/texts.h"
#include "package/extract.h"
#include "package/locator.h"
#include "shell/exits.h"
#include "shell/startup.h"
#include "trust/channel.h"
#include "trust/codepage.h"
#include "trust/scratch.h"

namespace {

struct Halves {
    bool decided;    // *RunScope() holds this run's decision
    HANDLE channel;  // the elevated half's channel, INVALID_HANDLE_VALUE without one
};

Halves* State() {
    static Halves halves = {false, INVALID_HANDLE_VALUE};
    return &halves;
}

// Reads the package's start into a new scratch folder, with the language a
// silent run would take (/LANG= or the page's preselection) for the texts
// shown before the pages. False when it cannot be read.
bool ReadPackageStart() {
    char temp[MAX_PATH];
    if (UsableTempFolder(temp, sizeof temp) == kTempNone || !CreateScratchFolder(temp)) {
        tmp_dir()[0] = '\0';
        return false;
    }
    GetCfg();
    if (ReadInstallSections() != kSectionOk)
        return false;
    char language[32];
    ChooseLanguage(RunSwitches()->language, language);
    return true;
}

// Lets go of the package and removes that scratch folder whole: the run
// that goes on makes its own.
void DropScratch() {
    KoniecProgramu();
    if (tmp_dir()[0] != '\0')
        RemoveDirectoryA(tmp_dir());
    tmp_dir()[0] = '\0';
}

void ClosePackage() {
    HANDLE* package = HandleToGzc();
    if (*package && *package != INVALID_HANDLE_VALUE)
        CloseHandle(*package);
    *package = nullptr;
}

void SayScopeRefused(ScopeSetting setting) {
    static const char* const kFor[4] = {"for every user only", "for the user who runs it only",
                                        "for every user (/ALLUSERS) or for one user (/CURRENTUSER), not both",
                                        "for every user only"};
    char text[256];
    snprintf(text, sizeof text, "This product installs %s: the switches /ALLUSERS and /CURRENTUSER cannot ask otherwise.",
             kFor[setting]);
    Tell(text, Brondale(), MB_ICONERROR, IDOK);
}

// The log of /LOG=, which the elevated half wrote meanwhile, opened again
// to add the user's half's lines after its own.
void ReopenLog() {
    if (RunSwitches()->log[0] != '\0')
        LogOpen(RunSwitches()->log, true);
}

// Starts what the elevated half reported, once its report and every entry
// in it have been checked.
void StartWhatItReported(const char* report, size_t size, unsigned long process, unsigned long code) {
    static const char* const kVerdicts[] = {"sound", "missing", "not one whole report", "from another process",
                                            "for another exit code"};
    ReportVerdict verdict = CheckReport(report, size, process, code);
    LogLine("user's half: the elevated half's report is %s", kVerdicts[verdict]);
    if (verdict != kReportSound)
        return;
    char destination[MAX_PATH];
    LaunchListVerdict list = CheckLaunchList(report, size, destination);
    if (list == kListStartable)
        StartReported(report, size, destination);
    else if (list != kListEmpty)
        LogLine("user's half: nothing started, the report names %s",
                list == kListWrongDestination ? "a folder that is not the product's installed one"
                                              : "a file the package does not name there");
    ReportNotStarted();
}

// Starts the elevated half with extra before the arguments, waits for it
// and starts what it reports; returns the run's exit code.
int WaitForElevatedHalf(const char* arguments, const char* extra) {
    LogLine("user's half: starting the elevated half");
    // The elevated half writes the log of /LOG= itself.
    LogClose();
    ElevatedHalf half;
    HalfStart start = StartElevatedHalf(arguments, extra, &half);
    if (start != kHalfStarted) {
        ReopenLog();
        LogLine("user's half: the elevated half %s",
                start == kHalfDeclined ? "was declined at the elevation prompt" : "could not be started");
        Tell(GetLang(41, DefaultText(41)), Brondale(), MB_ICONERROR, IDOK);
        return Unattended() ? kExitRefused : 0;
    }
    unsigned long process = 0, code = 0;
    char* report = nullptr;
    size_t size = 0;
    bool ended = WaitElevatedHalf(&half, &process, &code, &report, &size);
    ReopenLog();
    LogLine("user's half: the elevated half, process %lu, ended with exit code %lu", process, code);
    if (ended)
        StartWhatItReported(report, size, process, code);
    free(report);
    return static_cast<int>(code);
}

}  // namespace

SectionResult ReadInstallSections() {
    if (WyszukajRc(HandleToGzc())) {
        LogLine("package: no package found in the installer");
        return kSectionDamaged;
    }
    const ScratchKey kTargets[2] = {kScratchLanguage, kScratchInstall};
    for (int i = 0; i < 2; ++i) {
        char target[MAX_PATH];
        ScratchRead(kTargets[i], target, sizeof target);
        SectionResult result = ExtractSection(target, static_cast<unsigned short>(2 * i), *HandleToGzc());
        if (result != kSectionOk)
            return result;
    }
    return kSectionOk;
}

ScopeVerdict DecideRunScope(bool* chosenWithoutSwitch) {
    if (State()->decided)
        return kScopeChosen;
    const Switches* s = RunSwitches();
    ScopeSetting setting = ProductScope();
    ScopeDecision decision = DecideScope(setting, s->allUsers, s->currentUser, Unattended());
    if (chosenWithoutSwitch)
        *chosenWithoutSwitch = setting == kSettingChoose && !s->allUsers && !s->currentUser;
    if (decision == kScopeSwitchRefused) {
        SayScopeRefused(setting);
        return kScopeRefused;
    }
    if (decision == kDecideByAsking) {
        // Yes: for every user; No: for me only. A box that cannot be shown
        // stops the run like Cancel.
        int answer = Tell(GetLang(40, DefaultText(40)), Brondale(), MB_YESNOCANCEL | MB_ICONQUESTION, IDYES);
        if (answer != IDYES && answer != IDNO)
            return kScopeCancelled;
        decision = answer == IDYES ? kDecidedMachine : kDecidedUser;
    }
    *RunScope() = decision == kDecidedUser ? kScopeUser : kScopeMachine;
    State()->decided = true;
    LogLine("scope: %s", decision == kDecidedUser ? "for the user who runs it" : "for every user");
    return kScopeChosen;
}

bool RunAsUserHalf(const char* arguments, int* exitCode) {
    TokenFacts own;
    if (RunSwitches()->channel || !ReadToken(GetCurrentProcess(), &own) || !NeedsElevatedHalf(own))
        return false;
    // A package that cannot be read here is the elevated half's to report.
    bool readable = ReadPackageStart();
    bool withoutSwitch = false;
    ScopeVerdict verdict = readable ? DecideRunScope(&withoutSwitch) : kScopeChosen;
    if (verdict != kScopeChosen || (readable && *RunScope() == kScopeUser)) {
        DropScratch();
        *exitCode = verdict == kScopeRefused ? kExitUsage : 1;
        return verdict != kScopeChosen;
    }
    if (!readable)
        DropScratch();
    ClosePackage();
    // A product that lets the user choose: the elevated half takes the
    // answer as a switch and does not ask again.
    *exitCode = WaitForElevatedHalf(arguments, readable && withoutSwitch ? "/ALLUSERS" : "");
    DropScratch();
    return true;
}

bool ScopeBeforeWizard(int* exitCode) {
    if (State()->decided)
        return true;
    ScopeVerdict verdict = ReadPackageStart() ? DecideRunScope() : kScopeChosen;
    DropScratch();
    if (verdict == kScopeChosen)
        return true;
    *exitCode = verdict == kScopeRefused ? kExitUsage : 1;
    return false;
}

void JoinUserHalf() {
    const Switches* s = RunSwitches();
    if (!s->channel)
        return;
    HANDLE channel = OpenChannel(s->channelProcess, s->channelHandle);
    LogLine("elevated half: the channel of the user's half, process %lu, %s", s->channelProcess,
            channel == INVALID_HANDLE_VALUE ? "cannot be opened: this run starts what it may itself" : "is open");
    if (channel == INVALID_HANDLE_VALUE)
        return;
    State()->channel = channel;
    LaunchesForUserHalf();
}

void AnswerUserHalf(int exitCode) {
    Halves* h = State();
    if (h->channel == INVALID_HANDLE_VALUE)
        return;
    HalfReport report = {nullptr, 0, 0};
    bool composed = ComposeReport(GetCurrentProcessId(), CollectedLaunches(), static_cast<unsigned long>(exitCode),
                                  &report);
    // SendReport closes the channel either way.
    bool sent = SendReport(h->channel, composed ? report : HalfReport{nullptr, 0, 0});
    h->channel = INVALID_HANDLE_VALUE;
    ReportFree(&report);
    LogLine("elevated half: report to the user's half %s", sent ? "sent" : "not sent");
}
