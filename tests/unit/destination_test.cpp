// The destination's rule about links and junctions, as a table: what a
// folder along the path reports (reparse point, tag, volume target) and who
// owns it, against whether the installation may lie in or below it. Wine
// keeps no owners and reports no tags, so the refusal of a link is shown end
// to end and the owners only here. Then the installation the product's
// Uninstall key registers: the folder the destination follows, the version
// an older one is told from, and how a new destination lies to it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/installed.h"
#include "base/scratch.h"
#include "config/config.h"
#include "helpers.h"
#include "package/destinationrule.h"
#include "package/registered.h"
#ifdef _WIN32
#include "package/startrun.h"
#include "trust/runlock.h"
#endif

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

TEST(Registered, TheFolderIsTheOneWhoseUninstallerTheKeyStarts) {
    struct Row {
        const char* command;
        const char* folder;  // "" when none is registered
    } rows[] = {
        {"\"C:\\Program Files\\App\\Uninstall\\UnInst.exe\"", "C:\\Program Files\\App"},
        {"\"d:\\x\\UNINSTALL\\uninst.EXE\"", "d:\\x"},
        {"\"C:\\a\\\\Uninstall\\UnInst.exe\"", "C:\\a\\"},  // a destination given with its backslash
        {"C:\\App\\Uninstall\\UnInst.exe", ""},                   // no quotes
        {"\"C:\\App\\Uninstall\\UnInst.exe\" /S", ""},          // arguments
        {"\"C:\\\\Uninstall\\UnInst.exe\"", ""},               // a drive's root
        {"\"C:\\Uninstall\\UnInst.exe\"", ""},                   // the same, spelt once
        {"\"App\\Uninstall\\UnInst.exe\"", ""},                  // relative
        {"\"\\\\server\\share\\Uninstall\\UnInst.exe\"", ""},  // no drive
        {"\"C:\\App\\Uninstall\\Other.exe\"", ""},
        {"\"C:\\A\"pp\\Uninstall\\UnInst.exe\"", ""},
        {"", ""},
    };
    for (const Row& r : rows) {
        char folder[MAX_PATH];
        memset(folder, 'x', sizeof folder);
        EXPECT_EQ(r.folder[0] != '\0', FolderOfUninstaller(r.command, folder, sizeof folder)) << r.command;
        EXPECT_STREQ(r.folder, folder) << r.command;
    }
    char small[8];
    EXPECT_FALSE(FolderOfUninstaller("\"C:\\Program Files\\App\\Uninstall\\UnInst.exe\"", small, sizeof small));
}

TEST(Registered, VersionsCompareAsOneToFourNumbers) {
    struct Row {
        const char* ours;
        const char* installed;
        VersionOrder order;
    } rows[] = {
        {"2.4.1", "2.5.0", kOlderThanInstalled},
        {"2.9", "2.10", kOlderThanInstalled},  // numbers, not text
        {"2.10", "2.9", kSameOrNewer},
        {"2.5", "2.5.0.0", kSameOrNewer},
        {"2.5.0.0", "2.5", kSameOrNewer},
        {"1.0.0.1", "1", kSameOrNewer},
        {"1", "1.0.0.1", kOlderThanInstalled},
        {"65535", "0.1", kSameOrNewer},
        {"2.4.1", "", kNoVersionRule},
        {"", "2.5.0", kNoVersionRule},
        {"2.4.1", "2.5.0-beta", kNoVersionRule},
        {"2.4.1", "2.5.0.0.1", kNoVersionRule},
        {"2.4.1", " 2.5", kNoVersionRule},
        {"2.4.1", "65536", kNoVersionRule},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.order, CompareWithInstalled(r.ours, r.installed)) << r.ours << " over " << r.installed;
}

TEST(Registered, TheKeyGivesTheFolderAndTheVersionThePackageIsComparedWith) {
    std::string key = BeginProduct("Registered Product");
    char install[MAX_PATH];
    ScratchRead(kScratchInstall, install, sizeof install);
    ASSERT_TRUE(WriteBytes(std::string(install) + "\\init.cfg",
                           FromText("[cfg]\r\n1=Registered Product\r\n[product]\r\nVersion=2.9\r\n")));
    RegisteredInstallation registered;
    char ours[kCfgValueSize], installed[64];
    EXPECT_FALSE(ReadRegistered(kLocalMachineRoot, key.c_str(), &registered)) << "not installed";
    EXPECT_STREQ("", registered.folder);
    EXPECT_EQ(kNoVersionRule, PackageAgainstRegistered(kLocalMachineRoot, ours, installed));
    EXPECT_STREQ("2.9", ours);

    SetMachineText(key, "DisplayVersion", "2.10");
    EXPECT_FALSE(ReadRegistered(kLocalMachineRoot, key.c_str(), &registered)) << "a version, but no uninstaller";
    EXPECT_STREQ("2.10", registered.version);
    SetMachineText(key, "UninstallString", "\"D:\\Apps\\Registered Product\\Uninstall\\UnInst.exe\"");
    EXPECT_TRUE(ReadRegistered(kLocalMachineRoot, key.c_str(), &registered));
    EXPECT_STREQ("D:\\Apps\\Registered Product", registered.folder);
    EXPECT_EQ(kOlderThanInstalled, PackageAgainstRegistered(kLocalMachineRoot, ours, installed));
    EXPECT_STREQ("2.10", installed);
    EXPECT_FALSE(ReadRegistered(kLocalMachineRoot, "", &registered)) << "a product without a name";

    SetMachineText(key, "DisplayVersion", nullptr);
    SetMachineText(key, "UninstallString", nullptr);
    EndProduct(key);
}

TEST(Registered, ANewDestinationIsTheSameFolderApartOrInsideIt) {
    struct Row {
        const char* registered;
        const char* destination;
        FolderRelation relation;
    } rows[] = {
        {"C:\\P\\App", "C:\\P\\App", kSameFolder},
        {"C:\\P\\App", "c:\\p\\APP", kSameFolder},
        {"C:\\P\\App\\", "C:\\P\\App", kSameFolder},
        {"C:\\P\\App", "C:\\P\\App2", kFoldersApart},
        {"C:\\P\\App", "C:\\P\\Ap", kFoldersApart},
        {"C:\\P\\App", "D:\\P\\App", kFoldersApart},
        {"C:\\P\\App", "C:\\P\\App\\New", kFoldersNested},
        {"C:\\P\\App\\Old", "c:\\p\\app", kFoldersNested},
        {"C:\\", "C:\\P", kFoldersNested},
        {"C:\\P", "C:\\", kFoldersNested},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.relation, RelateFolders(r.registered, r.destination)) << r.registered << " / " << r.destination;

    // An existing folder is named by its handle's final path, however it
    // was spelt; a missing one as given.
    std::string folder = NewFolder("identity");
    char plain[MAX_PATH], slashed[MAX_PATH], missing[MAX_PATH];
    FolderIdentity(folder.c_str(), plain);
    FolderIdentity((folder + "\\\\").c_str(), slashed);
    FolderIdentity((folder + "\\gone\\").c_str(), missing);
    EXPECT_STREQ(plain, slashed);
    EXPECT_EQ(kSameFolder, RelateFolders(plain, folder.c_str()));
    EXPECT_EQ(folder + "\\gone", missing);
}

#ifdef _WIN32
// The same product installed for every user and for one user has two
// Uninstall keys, and two locks: each named after its key's root, the
// first in the global namespace, the second in the session's own; the
// registered folder is read below the root asked for.
TEST(RunLocks, AProductsLockIsNamedAfterItsKeysRoot) {
    const std::string key = std::string(kUninstallKey) + "Lock Names";
    char machine[2 * MAX_PATH], user[2 * MAX_PATH], tiny[8];
    ASSERT_TRUE(ProductLockName(kLocalMachineRoot, key.c_str(), machine, sizeof machine));
    ASSERT_TRUE(ProductLockName(kCurrentUserRoot, key.c_str(), user, sizeof user));
    EXPECT_EQ("HKEY_LOCAL_MACHINE\\" + key, machine);
    EXPECT_EQ("HKEY_CURRENT_USER\\" + key, user);
    EXPECT_FALSE(ProductLockName(kLocalMachineRoot, key.c_str(), tiny, sizeof tiny));
    EXPECT_FALSE(ProductLockName(kNoRegistryRoot, key.c_str(), machine, sizeof machine));

    char global[96], local[96], other[96];
    ASSERT_TRUE(RunLockName(kProductLock, machine, true, global, sizeof global));
    ASSERT_TRUE(RunLockName(kProductLock, user, false, local, sizeof local));
    ASSERT_TRUE(RunLockName(kProductLock, machine, false, other, sizeof other));
    EXPECT_EQ(0, strncmp(global, "Global\\Brondale-Product-", 24)) << global;
    EXPECT_EQ(0, strncmp(local, "Local\\Brondale-Product-", 23)) << local;
    EXPECT_STRNE(global + 7, local + 6) << "the roots give different names";
    EXPECT_STREQ(global + 7, other + 6);

    // Held by this run, the lock of one scope leaves the other's free.
    EXPECT_EQ(kLockTaken, TakeRunLock(kProductLock, user, 0, false));
    EXPECT_EQ(kLockTaken, TakeRunLock(kProductLock, machine, 0, true));
    ReleaseRunLock(kProductLock, user, false);
    ReleaseRunLock(kProductLock, machine, true);

    HKEY h;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &h, nullptr));
    const char command[] = "\"C:\\Mine\\Uninstall\\UnInst.exe\"";
    RegSetValueExA(h, "UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(command), sizeof command);
    RegCloseKey(h);
    char folder[MAX_PATH];
    EXPECT_TRUE(RegisteredFolder(kCurrentUserRoot, key.c_str(), folder, sizeof folder));
    EXPECT_STREQ("C:\\Mine", folder);
    EXPECT_FALSE(RegisteredFolder(kLocalMachineRoot, key.c_str(), folder, sizeof folder));
    RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
}
#endif
