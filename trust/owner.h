// Whose a file or folder is: its owner and what its access list lets others
// do, judged from the text of its descriptor (SDDL), so that the rule is a
// plain function of what was read and both builds test it. The elevated
// programs put what administrators will run only where no one but SYSTEM,
// the Administrators and TrustedInstaller can change it.
#ifndef BRONDALE_TRUST_OWNER_H
#define BRONDALE_TRUST_OWNER_H

#include <cstddef>
#include <cstdint>

#include "platform/win32api.h"

// The rights an entry may give, as Windows numbers them for files and
// folders.
const uint32_t kRightWriteData = 0x2;         // a folder: add a file
const uint32_t kRightAppendData = 0x4;        // a folder: add a folder
const uint32_t kRightDeleteChild = 0x40;      // delete or rename what it holds
const uint32_t kRightDelete = 0x10000;        // delete or rename it
const uint32_t kRightWriteList = 0x40000;     // WRITE_DAC
const uint32_t kRightWriteOwner = 0x80000;    // WRITE_OWNER
// What nobody else may do to the folder an installation writes into.
const uint32_t kRightsOverFolder =
    kRightWriteData | kRightAppendData | kRightDeleteChild | kRightDelete | kRightWriteList | kRightWriteOwner;
// What nobody else may do to a folder above it: anything that could
// rename, delete or replace what it holds. Adding a new name beside them
// takes nothing away (a name taken first is refused as already there).
const uint32_t kRightsOverPath = kRightDeleteChild | kRightDelete | kRightWriteList | kRightWriteOwner;

// True for the SID text of SYSTEM (S-1-5-18), the Administrators group
// (S-1-5-32-544) or TrustedInstaller: only they own what an administrator
// made.
bool IsAdministrativeOwner(const char* sid);

enum OwnerVerdict {
    kOnlyAdministrators,       // owned by one of them, and nobody else may do harm
    kOwnerNotAdministrator,    // someone else owns it (and may change its list)
    kOthersMayWrite,           // someone else may add files
    kOthersMayAppend,          // someone else may add folders
    kOthersMayDeleteChildren,  // someone else may delete or rename what it holds
    kOthersMayDelete,          // someone else may delete or rename it
    kOthersMayChangeList,      // someone else may change its access list
    kOthersMayChangeOwner,     // someone else may take ownership
    kDescriptorUnreadable,     // no descriptor, or one this rule cannot read
};

struct OwnerJudgement {
    OwnerVerdict verdict;
    char account[96];  // the owner, or the account of the entry at fault ("" for none)
};

// Judges a descriptor's text: owner "O:" and list "D:" with their entries
// (explicit and inherited alike; inherit-only entries, which do not apply
// to it, and deny entries, which take rights away, are passed over). harmful
// is the rights nobody else may have (kRightsOverFolder or kRightsOverPath);
// generic rights count as what they give on files. trustedAccount, when not
// "", counts as an administrator for the owner and the entries (under Wine,
// where every file reads as the account's own and that account is the
// administrator). A list that is missing ("D:NO_ACCESS_CONTROL") lets
// everyone do everything.
OwnerJudgement JudgeDescriptor(const char* sddl, uint32_t harmful, const char* trustedAccount);

// The same with only the owner looked at.
OwnerJudgement JudgeOwner(const char* sddl, const char* trustedAccount);

// The descriptor text (owner and list) of what handle is open on (opened
// with READ_CONTROL); false when it cannot be read or does not fit.
bool ReadDescriptor(HANDLE handle, char* out, size_t size);

// The SID text of the account the program runs as ("" when it cannot be
// read). An installation for one user, which runs with that user's rights
// alone, trusts that user's own folders as an elevated run trusts the
// administrators'.
const char* RunningAccount();
// The account that counts as an administrator beside the three: in an
// installation for one user (forUser) that user, under Wine the account the
// program runs as, elsewhere "" (none).
const char* TrustedAccount(bool forUser = false);

// ReadDescriptor and JudgeDescriptor (harmful 0: JudgeOwner) with
// TrustedAccount, in one step.
OwnerJudgement JudgeHandle(HANDLE handle, uint32_t harmful);

// What a verdict means, for the log.
const char* OwnerVerdictText(OwnerVerdict verdict);

#endif
