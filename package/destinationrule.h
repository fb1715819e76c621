// Which folders a destination may lie in or below, as plain functions of
// what was read from each folder (its kind, the owner of a link, the text of
// its descriptor), so that both builds test the rule. Only a folder that
// administrators alone control takes what administrators will run.
#ifndef BRONDALE_PACKAGE_DESTINATIONRULE_H
#define BRONDALE_PACKAGE_DESTINATIONRULE_H

#include <cstdint>

#include "trust/owner.h"

// Reparse tags (the values of Windows' IO_REPARSE_TAG_...).
const uint32_t kTagMountPoint = 0xA0000003u;  // a junction, or a volume mounted on a folder
const uint32_t kTagSymbolicLink = 0xA000000Cu;
// Set in every tag that makes a name lead somewhere else (a name surrogate).
const uint32_t kTagNameSurrogate = 0x20000000u;

// What stands at one folder of the path.
enum ReparseKind {
    kPlainFolder,     // no reparse point, or one that leads nowhere else
    kMountPoint,      // a junction or a volume mounted on a folder
    kLinkOrJunction,  // a symbolic link, another name surrogate, or a tag unknown
};

// The kind of a folder from what it reports: reparse when it is a reparse
// point (or, under Wine, led elsewhere), tag its reparse tag (0 when
// unknown). An unknown tag counts as a link.
ReparseKind KindOfFolder(bool reparse, uint32_t tag);

// True when the installation must not lie in or below a folder of this
// kind and owner (its SID text, "" when it could not be read): a link,
// junction or mount point that SYSTEM, the Administrators or TrustedInstaller
// do not own. An administrator's (a program folder moved to another disk, a
// volume mounted by an administrator) is followed.
bool RedirectRefused(ReparseKind kind, const char* ownerSid);

// Where a folder stands on the destination's path.
enum FolderPlace {
    kFolderAbove,   // above the destination: nobody else may rename, delete or replace what it holds
    kFolderChosen,  // the destination itself, or its record folder: nobody else may change it at all
};

enum FolderVerdict {
    kFolderAccepted,
    kFolderToProtect,        // the earlier installation of this product: accepted once re-protected
    kFolderLinkRefused,      // a link, junction or mount point a user could have made
    kFolderNotOwned,         // its owner is no administrator
    kFolderOthersMayChange,  // its list lets someone else change it
    kFolderUnreadable,       // its descriptor cannot be read
};

struct FolderJudgement {
    FolderVerdict verdict;
    OwnerJudgement owner;  // what the descriptor showed
};

// Judges one existing folder along the destination: its kind and, when it
// is a reparse point, the owner of that point (linkOwner); descriptor the
// text of the folder the path goes on in (for a followed link its
// target's); place; earlier when the folder is the earlier installation of
// this product (the product's Uninstall key registers its uninstaller), and
// trustedAccount as JudgeDescriptor takes it. The earlier installation is
// the one folder accepted although others may change it: it is re-protected
// before anything is written.
FolderJudgement JudgeFolder(ReparseKind kind, const char* linkOwner, const char* descriptor, FolderPlace place,
                            bool earlier, const char* trustedAccount);

#endif
