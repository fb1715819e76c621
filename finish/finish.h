// The finish sequence, run by the options page's finish button.
#ifndef BRONDALE_FINISH_FINISH_H
#define BRONDALE_FINISH_FINISH_H

// Clears the in-progress flag first and ends every page last.
void ZakonczInstalace();

#endif
