// The uninstall record DEST\UnInstall\UnInst.cfg, an INI file that the
// uninstaller reads: [lnk] the shortcut files, [reg] the registry keys with
// [sub] their value names, [maxU] and [RunU] the programs it starts first.
#ifndef BRONDALE_FINISH_RECORD_H
#define BRONDALE_FINISH_RECORD_H

// Appends entry to [lnk] (reg false) or [reg] (reg true) of the record named
// by scratch key 11, numbering from 1 with "max" the last number; with a
// value name, [sub] of that number gets it (an empty name too). Returns
// whether the last write succeeded.
bool WriteToUnInstall(bool reg, const char* entry, const char* valueName);

// Copies init.cfg [index] "maxU" and the non-empty [RunU] entries into the
// record at recordPath. The other arguments are working storage of at least
// 260, 260 and 16 bytes.
void addtouninstlist(char* value, const char* recordPath, char* path, char* number);

#endif
