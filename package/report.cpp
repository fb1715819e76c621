// The failure report. Each text shown here is fixed and must stay as it is;
// every failure sets the package-failure flag and sends (never posts) the
// close request, so a worker waits until the pages have handled it.
#include "package/report.h"

#include <cstdio>

#include "base/names.h"
#include "base/scratch.h"
#include "base/state.h"
#include "base/switches.h"
#include "lang/texts.h"
#include "package/locator.h"
#include "package/section.h"

namespace {

// Ends every page without the cancel question.
void ClosePages() {
    *Error_2() = 1;
    SendMessageA(HwndMain()[PAGE_LANGUAGE], WM_CLOSE, 0, 0);
}

// A failure report: the message, the failure flag, and the close request
// that ends every page without the cancel question.
void ReportFailure(const char* text) {
    Tell(text, Brondale(), MB_ICONERROR, IDOK);
    ClosePages();
}

}  // namespace

void Error_1() { ReportFailure("File is corupted."); }

void ReportWriteFailure() { ReportFailure(kWriteFailureText); }

void ReportNoMemory() { ReportFailure(GetLang(19, DefaultText(19))); }

SectionResult Rozpakowanie(char* target, unsigned short mode, HANDLE package) {
    SectionResult result = ExtractSection(target, mode, package);
    ReportResult(result);
    return result;
}

void ReportResult(SectionResult result) {
    if (result == kSectionNoMemory) {
        ReportNoMemory();
    } else if (result == kSectionWriteFailed) {
        ReportWriteFailure();
    } else if (result == kSectionLink) {
        char text[512];
        snprintf(text, sizeof text, "%s\n\n%s", GetLang(21, DefaultText(21)), RefusedPath());
        ReportFailure(text);
    } else if (result == kSectionCancelled) {
        // The user's own choice: nothing to tell, the wizard ends.
        ClosePages();
    } else if (result != kSectionOk && result != kSectionStopped) {
        Error_1();
    }
}

void RozpakujJezyki() {
    if (WyszukajRc(HandleToGzc())) {
        Error_1();
        return;
    }
    const ScratchKey kTargets[2] = {kScratchLanguage, kScratchInstall};
    for (int i = 0; i < 2; ++i) {
        char target[MAX_PATH];
        ScratchRead(kTargets[i], target, sizeof target);
        Rozpakowanie(target, static_cast<unsigned short>(2 * i), *HandleToGzc());
    }
}
