// The product moved to another folder (Windows only). When an installation
// goes into another folder than the one the product's Uninstall key
// registers, the product lives in the new folder once it is registered
// there; the earlier folder's files then go as its own uninstaller would
// remove them (the files its sealed list names, only while unchanged), with
// its record, and its shortcuts that this installation did not make again.
// Its registry values and its [RunU] programs are left alone: the values
// are this installation's now, and nothing is being removed for good.
#ifndef BRONDALE_FINISH_MOVE_H
#define BRONDALE_FINISH_MOVE_H

#include <string>

#include "finish/installation.h"

// The earlier installation to move away from, found before this one
// registers the product.
struct EarlierFolder {
    char folder[MAX_PATH];  // its folder, "" when there is none to move away from
    std::string record;     // its record's bytes, checked against its seal
    std::string list;       // its file list's bytes, checked against its seal
    InstallScope scope = kScopeMachine;  // whose shortcuts it made: every user's or one user's
};

// Asked before the Uninstall key is written: true, with *earlier filled,
// when the key registers an installation in another folder, neither in
// nor around the destination, whose record and file list still carry the
// seal the key holds for them (the very check its uninstaller makes). Every
// other case is logged and leaves that folder alone.
bool FindEarlierFolder(const Installation& installation, EarlierFolder* earlier);

// Once the product is registered in the destination: removes what
// FindEarlierFolder found, by the uninstaller's own rules, never through a
// link or junction; the shortcuts only where the record at newRecord (this
// installation's) does not list them. The log names what went, what stays
// and why.
void RemoveEarlierFolder(const EarlierFolder& earlier, const char* newRecord);

#endif
