// The run's scratch settings file, the INI file in the scratch folder through
// which the parts of the installer hand paths to each other: key 8 the Lang
// folder and later the chosen language file, key 9 the Install folder, key 10
// the destination folder, key 11 the uninstall record.
#ifndef BRONDALE_BASE_SCRATCH_H
#define BRONDALE_BASE_SCRATCH_H

#include <cstddef>

// The scratch folder path, no trailing backslash; a 260-byte buffer.
char* tmp_dir();

// Mode 0 reads key into buffer (at most size bytes with the terminator, "" when
// missing); mode 1 writes buffer as the key's value. Returns what the profile
// call returned; any other mode does nothing and returns the mode.
int dircfg(const char* key, char* buffer, unsigned short mode, int size);

// The keys of the scratch settings file; each one's number is its name in
// the file.
enum ScratchKey {
    kScratchLanguage = 8,      // the Lang folder; after the choice, the chosen language file
    kScratchInstall = 9,       // the Install folder
    kScratchDestination = 10,  // the destination folder, exactly as entered
    kScratchRecord = 11,       // the uninstall record DEST\UnInstall\UnInst.cfg
};

// Reads key through dircfg into buffer (at most size bytes with the
// terminator). True when the key holds a value; "" and false when it is
// missing or empty.
bool ScratchRead(ScratchKey key, char* buffer, size_t size);
// Writes value under key through dircfg; true when it was written.
bool ScratchWrite(ScratchKey key, const char* value);

// Longest temporary-folder path that leaves room for every scratch path
// (the scratch folder's own name is "Brondale" and 16 hexadecimal digits).
const unsigned kMaxTempPath = 163;
// How many scratch folder names a run tries before it refuses.
const unsigned kScratchNames = 100;

#endif
