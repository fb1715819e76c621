// The scratch folders that runs which did not end left in the temporary
// folder: the installer's (Brondale and 16 hexadecimal digits) and the
// uninstaller's (BrondaleUnInst and 16). A live run holds its folder open
// without delete sharing (trust/held.h), so a folder that can be opened for
// deletion belongs to a run that is gone.
#ifndef BRONDALE_TRUST_LEFTOVERS_H
#define BRONDALE_TRUST_LEFTOVERS_H

#include <cstddef>

// True for a folder name of either form (the hexadecimal digits lower-case,
// as RandomHex writes them).
bool IsScratchFolderName(const char* name);

// Removes, from the temporary folder temp (ending in a backslash, as
// UsableTempFolder gives it, trust/codepage.h), every folder of such a name that no
// run holds, that is a plain folder (not a link or junction) and that only
// administrators can change (trust/folder.h: one of ours, not a look-alike
// made by a user), emptying it first without following a link. Returns how
// many it removed; each is logged.
size_t RemoveDeadScratchFolders(const char* temp);

#endif
