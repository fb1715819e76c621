// Whose a destination is. The rule is a table of what each folder along the
// path reports (its kind, who owns a link, its descriptor's text) against
// the verdict; Wine keeps no owners and no lists of its own, so the owners
// and the entries are shown here, on descriptor texts as Windows writes
// them. Natively the walk itself runs too, on the stand-in's descriptors.
// Then the installation the product's Uninstall key registers: the folder
// the destination follows, the version an older one is told from, and how
// a new destination lies to it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "base/installed.h"
#include "base/scratch.h"
#include "config/config.h"
#include "helpers.h"
#include "package/destination.h"
#include "package/destinationrule.h"
#include "package/heldtree.h"
#include "package/registered.h"
#include "platform/win32api.h"
#include "trust/folder.h"
#include "trust/owner.h"
#ifdef _WIN32
#include "package/startrun.h"
#include "trust/runlock.h"
#endif

namespace {

const char kUser[] = "S-1-5-21-1111-2222-3333-1001";
const char kTrustedInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
// What Windows gives C:\Program Files (owner TrustedInstaller).
const char kProgramFiles[] =
    "O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
    "D:PAI(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
    "(A;CIIO;GA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)(A;;0x1301bf;;;SY)"
    "(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)"
    "(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;AC)(A;OICIIO;GXGR;;;AC)";
// What Windows gives C:\: every signed-in user may add folders there.
const char kDriveRoot[] =
    "O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
    "D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)";
// A folder made in C:\, inheriting the signed-in users' right to change it.
const char kMadeInRootByAdmin[] = "O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)"
                                  "(A;OICIID;0x1301bf;;;AU)";
const char kMadeInRootByUser[] = "O:S-1-5-21-1111-2222-3333-1001D:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)"
                                 "(A;OICIID;0x1200a9;;;BU)(A;OICIID;0x1301bf;;;AU)";
// What Wine reads back for every folder: its account owns it.
const char kWineFolder[] = "O:S-1-5-21-0-0-0-1000D:(A;OICI;FA;;;SY)(A;OICI;FA;;;S-1-5-21-0-0-0-1000)"
                           "(A;OICI;0x1200a9;;;WD)";

// An administrators-only folder with one more entry for the Users.
std::string WithUsers(const char* entry) { return std::string("O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)") + entry; }

#ifndef _WIN32
// The descriptor text of a folder as the installer reads it (the stand-in
// keeps descriptors; Wine does not).
std::string DescriptorOf(const std::string& folder) {
    HANDLE h = CreateFileA(folder.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    char sddl[2048] = "";
    if (h != INVALID_HANDLE_VALUE) {
        ReadDescriptor(h, sddl, sizeof sddl);
        CloseHandle(h);
    }
    return sddl;
}
#endif

} // namespace

TEST(DestinationRule, WhatAFolderReportsGivesItsKind) {
    struct Row {
        const char* label;
        bool reparse;
        uint32_t tag;
        ReparseKind kind;
    } rows[] = {
        {"plain folder", false, 0, kPlainFolder},
        {"a tag without the reparse attribute", false, kTagSymbolicLink, kPlainFolder},
        {"junction or mounted volume", true, kTagMountPoint, kMountPoint},
        {"symbolic link", true, kTagSymbolicLink, kLinkOrJunction},
        {"another name surrogate (WSL link)", true, 0xA000001Du, kLinkOrJunction},
        {"tag unknown, or a name that led elsewhere under Wine", true, 0, kLinkOrJunction},
        {"cloud files placeholder", true, 0x9000001Au, kPlainFolder},
        {"deduplicated", true, 0x80000013u, kPlainFolder},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.kind, KindOfFolder(r.reparse, r.tag)) << r.label;
}

// A mount point is no longer exempt: one a user made (a junction whose
// target merely starts like a volume's) is refused like any link.
TEST(DestinationRule, OnlyALinkOrMountPointThatAnAdministratorMadeIsFollowed) {
    struct Row {
        ReparseKind kind;
        const char* owner;
        bool refused;
    } rows[] = {
        {kPlainFolder, kUser, false},
        {kPlainFolder, "", false},
        {kMountPoint, kUser, true},
        {kMountPoint, "", true},
        {kMountPoint, "S-1-5-32-544", false},  // a volume an administrator mounted
        {kLinkOrJunction, "S-1-5-18", false},
        {kLinkOrJunction, "S-1-5-32-544", false},  // a program folder moved to another disk
        {kLinkOrJunction, kTrustedInstaller, false},
        {kLinkOrJunction, kUser, true},
        {kLinkOrJunction, "", true},               // an owner that cannot be read
        {kLinkOrJunction, "S-1-5-32-545", true},   // Users
        {kLinkOrJunction, "S-1-5-11", true},       // Authenticated Users
        {kLinkOrJunction, "S-1-5-32-5440", true},
        {kLinkOrJunction, "S-1-5-18-1", true},
        {kLinkOrJunction, "s-1-5-18 ", true},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.refused, RedirectRefused(r.kind, r.owner)) << "kind " << r.kind << " owner \"" << r.owner << "\"";
}

// Each right that lets someone else change a folder, explicit or inherited,
// on the destination itself and on a folder above it; owners; what does not
// count (entries that only pass on, denials, the placeholders).
TEST(DestinationRule, WhoseAFolderIsDecidesWhetherItTakesTheInstallation) {
    struct Row {
        const char* label;
        std::string descriptor;
        OwnerVerdict chosen;  // as the destination itself
        OwnerVerdict above;   // as a folder above it
        const char* account;  // named for the chosen folder's verdict
    } rows[] = {
        {"Program Files", kProgramFiles, kOnlyAdministrators, kOnlyAdministrators, ""},
        {"a drive's root: users may add folders", kDriveRoot, kOthersMayAppend, kOnlyAdministrators, "S-1-5-11"},
        {"made in C:\\ by an administrator", kMadeInRootByAdmin, kOthersMayWrite, kOthersMayDelete, "S-1-5-11"},
        {"made in C:\\ by a user", kMadeInRootByUser, kOwnerNotAdministrator, kOwnerNotAdministrator, kUser},
        {"what the installer makes", std::string("O:BA") + kProgramFolderSddl, kOnlyAdministrators,
         kOnlyAdministrators, ""},
        {"the record folder it makes", std::string("O:BA") + kRecordFolderSddl, kOnlyAdministrators,
         kOnlyAdministrators, ""},
        {"owned by SYSTEM", "O:SYD:P(A;OICI;FA;;;SY)", kOnlyAdministrators, kOnlyAdministrators, ""},
        {"owned by TrustedInstaller", std::string("O:") + kTrustedInstaller + "D:P(A;OICI;FA;;;SY)",
         kOnlyAdministrators, kOnlyAdministrators, ""},
        {"owned by the Users", "O:BUD:P(A;OICI;FA;;;SY)", kOwnerNotAdministrator, kOwnerNotAdministrator,
         "S-1-5-32-545"},
        {"write data", WithUsers("(A;;0x2;;;BU)"), kOthersMayWrite, kOnlyAdministrators, "S-1-5-32-545"},
        {"append data", WithUsers("(A;;0x4;;;BU)"), kOthersMayAppend, kOnlyAdministrators, "S-1-5-32-545"},
        {"delete children", WithUsers("(A;;0x40;;;BU)"), kOthersMayDeleteChildren, kOthersMayDeleteChildren,
         "S-1-5-32-545"},
        {"delete", WithUsers("(A;;SD;;;BU)"), kOthersMayDelete, kOthersMayDelete, "S-1-5-32-545"},
        {"WRITE_DAC", WithUsers("(A;;WD;;;BU)"), kOthersMayChangeList, kOthersMayChangeList, "S-1-5-32-545"},
        {"WRITE_OWNER", WithUsers("(A;;WO;;;BU)"), kOthersMayChangeOwner, kOthersMayChangeOwner, "S-1-5-32-545"},
        {"generic all", WithUsers("(A;;GA;;;WD)"), kOthersMayWrite, kOthersMayDeleteChildren, "S-1-1-0"},
        {"generic write", WithUsers("(A;;GW;;;AU)"), kOthersMayWrite, kOnlyAdministrators, "S-1-5-11"},
        {"modify, inherited", WithUsers("(A;OICIID;0x1301bf;;;BU)"), kOthersMayWrite, kOthersMayDelete,
         "S-1-5-32-545"},
        {"modify, explicit", WithUsers("(A;OICI;0x1301bf;;;BU)"), kOthersMayWrite, kOthersMayDelete, "S-1-5-32-545"},
        {"full control for one user", WithUsers("(A;OICI;FA;;;S-1-5-21-1111-2222-3333-1001)"), kOthersMayWrite,
         kOthersMayDeleteChildren, kUser},
        {"an object entry allows too", WithUsers("(OA;;SD;;;BU)"), kOthersMayDelete, kOthersMayDelete,
         "S-1-5-32-545"},
        {"read and run only", WithUsers("(A;OICI;0x1200a9;;;BU)"), kOnlyAdministrators, kOnlyAdministrators, ""},
        {"only passed on to what it holds", WithUsers("(A;OICIIO;FA;;;BU)"), kOnlyAdministrators,
         kOnlyAdministrators, ""},
        {"denied", WithUsers("(D;OICI;FA;;;BU)"), kOnlyAdministrators, kOnlyAdministrators, ""},
        {"creator owner's placeholder", WithUsers("(A;;FA;;;CO)"), kOnlyAdministrators, kOnlyAdministrators, ""},
        {"a domain's alias reads as someone else", WithUsers("(A;;SD;;;DA)"), kOthersMayDelete, kOthersMayDelete,
         "?DA"},
        {"no list: everyone may do everything", "O:BAD:NO_ACCESS_CONTROL", kOthersMayWrite,
         kOthersMayDeleteChildren, "S-1-1-0"},
        {"nothing read", "", kDescriptorUnreadable, kDescriptorUnreadable, ""},
        {"no list read", "O:BA", kDescriptorUnreadable, kDescriptorUnreadable, ""},
        {"a right this rule cannot read", WithUsers("(A;;ZZ;;;BU)"), kDescriptorUnreadable, kDescriptorUnreadable,
         ""},
        {"an entry cut short", WithUsers("(A;;SD"), kDescriptorUnreadable, kDescriptorUnreadable, ""},
        {"Wine's folder, its account not trusted", kWineFolder, kOwnerNotAdministrator, kOwnerNotAdministrator,
         "S-1-5-21-0-0-0-1000"},
    };
    for (const Row& r : rows) {
        OwnerJudgement chosen = JudgeDescriptor(r.descriptor.c_str(), kRightsOverFolder, "");
        EXPECT_EQ(r.chosen, chosen.verdict) << r.label;
        if (r.chosen != kOnlyAdministrators && r.chosen != kDescriptorUnreadable) {
            EXPECT_STREQ(r.account, chosen.account) << r.label;
        }
        EXPECT_EQ(r.above, JudgeDescriptor(r.descriptor.c_str(), kRightsOverPath, "").verdict) << r.label;
    }
    // Under Wine the account it runs as stands for the administrator.
    EXPECT_EQ(kOnlyAdministrators, JudgeDescriptor(kWineFolder, kRightsOverFolder, "S-1-5-21-0-0-0-1000").verdict);
    EXPECT_EQ(kOthersMayWrite,
              JudgeDescriptor((std::string(kWineFolder) + "(A;;0x2;;;BU)").c_str(), kRightsOverFolder,
                              "S-1-5-21-0-0-0-1000")
                  .verdict);
}

// The folder verdicts: the earlier installation of this product is the one
// destination accepted although others may change it (to be re-protected),
// never a folder above it nor a link; a mount point's target is judged like
// any folder once its own owner passes.
TEST(DestinationRule, TheEarlierInstallationIsReprotectedAndMountPointsAreJudged) {
    std::string modify = WithUsers("(A;OICIID;0x1301bf;;;BU)");
    std::string clean = WithUsers("");
    struct Row {
        const char* label;
        ReparseKind kind;
        const char* linkOwner;
        const char* descriptor;
        FolderPlace place;
        bool earlier;
        FolderVerdict verdict;
    } rows[] = {
        {"administrators only", kPlainFolder, "", clean.c_str(), kFolderChosen, false, kFolderAccepted},
        {"users may change it", kPlainFolder, "", modify.c_str(), kFolderChosen, false, kFolderOthersMayChange},
        {"the earlier installation", kPlainFolder, "", modify.c_str(), kFolderChosen, true, kFolderToProtect},
        {"the earlier installation a user owns", kPlainFolder, "", kMadeInRootByUser, kFolderChosen, true,
         kFolderToProtect},
        {"the earlier installation, unreadable", kPlainFolder, "", "", kFolderChosen, true, kFolderToProtect},
        {"above the earlier installation", kPlainFolder, "", kMadeInRootByUser, kFolderAbove, true, kFolderNotOwned},
        {"a user's folder", kPlainFolder, "", kMadeInRootByUser, kFolderChosen, false, kFolderNotOwned},
        {"unreadable", kPlainFolder, "", "", kFolderAbove, false, kFolderUnreadable},
        {"a user's mount point", kMountPoint, kUser, clean.c_str(), kFolderAbove, false, kFolderLinkRefused},
        {"a user's junction as the earlier installation", kLinkOrJunction, kUser, clean.c_str(), kFolderChosen, true,
         kFolderLinkRefused},
        {"an administrator's volume", kMountPoint, "S-1-5-32-544", clean.c_str(), kFolderAbove, false,
         kFolderAccepted},
        {"an administrator's volume users may change", kMountPoint, "S-1-5-32-544", modify.c_str(), kFolderAbove,
         false, kFolderOthersMayChange},
        {"an administrator's junction to a user's folder", kLinkOrJunction, "S-1-5-18", kMadeInRootByUser,
         kFolderChosen, false, kFolderNotOwned},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.verdict, JudgeFolder(r.kind, r.linkOwner, r.descriptor, r.place, r.earlier, "").verdict)
            << r.label;
}

#ifndef _WIN32
namespace {

// A drive Q: of its own for each case, in the stand-in.
struct Drive {
    std::string root = NewFolder("drive");
    Drive() { PosixMapDrive('Q', root.c_str()); }
    ~Drive() {
        RemoveDestinationFolders();
        PosixMapDrive('Q', nullptr);
    }
    std::string Make(const std::string& relative, const char* descriptor = nullptr) {
        std::string path = root + "\\" + relative;
        EXPECT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
        if (descriptor)
            PosixSetDescriptor(path.c_str(), descriptor);
        return path;
    }
};

} // namespace

// The walk on the stand-in's folders: every refusal names the folder and
// makes nothing; an accepted path is made with the protected list and held.
TEST(Destination, TheWalkRefusesWhatOthersControlAndHoldsWhatItAccepts) {
    Drive q;
    q.Make("Users", kMadeInRootByUser);
    q.Make("Shared", kMadeInRootByAdmin);
    q.Make("Adds", WithUsers("(A;;0x6;;;BU)").c_str());
    q.Make("Mine");
    q.Make("Mine\\Open", WithUsers("(A;;0x2;;;BU)").c_str());
    ASSERT_TRUE(MakeLink(q.root + "\\Mine", q.root + "\\Link"));
    struct Row {
        const char* path;
        DestinationVerdict verdict;
        const char* folder;
    } rows[] = {
        {"Q:\\Program Files\\..\\App", kDestinationDotted, ""},
        {"Q:\\Mine\\.\\App", kDestinationDotted, ""},
        {"Q:\\Mine\\\\App", kDestinationBadForm, ""},
        {"Q:\\Users\\App", kDestinationNotOwned, "Q:\\Users"},
        {"Q:\\Shared\\App", kDestinationOthersMayChange, "Q:\\Shared"},
        {"Q:\\Mine\\Open", kDestinationOthersMayChange, "Q:\\Mine\\Open"},
        {"Q:\\Mine\\Open\\App", kDestinationAccepted, ""},  // adding beside takes nothing away
        {"Q:\\Link\\App", kDestinationLinkRefused, "Q:\\Link"},
        {"Q:\\Adds\\New\\App\\", kDestinationAccepted, ""},
    };
    for (const Row& r : rows) {
        DestinationCheck check = AcceptDestination(r.path);
        EXPECT_EQ(r.verdict, check.verdict) << r.path;
        EXPECT_STREQ(r.folder, check.folder) << r.path;
        if (check.verdict != kDestinationAccepted) {
            EXPECT_FALSE(Exists(q.root + "\\Users\\App") || Exists(q.root + "\\Shared\\App")) << r.path;
        }
    }
    // The last one made both folders with Program Files' list, and holds
    // them and the folders above: none can be renamed.
    std::string made = q.root + "\\Adds\\New\\App";
    EXPECT_EQ(kProgramFolderSddl, std::string(PosixFolderDescriptor((q.root + "\\Adds\\New").c_str())));
    EXPECT_EQ(kProgramFolderSddl, std::string(PosixFolderDescriptor(made.c_str())));
    for (const std::string& held : {made, q.root + "\\Adds\\New", q.root + "\\Adds"}) {
        EXPECT_FALSE(MoveFileA(held.c_str(), (held + "-moved").c_str())) << held;
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError()) << held;
    }
    RemoveDestinationFolders();
    EXPECT_FALSE(Exists(q.root + "\\Adds\\New"));
    EXPECT_TRUE(Exists(q.root + "\\Adds"));
}

// An installation for one user runs with that user's rights alone: the
// user's own folder takes it, another user's does not, and what it makes
// inherits from the user's folder rather than getting Program Files' list.
TEST(Destination, AnInstallationForOneUserTrustsThatUsersOwnFolders) {
    Drive q;
    std::string self = RunningAccount();
    ASSERT_NE("", self);
    std::string own = "O:" + self + "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;" + self + ")";
    q.Make("Own", own.c_str());
    q.Make("Other", kMadeInRootByUser);
    struct Row {
        const char* path;
        InstallScope scope;
        DestinationVerdict verdict;
    } rows[] = {
        {"Q:\\Own\\App", kScopeMachine, kDestinationNotOwned},
        {"Q:\\Other\\App", kScopeUser, kDestinationNotOwned},
        {"Q:\\Own\\App", kScopeUser, kDestinationAccepted},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.verdict, AcceptDestination(r.path, r.scope).verdict) << r.path << " scope " << r.scope;
    EXPECT_EQ("", std::string(PosixFolderDescriptor((q.root + "\\Own\\App").c_str()))) << "inherited";
    EXPECT_NE(INVALID_HANDLE_VALUE, TreeFind("Q:\\Own\\App")) << "and held";
}

// The earlier installation of this product (its Uninstall key registers the
// uninstaller there) is taken although a user owns it, and given to the
// Administrators with the protected lists; any other such folder is refused.
TEST(Destination, TheEarlierInstallationIsTakenBackFromItsUser) {
    Drive q;
    q.Make("Old", kMadeInRootByUser);
    q.Make("Old\\UnInstall", kMadeInRootByUser);
    q.Make("Other", kMadeInRootByUser);
    std::string key = BeginProduct("Walk Earlier");
    PosixSetRegistryValue(key.c_str(), "UninstallString", "\"Q:\\OLD\\Uninstall\\UnInst.exe\"");
    EXPECT_EQ(kDestinationNotOwned, AcceptDestination("Q:\\Other").verdict);
    EXPECT_EQ(kDestinationAccepted, AcceptDestination("Q:\\Old").verdict);
    EXPECT_EQ("O:BA" + std::string(kProgramFolderSddl), DescriptorOf(q.root + "\\Old"));
    EXPECT_EQ("O:BA" + std::string(kRecordFolderSddl), DescriptorOf(q.root + "\\Old\\UnInstall"));
    EXPECT_NE(INVALID_HANDLE_VALUE, TreeFind("Q:\\Old\\UnInstall")) << "the record folder is held too";
    PosixSetRegistryValue(key.c_str(), "UninstallString", nullptr);
    EndProduct(key);
}

namespace {

struct Planter {
    std::string folder;
    bool made = false;
};

// Another process makes the folder the walk is about to make, as its own.
void PlantFolder(void* context) {
    Planter* p = static_cast<Planter*>(context);
    p->made = mkdir(p->folder.c_str(), 0777) == 0;
    if (p->made)
        PosixSetDescriptor(p->folder.c_str(), kMadeInRootByUser);
}

struct Swapper {
    std::string folder;
    bool swapped = false;
};

// Another process renames the folder away and puts an empty one of its own
// under its name (from outside, where no hold stops it).
void SwapFolder(void* context) {
    Swapper* s = static_cast<Swapper*>(context);
    s->swapped = rename(s->folder.c_str(), (s->folder + "-old").c_str()) == 0 && mkdir(s->folder.c_str(), 0777) == 0;
}

} // namespace

// A folder the walk made is deleted only while it is still the one it
// made: one swapped in at any moment of the removal, when the hold is let
// go or before, stays.
TEST(Destination, AFolderSwappedInWhileTheMadeOnesGoIsNotRemoved) {
    Drive q;
    std::string made = q.root + "/Made/App";
    std::replace(made.begin(), made.end(), '\\', '/');
    bool swappedSeen = false;
    for (unsigned long n = 1; n < 100; ++n) {
        ASSERT_EQ(kDestinationAccepted, AcceptDestination("Q:\\Made\\App").verdict) << "call " << n;
        Swapper swapper;
        swapper.folder = made;
        PosixActAtCall(n, SwapFolder, &swapper);
        RemoveDestinationFolders();
        bool acted = PosixCallCount() >= n;
        PosixActAtCall(0, nullptr, nullptr);
        if (swapper.swapped) {
            EXPECT_TRUE(Exists(q.root + "\\Made\\App")) << "call " << n << ": the folder put in its place stays";
            swappedSeen = true;
        }
        rmdir((made + "-old").c_str());
        rmdir(made.c_str());
        rmdir(made.substr(0, made.rfind('/')).c_str());
        if (!acted)
            break;
    }
    EXPECT_TRUE(swappedSeen);
}

// A folder another process makes at any moment of the walk is never taken
// as the installation's: it is refused as someone else's when the walk
// finds it, or as made meanwhile when the walk's own creation meets it.
TEST(Destination, AFolderMadeByAnotherProcessDuringTheWalkIsRefused) {
    Drive q;
    Planter planter;
    planter.folder = q.root + "/App";
    std::replace(planter.folder.begin(), planter.folder.end(), '\\', '/');
    bool metDuringCreation = false;
    for (unsigned long n = 1; n < 200; ++n) {
        RemoveDestinationFolders();
        rmdir(planter.folder.c_str());
        planter.made = false;
        PosixActAtCall(n, PlantFolder, &planter);
        DestinationCheck check = AcceptDestination("Q:\\App");
        bool acted = PosixCallCount() >= n;
        PosixActAtCall(0, nullptr, nullptr);
        if (planter.made) {
            EXPECT_NE(kDestinationAccepted, check.verdict) << "call " << n;
        }
        metDuringCreation = metDuringCreation || check.verdict == kDestinationTaken;
        if (!acted)
            break;
    }
    EXPECT_TRUE(metDuringCreation);
}
#endif

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
