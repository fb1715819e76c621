// Page table, flags and the finish hook: single bytes and handles, written
// by one thread and read by the other, handed over only through sent
// messages.
#include "base/state.h"

HWND* HwndMain() {
    static HWND hDlg[PAGE_SLOTS];
    return hDlg;
}

unsigned char* InstalacjaZakonczona() {
    static unsigned char InstalacjaZakonczona_ = 1;
    return &InstalacjaZakonczona_;
}

unsigned char* Error_2() {
    static unsigned char Error_2_ = 0;
    return &Error_2_;
}

unsigned char* PaczkaZProgramem() {
    static unsigned char PaczkaZProgramem_ = 0;
    return &PaczkaZProgramem_;
}

char* NazwaProgramu() {
    static char NazwaProgramu_[64];
    return NazwaProgramu_;
}

char* ProgramFiles() {
    static char ProgramFiles_[MAX_PATH];
    return ProgramFiles_;
}

InstallScope* RunScope() {
    static InstallScope scope = kScopeMachine;
    return &scope;
}

FinishSequence* OnFinish() {
    static FinishSequence sequence = nullptr;
    return &sequence;
}
