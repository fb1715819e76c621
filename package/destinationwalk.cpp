// The walk along a destination, on the held tree's handles. Portable: the
// stand-in models the relative opens, the reparse points (its symbolic
// links) and the descriptors.
#include "package/destinationwalk.h"

#include <cstdio>
#include <cstring>

#include "base/files.h"
#include "base/installed.h"
#include "base/switches.h"
#include "package/heldtree.h"
#include "trust/folder.h"
#include "trust/held.h"
#include "trust/relative.h"

namespace {

WalkVerdict VerdictOf(FolderVerdict verdict) {
    switch (verdict) {
    case kFolderAccepted:
    case kFolderToProtect:
        return kWalkAccepted;
    case kFolderLinkRefused:
        return kWalkLinkRefused;
    case kFolderNotOwned:
        return kWalkNotOwned;
    case kFolderOthersMayChange:
        return kWalkOthersMayChange;
    default:
        return kWalkUnusable;
    }
}

bool Refuse(WalkResult* result, WalkVerdict verdict, const char* folder) {
    result->verdict = verdict;
    snprintf(result->folder, sizeof result->folder, "%s", folder);
    return false;
}

// The owner of a reparse point opened as itself, "" when it cannot be read.
void LinkOwner(HANDLE link, char* owner, size_t size) {
    char sddl[1024];
    OwnerJudgement judged = ReadDescriptor(link, sddl, sizeof sddl) ? JudgeOwner(sddl, "") : OwnerJudgement{};
    owner[0] = '\0';
    if (judged.verdict == kOnlyAdministrators)
        snprintf(owner, size, "%s", "S-1-5-32-544");
    else if (judged.verdict == kOwnerNotAdministrator)
        snprintf(owner, size, "%s", judged.account);
}

// Opens the existing folder name (at path folder) in parent, judges it and
// holds it; *held INVALID_HANDLE_VALUE with true when it is not there.
// False when it is refused.
bool StepExisting(HANDLE parent, const char* folder, const char* name, FolderPlace place, bool earlier,
                  const char* trusted, HANDLE* held, WalkResult* result) {
    NameFound found;
    *held = OpenLinkIn(parent, name, false, &found);
    if (*held == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || Refuse(result, kWalkUnusable, folder);
    }
    ReparseKind kind = KindOfFolder(found.reparse, found.tag);
    char owner[96] = "";
    if (kind != kPlainFolder) {
        LinkOwner(*held, owner, sizeof owner);
        if (RedirectRefused(kind, owner)) {
            LogLine("destination: %s is a link or junction owned by %s", folder,
                    owner[0] ? owner : "an account that cannot be read");
            CloseHandle(*held);
            return Refuse(result, kWalkLinkRefused, folder);
        }
        // The point stays held as itself (under a key no path can have);
        // the path goes on in its target.
        char point[MAX_PATH + 2];
        snprintf(point, sizeof point, "%s|", folder);
        if (!TreeAdd(point, *held, kTreeFound) ||
            (*held = OpenLinkIn(parent, name, true, &found)) == INVALID_HANDLE_VALUE)
            return Refuse(result, kWalkUnusable, folder);
    }
    char sddl[4096];
    FolderJudgement judged = JudgeFolder(kind, owner, ReadDescriptor(*held, sddl, sizeof sddl) ? sddl : "", place,
                                         earlier, trusted);
    result->owner = judged.owner;
    const char* sddlToSet = place == kFolderChosen && strcmp(name, kRecordFolder) == 0 ? kRecordFolderSddl
                                                                                       : kProgramFolderSddl;
    bool protect = judged.verdict == kFolderToProtect;
    if (protect && !ProtectFolderIn(parent, name, sddlToSet))
        judged.verdict = judged.owner.verdict == kOwnerNotAdministrator ? kFolderNotOwned : kFolderOthersMayChange;
    if (protect)
        LogLine("destination: %s: the earlier installation's folder, %s; access list %s", folder,
                OwnerVerdictText(judged.owner.verdict), judged.verdict == kFolderToProtect ? "set" : "not set");
    if (VerdictOf(judged.verdict) != kWalkAccepted) {
        CloseHandle(*held);
        return Refuse(result, VerdictOf(judged.verdict), folder);
    }
    return TreeAdd(folder, *held, kTreeFound) || Refuse(result, kWalkUnusable, folder);
}

// Makes the missing folder name (at path folder) in parent and holds it.
bool StepMissing(HANDLE parent, const char* folder, const char* name, SECURITY_ATTRIBUTES* security, HANDLE* held,
                 WalkResult* result) {
    *held = OpenIn(parent, name, kHeldFolderAccess, kHeldSharing, FILE_CREATE, FILE_DIRECTORY_FILE, security);
    if (*held == INVALID_HANDLE_VALUE)
        return Refuse(result, GetLastError() == ERROR_ALREADY_EXISTS ? kWalkTaken : kWalkUnusable, folder);
    return TreeAdd(folder, *held, kTreeMadeForDestination) || Refuse(result, kWalkUnusable, folder);
}

// The record folder of an existing destination, when it is there.
bool StepRecordFolder(HANDLE destination, const char* path, bool earlier, const char* trusted, WalkResult* result) {
    char folder[MAX_PATH];
    size_t n = strlen(path);
    if (snprintf(folder, sizeof folder, "%s%s%s", path, n && path[n - 1] == '\\' ? "" : "\\", kRecordFolder) >=
        MAX_PATH)
        return true;
    HANDLE held;
    return StepExisting(destination, folder, kRecordFolder, kFolderChosen, earlier, trusted, &held, result);
}

// A drive's root chosen as the destination itself is judged as one.
bool JudgeRoot(HANDLE root, const char* path, const char* trusted, WalkResult* result) {
    char sddl[4096];
    FolderJudgement judged = JudgeFolder(kPlainFolder, "", ReadDescriptor(root, sddl, sizeof sddl) ? sddl : "",
                                         kFolderChosen, false, trusted);
    result->owner = judged.owner;
    return judged.verdict == kFolderAccepted || Refuse(result, VerdictOf(judged.verdict), path);
}

}  // namespace

WalkResult WalkDestination(const char* path, bool earlier, SECURITY_ATTRIBUTES* (*security)(const char* folder),
                           bool forUser) {
    WalkResult result = {kWalkAccepted, "", {kOnlyAdministrators, ""}};
    const char* trusted = TrustedAccount(forUser);
    earlier = earlier && !forUser;
    TreeRelease();
    // The drive's root is only held: it cannot be renamed or deleted, and
    // every user may add folders there.
    char root[4] = {path[0], ':', '\\', '\0'};
    HANDLE above = CreateFileA(root, kHeldFolderAccess, kHeldSharing, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (above == INVALID_HANDLE_VALUE || !TreeAdd(root, above, kTreeFound)) {
        Refuse(&result, kWalkUnusable, root);
        TreeRelease();
        return result;
    }
    bool missing = false, walked = true;
    size_t length = strlen(path), nameAt = 3;
    char folder[MAX_PATH];
    for (size_t end = 3; walked && NextPathFolder(path, true, &end, folder);) {
        const char* name = folder + nameAt;
        FolderPlace place = end > length ? kFolderChosen : kFolderAbove;
        HANDLE held = INVALID_HANDLE_VALUE;
        if (!missing)
            walked = StepExisting(above, folder, name, place, earlier && place == kFolderChosen, trusted, &held,
                                  &result);
        missing = missing || (walked && held == INVALID_HANDLE_VALUE);
        if (walked && missing)
            walked = StepMissing(above, folder, name, security(folder), &held, &result);
        above = held;
        nameAt = strlen(folder) + 1;
    }
    if (length == 3)
        walked = JudgeRoot(above, path, trusted, &result);
    if (walked && !missing)
        walked = StepRecordFolder(above, path, earlier, trusted, &result);
    if (!walked)
        TreeRemoveDestinationFolders();
    return result;
}
