// The text set-up of the wizard pages after the first: the caption is the
// product name, and the page's controls are walked in template order, each
// that shows a text getting the text of its ID.
#ifndef BRONDALE_LANG_PAGETEXTS_H
#define BRONDALE_LANG_PAGETEXTS_H

#include <windows.h>

// Sets the text of id (def when untranslated) on the control under *cursor
// and moves the cursor to the next control; returns cursor.
HWND* PrintTxt(HWND* cursor, char* def, int id);

void InitLang1(HWND page);  // confirmation page
void InitLang2(HWND page);  // licence page
void InitLang3(HWND page);  // destination page
void InitLang4(HWND page);  // progress page
void InitLang5(HWND page);  // options page

// Field sizes of the composed texts.
const size_t kSentenceField = 128;
const size_t kLastPartField = 64;

#endif
