// The run's scratch folder (TEMP\Brondale<tick>) and its settings file, the
// INI file through which the parts of the installer hand paths to each other:
// key 8 the Lang folder and later the chosen language file, key 9 the Install
// folder, key 10 the destination folder, key 11 the uninstall record.
#ifndef BRONDALE_SHELL_SCRATCH_H
#define BRONDALE_SHELL_SCRATCH_H

// The scratch folder path, no trailing backslash; a 260-byte buffer.
char* tmp_dir();

// Chooses a scratch folder name that does not exist yet and stores it in
// tmp_dir. Returns true (stop) when the temporary folder cannot be had or is
// so long that the scratch paths would pass 259 characters.
bool ustawtmp();

// Creates the scratch folder with Lang and Install and records them under
// keys 8 and 9. The folder is always one that this call created: when the
// chosen name has been taken meanwhile, the next free name is used.
void GetCfg();

// Appends name to path (a buffer of 260 bytes ending in a backslash), creates
// that folder and records it under key.
void AddToReg(char* path, const char* key, const char* name);

// Mode 0 reads key into buffer (at most size bytes with the terminator, "" when
// missing); mode 1 writes buffer as the key's value. Returns what the profile
// call returned; any other mode does nothing and returns the mode.
int dircfg(const char* key, char* buffer, unsigned short mode, int size);

// Longest temporary-folder path that leaves room for every scratch path.
const unsigned kMaxTempPath = 168;

#endif
