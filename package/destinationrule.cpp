// The destination's rule about links and junctions; no system calls.
#include "package/destinationrule.h"

#include <cstring>

ReparseKind KindOfFolder(bool reparse, uint32_t tag, bool volumeTarget) {
    if (!reparse)
        return kPlainFolder;
    if (tag == kTagMountPoint && volumeTarget)
        return kVolumeMountPoint;
    // A tag that is no name surrogate (cloud files, deduplication) keeps the
    // folder where it is; a tag the handle could not tell is taken as a link.
    if (tag != 0 && (tag & kTagNameSurrogate) == 0)
        return kPlainFolder;
    return kLinkOrJunction;
}

bool IsAdministrativeOwner(const char* sid) {
    static const char* const owners[] = {
        "S-1-5-18",                                                        // SYSTEM
        "S-1-5-32-544",                                                    // Administrators
        "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",  // TrustedInstaller
    };
    for (const char* owner : owners)
        if (strcmp(sid, owner) == 0)
            return true;
    return false;
}

bool RedirectRefused(ReparseKind kind, const char* ownerSid) {
    return kind == kLinkOrJunction && !IsAdministrativeOwner(ownerSid);
}
