// Which folders a destination may lie in or below: the rule about links
// and junctions, as plain functions of what was read from each folder, so
// that both builds test it. A folder a user without administrator rights
// could have turned into a link never leads the installation elsewhere.
#ifndef BRONDALE_PACKAGE_DESTINATIONRULE_H
#define BRONDALE_PACKAGE_DESTINATIONRULE_H

#include <cstdint>

// Reparse tags (the values of Windows' IO_REPARSE_TAG_...).
const uint32_t kTagMountPoint = 0xA0000003u;  // a junction, or a volume mounted on a folder
const uint32_t kTagSymbolicLink = 0xA000000Cu;
// Set in every tag that makes a name lead somewhere else (a name surrogate).
const uint32_t kTagNameSurrogate = 0x20000000u;

// What stands at one folder of the path.
enum ReparseKind {
    kPlainFolder,       // no reparse point, or one that leads nowhere else
    kVolumeMountPoint,  // a volume mounted on a folder
    kLinkOrJunction,    // leads to another folder
};

// The kind of a folder from what its handle and its name report: reparse
// when either shows a reparse point (Wine shows a link only by its name),
// tag the handle's reparse tag (0 when unknown), volumeTarget whether a
// mount point's target is a volume ("\??\Volume{...}\"). An unknown tag
// counts as a link.
ReparseKind KindOfFolder(bool reparse, uint32_t tag, bool volumeTarget);

// True for the SID text of SYSTEM (S-1-5-18), the Administrators group
// (S-1-5-32-544) or TrustedInstaller: only they own what an administrator
// made.
bool IsAdministrativeOwner(const char* sid);

// True when the installation must not lie in or below a folder of this
// kind and owner (its SID text, "" when it could not be read): a link or
// junction owned by anyone else. A volume mounted on a folder and a
// junction an administrator made (a program folder moved to another disk)
// are accepted.
bool RedirectRefused(ReparseKind kind, const char* ownerSid);

#endif
