// Page text set-up. The walk depends on the order of the controls in each
// template; the composed texts are cut to their fields, never overrun.
#include "lang/pagetexts.h"

#include <cstdio>

#include "config/config.h"
#include "lang/texts.h"

namespace {

// Sets the caption and returns the product name (at most 259 characters).
void Caption(HWND page, char* name) {
    GetFromCfg("1", name, kSecCfg, kInitCfg);
    SetWindowTextA(page, name);
}

void Skip(HWND* cursor) { *cursor = GetWindow(*cursor, GW_HWNDNEXT); }

void SetAndSkip(HWND* cursor, const char* text) {
    SetWindowTextA(*cursor, text);
    Skip(cursor);
}

} // namespace

HWND* PrintTxt(HWND* cursor, char* def, int id) {
    SetWindowTextA(*cursor, GetLang(static_cast<unsigned>(id), def));
    Skip(cursor);
    return cursor;
}

void InitLang1(HWND page) {
    char name[kCfgValueSize];
    Caption(page, name);
    HWND cursor = GetWindow(page, GW_CHILD);
    char sentence[kSentenceField];
    snprintf(sentence, sizeof sentence, "%s %s?", GetLang(1, DefaultText(1)), name);
    SetAndSkip(&cursor, sentence);  // 201
    Skip(&cursor);                  // 10, the icon
    PrintTxt(&cursor, Zakoncz(), 2);
    PrintTxt(&cursor, DefaultText(3), 3);
}

void InitLang2(HWND page) {
    char name[kCfgValueSize];
    Caption(page, name);
    HWND cursor = GetWindow(page, GW_CHILD);
    PrintTxt(&cursor, Dalej(), 4);
    PrintTxt(&cursor, Zakoncz(), 2);
    Skip(&cursor);  // 500, the licence text
    PrintTxt(&cursor, DefaultText(5), 5);
}

void InitLang3(HWND page) {
    char name[kCfgValueSize];
    Caption(page, name);
    HWND cursor = GetWindow(page, GW_CHILD);
    PrintTxt(&cursor, DefaultText(6), 6);
    PrintTxt(&cursor, Zakoncz(), 2);
    PrintTxt(&cursor, Dalej(), 4);
    Skip(&cursor);  // 402, the path field
    PrintTxt(&cursor, DefaultText(7), 7);
}

void InitLang4(HWND page) {
    char name[kCfgValueSize];
    Caption(page, name);
    HWND cursor = GetWindow(page, GW_CHILD);
    Skip(&cursor);  // 208, the percentage of bar 0
    PrintTxt(&cursor, DefaultText(10), 10);
    PrintTxt(&cursor, DefaultText(11), 11);
    PrintTxt(&cursor, Zakoncz(), 2);
}

void InitLang5(HWND page) {
    char name[kCfgValueSize];
    Caption(page, name);
    HWND cursor = GetWindow(page, GW_CHILD);
    PrintTxt(&cursor, Dalej(), 4);
    PrintTxt(&cursor, DefaultText(13), 13);
    PrintTxt(&cursor, DefaultText(14), 14);
    PrintTxt(&cursor, DefaultText(15), 15);
    PrintTxt(&cursor, DefaultText(16), 16);
    // The lookups share one buffer: the last part is copied first.
    char last[kLastPartField];
    snprintf(last, sizeof last, "%s", GetLang(18, DefaultText(18)));
    char label[kSentenceField];
    snprintf(label, sizeof label, "%s %s %s", GetLang(17, DefaultText(17)), name, last);
    SetAndSkip(&cursor, label);  // 303
}
