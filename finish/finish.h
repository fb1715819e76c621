// Finishing the installation (Windows only): the finish sequence, the
// Uninstall registry key, shortcuts, the registry values of reg.cfg and the
// launches at the end.
#ifndef BRONDALE_FINISH_FINISH_H
#define BRONDALE_FINISH_FINISH_H

#include <windows.h>

#include "package/extract.h"

// Run by the options page's finish button: clears the in-progress flag
// first, writes the record, the uninstaller, the Uninstall key, shortcuts,
// registry values and launches, and ends every page last. Returns kSectionOk,
// or why the start of the finish failed (everything was then taken back).
SectionResult ZakonczInstalace();
// The product's Uninstall key path into key (size bytes); empty when the
// product has no name.
void KluczProduktu(char* key, size_t size);
// Records and writes the Uninstall key of the product under
// HKEY_LOCAL_MACHINE. Returns the last registry result. A product without a
// name is not registered.
LONG DodajDlListy();

// Registry accessor: creates or opens subkey under root index 0..3 and sets
// (operation 1), queries (0) or deletes (2) one value. Binary and
// double-word data arrive as hexadecimal text and are converted in place;
// string data are stored with their terminating zero. Returns the registry
// result; a key that cannot be created is reported as that failure and no
// value is touched.
LONG addregister(char* subkey, const char* name, unsigned char* data, short operation, short root, int size,
                 unsigned long type);

// Writes every value of reg.cfg, each recorded first.
void DodajDoRejestru();

// Makes the desktop (kind 0) or Start-menu (kind 1) shortcuts of lnk.cfg when
// its option box is enabled and ticked.
void MakeShortcut(short kind);
// One shortcut to target in the common desktop or the product's folder of
// the common Start-menu programs.
void DodajSkrot(const char* target, bool menu);

// Opens file through the shell with directory as working folder (or none).
void howtorun(const char* file, const char* directory);
// Starts the [Run] entries whose [silent] value is exactly "1" (always true)
// or "0" (always false), 100 ms apart. Buffers are working storage.
int runfrominitcfg(char* value, char* path, char* number, char* flag, bool always);

// True when option box id of the options page is enabled and ticked.
bool OptionChosen(int id);

#endif
