// Finishing the installation (Windows only): the finish sequence that writes
// the record and the uninstaller, registers the product, makes shortcuts,
// writes the values of reg.cfg and starts what the package names.
#ifndef BRONDALE_FINISH_FINISH_H
#define BRONDALE_FINISH_FINISH_H

#include "base/state.h"

// How the finish ended. Every failure is one of its start (the record, the
// file list, the uninstaller), after which the whole installation has been
// taken back and the reason reported; after its start no step's result
// stops the sequence.
enum FinishResult {
    kFinished,           // installed
    kFinishWriteFailed,  // a record file or the uninstaller could not be written
    kFinishNoMemory,     // memory ran out while they were recorded
    kFinishLink,         // a link or junction stands where one of them goes
    kFinishFileInUse,    // a file to replace there is held open and the user cancelled
    kFinishStopped,      // a stop was requested while a file was being replaced
};

// Clears the in-progress flag first, then writes the record, the
// uninstaller, the Uninstall key, shortcuts, registry values and launches
// for the destination as given. The caller ends the pages afterwards.
FinishResult FinishInstallation(const char* destination, const FinishOptions& options);
// The same for the destination that the destination page recorded (scratch
// key 10).
FinishResult ZakonczInstalace(const FinishOptions& options);

#endif
