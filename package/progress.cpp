// Progress pacing. It only calls the page's report function and never looks
// at the package: what it reports depends on its arguments, the member count
// and the clock. Reports reach the page in the order made, from a thread of
// their own, so that the extraction never waits for the page to paint.
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

// Reports on their way to the page: made by the extraction, delivered by
// the courier thread, one after another.
const int kWaitingReports = 64;

struct Courier {
    SRWLOCK lock;
    CONDITION_VARIABLE changed;
    short values[kWaitingReports];
    bool bars[kWaitingReports];
    int first;
    int count;
    bool stop;
    HANDLE thread;  // null while no courier runs
};

Courier* TheCourier() {
    static Courier courier = {SRWLOCK_INIT, CONDITION_VARIABLE_INIT, {}, {}, 0, 0, false, nullptr};
    return &courier;
}

DWORD WINAPI Deliver(LPVOID) {
    Courier* c = TheCourier();
    AcquireSRWLockExclusive(&c->lock);
    for (;;) {
        while (c->count == 0 && !c->stop)
            SleepConditionVariableSRW(&c->changed, &c->lock, INFINITE, 0);
        if (c->count == 0)
            break;
        short value = c->values[c->first];
        bool bar = c->bars[c->first];
        ReleaseSRWLockExclusive(&c->lock);
        (*ProgressReporter())(value, bar);
        AcquireSRWLockExclusive(&c->lock);
        c->first = (c->first + 1) % kWaitingReports;
        --c->count;
        WakeAllConditionVariable(&c->changed);
    }
    ReleaseSRWLockExclusive(&c->lock);
    return 0;
}

// Hands a report to the courier, starting it first; without a courier the
// report is delivered at once.
void Send(short value, bool bar) {
    Courier* c = TheCourier();
    if (!c->thread) {
        c->first = c->count = 0;
        c->stop = false;
        c->thread = CreateThread(nullptr, 0, Deliver, nullptr, 0, nullptr);
        if (!c->thread) {
            (*ProgressReporter())(value, bar);
            return;
        }
    }
    AcquireSRWLockExclusive(&c->lock);
    while (c->count == kWaitingReports)
        SleepConditionVariableSRW(&c->changed, &c->lock, INFINITE, 0);
    int at = (c->first + c->count) % kWaitingReports;
    c->values[at] = value;
    c->bars[at] = bar;
    ++c->count;
    WakeAllConditionVariable(&c->changed);
    ReleaseSRWLockExclusive(&c->lock);
}

} // namespace

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
    Send(value, bar);
}

void FinishReports() {
    Courier* c = TheCourier();
    if (!c->thread)
        return;
    AcquireSRWLockExclusive(&c->lock);
    c->stop = true;
    WakeAllConditionVariable(&c->changed);
    ReleaseSRWLockExclusive(&c->lock);
    WaitForSingleObject(c->thread, INFINITE);
    CloseHandle(c->thread);
    c->thread = nullptr;
}

short SectionPercent(uint32_t index) {
    double done = static_cast<double>(index == 0 ? 2 : index + 1) / *IlePlikow() * 100;
    return static_cast<short>(done < 100 ? done : 100);
}

short MemberPercent(uint64_t produced, uint32_t isize) {
    return static_cast<short>(static_cast<double>(produced < isize ? produced : isize) / isize * 100);
}
