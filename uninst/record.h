// What the uninstaller reads: the uninstall record UnInst.cfg (written by
// the installer's finish sequence) and the list of installed files beside it.
#ifndef BRONDALE_UNINST_RECORD_H
#define BRONDALE_UNINST_RECORD_H

#include <string>
#include <vector>

#include "base/installed.h"
#include "uninst/rules.h"

// One [reg] entry from 2 on, with its [sub] value name.
struct RecordedValue {
    std::string key;     // as recorded, root name included
    std::string name;    // empty for the key's default value
    bool named = false;  // false when [sub] has no entry for it
};

struct UninstallRecord {
    std::string productKey;              // [reg] 1, under HKEY_LOCAL_MACHINE (or HKEY_CURRENT_USER for one user)
    std::vector<std::string> shortcuts;  // [lnk] 1..max
    std::vector<RecordedValue> values;   // [reg] 2..max
    std::vector<std::string> runFirst;   // [RunU], in order, relative paths
};

// True when the bytes of the record and of the file list (null when there is
// no list) are those the installer sealed for the uninstaller beside them:
// the product's Uninstall key ([reg] 1, under root: HKEY_LOCAL_MACHINE, where
// only administrators write, or for one user HKEY_CURRENT_USER) registers
// that very file (uninstaller; empty for this program) as its
// UninstallString (its final path is the registered file's, so neither a
// second name of the file nor a copy elsewhere passes), and the seal digest
// of each for that key's name and the installation folder it registers
// (trust/digest.h) equals the value stored there. *folder gets that folder
// as the key names it. A missing value, key or list is false. The caller
// reads record and files from these same bytes (uninst/recordtext.h).
bool RecordIsSealed(const UninstallRecord& record, const std::string& recordBytes, const std::string* listBytes,
                    std::string* folder, short root = kLocalMachineRoot,
                    const std::string& uninstaller = std::string());

// True when the key (a product's Uninstall key path) under root registers
// this very program as its UninstallString: the same file by the same final
// path, however the path is spelt.
bool RegistersThisUninstaller(short root, const std::string& key);

// Whose installation the record's key names, as this run may act on it.
enum RecordOwner {
    kOwnedByMachine,   // for every user: the key under HKEY_LOCAL_MACHINE, administrator rights
    kOwnedByUser,      // for one user: the key under that user's HKEY_CURRENT_USER registers this uninstaller
    kOwnedByUserOnly,  // only an installation for one user registers it, and this run may not act for one
                       // user (it is elevated): nothing is removed
};
// forOneUser: whether this run may act for one user (trust/halves.h
// MayActForOneUser, and no elevated half of a run for every user).
RecordOwner OwnerOf(const std::string& productKey, bool forOneUser);

// True when the record names a product's Uninstall key (under root) that
// registers no uninstaller, or another file than this program, and does not
// seal these bytes of the record and list (null: none): the product was
// removed, or installed again in another folder, since this record was
// written. A copy of the registered installation's own sealed record is not
// that. *folder gets the folder whose uninstaller the key registers ("" when
// none).
bool RegisteredElsewhere(const UninstallRecord& record, const std::string& recordBytes, const std::string* listBytes,
                         std::string* folder, short root = kLocalMachineRoot);

#endif
