// Walking an installer's pages from outside: the steps every end-to-end case
// shares, as a fixture.
#ifndef BRONDALE_TESTS_E2E_WIZARD_H
#define BRONDALE_TESTS_E2E_WIZARD_H

#include <gtest/gtest.h>

#include "base/resource.h"
#include "harness.h"

#include <commctrl.h>

inline bool Enabled(HWND control) { return IsWindowEnabled(control) != 0; }
inline bool Checked(HWND page, int id) { return SendMessageW(GetDlgItem(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

class Wizard : public ::testing::Test {
protected:
    void TearDown() override {
        Kill(&run);
        Kill(&shell);
    }

    // Starts the stand-in desktop shell (brondale-shell) and waits until the
    // system names its window as the shell: what the installer opens at the
    // end then has a route that hands nothing on. Without it, Wine has no
    // desktop shell.
    bool StartDesktopShell() {
        StopDesktopShell();
        if (!Start(BuildFolder() + "\\brondale-shell.exe", CaseFolder("desktop-shell"), &shell))
            return false;
        for (int i = 0; i < 250; ++i) {
            DWORD id = 0;
            HWND window = GetShellWindow();
            if (window && GetWindowThreadProcessId(window, &id) && id == shell.process.dwProcessId)
                return true;
            Sleep(20);
        }
        return false;
    }
    // Ends the stand-in shell, if any, and waits until no shell is named.
    void StopDesktopShell() {
        Kill(&shell);
        for (int i = 0; i < 250 && GetShellWindow(); ++i)
            Sleep(20);
    }

    // Builds CASE\e2e-NAME.exe from files and starts it with CASE\temp as TEMP.
    bool Launch(const std::string& name, const ProductFiles& files) {
        folder = CaseFolder(name);
        std::string exe = BuildInstaller(folder, "e2e-" + name, files, packOptions);
        return (unelevated ? StartUnelevated : Start)(exe, folder + "\\temp", &run, environment, "");
    }
    // Ok on the language page (the default, Polski); returns the
    // confirmation page.
    HWND ToConfirmation(const std::string& name, const ProductFiles& files) {
        if (!Launch(name, files))
            return nullptr;
        language = WaitForPage(run, "Choose Setup Language");
        if (!language)
            return nullptr;
        Click(language, IDC_LANGUAGE_OK);
        return WaitForPageWith(IDC_CONFIRM_TEXT);
    }
    // On to the destination page (the product must name no licence).
    HWND ToDestination(const std::string& name, const ProductFiles& files) {
        HWND confirm = ToConfirmation(name, files);
        if (!confirm)
            return nullptr;
        Click(confirm, IDC_CONFIRM_INSTALL);
        return WaitForPageWith(IDC_DESTINATION_PATH);
    }
    // Starts an installer file made beforehand (CASE\temp as TEMP) and
    // presses on to the destination page's forward button with destination
    // typed in. Returns the destination page.
    HWND StartAndPressNext(const std::string& exe, const std::string& destination) {
        if (!Start(exe, folder + "\\temp", &run, environment))
            return nullptr;
        language = WaitForPage(run, "Choose Setup Language");
        if (!language)
            return nullptr;
        Click(language, IDC_LANGUAGE_OK);
        HWND confirm = WaitForPageWith(IDC_CONFIRM_TEXT);
        if (!confirm)
            return nullptr;
        Click(confirm, IDC_CONFIRM_INSTALL);
        HWND page = WaitForPageWith(IDC_DESTINATION_PATH);
        if (!page)
            return nullptr;
        SetItemText(page, IDC_DESTINATION_PATH, destination);
        Click(page, IDC_DESTINATION_NEXT);
        return page;
    }
    // On to the progress page with destination typed into the edit.
    HWND ToProgress(const std::string& name, const ProductFiles& files, const std::string& destination) {
        HWND page = ToDestination(name, files);
        if (!page)
            return nullptr;
        SetItemText(page, IDC_DESTINATION_PATH, destination);
        Click(page, IDC_DESTINATION_NEXT);
        // A small program section can be unpacked before the progress page
        // is seen: the options page that follows it will do.
        return WaitForPageWith(IDC_PROGRESS_BAR, 20000, IDC_OPTION_RUN);
    }
    // On to the options page, once the program is unpacked.
    HWND ToOptions(const std::string& name, const ProductFiles& files, const std::string& destination) {
        if (!ToProgress(name, files, destination))
            return nullptr;
        return WaitForPageWith(IDC_OPTION_RUN, 60000);
    }
    // The first visible page of the installer that holds control id (or
    // orId, when given). When it does not come, what is on screen instead is
    // reported.
    HWND WaitForPageWith(int id, DWORD timeoutMs = 20000, int orId = 0) {
        for (DWORD waited = 0; waited < timeoutMs; waited += 20) {
            for (HWND w : Dialogs(run.process.dwProcessId))
                if (!IsMessageBox(w) && (GetDlgItem(w, id) || (orId && GetDlgItem(w, orId))))
                    return w;
            if (WaitForSingleObject(run.process.hProcess, 0) == WAIT_OBJECT_0) {
                DWORD code = 0;
                GetExitCodeProcess(run.process.hProcess, &code);
                ADD_FAILURE() << "waiting for control " << id << ": the installer ended with " << code;
                return nullptr;
            }
            Sleep(20);
        }
        for (HWND w : Dialogs(run.process.dwProcessId))
            ADD_FAILURE() << "waiting for control " << id << ", on screen: \"" << Text(w) << "\""
                          << (IsMessageBox(w) ? " saying \"" + ReadBox(w).text + "\"" : std::string());
        return nullptr;
    }
    // Presses a page's cancel button, answers the question with Yes and
    // expects the program to end with exit code 1.
    void CancelWithYes(HWND page, int cancelButton) {
        if (cancelButton)
            Click(page, cancelButton);
        else
            PostMessageA(page, WM_SYSCOMMAND, SC_CLOSE, 0);
        HWND box = WaitForMessageBox(run);
        ASSERT_NE(nullptr, box);
        EXPECT_EQ("Przerwa\xE6 instalacj\xEA?", ReadBox(box).text);
        Answer(box, IDYES);
        DWORD code = 0;
        if (WaitForSingleObject(run.process.hProcess, 30000) != WAIT_OBJECT_0) {
            for (HWND w : Dialogs(run.process.dwProcessId))
                ADD_FAILURE() << "still open: \"" << Text(w) << "\" message box " << IsMessageBox(w) << " text \""
                              << (IsMessageBox(w) ? ReadBox(w).text : "") << "\"";
        }
        ASSERT_TRUE(WaitExit(&run, 1000, &code));
        EXPECT_EQ(1u, code);
    }
    // The run's scratch folder ("" until there is exactly one).
    std::string Scratch() {
        std::vector<std::string> found = ScratchFolders(run.tempFolder);
        return found.size() == 1 ? found[0] : std::string();
    }

    Installer run;
    Installer shell;  // the stand-in desktop shell, when a case starts it
    std::map<std::string, std::string> environment;  // extra variables for the installer
    std::string packOptions;                           // for the packing tool
    bool unelevated = false;  // start the installer as its user's half (StartUnelevated)
    std::string folder;
    HWND language = nullptr;
};

#endif
