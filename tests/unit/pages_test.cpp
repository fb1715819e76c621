// The text set-up and the language list on the real templates: each page is
// created from the installer's resources with a procedure that does nothing,
// then set up and read back control by control. Needs a display.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "helpers.h"
#include "lang/languages.h"
#include "lang/pagetexts.h"
#include "lang/texts.h"
#include "base/resource.h"
#include "base/state.h"
#include "base/scratch.h"

namespace {

INT_PTR CALLBACK Inert(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A scratch folder with Lang and Install as the installer would have it.
class Pages : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(nullptr, getenv("DISPLAY")) << "these tests create windows: run them on a display (Xvfb)";
        root = NewFolder("pages");
        CreateDirectoryA((root + "\\Lang").c_str(), nullptr);
        CreateDirectoryA((root + "\\Install").c_str(), nullptr);
        ScratchWrite(kScratchLanguage, (root + "\\Lang").c_str());
        ScratchWrite(kScratchInstall, (root + "\\Install").c_str());
    }
    void TearDown() override {
        for (int slot = 0; slot < PAGE_SLOTS; ++slot)
            HwndMain()[slot] = nullptr;
    }
    HWND Open(int id) {
        HWND page = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), nullptr, Inert, 0);
        EXPECT_NE(nullptr, page) << "template " << id;
        return page;
    }
    // Caption, then "id=text" for every control in child order.
    std::vector<std::string> Read(HWND page) {
        char text[512];
        GetWindowTextA(page, text, sizeof text);
        std::vector<std::string> out = {text};
        for (HWND c = GetWindow(page, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            // An icon control keeps its picture; its text is the resource's
            // ordinal, not a text.
            if ((GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && GetClassNameA(c, text, sizeof text) &&
                _stricmp(text, "Static") == 0) {
                bool shown = SendMessageA(c, STM_GETICON, 0, 0) != 0;
                out.push_back(std::to_string(GetDlgCtrlID(c)) + (shown ? "=<icon>" : "=<no icon>"));
                continue;
            }
            GetWindowTextA(c, text, sizeof text);
            out.push_back(std::to_string(GetDlgCtrlID(c)) + "=" + text);
        }
        return out;
    }
    std::string root;
};

std::string T(unsigned id) { return DefaultText(id); }
// One control as Read gives it.
std::string Item(int id, const std::string& text) { return std::to_string(id) + "=" + text; }
const std::string kIcon = Item(IDC_PAGE_ICON, "<icon>");

} // namespace

TEST_F(Pages, EveryPageGetsTheDefaultTextsAndTheProductName) {
    ASSERT_TRUE(WriteBytes(root + "\\Install\\init.cfg", FromText("[cfg]\r\n1=Edytor \xA3\xF3" "d\xBC\r\n")));
    const std::string name = "Edytor \xA3\xF3" "d\xBC";
    struct Row {
        int id;
        void (*init)(HWND);
        std::vector<std::string> expected;
    } rows[] = {
        {IDD_CONFIRM,
         InitLang1,
         {name, Item(IDC_CONFIRM_TEXT, T(1) + " " + name + "?"), kIcon, Item(IDC_CONFIRM_CANCEL, T(2)),
          Item(IDC_CONFIRM_INSTALL, T(3))}},
        {IDD_LICENCE,
         InitLang2,
         {name, Item(IDC_LICENCE_NEXT, T(4)), Item(IDC_LICENCE_CANCEL, T(2)), Item(IDC_LICENCE_TEXT, ""),
          Item(IDC_LICENCE_ACCEPT, T(5)), kIcon}},
        {IDD_DESTINATION,
         InitLang3,
         {name, Item(IDC_DESTINATION_BROWSE, T(6)), Item(IDC_DESTINATION_CANCEL, T(2)),
          Item(IDC_DESTINATION_NEXT, T(4)), Item(IDC_DESTINATION_PATH, ""), Item(IDC_DESTINATION_LABEL, T(7)), kIcon}},
        {IDD_PROGRESS,
         InitLang4,
         {name, Item(IDC_PROGRESS_PERCENT, "100 %"), Item(IDC_PROGRESS_TEXT, T(10)),
          Item(IDC_PROGRESS_FILE_TEXT, T(11)), Item(IDC_PROGRESS_CANCEL, T(2)), Item(IDC_PROGRESS_BAR, ""), kIcon,
          Item(IDC_PROGRESS_FILE_PERCENT, "100 %"), Item(IDC_PROGRESS_FILE_BAR, "")}},
        {IDD_OPTIONS,
         InitLang5,
         {name, Item(IDC_OPTIONS_FINISH, T(4)), Item(IDC_OPTIONS_TEXT, T(13)), Item(IDC_OPTION_DESKTOP, T(14)),
          Item(IDC_OPTION_MENU, T(15)), Item(IDC_OPTION_INFO, T(16)),
          Item(IDC_OPTION_RUN, T(17) + " " + name + " " + T(18)), kIcon}},
    };
    for (const Row& r : rows) {
        HWND page = Open(r.id);
        ASSERT_NE(nullptr, page);
        r.init(page);
        EXPECT_EQ(r.expected, Read(page)) << "template " << r.id;
        DestroyWindow(page);
    }
}

TEST_F(Pages, TranslatedTextsComeFromTheChosenFile) {
    ASSERT_TRUE(WriteBytes(root + "\\Install\\init.cfg", FromText("[cfg]\r\n1=Writer\r\n")));
    std::string lng = "[lng]\r\n";
    for (unsigned id = 1; id <= 18; ++id)
        if (id != 12 && id != 13)
            lng += std::to_string(id) + "=E" + std::to_string(id) + "\r\n";
    ASSERT_TRUE(WriteBytes(root + "\\Lang\\English.lng", FromText(lng)));
    ScratchWrite(kScratchLanguage, (root + "\\Lang\\English.lng").c_str());
    HWND confirm = Open(IDD_CONFIRM);
    InitLang1(confirm);
    std::vector<std::string> expected = {"Writer", Item(IDC_CONFIRM_TEXT, "E1 Writer?"), kIcon,
                                         Item(IDC_CONFIRM_CANCEL, "E2"), Item(IDC_CONFIRM_INSTALL, "E3")};
    EXPECT_EQ(expected, Read(confirm));
    DestroyWindow(confirm);
    HWND options = Open(IDD_OPTIONS);
    InitLang5(options);
    expected = {"Writer",
                Item(IDC_OPTIONS_FINISH, "E4"),
                Item(IDC_OPTIONS_TEXT, T(13)),
                Item(IDC_OPTION_DESKTOP, "E14"),
                Item(IDC_OPTION_MENU, "E15"),
                Item(IDC_OPTION_INFO, "E16"),
                Item(IDC_OPTION_RUN, "E17 Writer E18"),
                kIcon};
    EXPECT_EQ(expected, Read(options)) << "a missing ID keeps its default";
    DestroyWindow(options);
}

TEST_F(Pages, ComposedTextsAreCutToTheirFields) {
    std::string name(63, 'N');
    ASSERT_TRUE(WriteBytes(root + "\\Install\\init.cfg", FromText("[cfg]\r\n1=" + name + "\r\n")));
    ASSERT_TRUE(WriteBytes(root + "\\Lang\\Long.lng",
                           FromText("[lng]\r\n1=" + std::string(100, 'a') + "\r\n17=" + std::string(90, 'r') +
                                    "\r\n18=" + std::string(200, 'z') + "\r\n")));
    ScratchWrite(kScratchLanguage, (root + "\\Lang\\Long.lng").c_str());
    HWND confirm = Open(IDD_CONFIRM);
    InitLang1(confirm);
    EXPECT_EQ(Item(IDC_CONFIRM_TEXT, (std::string(100, 'a') + " " + name + "?").substr(0, 127)), Read(confirm)[1]);
    DestroyWindow(confirm);
    HWND options = Open(IDD_OPTIONS);
    InitLang5(options);
    EXPECT_EQ(Item(IDC_OPTION_RUN, (std::string(90, 'r') + " " + name + " " + std::string(63, 'z')).substr(0, 127)),
              Read(options)[6]);
    DestroyWindow(options);
}

TEST_F(Pages, LanguageListIsSortedWithPolskiAndTheFourthSelected) {
    struct Row {
        const char* label;
        std::vector<std::string> files;
        std::vector<std::string> expected;
        int selected;
    } rows[] = {
        {"three files", {"English.lng", "Czech.lng", "Deutsch.lng"}, {"Czech", "Deutsch", "English", "Polski"}, 3},
        {"one file", {"English.lng"}, {"English", "Polski"}, CB_ERR},
        {"none", {}, {"Polski"}, CB_ERR},
        {"a package Polski.lng", {"Polski.lng", "A.lng", "B.lng"}, {"A", "B", "Polski", "Polski"}, 3},
        {"a file named .lng", {".lng", "Zulu.lng", "Czech.lng"}, {"", "Czech", "Polski", "Zulu"}, 3},
        {"other files", {"readme.txt", "English.lng"}, {"English", "Polski"}, CB_ERR},
    };
    for (const Row& r : rows) {
        std::string lang = NewFolder("langlist");
        for (const std::string& f : r.files)
            ASSERT_TRUE(WriteBytes(lang + "\\" + f, FromText("[lng]\r\n")));
        ScratchWrite(kScratchLanguage, lang.c_str());
        HWND page = Open(IDD_LANGUAGE);
        HwndMain()[PAGE_LANGUAGE] = page;
        WypelnijCombo();
        HWND combo = GetDlgItem(page, IDC_LANGUAGE_LIST);
        std::vector<std::string> items;
        for (LRESULT i = 0; i < SendMessageA(combo, CB_GETCOUNT, 0, 0); ++i) {
            char text[64] = "";
            SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            items.push_back(text);
        }
        EXPECT_EQ(r.expected, items) << r.label;
        EXPECT_EQ(r.selected, SendMessageA(combo, CB_GETCURSEL, 0, 0)) << r.label;
        DestroyWindow(page);
    }
}

TEST_F(Pages, ChosenLanguageIsRecordedUnderKey8) {
    ASSERT_TRUE(WriteBytes(root + "\\Lang\\English.lng", FromText("[lng]\r\n")));
    std::string longName(40, 'L');
    ASSERT_TRUE(WriteBytes(root + "\\Lang\\" + longName + ".lng", FromText("[lng]\r\n")));
    struct Row {
        const char* label;
        int select;
        std::string expected;
    } rows[] = {
        {"English", 0, root + "\\Lang\\English.lng"},
        {"nothing selected", -1, root + "\\Lang\\Polski.lng"},
        {"a name over 27 characters", 1, root + "\\Lang\\" + std::string(27, 'L') + ".lng"},
    };
    for (const Row& r : rows) {
        ScratchWrite(kScratchLanguage, (root + "\\Lang").c_str());
        HWND page = Open(IDD_LANGUAGE);
        HwndMain()[PAGE_LANGUAGE] = page;
        WypelnijCombo();
        SendDlgItemMessageA(page, IDC_LANGUAGE_LIST, CB_SETCURSEL, static_cast<WPARAM>(r.select), 0);
        ZapiszJezyk();
        char value[MAX_PATH];
        ScratchRead(kScratchLanguage, value, sizeof value);
        EXPECT_EQ(r.expected, value) << r.label;
        DestroyWindow(page);
    }
}
