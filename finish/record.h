// The uninstall record DEST\UnInstall\UnInst.cfg, an INI file that the
// uninstaller reads: [lnk] the shortcut files, [reg] the registry keys with
// [sub] their value names, [maxU] and [RunU] the programs it starts first.
// Beside it, two files of its own: Files.lst, the installed files with their
// sizes and CRC-32, and Language.lng, the language the installation used.
#ifndef BRONDALE_FINISH_RECORD_H
#define BRONDALE_FINISH_RECORD_H

#include "base/installed.h"
#include "package/earlier.h"
#include "package/extract.h"

// Appends entry to [lnk] (reg false) or [reg] (reg true) of the record named
// by scratch key 11, numbering from 1 with "max" the last number; with a
// value name, [sub] of that number gets it (an empty name too). Returns
// whether the last write succeeded.
bool WriteToUnInstall(bool reg, const char* entry, const char* valueName);

// Copies init.cfg [index] "maxU" and the non-empty [RunU] entries into the
// record at recordPath. The other arguments are working storage of at least
// 260, 260 and 16 bytes.
void addtouninstlist(char* value, const char* recordPath, char* path, char* number);

// Writes listPath afresh with one line per file of the record of written
// files (package/record.h) that lies below destination, written or found
// unchanged and left in place: its size in decimal,
// a space, its CRC-32 as eight upper-case hexadecimal digits, a space and
// its path relative to destination, each line ending in CR LF. Folders, kept
// files and entries outside destination are left out. With withEarlier,
// the lines of the earlier installation's list that the program section
// read and checked against its seal (package/earlier.h) follow for the files
// that this run did not write or find, so that an upgrade stays removable;
// the list is not read again. Returns false when the file cannot be written.
bool WriteFileList(const char* destination, const char* listPath, bool withEarlier = false);

// The start of the finish, which can still be taken back: creates
// DEST\UnInstall with its protected access list (trust/folder.h), moves an
// earlier record, file list, language file and uninstaller aside as kept
// files, and writes the file list, the language file and the uninstaller
// copied from uninstallerSource; every file and folder is recorded. With
// sealedBefore (the product's key registers this destination's uninstaller
// and held the earlier list's seal, finish/seal.h) the earlier record folder
// gets the protected list, and the earlier list held (package/earlier.h) is
// merged when its record and list were there. The file list's seal digest
// for productKey is taken as its lines are written (FileListSeal). The
// record UnInst.cfg is created empty for the finish to fill. For an
// installation for one user (scope kScopeUser) the record folder inherits
// from the destination, which is that user's own. Returns the first failure as a
// section result (kSectionOk when all went well); the caller takes back.
SectionResult BeginRecord(const char* destination, const char* productKey, const char* uninstallerSource,
                          bool sealedBefore = false, InstallScope scope = kScopeMachine);

// The seal digest of the file list the last BeginRecord wrote, for its
// productKey; "" when there was no key or the list was not written.
const char* FileListSeal();

// Puts a copy of the chosen language file (scratch key 8) at target, first
// deleting whatever target held: with the built-in language there is no
// file, and target is left absent.
void CopyLanguageRecord(const char* target);

#endif
