// brondale-bench: the driver of the extraction benchmark (bench/run.sh). It
// runs in the same Wine prefix as the programs it measures and prints figures;
// it asserts nothing about speed.
//
//   brondale-bench installer SETUP.exe DEST TEMP RUNS LABEL
//     Walks a Brondale installer to its destination page, types DEST\runK,
//     and times from the press of the forward button (109) until the options
//     page (control 303) appears, that is the whole extraction. Reads the
//     installer's memory counters before the press and once the options page
//     is up, then ends the process.
//
//   brondale-bench upgrade SETUP.exe DEST TEMP RUNS LABEL
//     Installs SETUP.exe into DEST\runK completely (untimed: walk, unpack,
//     finish), then runs it again into the same folder: times the
//     extraction as above (every file found unchanged and left in place)
//     and then the finish, from the press of 114 until the process has
//     ended (record, merged file list, kept copies deleted). The summary's
//     min and max columns are the finish's median and maximum.
//
//   brondale-bench process SETUP.exe DEST TEMP RUNS LABEL [FIRST.exe]
//     Runs "SETUP.exe /S /D=DEST\runK" (a Brondale or an NSIS installer,
//     silent) and times it from CreateProcess until the process has ended.
//     With FIRST.exe, "FIRST.exe /S /D=DEST\runK" runs first, untimed, so
//     that SETUP.exe runs over an installation: FIRST.exe the same file for
//     the same installer again, an earlier version for an upgrade.
//
// Both print one line per run and a summary line
//   RESULT KIND LABEL median min max peakWorkingSet peakPrivate
//          workingSetBefore privateBefore          (seconds, MB)
// that bench/run.sh collects into its table. Memory figures are the largest
// over the runs; "before" is at the destination page (installer only).
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const DWORD kPageTimeoutMs = 30000;
const DWORD kRunTimeoutMs = 600000;
// How often the driver looks for the end of the extraction: a timing is late
// by at most one interval. On a 2-core machine, polling every 1 to 5 ms made
// the installer itself slower by up to a third (it competes with the
// installer's threads and the wineserver); from 10 ms on it did not.
// BRONDALE_BENCH_POLL_MS overrides the interval, to check that again.
DWORD PollMs() {
    const char* value = getenv("BRONDALE_BENCH_POLL_MS");
    int ms = value ? atoi(value) : 0;
    return ms > 0 ? static_cast<DWORD>(ms) : 10;
}

double Mb(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

// Peak figures of a process, kept as the largest seen over several readings:
// Wine fills the counters from /proc, where only the working set has a true
// high-water mark (VmHWM); private bytes are the current RssAnon + VmSwap.
struct Memory {
    SIZE_T peakWorkingSet = 0;
    SIZE_T peakPrivate = 0;
    bool read = false;

    void Sample(HANDLE process) {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        if (!GetProcessMemoryInfo(process, &counters, sizeof counters))
            return;
        read = true;
        peakWorkingSet = std::max({peakWorkingSet, counters.PeakWorkingSetSize, counters.WorkingSetSize});
        peakPrivate = std::max({peakPrivate, counters.PeakPagefileUsage, counters.PagefileUsage});
    }
};

// Starts command with TMP and TEMP set to temp.
bool Launch(const std::string& exe, const std::string& arguments, const std::string& temp,
            PROCESS_INFORMATION* process) {
    CreateDirectoryA(temp.c_str(), nullptr);
    std::string block;
    char* env = GetEnvironmentStringsA();
    for (char* p = env; *p; p += strlen(p) + 1) {
        std::string var = p;
        if (_strnicmp(p, "TMP=", 4) == 0 || _strnicmp(p, "TEMP=", 5) == 0)
            continue;
        block += var;
        block.push_back('\0');
    }
    FreeEnvironmentStringsA(env);
    block += "TMP=" + temp;
    block.push_back('\0');
    block += "TEMP=" + temp;
    block.push_back('\0');
    block.push_back('\0');

    std::string command = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, &block[0], nullptr, &startup,
                          process) != 0;
}

void End(PROCESS_INFORMATION* process) {
    if (!process->hProcess)
        return;
    TerminateProcess(process->hProcess, 99);
    WaitForSingleObject(process->hProcess, 10000);
    CloseHandle(process->hProcess);
    CloseHandle(process->hThread);
    *process = PROCESS_INFORMATION{};
}

struct Search {
    DWORD pid;
    const char* caption;  // null: any caption
    int control;          // 0: any page
    HWND found;
};

BOOL CALLBACK FindPage(HWND window, LPARAM parameter) {
    Search* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->pid || !IsWindowVisible(window))
        return TRUE;
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    if (strcmp(name, "#32770") != 0 || GetDlgItem(window, 0xFFFF))  // not a page, or a message box
        return TRUE;
    if (search->control && !GetDlgItem(window, search->control))
        return TRUE;
    if (search->caption) {
        wchar_t text[256] = L"";
        SendMessageW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
        char caption[256] = "";
        WideCharToMultiByte(1250, 0, text, -1, caption, sizeof caption, nullptr, nullptr);
        if (strcmp(caption, search->caption) != 0)
            return TRUE;
    }
    search->found = window;
    return FALSE;
}

HWND PageNow(const PROCESS_INFORMATION& process, const char* caption, int control) {
    Search search{process.dwProcessId, caption, control, nullptr};
    EnumWindows(FindPage, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Waits for a visible page; null on a timeout or when the process ends.
HWND WaitForPage(const PROCESS_INFORMATION& process, const char* caption, int control, DWORD pollMs, DWORD timeoutMs) {
    LARGE_INTEGER start = Now();
    for (;;) {
        if (HWND page = PageNow(process, caption, control))
            return page;
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0)
            return nullptr;
        if (Seconds(start, Now()) * 1000 > timeoutMs)
            return nullptr;
        Sleep(pollMs);
    }
}

// Waits for the options page (control 303), which opens once the extraction
// is complete; null on a timeout or when the process ends. A full window
// search costs the wineserver (one thread, shared with the installer's file
// calls) some tens of requests, so while the progress page is up only its
// visibility is polled; the page is hidden just before the options page opens.
HWND WaitForOptions(const PROCESS_INFORMATION& process, DWORD pollMs, Memory* memory) {
    LARGE_INTEGER start = Now();
    LARGE_INTEGER sampled = start;
    HWND progress = nullptr;
    for (;;) {
        if (!progress || !IsWindowVisible(progress)) {
            if (HWND page = PageNow(process, nullptr, 303))
                return page;
            if (!progress)
                progress = PageNow(process, nullptr, 700);
        }
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0)
            return nullptr;
        LARGE_INTEGER now = Now();
        if (Seconds(start, now) * 1000 > kRunTimeoutMs)
            return nullptr;
        // Private bytes have no high-water mark under Wine: sample them every
        // 50 ms while waiting.
        if (Seconds(sampled, now) >= 0.05) {
            memory->Sample(process.hProcess);
            sampled = now;
        }
        Sleep(pollMs);
    }
}

void Click(HWND page, int id) { PostMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0); }

void SetText(HWND page, int id, const std::string& text) {
    int n = MultiByteToWideChar(1250, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(1250, 0, text.c_str(), -1, &wide[0], n);
    SendMessageW(GetDlgItem(page, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

struct Run {
    double seconds = 0;
    Memory before;  // installer only: at the destination page
    Memory after;
};

// Ends an installer at its options page with the finish button; the time
// until the process is gone. Negative when it does not end.
double FinishRun(PROCESS_INFORMATION* process, HWND options) {
    // The finish starts nothing of the bench payload's and shows no box.
    LARGE_INTEGER start = Now();
    Click(options, 114);
    if (WaitForSingleObject(process->hProcess, kRunTimeoutMs) != WAIT_OBJECT_0)
        return -1;
    double seconds = Seconds(start, Now());
    CloseHandle(process->hProcess);
    CloseHandle(process->hThread);
    *process = PROCESS_INFORMATION{};
    return seconds;
}

bool InstallerRun(const std::string& exe, const std::string& destination, const std::string& temp, Run* run,
                  std::string* error, double* finish = nullptr) {
    PROCESS_INFORMATION process{};
    if (!Launch(exe, "", temp, &process))
        return *error = "cannot start " + exe, false;
    HWND page = WaitForPage(process, "Choose Setup Language", 0, 20, kPageTimeoutMs);
    if (page) {
        Click(page, 100);
        page = WaitForPage(process, nullptr, 201, 20, kPageTimeoutMs);
    }
    if (page) {
        Click(page, 102);
        page = WaitForPage(process, nullptr, 402, 20, kPageTimeoutMs);
    }
    if (!page) {
        End(&process);
        return *error = "the installer did not reach its destination page", false;
    }
    SetText(page, 402, destination);
    run->before.Sample(process.hProcess);
    run->after = run->before;

    LARGE_INTEGER start = Now();
    Click(page, 109);
    HWND options = WaitForOptions(process, PollMs(), &run->after);
    LARGE_INTEGER stop = Now();
    run->seconds = Seconds(start, stop);
    run->after.Sample(process.hProcess);
    if (options && finish) {
        *finish = FinishRun(&process, options);
        if (*finish < 0) {
            End(&process);
            return *error = "the finish did not end", false;
        }
    }
    End(&process);
    if (!options)
        return *error = "the options page did not open (extraction failed or timed out)", false;
    return true;
}

bool ProcessRun(const std::string& exe, const std::string& destination, const std::string& temp, Run* run,
                std::string* error) {
    PROCESS_INFORMATION process{};
    LARGE_INTEGER start = Now();
    if (!Launch(exe, "/S /D=" + destination, temp, &process))
        return *error = "cannot start " + exe, false;
    DWORD waited = 0;
    while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
        run->after.Sample(process.hProcess);
        if ((waited += 50) > kRunTimeoutMs) {
            End(&process);
            return *error = "the installer did not end", false;
        }
    }
    LARGE_INTEGER stop = Now();
    run->seconds = Seconds(start, stop);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (code != 0)
        return *error = "the installer ended with exit code " + std::to_string(code), false;
    return true;
}

// Each run installs as on a machine that never had the product: the
// registration an earlier run left would make the next one an upgrade that
// moves the product out of the earlier run's folder.
void ForgetBenchProducts() {
    const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstall, 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    std::vector<std::string> ours;
    char name[256];
    for (DWORD i = 0, size = sizeof name; RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) ==
                                          ERROR_SUCCESS;
         ++i, size = sizeof name)
        if (strncmp(name, "Brondale Bench", 14) == 0)
            ours.push_back(name);
    for (const std::string& product : ours)
        RegDeleteTreeA(key, product.c_str());
    RegCloseKey(key);
}

int Usage() {
    fprintf(stderr,
            "usage: brondale-bench installer SETUP.exe DEST TEMP RUNS LABEL\n"
            "       brondale-bench upgrade SETUP.exe DEST TEMP RUNS LABEL\n"
            "       brondale-bench process SETUP.exe DEST TEMP RUNS LABEL [FIRST.exe]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7 && argc != 8)
        return Usage();
    std::string kind = argv[1], exe = argv[2], destination = argv[3], temp = argv[4], label = argv[6];
    std::string first = argc == 8 ? argv[7] : "";
    int runs = atoi(argv[5]);
    if ((kind != "installer" && kind != "process" && kind != "upgrade") || runs < 1 ||
        (!first.empty() && kind != "process"))
        return Usage();
    CreateDirectoryA(temp.c_str(), nullptr);

    std::vector<double> times, finishes;
    Memory peak, before;
    for (int k = 1; k <= runs; ++k) {
        std::string target = destination + "\\run" + std::to_string(k);
        std::string scratch = temp + "\\run" + std::to_string(k);
        Run run;
        std::string error;
        bool ok;
        ForgetBenchProducts();
        if (kind == "upgrade") {
            Run first;
            double finish = 0;
            ok = InstallerRun(exe, target, scratch + "-first", &first, &error, &finish) &&
                 InstallerRun(exe, target, scratch, &run, &error, &finish);
            finishes.push_back(finish);
        } else if (kind == "installer") {
            ok = InstallerRun(exe, target, scratch, &run, &error);
        } else {
            Run earlier;
            ok = (first.empty() || ProcessRun(first, target, scratch + "-first", &earlier, &error)) &&
                 ProcessRun(exe, target, scratch, &run, &error);
        }
        if (!ok) {
            fprintf(stderr, "%s %s run %d: %s\n", kind.c_str(), label.c_str(), k, error.c_str());
            return 1;
        }
        times.push_back(run.seconds);
        peak.peakWorkingSet = std::max(peak.peakWorkingSet, run.after.peakWorkingSet);
        peak.peakPrivate = std::max(peak.peakPrivate, run.after.peakPrivate);
        before.peakWorkingSet = std::max(before.peakWorkingSet, run.before.peakWorkingSet);
        before.peakPrivate = std::max(before.peakPrivate, run.before.peakPrivate);
        printf("%s %s run %d: %.3f s, peak working set %.1f MB, peak private %.1f MB", kind.c_str(), label.c_str(), k,
               run.seconds, Mb(run.after.peakWorkingSet), Mb(run.after.peakPrivate));
        if (kind != "process")
            printf(" (at the destination page: %.1f MB, %.1f MB)", Mb(run.before.peakWorkingSet),
                   Mb(run.before.peakPrivate));
        if (kind == "upgrade")
            printf(", then the finish %.3f s", finishes.back());
        printf("\n");
        fflush(stdout);
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    double median = sorted[sorted.size() / 2];
    if (sorted.size() % 2 == 0)
        median = (sorted[sorted.size() / 2 - 1] + median) / 2;
    printf("%s %s: %.3f s (median of %d, min %.3f, max %.3f), peak working set %.1f MB, peak private %.1f MB\n",
           kind.c_str(), label.c_str(), median, runs, sorted.front(), sorted.back(), Mb(peak.peakWorkingSet),
           Mb(peak.peakPrivate));
    double low = sorted.front(), high = sorted.back();
    if (kind == "upgrade") {
        std::sort(finishes.begin(), finishes.end());
        low = finishes[finishes.size() / 2];
        high = finishes.back();
        printf("upgrade %s: the finish %.3f s (median), max %.3f\n", label.c_str(), low, high);
    }
    printf("RESULT %s %s %.3f %.3f %.3f %.1f %.1f %.1f %.1f\n", kind.c_str(), label.c_str(), median, low, high,
           Mb(peak.peakWorkingSet), Mb(peak.peakPrivate), Mb(before.peakWorkingSet), Mb(before.peakPrivate));
    return 0;
}
