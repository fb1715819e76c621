// The wizard's page flow, the licence page and the destination page, driven
// from outside as a user would.
#include <gtest/gtest.h>

#include "wizard.h"

namespace {

const char kPathRefused[] = "Wybrana \x9C" "cie\xBFka jest nieprawid\xB3owa.";  // CP1250

bool Hidden(HWND w) { return IsWindow(w) && !IsWindowVisible(w); }
bool DestinationNextEnabled(HWND page) { return IsWindowEnabled(GetDlgItem(page, IDC_DESTINATION_NEXT)) != 0; }
bool DestinationNextDisabled(HWND page) { return !DestinationNextEnabled(page); }
bool LicenceNextEnabled(HWND page) { return IsWindowEnabled(GetDlgItem(page, IDC_LICENCE_NEXT)) != 0; }
bool LicenceNextDisabled(HWND page) { return !LicenceNextEnabled(page); }

using Flow = Wizard;

ProductFiles WithLicence(const std::string& name, const std::string& licence) {
    ProductFiles files = BasicProduct(name, {"English"});
    files["install\\init.cfg"] = "[cfg]\r\n1=" + name + "\r\n2=licence.txt\r\n";
    files["install\\licence.txt"] = licence;
    return files;
}

} // namespace

TEST_F(Flow, PagesFollowInOrderAndEachStepHidesThePageBefore) {
    std::string licence = std::string("Licence terms\r\nLine two\0after the zero", 38);
    HWND confirm = ToConfirmation("flow-order", WithLicence("Flow Order", licence));
    ASSERT_NE(nullptr, confirm);
    EXPECT_TRUE(Hidden(language)) << "the language page is hidden, not ended";
    EXPECT_EQ("Flow Order", Text(confirm));
    EXPECT_EQ("Czy napewno chcesz zainstalowa\xE6 program Flow Order?", ItemText(confirm, IDC_CONFIRM_TEXT));

    Click(confirm, IDC_CONFIRM_INSTALL);
    HWND page = WaitForPageWith(IDC_LICENCE_TEXT);
    ASSERT_NE(nullptr, page) << "the licence page";
    EXPECT_TRUE(Hidden(confirm));
    EXPECT_EQ(confirm, GetWindow(page, GW_OWNER));
    EXPECT_EQ("Licence terms\r\nLine two", ItemText(page, IDC_LICENCE_TEXT)) << "the file's bytes up to the first zero";
    EXPECT_TRUE(LicenceNextDisabled(page));
    Click(page, IDC_LICENCE_ACCEPT);
    EXPECT_TRUE(WaitUntil(LicenceNextEnabled, page)) << "ticked";
    Click(page, IDC_LICENCE_ACCEPT);
    EXPECT_TRUE(WaitUntil(LicenceNextDisabled, page)) << "unticked";
    Click(page, IDC_LICENCE_ACCEPT);
    EXPECT_TRUE(WaitUntil(LicenceNextEnabled, page)) << "ticked again";

    Click(page, IDC_LICENCE_NEXT);
    HWND destination = WaitForPageWith(IDC_DESTINATION_PATH);
    ASSERT_NE(nullptr, destination);
    EXPECT_TRUE(Hidden(page));
    EXPECT_EQ(page, GetWindow(destination, GW_OWNER));
    EXPECT_EQ(ProgramFilesFolder() + "\\Flow Order", ItemText(destination, IDC_DESTINATION_PATH));

    std::string target = folder + "\\dest\\new\\";
    SetItemText(destination, IDC_DESTINATION_PATH, target);
    Click(destination, IDC_DESTINATION_NEXT);
    // A small program section can be unpacked before the progress page is
    // seen: then the options page stands in its place.
    HWND progress = WaitForPageWith(IDC_PROGRESS_BAR, 20000, IDC_OPTION_RUN);
    ASSERT_NE(nullptr, progress);
    EXPECT_TRUE(Hidden(destination));
    EXPECT_TRUE(PathExists(folder + "\\dest\\new")) << "a trailing backslash creates the last folder at once";
    EXPECT_EQ(target, ScratchKey(Scratch(), "10")) << "the path exactly as typed";
    HWND options = WaitForPageWith(IDC_OPTION_RUN);
    ASSERT_NE(nullptr, options);
    for (HWND earlier : {language, confirm, page, destination, progress})
        EXPECT_TRUE(earlier == options || !IsWindowVisible(earlier)) << "no page comes back";
    CancelWithYes(options, 0);
}

TEST_F(Flow, WithoutALicenceTheDestinationFollowsTheConfirmation) {
    HWND confirm = ToConfirmation("flow-nolicence", BasicProduct("No Licence", {"English"}));
    ASSERT_NE(nullptr, confirm);
    Click(confirm, IDC_CONFIRM_INSTALL);
    HWND destination = WaitForPageWith(IDC_DESTINATION_PATH);
    ASSERT_NE(nullptr, destination);
    EXPECT_EQ(confirm, GetWindow(destination, GW_OWNER)) << "owned by the confirmation page";
    EXPECT_EQ(nullptr, GetDlgItem(destination, IDC_LICENCE_TEXT));
    CancelWithYes(destination, IDC_DESTINATION_CANCEL);
}

TEST_F(Flow, MissingLicenceFileGivesAnEmptyEditAndTheUserGoesOn) {
    ProductFiles files = BasicProduct("Lost Licence", {"English"});
    files["install\\init.cfg"] = "[cfg]\r\n1=Lost Licence\r\n2=missing.txt\r\n";
    packOptions = "--force";  // the tool would refuse a licence that is not there
    HWND confirm = ToConfirmation("flow-lostlicence", files);
    ASSERT_NE(nullptr, confirm);
    Click(confirm, IDC_CONFIRM_INSTALL);
    HWND page = WaitForPageWith(IDC_LICENCE_TEXT);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ("", ItemText(page, IDC_LICENCE_TEXT));
    Click(page, IDC_LICENCE_ACCEPT);
    ASSERT_TRUE(WaitUntil(LicenceNextEnabled, page));
    Click(page, IDC_LICENCE_NEXT);
    EXPECT_NE(nullptr, WaitForPageWith(IDC_DESTINATION_PATH));
}

TEST_F(Flow, DestinationPathIsCheckedForItsForm) {
    HWND confirm = ToConfirmation("flow-paths", BasicProduct("Path Checks", {"English"}));
    ASSERT_NE(nullptr, confirm);
    Click(confirm, IDC_CONFIRM_INSTALL);
    HWND page = WaitForPageWith(IDC_DESTINATION_PATH);
    ASSERT_NE(nullptr, page);

    SetItemText(page, IDC_DESTINATION_PATH, "");
    EXPECT_TRUE(WaitUntil(DestinationNextDisabled, page)) << "an empty edit disables the forward button";
    SetItemText(page, IDC_DESTINATION_PATH, "C");
    EXPECT_TRUE(WaitUntil(DestinationNextEnabled, page)) << "one character enables it";

    for (const char* refused : {"C", "C:", "relative\\folder", "\\\\server\\share\\x", "C:relative", "/unix/path"}) {
        SetItemText(page, IDC_DESTINATION_PATH, refused);
        Click(page, IDC_DESTINATION_NEXT);
        HWND box = WaitForMessageBox(run);
        ASSERT_NE(nullptr, box) << refused;
        BoxInfo info = ReadBox(box);
        EXPECT_EQ(kPathRefused, info.text) << refused;
        EXPECT_EQ("Brondale", info.caption);
        EXPECT_EQ("error", IconKind(box));
        Answer(box, IDOK);
        while (IsWindow(box))
            Sleep(20);
        EXPECT_TRUE(IsWindowVisible(page)) << refused << ": the page stays";
        EXPECT_EQ(refused, ItemText(page, IDC_DESTINATION_PATH)) << "and keeps its text";
        EXPECT_EQ("", ScratchKey(Scratch(), "10")) << "nothing is recorded";
    }
    // A folder under which the uninstall record would pass 259 characters:
    // refused on the page, nothing created.
    std::string deep = CaseFolder("flow-paths-long") + "\\";
    std::string parent = deep + std::string(120, 'p');
    std::string tooLong = parent + "\\" + std::string(240 - parent.size() - 1, 'x');
    ASSERT_EQ(240u, tooLong.size());
    SetItemText(page, IDC_DESTINATION_PATH, tooLong);
    Click(page, IDC_DESTINATION_NEXT);
    HWND longBox = WaitForMessageBox(run);
    ASSERT_NE(nullptr, longBox);
    EXPECT_EQ(kPathRefused, ReadBox(longBox).text);
    Answer(longBox, IDOK);
    while (IsWindow(longBox))
        Sleep(20);
    EXPECT_TRUE(IsWindowVisible(page)) << "the page stays";
    EXPECT_EQ("", ScratchKey(Scratch(), "10"));
    EXPECT_FALSE(PathExists(parent)) << "nothing is created";

    // A drive root alone has the form; the drive does not exist, so its
    // root cannot be opened: refused on the page, naming it, as a folder
    // that cannot be opened or made.
    SetItemText(page, IDC_DESTINATION_PATH, "X:\\");
    Click(page, IDC_DESTINATION_NEXT);
    HWND box = WaitForMessageBox(run);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("Instalacja nie mo\xBF"
              "e otworzy\xE6, odczyta\xE6 ani utworzy\xE6 tego folderu. Wybierz inny folder:\r\nX:\\",
              ReadBox(box).text);
    Answer(box, IDOK);
    EXPECT_EQ("", ScratchKey(Scratch(), "10"));
}

TEST_F(Flow, CancelQuestionOnEveryPage) {
    HWND confirm = ToConfirmation("flow-cancel", WithLicence("Cancel Everywhere", "terms"));
    ASSERT_NE(nullptr, confirm);
    struct Step {
        int cancel;      // the page's cancel button
        int forward;     // what leads on
        int nextMarker;  // a control of the next page
    };
    HWND page = confirm;
    for (Step s : {Step{IDC_CONFIRM_CANCEL, IDC_CONFIRM_INSTALL, IDC_LICENCE_TEXT},
                   Step{IDC_LICENCE_CANCEL, IDC_LICENCE_NEXT, IDC_DESTINATION_PATH},
                   Step{IDC_DESTINATION_CANCEL, IDC_DESTINATION_NEXT, IDC_OPTIONS_FINISH}}) {
        // The cancel button and the title bar's close box both ask; No keeps
        // the page as it was.
        for (bool closeBox : {false, true}) {
            if (closeBox)
                PostMessageA(page, WM_SYSCOMMAND, SC_CLOSE, 0);
            else
                Click(page, s.cancel);
            HWND box = WaitForMessageBox(run);
            ASSERT_NE(nullptr, box) << "page with " << s.cancel;
            EXPECT_EQ("Przerwa\xE6 instalacj\xEA?", ReadBox(box).text);
            Answer(box, IDNO);
            while (IsWindow(box))
                Sleep(20);
            EXPECT_TRUE(IsWindowVisible(page));
        }
        // Esc does nothing.
        PostMessageA(page, WM_KEYDOWN, VK_ESCAPE, 0);
        Sleep(200);
        EXPECT_EQ(nullptr, WaitForMessageBox(run, 100));
        EXPECT_TRUE(IsWindowVisible(page));
        if (s.forward == IDC_LICENCE_NEXT) {
            Click(page, IDC_LICENCE_ACCEPT);
            ASSERT_TRUE(WaitUntil(LicenceNextEnabled, page));
        }
        if (s.forward == IDC_DESTINATION_NEXT)
            SetItemText(page, IDC_DESTINATION_PATH, folder + "\\dest");
        Click(page, s.forward);
        page = WaitForPageWith(s.nextMarker);
        ASSERT_NE(nullptr, page);
    }
    // The small product is unpacked at once; the options page follows. (The
    // progress page's own question is tested on a package that takes long.)
    page = WaitForPageWith(IDC_OPTION_RUN);
    ASSERT_NE(nullptr, page);
    CancelWithYes(page, 0);
    EXPECT_FALSE(IsWindow(confirm)) << "every page has ended";
}

TEST_F(Flow, FolderBrowserOpensAndCancelKeepsThePath) {
    HWND confirm = ToConfirmation("flow-browse", BasicProduct("Browse Product", {"English"}));
    ASSERT_NE(nullptr, confirm);
    Click(confirm, IDC_CONFIRM_INSTALL);
    HWND page = WaitForPageWith(IDC_DESTINATION_PATH);
    ASSERT_NE(nullptr, page);
    std::string proposal = ItemText(page, IDC_DESTINATION_PATH);
    Click(page, IDC_DESTINATION_BROWSE);
    // The browser is a dialog of its own, owned by the destination page.
    HWND browser = nullptr;
    for (int i = 0; i < 500 && !browser; ++i) {
        for (HWND w : Dialogs(run.process.dwProcessId))
            if (w != page && !IsMessageBox(w) && GetWindow(w, GW_OWNER) == page)
                browser = w;
        Sleep(20);
    }
    ASSERT_NE(nullptr, browser) << "no folder browser";
    PostMessageA(browser, WM_COMMAND, IDCANCEL, 0);
    for (int i = 0; i < 250 && IsWindow(browser); ++i)
        Sleep(20);
    EXPECT_FALSE(IsWindow(browser));
    EXPECT_EQ(proposal, ItemText(page, IDC_DESTINATION_PATH)) << "a cancelled browser leaves the edit unchanged";
    EXPECT_TRUE(IsWindowVisible(page));
}

// What another process of the same user tries while the installer waits on
// its language page, with the Lang and Install sections unpacked: the
// scratch folder, Lang and Install cannot be renamed or opened for deletion,
// the installer's own file cannot be renamed, replaced or deleted. Then the
// installation goes on as usual, from the files this run unpacked.
TEST_F(Flow, TheScratchFolderAndTheInstallerFileAreHeldWhileItRuns) {
    ASSERT_TRUE(Launch("flow-held", BasicProduct("Flow Held", {"English"})));
    language = WaitForPage(run, "Choose Setup Language");
    ASSERT_NE(nullptr, language);
    std::string scratch = Scratch();
    ASSERT_NE("", scratch);
    for (const std::string& held : {scratch, scratch + "\\Lang", scratch + "\\Install"}) {
        std::string moved = held + "-moved";
        SetLastError(0);
        bool renamed = MoveFileA(held.c_str(), moved.c_str()) != FALSE;
        EXPECT_FALSE(renamed) << held;
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError()) << held;
        if (renamed)
            MoveFileA(moved.c_str(), held.c_str());
        HANDLE forDelete = CreateFileA(held.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        EXPECT_EQ(INVALID_HANDLE_VALUE, forDelete) << held << " opened for deletion";
        if (forDelete != INVALID_HANDLE_VALUE)
            CloseHandle(forDelete);
    }
    std::string exe = folder + "\\e2e-flow-held.exe";
    std::string other = folder + "\\other.exe";
    ASSERT_TRUE(WriteFileText(other, "another installer"));
    SetLastError(0);
    bool renamed = MoveFileA(exe.c_str(), (exe + ".old").c_str()) != FALSE;
    EXPECT_FALSE(renamed);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    if (renamed)
        MoveFileA((exe + ".old").c_str(), exe.c_str());
    EXPECT_FALSE(MoveFileExA(other.c_str(), exe.c_str(), MOVEFILE_REPLACE_EXISTING)) << "replaced by a rename";
    EXPECT_FALSE(CopyFileA(other.c_str(), exe.c_str(), FALSE)) << "overwritten";
    EXPECT_FALSE(DeleteFileA(exe.c_str()));
    EXPECT_TRUE(PathExists(other));

    Click(language, IDC_LANGUAGE_OK);
    HWND confirm = WaitForPageWith(IDC_CONFIRM_TEXT);
    ASSERT_NE(nullptr, confirm);
    Click(confirm, IDC_CONFIRM_INSTALL);
    HWND page = WaitForPageWith(IDC_DESTINATION_PATH);
    ASSERT_NE(nullptr, page);
    std::string destination = CaseFolder("flow-held-dest") + "\\Flow Held";
    SetItemText(page, IDC_DESTINATION_PATH, destination);
    Click(page, IDC_DESTINATION_NEXT);
    HWND options = WaitForPageWith(IDC_OPTION_RUN, 60000);
    ASSERT_NE(nullptr, options);
    Click(options, IDC_OPTIONS_FINISH);
    DWORD code = 0;
    ASSERT_TRUE(WaitExit(&run, 60000, &code));
    EXPECT_EQ(1u, code);
    std::string installed;
    EXPECT_TRUE(ReadFileText(destination + "\\Flow Held.txt", &installed));
    EXPECT_EQ("Flow Held", installed);
    EXPECT_EQ(std::vector<std::string>{}, ListFolder(scratch)) << "emptied at the end";
    EXPECT_TRUE(MoveFileA(exe.c_str(), (exe + ".old").c_str())) << "let go at the end";
}
