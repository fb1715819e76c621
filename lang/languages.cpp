// Language list. Names come from file names in the Lang folder; a name that
// would not fit its 32-byte field with ".lng" is cut to 27 characters.
#include "lang/languages.h"

#include <cstdio>
#include <cstring>
#include <windows.h>

#include "pages/state.h"
#include "shell/files.h"
#include "shell/scratch.h"

namespace {

const int kLanguageList = 600;
const size_t kLanguageField = 32;

} // namespace

void WypelnijCombo() {
    HWND page = HwndMain()[0];
    char pattern[MAX_PATH];
    dircfg("8", pattern, 0, sizeof pattern);
    strncat(pattern, "\\*.lng", sizeof pattern - 1 - strlen(pattern));
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern, &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (katalog(entry.cFileName) == 1)
                continue;
            size_t n = strlen(entry.cFileName);
            if (n >= 4 && entry.cFileName[n - 4] == '.')
                entry.cFileName[n - 4] = '\0';
            entry.cFileName[kLanguageField - 5] = '\0';
            SendDlgItemMessageA(page, kLanguageList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.cFileName));
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    SendDlgItemMessageA(page, kLanguageList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Polski"));
    SendDlgItemMessageA(page, kLanguageList, CB_SETCURSEL, 3, 0);
}

void ZapiszJezyk() {
    HWND page = HwndMain()[0];
    char name[kLanguageField] = "Polski";
    LRESULT index = SendDlgItemMessageA(page, kLanguageList, CB_GETCURSEL, 0, 0);
    if (index != CB_ERR) {
        LRESULT length = SendDlgItemMessageA(page, kLanguageList, CB_GETLBTEXTLEN, index, 0);
        char text[MAX_PATH];
        if (length >= 0 && length < static_cast<LRESULT>(sizeof text) &&
            SendDlgItemMessageA(page, kLanguageList, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text)) != CB_ERR)
            snprintf(name, sizeof name - 4, "%s", text);
    }
    strcat(name, ".lng");
    char folder[MAX_PATH];
    char path[MAX_PATH];
    dircfg("8", folder, 0, sizeof folder);
    snprintf(path, sizeof path, "%s\\%s", folder, name);
    dircfg("8", path, 1, static_cast<int>(strlen(path)));
}
