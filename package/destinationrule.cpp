// The destination's rule about links, owners and access lists; no system
// calls.
#include "package/destinationrule.h"

ReparseKind KindOfFolder(bool reparse, uint32_t tag) {
    if (!reparse)
        return kPlainFolder;
    if (tag == kTagMountPoint)
        return kMountPoint;
    // A tag that is no name surrogate (cloud files, deduplication) keeps the
    // folder where it is; a tag the handle could not tell is taken as a link.
    if (tag != 0 && (tag & kTagNameSurrogate) == 0)
        return kPlainFolder;
    return kLinkOrJunction;
}

bool RedirectRefused(ReparseKind kind, const char* ownerSid) {
    return kind != kPlainFolder && !IsAdministrativeOwner(ownerSid);
}

FolderJudgement JudgeFolder(ReparseKind kind, const char* linkOwner, const char* descriptor, FolderPlace place,
                            bool earlier, const char* trustedAccount) {
    FolderJudgement judgement = {kFolderAccepted, {kOnlyAdministrators, ""}};
    if (RedirectRefused(kind, linkOwner)) {
        judgement.verdict = kFolderLinkRefused;
        return judgement;
    }
    judgement.owner =
        JudgeDescriptor(descriptor, place == kFolderChosen ? kRightsOverFolder : kRightsOverPath, trustedAccount);
    OwnerVerdict owner = judgement.owner.verdict;
    if (owner == kOnlyAdministrators)
        return judgement;
    if (place == kFolderChosen && earlier && kind == kPlainFolder)
        judgement.verdict = kFolderToProtect;
    else if (owner == kOwnerNotAdministrator)
        judgement.verdict = kFolderNotOwned;
    else if (owner == kDescriptorUnreadable)
        judgement.verdict = kFolderUnreadable;
    else
        judgement.verdict = kFolderOthersMayChange;
    return judgement;
}
