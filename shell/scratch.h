// The run's scratch folder (TEMP\Brondale<tick>) and its settings file, the
// INI file through which the parts of the installer hand paths to each other:
// key 8 the Lang folder and later the chosen language file, key 9 the Install
// folder, key 10 the destination folder, key 11 the uninstall record.
#ifndef BRONDALE_SHELL_SCRATCH_H
#define BRONDALE_SHELL_SCRATCH_H

// The scratch folder path, no trailing backslash; a 260-byte buffer.
char* tmp_dir();

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
bool OproznijScratch();

// Appends name to path (a buffer of 260 bytes ending in a backslash), creates
// that folder and records it under key.
void AddToReg(char* path, const char* key, const char* name);

// Mode 0 reads key into buffer (at most size bytes with the terminator, "" when
// missing); mode 1 writes buffer as the key's value. Returns what the profile
// call returned; any other mode does nothing and returns the mode.
int dircfg(const char* key, char* buffer, unsigned short mode, int size);

// Longest temporary-folder path that leaves room for every scratch path.
const unsigned kMaxTempPath = 168;
// How many scratch folder names ustawtmp tries before it refuses.
const unsigned kScratchNames = 100;

#endif
