// The run's state: the page table, the wizard's flags, the product name and
// Program Files path, and the final choices. Every part that acts on a page
// from outside that page's own procedure finds it here.
#ifndef BRONDALE_BASE_STATE_H
#define BRONDALE_BASE_STATE_H

#include "base/installed.h"
#include "base/resource.h"
#include "platform/win32api.h"

// Seven page windows: 0 language, 1 confirmation, 2 licence, 3 unused,
// 4 destination, 5 progress, 6 options.
HWND* HwndMain();
// 1 until the finish sequence begins.
unsigned char* InstalacjaZakonczona();
// 1 once a damaged package has been reported.
unsigned char* Error_2();
// 1 from just before the program section is extracted: switches on the
// extractor's progress reports.
unsigned char* PaczkaZProgramem();
// The product name (64 bytes) and the Program Files path (260 bytes), filled
// when the destination page initialises.
char* NazwaProgramu();
char* ProgramFiles();

// Whom this run installs for: set by the process entry, once the package's
// Scope and the switches have been read and before the first page opens;
// the pages and the section reader take it from here and hand it down.
InstallScope* RunScope();

// The four final choices: filled from the options page's boxes or, in a
// silent run, from the switches, and handed to the finish sequence.
struct FinishOptions {
    bool desktop;  // desktop shortcuts (box 300)
    bool menu;     // Start-menu shortcuts (box 301)
    bool info;     // open the information file (box 302)
    bool run;      // start the programs the user may choose (box 303)
};

// The finish sequence that the options page's finish button runs; the
// process entry sets it before the first page opens.
typedef void (*FinishSequence)(const FinishOptions& options);
FinishSequence* OnFinish();

#endif
