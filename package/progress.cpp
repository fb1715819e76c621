// Progress pacing. It only calls the page's report function and never looks
// at the package: what it reports depends on its arguments, the member count
// and the clock.
#include "package/progress.h"

#include "base/state.h"
#include "package/state.h"
#include "platform/win32api.h"

ProgressReport* ProgressReporter() {
    static ProgressReport report = nullptr;
    return &report;
}

namespace {

// The values last reported per bar, and when, so that only changes are
// sent, and no faster than the page can show them.
short* Reported() {
    static short last[2] = {-1, -1};
    return last;
}

DWORD* ReportedAt() {
    static DWORD at[2];
    return at;
}

// Every report is a sent message and a repaint on the interface thread
// (several milliseconds under Wine): more than about ten a second shows
// nothing more and only slows the extraction. A bar's first value in a
// member (when it changes), and 100, always go through, so each member
// shows that it started and the bars always end on 100.
const DWORD kReportInterval = 100;

}  // namespace

bool ProgressWanted() { return *PaczkaZProgramem() && *ProgressReporter() != nullptr; }

void ResetProgress() { Reported()[0] = Reported()[1] = -1; }

void ReportProgress(short value, bool bar, bool first) {
    short* last = Reported();
    if (last[bar] == value)
        return;
    DWORD now = GetTickCount();
    if (!first && last[bar] != -1 && value != 100 && now - ReportedAt()[bar] < kReportInterval)
        return;
    last[bar] = value;
    ReportedAt()[bar] = now;
    (*ProgressReporter())(value, bar);
}

short SectionPercent(uint32_t index) {
    double done = static_cast<double>(index == 0 ? 2 : index + 1) / *IlePlikow() * 100;
    return static_cast<short>(done < 100 ? done : 100);
}

short MemberPercent(uint64_t produced, uint32_t isize) {
    return static_cast<short>(static_cast<double>(produced < isize ? produced : isize) / isize * 100);
}
