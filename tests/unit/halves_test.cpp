// The two halves of a run: whom it installs for, which token starts an
// elevated half, the elevated half's report and what the user's half starts
// of it. The channel itself (a pipe, another process's handle) is not in
// the POSIX stand-in: its cases run in the Windows build, under Wine, with
// both ends in this one process.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/installed.h"
#include "base/scratch.h"
#include "config/scope.h"
#include "finish/launchlist.h"
#include "helpers.h"
#include "trust/halves.h"
#ifdef _WIN32
#include "trust/channel.h"
#endif

namespace {

const char* Name(ScopeDecision d) {
    static const char* const kNames[] = {"machine", "user", "ask", "refused"};
    return kNames[d];
}

// A report as the elevated half composes it: body lines, then the exit.
std::string Composed(unsigned long process, const std::vector<std::pair<const char*, std::string>>& lines,
                     unsigned long code) {
    HalfReport body = {nullptr, 0, 0}, whole = {nullptr, 0, 0};
    for (const auto& l : lines)
        EXPECT_TRUE(ReportAdd(&body, l.first, l.second.c_str())) << l.first;
    EXPECT_TRUE(ComposeReport(process, body, code, &whole));
    std::string text(whole.text ? whole.text : "", whole.used);
    ReportFree(&body);
    ReportFree(&whole);
    return text;
}

} // namespace

TEST(Scope, TheProductsSettingAndTheSwitchesDecide) {
    struct Row {
        const char* setting;
        bool allUsers, currentUser, silent;
        ScopeDecision expected;
    } rows[] = {
        {"", false, false, false, kDecidedMachine},  // no Scope: as the installer always did
        {"", true, false, true, kScopeSwitchRefused},
        {"machine", false, true, true, kScopeSwitchRefused},
        {"MACHINE", false, false, true, kDecidedMachine},
        {"user", false, false, false, kDecidedUser},
        {"User", false, true, true, kDecidedUser},
        {"user", true, false, true, kScopeSwitchRefused},
        {"choose", false, false, false, kDecideByAsking},
        {"choose", false, false, true, kDecidedMachine},  // a silent run never asks
        {"Choose", true, false, false, kDecidedMachine},
        {"choose", false, true, false, kDecidedUser},
        {"choose", true, true, true, kScopeSwitchRefused},
        {"everyone", false, false, false, kDecidedMachine},  // lint refuses it; the installer keeps the default
        {"everyone", false, true, false, kScopeSwitchRefused},
    };
    for (const Row& r : rows)
        EXPECT_STREQ(Name(r.expected),
                     Name(DecideScope(ParseScopeSetting(r.setting), r.allUsers, r.currentUser, r.silent)))
            << "Scope=" << r.setting << " all " << r.allUsers << " current " << r.currentUser << " silent " << r.silent;
    EXPECT_EQ(kSettingUnknown, ParseScopeSetting("machines"));
    EXPECT_EQ(kSettingUnknown, ParseScopeSetting("user "));
}

// Wine gives every process the elevated half of a split token, or with the
// linked token the unelevated half, and never a standard user's: the other
// rows only Windows shows.
TEST(Halves, TheTokenDecidesWhoStartsAnElevatedHalfAndWhoMayActForOneUser) {
    struct Row {
        int elevation;
        bool system, administrator;
        bool elevates, forOneUser;
    } rows[] = {
        {kElevationLimited, false, false, true, true},  // a user at the desktop of a split token
        {kElevationLimited, false, true, true, true},   // as Wine reports the linked token
        {kElevationFull, false, true, false, false},    // from an elevated prompt: one process
        {kElevationDefault, false, false, true, true},  // a standard user: an administrator's password
        {kElevationDefault, false, true, false, true},  // UAC off: every process is the administrator's
        {kElevationDefault, true, true, false, true},   // SYSTEM in a deployment
        {0, false, false, false, false},                // unreadable: as before, and never for one user
    };
    for (const Row& r : rows) {
        TokenFacts token = {r.elevation, r.system, r.administrator, ""};
        EXPECT_EQ(r.elevates, NeedsElevatedHalf(token)) << r.elevation << " " << r.system << " " << r.administrator;
        EXPECT_EQ(r.forOneUser, MayActForOneUser(token)) << r.elevation << " " << r.system << " " << r.administrator;
    }
}

TEST(HalfReport, OnlyOneWholeReportOfTheStartedProcessWithItsExitCodeCounts) {
    const std::string sound = Composed(
        4242, {{"destination", "C:\\Program Files\\P"}, {"info", "readme.txt"}, {"always", "bin\\app.exe"}}, 1);
    ASSERT_EQ("brondale-half=1\nprocess=4242\ndestination=C:\\Program Files\\P\ninfo=readme.txt\n"
              "always=bin\\app.exe\nexit=1\n",
              sound);
    const std::string empty = Composed(7, {}, 2);
    struct Row {
        const char* what;
        std::string bytes;
        unsigned long process, code;
        ReportVerdict expected;
    } rows[] = {
        {"as written", sound, 4242, 1, kReportSound},
        {"nothing to start", empty, 7, 2, kReportSound},
        {"no report", "", 4242, 1, kReportMissing},
        {"another process's", sound, 4243, 1, kReportForeign},
        {"another exit code", sound, 4242, 0, kReportExitDiffers},
        {"a second report after it", sound + empty, 4242, 1, kReportMalformed},
        {"a second report before it", empty + sound, 7, 2, kReportMalformed},
        {"a line after its end", sound + "always=evil.exe\n", 4242, 1, kReportMalformed},
        {"cut short", sound.substr(0, sound.size() - 7), 4242, 1, kReportMalformed},
        {"no last line end", sound.substr(0, sound.size() - 1), 4242, 1, kReportMalformed},
        {"CR LF lines", "brondale-half=1\r\nprocess=7\r\nexit=2\r\n", 7, 2, kReportMalformed},
        {"no header", sound.substr(16), 4242, 1, kReportMalformed},
        {"another version", "brondale-half=2\nprocess=7\nexit=2\n", 7, 2, kReportMalformed},
        {"an unknown line", "brondale-half=1\nprocess=7\nrun=x.exe\nexit=2\n", 7, 2, kReportMalformed},
        {"a destination after an entry", "brondale-half=1\nprocess=7\ninfo=a\ndestination=C:\\P\nexit=2\n", 7, 2,
         kReportMalformed},
        {"an empty value", "brondale-half=1\nprocess=7\ninfo=\nexit=2\n", 7, 2, kReportMalformed},
        {"a number past 32 bits", "brondale-half=1\nprocess=4294967296\nexit=2\n", 0, 2, kReportMalformed},
        {"a zero byte", std::string("brondale-half=1\nprocess=7\ninfo=a\0b\nexit=2\n", 39), 7, 2, kReportMalformed},
        {"a value too long", "brondale-half=1\nprocess=7\ninfo=" + std::string(260, 'a') + "\nexit=2\n", 7, 2,
         kReportMalformed},
        {"larger than any report", "brondale-half=1\nprocess=7\n" + std::string(kMaxHalfReport, '\n') + "exit=2\n", 7,
         2, kReportMalformed},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.expected, CheckReport(r.bytes.data(), r.bytes.size(), r.process, r.code)) << r.what;

    // Its entries, in order, without the header, process and exit lines.
    std::vector<std::string> entries;
    char name[16], value[260];
    for (size_t at = 0; NextReportEntry(sound.data(), sound.size(), &at, name, value);)
        entries.push_back(std::string(name) + "=" + value);
    EXPECT_EQ((std::vector<std::string>{"destination=C:\\Program Files\\P", "info=readme.txt", "always=bin\\app.exe"}),
              entries);
    size_t at = 0;
    EXPECT_FALSE(NextReportEntry(empty.data(), empty.size(), &at, name, value));

    // No value can carry a line of its own into the report.
    HalfReport report = {nullptr, 0, 0};
    EXPECT_FALSE(ReportAdd(&report, "info", "readme.txt\nalways=evil.exe"));
    EXPECT_FALSE(ReportAdd(&report, "info", "readme.txt\r"));
    EXPECT_FALSE(ReportAdd(&report, "info", std::string(260, 'a').c_str()));
    EXPECT_EQ(0u, report.used);
    ReportFree(&report);
}

namespace {

// The user's half's own package start: init.cfg in an Install folder (key
// 9) and the product's InstallLocation under HKEY_LOCAL_MACHINE.
class LaunchList : public ::testing::Test {
protected:
    void SetUp() override {
        ScratchRead(kScratchInstall, saved, sizeof saved);
        std::string install = NewFolder("launchlist");
        ASSERT_TRUE(WriteBytes(install + "\\init.cfg",
                               FromText("[cfg]\r\n1=Halves Product\r\n3=readme.txt\r\n[index]\r\nmax=5\r\n"
                                        "[Run]\r\n1=app.exe\r\n2=bin\\tool.exe\r\n3=..\\outside.exe\r\n4=odd.exe\r\n"
                                        "[silent]\r\n1=1\r\n2=0\r\n3=1\r\n4=10\r\n")));
        ScratchWrite(kScratchInstall, install.c_str());
        key = std::string(kUninstallKey) + "Halves Product";
        SetMachineValue(key, kInstallLocationValue, "C:\\Program Files\\Halves Product");
    }
    void TearDown() override {
        SetMachineValue(key, kInstallLocationValue, nullptr);
        ScratchWrite(kScratchInstall, saved);
    }
    LaunchListVerdict Check(const std::vector<std::pair<const char*, std::string>>& lines, std::string* folder) {
        std::string report = Composed(1, lines, 1);
        EXPECT_EQ(kReportSound, CheckReport(report.data(), report.size(), 1, 1));
        char destination[260];
        memset(destination, 'Q', sizeof destination);
        LaunchListVerdict verdict = CheckLaunchList(report.data(), report.size(), destination);
        *folder = destination;
        return verdict;
    }
    char saved[260] = "";
    std::string key;
};

} // namespace

TEST_F(LaunchList, EveryEntryMustBeOneThePackageNamesInTheInstalledFolder) {
    const std::string kDest = "C:\\Program Files\\Halves Product";
    using Lines = std::vector<std::pair<const char*, std::string>>;
    struct Row {
        const char* what;
        Lines lines;
        LaunchListVerdict expected;
    } rows[] = {
        {"what the finish reports", {{"destination", kDest}, {"info", "readme.txt"}, {"always", "app.exe"},
                                     {"chosen", "bin\\tool.exe"}}, kListStartable},
        {"nothing to start", {}, kListEmpty},
        {"only a destination", {{"destination", kDest}}, kListEmpty},
        {"no destination", {{"always", "app.exe"}}, kListWrongDestination},
        {"another folder", {{"destination", "C:\\Users\\Public"}, {"always", "app.exe"}}, kListWrongDestination},
        {"the folder spelt otherwise", {{"destination", kDest + "\\"}, {"always", "app.exe"}}, kListWrongDestination},
        {"another information file", {{"destination", kDest}, {"info", "app.exe"}}, kListStranger},
        {"a program the package does not name", {{"destination", kDest}, {"always", "cmd.exe"}}, kListStranger},
        {"a chosen entry as always", {{"destination", kDest}, {"always", "bin\\tool.exe"}}, kListStranger},
        {"an always entry as chosen", {{"destination", kDest}, {"chosen", "app.exe"}}, kListStranger},
        {"an entry no mode starts", {{"destination", kDest}, {"always", "odd.exe"}}, kListStranger},
        {"a path out of the folder, though named", {{"destination", kDest}, {"always", "..\\outside.exe"}},
         kListStranger},
        {"one bad entry among good ones", {{"destination", kDest}, {"always", "app.exe"}, {"always", "cmd.exe"}},
         kListStranger},
    };
    for (const Row& r : rows) {
        std::string folder;
        EXPECT_EQ(r.expected, Check(r.lines, &folder)) << r.what;
        EXPECT_EQ(r.expected == kListStartable ? kDest : std::string(), folder) << r.what;
    }
    // Without the product's key (another product, or nothing installed)
    // nothing is started either.
    SetMachineValue(key, kInstallLocationValue, nullptr);
    std::string folder;
    EXPECT_EQ(kListWrongDestination, Check({{"destination", kDest}, {"always", "app.exe"}}, &folder));
}

#ifdef _WIN32
// Both ends in this process: the elevated half's side duplicates the write
// end from the process id and handle value it is given, as it would from
// its user's half.
TEST(HalfChannel, TheElevatedHalfOnlyWritesItsReportIntoTheUsersHalfsPipe) {
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    SECURITY_ATTRIBUTES none = {sizeof none, nullptr, FALSE};
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &none, 65536));
    // What another process might put there first: the elevated half never
    // reads it, and the user's half then finds no single whole report.
    const char command[] = "always=C:\\Windows\\System32\\cmd.exe\n";
    DWORD put = 0;
    ASSERT_TRUE(WriteFile(writeEnd, command, sizeof command - 1, &put, nullptr));
    unsigned long value = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(writeEnd));
    HANDLE channel = OpenChannel(GetCurrentProcessId(), value);
    ASSERT_NE(INVALID_HANDLE_VALUE, channel);
    std::string report = Composed(GetCurrentProcessId(), {}, 0);
    HalfReport whole = {&report[0], report.size(), report.size()};
    EXPECT_TRUE(SendReport(channel, whole));
    char bytes[512];
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(readEnd, bytes, sizeof bytes, &got, nullptr));
    EXPECT_EQ(std::string(command) + report, std::string(bytes, got)) << "what was there stays unread";
    EXPECT_EQ(kReportMalformed, CheckReport(bytes, got, GetCurrentProcessId(), 0));

    // A handle that is no pipe, one that does not exist, a process that
    // does not exist: no channel, nothing written anywhere.
    std::string file = NewFolder("channel") + "\\not-a-pipe.txt";
    HANDLE plain = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, plain);
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              OpenChannel(GetCurrentProcessId(), static_cast<unsigned long>(reinterpret_cast<uintptr_t>(plain))));
    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenChannel(GetCurrentProcessId(), 0x7ff0));
    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenChannel(0xfffffff0ul, value));

    // A pipe that a process of another program holds (a command line made
    // up to name it): never taken, whatever that process put in it.
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION other = {};
    char line[] = "\"" BRONDALE_INSTALLER_EXE "\" /S";
    ASSERT_TRUE(CreateProcessA(BRONDALE_INSTALLER_EXE, line, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                               nullptr, &si, &other));
    HANDLE theirs = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), writeEnd, other.hProcess, &theirs, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              OpenChannel(other.dwProcessId, static_cast<unsigned long>(reinterpret_cast<uintptr_t>(theirs))));
    TerminateProcess(other.hProcess, 0);
    WaitForSingleObject(other.hProcess, 10000);
    CloseHandle(other.hThread);
    CloseHandle(other.hProcess);
    CloseHandle(plain);
    CloseHandle(writeEnd);
    CloseHandle(readEnd);
}
#endif
