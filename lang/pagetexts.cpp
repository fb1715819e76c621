// Page text set-up. The walk depends on the order of the controls in each
// template; the composed texts are cut to their fields, never overrun.
#include "lang/pagetexts.h"

#include <cstdio>
#include <initializer_list>

#include "config/config.h"
#include "lang/texts.h"

namespace {

// In a walk: a control that shows no text of its own and is passed over.
const int kSkip = 0;

// Sets the caption to the product name, which stays in name (at most 259
// characters), and returns the page's first control.
HWND Begin(HWND page, char* name) {
    GetFromCfg("1", name, kSecCfg, kInitCfg);
    SetWindowTextA(page, name);
    return GetWindow(page, GW_CHILD);
}

void Skip(HWND* cursor) { *cursor = GetWindow(*cursor, GW_HWNDNEXT); }

void SetAndSkip(HWND* cursor, const char* text) {
    SetWindowTextA(*cursor, text);
    Skip(cursor);
}

// From cursor on, in template order: each control gets the text of its ID
// (the built-in default when untranslated); kSkip passes one over.
void Walk(HWND* cursor, std::initializer_list<int> ids) {
    for (int id : ids) {
        if (id == kSkip)
            Skip(cursor);
        else
            PrintTxt(cursor, DefaultText(static_cast<unsigned>(id)), id);
    }
}

}  // namespace

HWND* PrintTxt(HWND* cursor, char* def, int id) {
    SetWindowTextA(*cursor, GetLang(static_cast<unsigned>(id), def));
    Skip(cursor);
    return cursor;
}

void InitLang1(HWND page) {
    char name[kCfgValueSize];
    HWND cursor = Begin(page, name);
    char sentence[kSentenceField];
    snprintf(sentence, sizeof sentence, "%s %s?", GetLang(1, DefaultText(1)), name);
    SetAndSkip(&cursor, sentence);  // 201
    Walk(&cursor, {kSkip /* 10, the icon */, 2, 3});
}

void InitLang2(HWND page) {
    char name[kCfgValueSize];
    HWND cursor = Begin(page, name);
    Walk(&cursor, {4, 2, kSkip /* 500, the licence text */, 5});
}

void InitLang3(HWND page) {
    char name[kCfgValueSize];
    HWND cursor = Begin(page, name);
    Walk(&cursor, {6, 2, 4, kSkip /* 402, the path field */, 7});
}

void InitLang4(HWND page) {
    char name[kCfgValueSize];
    HWND cursor = Begin(page, name);
    Walk(&cursor, {kSkip /* 208, the percentage of bar 0 */, 10, 11, 2});
}

void InitLang5(HWND page) {
    char name[kCfgValueSize];
    HWND cursor = Begin(page, name);
    Walk(&cursor, {4, 13, 14, 15, 16});
    // The lookups share one buffer: the last part is copied first.
    char last[kLastPartField];
    snprintf(last, sizeof last, "%s", GetLang(18, DefaultText(18)));
    char label[kSentenceField];
    snprintf(label, sizeof label, "%s %s %s", GetLang(17, DefaultText(17)), name, last);
    SetAndSkip(&cursor, label);  // 303
}
