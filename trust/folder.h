// The access lists of the folders the elevated programs make. The scratch
// folder and the uninstaller's copy folder belong to them alone: nobody but
// SYSTEM, the Administrators group and the account the program runs as may
// read, plant or replace anything there. The record folder UnInstall and a
// destination folder made outside Program Files may be read and run by
// every user and changed only by administrators.
#ifndef BRONDALE_TRUST_FOLDER_H
#define BRONDALE_TRUST_FOLDER_H

#include <cstddef>

#include "platform/win32api.h"

// Writes the descriptor text (SDDL) of such a folder for the account userSid
// ("S-1-..."): a protected DACL (nothing inherited from the folder above)
// granting full access to SYSTEM, Administrators and that account, passed on
// to everything created inside. False when userSid is not a SID's text or the
// result does not fit in size bytes.
bool ProtectedFolderSddl(const char* userSid, char* out, size_t size);

// The SID text of the account that owns what this process creates (its
// token's default owner; under Wine, where files read as the account the
// program runs as, that account). False when the token cannot be read.
bool CreatorAccount(char* out, size_t size);

// Security attributes with that descriptor for the default owner of this
// process's token (the account it runs as; for an elevated administrator
// with a split token, the Administrators group), built once and kept for
// the life of the process. Null when the token or the descriptor cannot be
// had.
SECURITY_ATTRIBUTES* ProtectedFolderSecurity();

// Creates the folder path with that descriptor. False when it cannot be
// made, when something of that name exists already (last error
// ERROR_ALREADY_EXISTS) or when there is no descriptor: a protected folder is
// never created unprotected.
bool CreateProtectedFolder(const char* path);

// The record folder DEST\UnInstall: full control for SYSTEM and the
// Administrators, read and execute for the Users, passed on to everything
// inside; protected, so nothing is inherited from the destination, which a
// user may own. What the list of installed programs starts as administrator
// lies here.
const char kRecordFolderSddl[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// A folder that the installer makes for the destination outside Program
// Files gets what a folder inside Program Files gets from it, protected:
// full control for SYSTEM, the Administrators and TrustedInstaller, read and
// execute for the Users and for all application packages (S-1-15-2-1), full
// control for the creator of what is made inside (CREATOR OWNER, inherit
// only). Without it a folder at the root of a drive would inherit the
// Authenticated Users' right to change it.
const char kProgramFolderSddl[] =
    "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
    "(A;OICI;0x1200a9;;;BU)(A;OICI;0x1200a9;;;S-1-15-2-1)(A;OICIIO;FA;;;CO)";

// Security attributes with one of the two descriptors above, built once and
// kept for the life of the process; null when the descriptor cannot be had.
SECURITY_ATTRIBUTES* RecordFolderSecurity();
SECURITY_ATTRIBUTES* ProgramFolderSecurity();

// Makes the Administrators the owner of the existing folder name in the held
// folder parent (opened as itself, never through a link) and replaces its
// access list with sddl (kRecordFolderSddl or kProgramFolderSddl), passing
// the inheritable entries on to what it holds. For the earlier installation
// of the same product only, which an earlier version may have left to a
// user's control; false when it cannot be set.
bool ProtectFolderIn(HANDLE parent, const char* name, const char* sddl);

// Whether a descriptor's text (SDDL: "O:" owner, "D:" list) lets nobody but
// SYSTEM, the Administrators, TrustedInstaller and selfSid (the account that
// owns what this process creates: the Administrators group when elevated)
// change what it guards: its owner is one of them, and every entry that
// allows anything beyond reading and running names one of them (or the
// creator of what is made inside, which is whoever made it). An entry or a
// right it cannot read counts against it. Deny entries only take away.
bool OnlyAdministratorsChange(const char* sddl, const char* selfSid);
// Whether sid (a SID's text, or its two-letter alias) is SYSTEM, the
// Administrators, TrustedInstaller or selfSid.
bool IsAdministrativeSid(const char* sid, const char* selfSid);
// The SID that owns what this process creates (its token's owner), as text.
bool ProcessOwnerSid(char* out, size_t size);
// The same for the folder at path, read from its descriptor. False when the
// descriptor cannot be read. The account this process runs as counts as an
// administrator too (an elevated run's account is one, and a run that is not
// elevated has no more rights than its account): Wine derives lists from
// mode bits and gives everything that account as owner, so there every
// folder the user made reads as such; the rule itself is tested natively.
bool AdministratorsOnlyFolder(const char* path);

// Replaces the access list of the existing folder at path with the record
// folder's (kRecordFolderSddl). For the record folder of an earlier
// installation of the same product only; false when it cannot be set.
bool ProtectRecordFolder(const char* path);

#endif
