// The interface calls, which show nothing: MessageBoxA and SendMessageA only
// log what they were given for PosixUi, and a Retry/Cancel box answers from
// the test's list. Calls no other file of the stand-in.
#include "posix/win32_posix.h"

#include <cstdio>
#include <cstring>

namespace {

PosixUiLog& Log() {
    static PosixUiLog ui{};
    return ui;
}

}  // namespace

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT style) {
    PosixUiLog& ui = Log();
    ++ui.messageBoxes;
    snprintf(ui.text, sizeof ui.text, "%s", text ? text : "");
    snprintf(ui.caption, sizeof ui.caption, "%s", caption ? caption : "");
    ui.style = style;
    if ((style & 0xFu) == MB_RETRYCANCEL) {
        int answer = ui.retryAnswers[0];
        memmove(ui.retryAnswers, ui.retryAnswers + 1, sizeof ui.retryAnswers - sizeof ui.retryAnswers[0]);
        ui.retryAnswers[7] = 0;
        return answer == IDRETRY ? IDRETRY : IDCANCEL;
    }
    return (style & MB_YESNO) ? IDYES : IDOK;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM, LPARAM) {
    PosixUiLog& ui = Log();
    ++ui.messagesSent;
    ui.lastWindow = window;
    ui.lastMessage = message;
    return 0;
}

PosixUiLog* PosixUi(void) { return &Log(); }
