// The destination's rule about links and junctions, as a table: what a
// folder along the path reports (reparse point, tag, volume target) and who
// owns it, against whether the installation may lie in or below it. Wine
// keeps no owners and reports no tags, so the refusal of a link is shown end
// to end and the owners only here.
#include <gtest/gtest.h>

#include "package/destinationrule.h"

namespace {

const char kSystem[] = "S-1-5-18";
const char kAdministrators[] = "S-1-5-32-544";
const char kTrustedInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
const char kUser[] = "S-1-5-21-1111-2222-3333-1001";

} // namespace

TEST(DestinationRule, WhatAFolderReportsGivesItsKind) {
    struct Row {
        const char* label;
        bool reparse;
        uint32_t tag;
        bool volume;
        ReparseKind kind;
    } rows[] = {
        {"plain folder", false, 0, false, kPlainFolder},
        {"a tag without the reparse attribute", false, kTagSymbolicLink, false, kPlainFolder},
        {"volume mounted on a folder", true, kTagMountPoint, true, kVolumeMountPoint},
        {"junction", true, kTagMountPoint, false, kLinkOrJunction},
        {"symbolic link", true, kTagSymbolicLink, false, kLinkOrJunction},
        {"symbolic link claiming a volume", true, kTagSymbolicLink, true, kLinkOrJunction},
        {"another name surrogate (WSL link)", true, 0xA000001Du, false, kLinkOrJunction},
        {"tag unknown, as under Wine", true, 0, false, kLinkOrJunction},
        {"cloud files placeholder", true, 0x9000001Au, false, kPlainFolder},
        {"deduplicated", true, 0x80000013u, false, kPlainFolder},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.kind, KindOfFolder(r.reparse, r.tag, r.volume)) << r.label;
}

TEST(DestinationRule, OnlyALinkThatAnAdministratorMadeIsFollowed) {
    struct Row {
        ReparseKind kind;
        const char* owner;
        bool refused;
    } rows[] = {
        {kPlainFolder, kUser, false},
        {kPlainFolder, "", false},
        {kVolumeMountPoint, kUser, false},
        {kVolumeMountPoint, "", false},
        {kLinkOrJunction, kSystem, false},
        {kLinkOrJunction, kAdministrators, false},  // a program folder moved to another disk
        {kLinkOrJunction, kTrustedInstaller, false},  // C:\Documents and Settings and the like
        {kLinkOrJunction, kUser, true},
        {kLinkOrJunction, "", true},  // an owner that cannot be read
        {kLinkOrJunction, "S-1-5-32-545", true},  // Users
        {kLinkOrJunction, "S-1-5-11", true},  // Authenticated Users
        {kLinkOrJunction, "S-1-5-32-5440", true},
        {kLinkOrJunction, "S-1-5-18-1", true},
        {kLinkOrJunction, "s-1-5-18 ", true},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.refused, RedirectRefused(r.kind, r.owner)) << "kind " << r.kind << " owner \"" << r.owner << "\"";
}
