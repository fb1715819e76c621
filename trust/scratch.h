// The scratch folder itself (TEMP\Brondale<tick>): always one this run
// created, with the protected descriptor of trust/folder.h, emptied at the
// end without following a link.
#ifndef BRONDALE_TRUST_SCRATCH_H
#define BRONDALE_TRUST_SCRATCH_H

#include "base/scratch.h"

// Chooses the scratch folder name from the tick count and creates that
// folder with the protected descriptor (trust/folder.h), storing its path in
// tmp_dir. A name that exists already is never used: the next tick's name is
// tried, at most kScratchNames names in all. Returns true (stop, tmp_dir
// empty) when the temporary folder cannot be had, is so long that the
// scratch paths would pass 259 characters, or every name tried was taken.
bool ustawtmp();

// Creates Lang and Install in the scratch folder (protected like it) and
// records them under keys 8 and 9.
void GetCfg();

// Empties the scratch folder at shutdown. Does nothing (false) when no
// folder was chosen or the folder is no longer a plain folder (a link put in
// its place); links inside are removed as links, never followed.
bool EmptyScratch();

// Appends name to path (a buffer of 260 bytes ending in a backslash), creates
// that folder and records it under key.
void AddToReg(char* path, const char* key, const char* name);

#endif
