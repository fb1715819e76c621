// The command-line switches, the choices they make for the options page, the
// log and Tell.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "helpers.h"
#include "platform/win32api.h"
#include "base/resource.h"
#include "base/switches.h"
#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

// A command line and what the installer (or the uninstaller) makes of it.
struct ParseRow {
    const char* label;
    const char* arguments;
    bool installer;
    bool understood;
    const char* flags;  // letters of the flags set: S silent, ? help, d s i r nodesktop/startmenu/info/run, R run,
                        // A all users, U current user, C channel, D allow a downgrade
    const char* destination;
    const char* language;
    const char* log;
    const char* unknown;
    bool badDestination;
};

std::string Flags(const Switches& s) {
    std::string f;
    if (s.silent) f += 'S';
    if (s.help) f += '?';
    if (s.noDesktop) f += 'd';
    if (s.noStartMenu) f += 's';
    if (s.noInfo) f += 'i';
    if (s.noRun) f += 'r';
    if (s.run) f += 'R';
    if (s.allUsers) f += 'A';
    if (s.currentUser) f += 'U';
    if (s.channel) f += 'C';
    if (s.allowDowngrade) f += 'D';
    return f;
}

void SetSwitches(const char* arguments) {
    ASSERT_TRUE(ParseSwitches(arguments, true, RunSwitches())) << arguments;
}

struct SilentReset {
    ~SilentReset() {
        memset(RunSwitches(), 0, sizeof *RunSwitches());
        LogClose();
    }
};

} // namespace

TEST(ParseSwitches, Table) {
    const ParseRow rows[] = {
        {"nothing", "", true, true, "", "", "", "", "", false},
        {"blanks only", " \t ", true, true, "", "", "", "", "", false},
        {"silent", "/S", true, true, "S", "", "", "", "", false},
        {"dash and lower case", "-s", true, true, "S", "", "", "", "", false},
        {"every flag", "/S /NODESKTOP -nostartmenu /NoInfo /NORUN /RUN /?", true, true, "S?dsirR", "", "", "", "",
         false},
        {"downgrade allowed", "/S -AllowDowngrade", true, true, "SD", "", "", "", "", false},
        {"downgrade switch takes no value", "/ALLOWDOWNGRADE=1", true, false, "", "", "", "", "/ALLOWDOWNGRADE=1",
         false},
        {"destination with blanks to the end", "/S /D=C:\\Some Folder\\With Blanks", true, true, "S",
         "C:\\Some Folder\\With Blanks", "", "", "", false},
        {"destination keeps what looks like a switch", "/D=C:\\a /S b", true, true, "", "C:\\a /S b", "", "", "",
         false},
        {"destination trailing blanks cut", "/S /d=D:\\App  \t", true, true, "S", "D:\\App", "", "", "", false},
        {"destination trailing backslash cut", "/D=C:\\App\\\\", true, true, "", "C:\\App", "", "", "", false},
        {"drive root keeps its backslash", "/D=D:\\", true, true, "", "D:\\", "", "", "", false},
        {"destination in enclosing quotes", "/D=\"C:\\Program Files\\App\"", true, true, "", "C:\\Program Files\\App",
         "", "", "", false},
        {"quoted destination argument", "/S \"/D=C:\\x y\"", true, true, "S", "C:\\x y", "", "", "", false},
        {"empty destination", "/S /D=", true, true, "S", "", "", "", "", true},
        {"destination without form still parsed", "/D=relative", true, true, "", "relative", "", "", "", false},
        {"language", "/LANG=English /S", true, true, "S", "", "English", "", "", false},
        {"log with quotes around a blank", "/LOG=\"C:\\my logs\\a.log\" /S", true, true, "S", "", "",
         "C:\\my logs\\a.log", "", false},
        {"whole argument quoted", "\"/LOG=C:\\my logs\\b.log\"", true, true, "", "", "", "C:\\my logs\\b.log", "",
         false},
        {"unknown switch", "/S /Q", true, false, "S", "", "", "", "/Q", false},
        {"not a switch", "/S install", true, false, "S", "", "", "", "install", false},
        {"flag with a value", "/S=1", true, false, "", "", "", "", "/S=1", false},
        {"value switch without value", "/LOG", true, false, "", "", "", "", "/LOG", false},
        {"value switch with empty value", "/LANG=", true, false, "", "", "", "", "/LANG=", false},
        {"language too long for its field", "/LANG=ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", true, false, "", "", "", "",
         "/LANG=ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", false},
        {"lone slash", "/", true, false, "", "", "", "", "/", false},
        {"first unknown is named", "/X /Y", true, false, "", "", "", "", "/X", false},
        {"uninstaller: silent and log", "/S /LOG=C:\\u.log", false, true, "S", "", "", "C:\\u.log", "", false},
        {"uninstaller: no destination", "/S /D=C:\\x", false, false, "S", "", "", "", "/D=C:\\x", false},
        {"uninstaller: no installer flags", "/S /NODESKTOP", false, false, "S", "", "", "", "/NODESKTOP", false},
        {"uninstaller: no language", "/LANG=English", false, false, "", "", "", "", "/LANG=English", false},
        {"scope switches", "/S /ALLUSERS -currentuser", true, true, "SAU", "", "", "", "", false},
        {"scope switch with a value", "/ALLUSERS=1", true, false, "", "", "", "", "/ALLUSERS=1", false},
        {"uninstaller: no scope switch", "/S /CURRENTUSER", false, false, "S", "", "", "", "/CURRENTUSER", false},
        {"the elevated half's channel", "/CHANNEL=4242.120 /S /D=C:\\App", true, true, "SC", "C:\\App", "", "", "",
         false},
        {"uninstaller: channel", "/channel=7.8 /S", false, true, "SC", "", "", "", "", false},
        {"channel without handle", "/CHANNEL=4242", true, false, "", "", "", "", "/CHANNEL=4242", false},
        {"channel with a sign", "/CHANNEL=-1.5", true, false, "", "", "", "", "/CHANNEL=-1.5", false},
        {"channel with three numbers", "/CHANNEL=1.2.3", true, false, "", "", "", "", "/CHANNEL=1.2.3", false},
        {"channel number too long", "/CHANNEL=1234567890.1", true, false, "", "", "", "", "/CHANNEL=1234567890.1",
         false},
        {"uninstaller: no downgrade", "/ALLOWDOWNGRADE", false, false, "", "", "", "", "/ALLOWDOWNGRADE", false},
    };
    for (const ParseRow& r : rows) {
        Switches s;
        memset(&s, 0x5A, sizeof s);
        EXPECT_EQ(r.understood, ParseSwitches(r.arguments, r.installer, &s)) << r.label;
        EXPECT_EQ(r.flags, Flags(s)) << r.label;
        EXPECT_STREQ(r.destination, s.destination) << r.label;
        EXPECT_STREQ(r.language, s.language) << r.label;
        EXPECT_STREQ(r.log, s.log) << r.label;
        EXPECT_STREQ(r.unknown, s.unknown) << r.label;
        EXPECT_EQ(r.badDestination, s.badDestination) << r.label;
    }
}

TEST(ParseSwitches, ChannelNamesTheUsersHalfAndItsPipe) {
    Switches s;
    ASSERT_TRUE(ParseSwitches("/CHANNEL=987654321.4 /S", true, &s));
    EXPECT_EQ(987654321ul, s.channelProcess);
    EXPECT_EQ(4ul, s.channelHandle);
    ASSERT_TRUE(ParseSwitches("/S", true, &s));
    EXPECT_FALSE(s.channel);
    EXPECT_EQ(0ul, s.channelProcess);
}

TEST(ParseSwitches, DestinationLongerThanAPathIsRefused) {
    std::string arguments = "/S /D=C:\\" + std::string(300, 'a');
    Switches s;
    EXPECT_TRUE(ParseSwitches(arguments.c_str(), true, &s));
    EXPECT_TRUE(s.badDestination);
    EXPECT_STREQ("", s.destination);
}

TEST(SilentChoice, OptionBoxesFollowTheSwitches) {
    SilentReset reset;
    struct Row {
        const char* arguments;
        bool unticked[4];  // the options page's boxes, IDC_OPTION_DESKTOP to IDC_OPTION_RUN
        bool silent[4];    // what a silent run takes
    } rows[] = {
        {"/S", {false, false, false, false}, {true, true, false, false}},
        {"/S /RUN", {false, false, false, false}, {true, true, true, true}},
        {"/S /NODESKTOP /NOSTARTMENU", {true, true, false, false}, {false, false, false, false}},
        {"/S /RUN /NOINFO", {false, false, true, false}, {true, true, false, true}},
        {"/S /RUN /NORUN", {false, false, false, true}, {true, true, true, false}},
    };
    for (const Row& r : rows) {
        SetSwitches(r.arguments);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(r.unticked[i], SwitchUnticks(IDC_OPTION_DESKTOP + i)) << r.arguments << " box " << i;
            EXPECT_EQ(r.silent[i], SilentChoice(IDC_OPTION_DESKTOP + i)) << r.arguments << " box " << i;
        }
    }
}

// Taking the command line, as the installer and the uninstaller do it: when
// the run ends there, with which exit code, and what the log says. Every row
// is silent, so no box waits for an answer.
TEST(TakeCommandLine, EndsTheRunOnlyForHelpOrAnUnknownSwitch) {
    SilentReset reset;
    std::string log = NewFolder("takeline") + "\\take.log";
    const SwitchProgram installer = {true, "installer", "the usage\r\nsecond line", 2};
    const SwitchProgram uninstaller = {false, "uninstaller", "/S only", 5};
    struct Row {
        const char* label;
        const SwitchProgram* program;
        std::string arguments;
        bool ends;
        int exitCode;
        const char* logged;  // the log after its first line (the program's path); "" when none is opened
    } rows[] = {
        {"no arguments", &installer, "", false, -1, ""},
        {"blanks only", &installer, " \t", false, -1, ""},
        {"switches to run with", &installer, "/S /LOG=\"" + log + "\"", false, -1, "arguments: /S /LOG=\""},
        {"help", &installer, "/S /? /LOG=\"" + log + "\"", true, 0,
         "arguments: /S /? /LOG=\"*message: the usage\r\n    second line\r\n    answered without asking: OK\r\n"},
        {"an unknown switch", &installer, "/S /bogus /LOG=\"" + log + "\"", true, 2,
         "arguments: /S /bogus /LOG=\"*message: Unknown switch: /bogus\r\n    \r\n    the usage\r\n"},
        {"an installer's switch to the uninstaller", &uninstaller, "/S /NODESKTOP /LOG=\"" + log + "\"", true, 5,
         "arguments: /S /NODESKTOP /LOG=\"*message: Unknown switch: /NODESKTOP\r\n    \r\n    /S only\r\n"},
    };
    for (const Row& r : rows) {
        DeleteFileA(log.c_str());
        int code = -1;
        EXPECT_EQ(r.ends, TakeCommandLine(r.arguments.c_str(), *r.program, &code)) << r.label;
        EXPECT_EQ(r.exitCode, code) << r.label;
        LogClose();
        Bytes data;
        std::string text = ReadBytes(log, &data) ? std::string(data.begin(), data.end()) : "";
        std::string first = std::string("Brondale ") + r.program->role + " ";
        if (r.logged[0] == '\0') {
            EXPECT_EQ("", text) << r.label;
            continue;
        }
        size_t lineEnd = text.find("\r\n");
        ASSERT_NE(std::string::npos, lineEnd) << r.label;
        EXPECT_EQ(first, text.substr(0, first.size())) << r.label;
        EXPECT_GT(lineEnd, first.size()) << r.label << ": the program's path";
        // "*" stands for the rest of the arguments line.
        std::string expected = r.logged, rest = text.substr(lineEnd + 2);
        size_t star = expected.find('*');
        if (star == std::string::npos) {
            EXPECT_EQ(expected, rest.substr(0, expected.size())) << r.label;
            continue;
        }
        EXPECT_EQ(expected.substr(0, star), rest.substr(0, star)) << r.label;
        size_t next = rest.find("\r\n");
        ASSERT_NE(std::string::npos, next) << r.label;
        EXPECT_EQ(expected.substr(star + 1), rest.substr(next + 2, expected.size() - star - 1)) << r.label;
    }
}

TEST(Log, WritesLinesAndReplacesAnOldFile) {
    SilentReset reset;
    std::string folder = NewFolder("log");
    std::string path = folder + "\\install.log";
    ASSERT_TRUE(WriteBytes(path, FromText("an older log that is much longer than the new one\r\n")));
    LogLine("before the log: %d", 1);
    ASSERT_TRUE(LogOpen(path.c_str()));
    LogLine("section %s: %u members", "C:\\x", 3u);
    LogLine("exit code: %d", 0);
    LogClose();
    LogLine("after the log");
    Bytes data;
    ASSERT_TRUE(ReadBytes(path, &data));
    EXPECT_EQ("section C:\\x: 3 members\r\nexit code: 0\r\n", std::string(data.begin(), data.end()));
}

TEST(Log, ALogThatCannotBeOpenedIsNoFailure) {
    SilentReset reset;
    std::string folder = NewFolder("nolog");
    EXPECT_FALSE(LogOpen((folder + "\\missing\\install.log").c_str()));
    EXPECT_FALSE(LogIsOpen());
    LogLine("nowhere");
    EXPECT_FALSE(LogOpen(folder.c_str())) << "a folder of that name";
    EXPECT_TRUE(IsFolder(folder));
}

TEST(Tell, SilentRunAnswersWithoutABoxAndLogsTheText) {
    SilentReset reset;
    std::string folder = NewFolder("tell");
    std::string path = folder + "\\tell.log";
    SetSwitches("/S");
    ASSERT_TRUE(LogOpen(path.c_str()));
#ifndef _WIN32
    int boxes = PosixUi()->messageBoxes;
#endif
    // A box would wait for an answer here; a silent run must not.
    EXPECT_EQ(IDYES, Tell("Remove?\r\nReally", "Brondale", MB_YESNO | MB_ICONQUESTION, IDYES));
    EXPECT_EQ(IDOK, Tell("File is corupted.", "Brondale", MB_ICONERROR, IDOK));
#ifndef _WIN32
    EXPECT_EQ(boxes, PosixUi()->messageBoxes);
#endif
    LogClose();
    Bytes data;
    ASSERT_TRUE(ReadBytes(path, &data));
    EXPECT_EQ("message: Remove?\r\n    Really\r\n    answered without asking: Yes\r\n"
              "message: File is corupted.\r\n    answered without asking: OK\r\n",
              std::string(data.begin(), data.end()));
}

#ifndef _WIN32
// Wine cannot make NT links; symbolic links stand in for those planted where
// the elevated installer is told to write its log (the end-to-end cases show
// a folder link under Wine). Whatever a link leads to stays as it was.
TEST(Log, ALinkAnywhereOnItsWayMeansNoLogAndNothingWrittenThere) {
    SilentReset reset;
    std::string root = NewFolder("loglink");
    std::string outside = NewFolder("logoutside");
    ASSERT_TRUE(CreateDirectoryA((root + "\\plain").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((outside + "\\sub").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(outside + "\\x.log", FromText("keep me")));
    ASSERT_TRUE(WriteBytes(outside + "\\sub\\x.log", FromText("keep me too")));
    ASSERT_TRUE(MakeLink(outside + "\\x.log", root + "\\file-link.log"));
    ASSERT_TRUE(MakeLink(outside + "\\absent.log", root + "\\dangling.log"));
    ASSERT_TRUE(MakeLink(outside, root + "\\folder-link"));
    ASSERT_TRUE(WriteBytes(outside + "\\hard.txt", FromText("a second name")));
    std::string unixHard = root + "\\hard.log", unixTarget = outside + "\\hard.txt";
    for (std::string* p : {&unixHard, &unixTarget})
        for (char& c : *p)
            if (c == '\\')
                c = '/';
    ASSERT_EQ(0, link(unixTarget.c_str(), unixHard.c_str()));
    std::vector<std::string> outsideBefore = ListTree(outside);
    struct Row {
        const char* label;
        std::string path;
        bool opened;
        std::string lands{};  // where an opened log is, when not at path
    } rows[] = {
        {"a plain folder", root + "\\plain\\install.log", true},
        {"\"..\" is taken by name first, as Windows does", root + "\\folder-link\\..\\plain\\up.log", true,
         root + "\\plain\\up.log"},
        {"the log is a link to a file", root + "\\file-link.log", false},
        {"the log is a link to nothing", root + "\\dangling.log", false},
        {"its folder is a link", root + "\\folder-link\\x.log", false},
        {"a folder further up is a link", root + "\\folder-link\\sub\\x.log", false},
        {"the log has a second name", root + "\\hard.log", false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.opened, LogOpen(r.path.c_str())) << r.label;
        EXPECT_EQ(r.opened, LogIsOpen()) << r.label;
        LogLine("written");
        LogClose();
        Bytes data;
        if (r.opened) {
            ASSERT_TRUE(ReadBytes(r.lands.empty() ? r.path : r.lands, &data)) << r.label;
            EXPECT_EQ("written\r\n", std::string(data.begin(), data.end())) << r.label;
        }
        EXPECT_EQ(outsideBefore, ListTree(outside)) << r.label << ": nothing made there";
        const std::pair<const char*, const char*> kept[] = {
            {"x.log", "keep me"}, {"sub\\x.log", "keep me too"}, {"hard.txt", "a second name"}};
        for (const auto& k : kept) {
            ASSERT_TRUE(ReadBytes(outside + "\\" + k.first, &data));
            EXPECT_EQ(k.second, std::string(data.begin(), data.end())) << r.label << ": " << k.first;
        }
    }
    EXPECT_EQ(FILE_ATTRIBUTE_REPARSE_POINT, GetFileAttributesA((root + "\\file-link.log").c_str()) &
                                                FILE_ATTRIBUTE_REPARSE_POINT)
        << "the link itself stays too";
}
#endif
