// Language list. Names come from file names in the Lang folder; a name that
// would not fit its 32-byte field with ".lng" is cut to 27 characters.
#include "lang/languages.h"

#include <cstdio>
#include <cstring>
#include <windows.h>

#include "base/state.h"
#include "base/files.h"
#include "base/scratch.h"
#include "base/switches.h"

namespace {

const int kLanguageList = IDC_LANGUAGE_LIST;
const size_t kLanguageField = 32;

// Records Lang folder\name.lng under key 8.
void RecordLanguage(const char* name) {
    char folder[MAX_PATH];
    char path[MAX_PATH];
    ScratchRead(kScratchLanguage, folder, sizeof folder);
    snprintf(path, sizeof path, "%s\\%s.lng", folder, name);
    ScratchWrite(kScratchLanguage, path);
    LogLine("language: %s", name);
}

// Calls add with each language file of the Lang folder as the language list
// shows it: without ".lng" and cut to the list's field.
void ForEachLanguageFile(void (*add)(const char* name, void* context), void* context) {
    char pattern[MAX_PATH];
    ScratchRead(kScratchLanguage, pattern, sizeof pattern);
    strncat(pattern, "\\*.lng", sizeof pattern - 1 - strlen(pattern));
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (katalog(entry.cFileName) == 1)
            continue;
        size_t n = strlen(entry.cFileName);
        if (n >= 4 && entry.cFileName[n - 4] == '.')
            entry.cFileName[n - 4] = '\0';
        entry.cFileName[kLanguageField - 5] = '\0';
        add(entry.cFileName, context);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

// The language list's names, for a run without the page.
struct LanguageNames {
    static const int kMaxEntries = 256;
    char names[kMaxEntries][kLanguageField];
    int count;
};

}  // namespace

void WypelnijCombo() {
    HWND page = HwndMain()[PAGE_LANGUAGE];
    ForEachLanguageFile(
        [](const char* name, void* context) {
            SendDlgItemMessageA(static_cast<HWND>(context), kLanguageList, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(name));
        },
        page);
    SendDlgItemMessageA(page, kLanguageList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Polski"));
    SendDlgItemMessageA(page, kLanguageList, CB_SETCURSEL, 3, 0);
    const char* wanted = RunSwitches()->language;
    LRESULT found = wanted[0] ? SendDlgItemMessageA(page, kLanguageList, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                    reinterpret_cast<LPARAM>(wanted))
                              : CB_ERR;
    if (found != CB_ERR)
        SendDlgItemMessageA(page, kLanguageList, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
}

void ZapiszJezyk() {
    HWND page = HwndMain()[PAGE_LANGUAGE];
    char name[kLanguageField] = "Polski";
    LRESULT index = SendDlgItemMessageA(page, kLanguageList, CB_GETCURSEL, 0, 0);
    if (index != CB_ERR) {
        LRESULT length = SendDlgItemMessageA(page, kLanguageList, CB_GETLBTEXTLEN, index, 0);
        char text[MAX_PATH];
        if (length >= 0 && length < static_cast<LRESULT>(sizeof text) &&
            SendDlgItemMessageA(page, kLanguageList, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text)) != CB_ERR)
            snprintf(name, sizeof name - 4, "%s", text);
    }
    RecordLanguage(name);
}

void ChooseLanguage(const char* wanted, char* chosen) {
    // The list as the page builds it: names cut like its entries, and
    // sorted as its sorted list box sorts them (the user's locale, case
    // ignored).
    static LanguageNames list;
    list.count = 0;
    ForEachLanguageFile(
        [](const char* name, void* context) {
            LanguageNames* l = static_cast<LanguageNames*>(context);
            if (l->count < LanguageNames::kMaxEntries - 1)
                snprintf(l->names[l->count++], kLanguageField, "%s", name);
        },
        &list);
    char(*names)[kLanguageField] = list.names;
    int& count = list.count;
    snprintf(names[count++], kLanguageField, "%s", "Polski");
    for (int i = 1; i < count; ++i)
        for (int j = i; j > 0 && lstrcmpiA(names[j - 1], names[j]) > 0; --j) {
            char swap[kLanguageField];
            memcpy(swap, names[j], sizeof swap);
            memcpy(names[j], names[j - 1], sizeof swap);
            memcpy(names[j - 1], swap, sizeof swap);
        }
    const char* pick = count > 3 ? names[3] : "Polski";
    for (int i = 0; wanted[0] != '\0' && i < count; ++i)
        if (lstrcmpiA(names[i], wanted) == 0)
            pick = names[i];
    if (wanted[0] != '\0' && lstrcmpiA(pick, wanted) != 0)
        LogLine("language: the package has no language %s", wanted);
    snprintf(chosen, kLanguageField, "%s", pick);
    RecordLanguage(chosen);
}
