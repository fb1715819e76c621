// Finishing the installation (Windows only): the finish sequence that writes
// the record and the uninstaller, registers the product, makes shortcuts,
// writes the values of reg.cfg and starts what the package names.
#ifndef BRONDALE_FINISH_FINISH_H
#define BRONDALE_FINISH_FINISH_H

#include "base/state.h"
#include "package/extract.h"

// Clears the in-progress flag first, then writes the record, the
// uninstaller, the Uninstall key, shortcuts, registry values and launches.
// Returns kSectionOk, or why the start of the finish failed (everything was
// then taken back and reported). The caller ends the pages afterwards.
SectionResult ZakonczInstalace(const FinishOptions& options);

#endif
