// The access lists of the folders the installer makes for others to run
// from: the record folder UnInstall and a destination folder outside
// Program Files. Natively the descriptor's text is read entry by entry;
// under Wine, which keeps no list of its own, a folder made or set with one
// is compared with a folder made the default way.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "helpers.h"
#include "platform/win32api.h"
#include "trust/folder.h"

namespace {

const char kTrustedInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// The entries of a DACL text "D:P(A;flags;rights;;;sid)...", by trustee:
// "flags rights". Empty when the text is not a protected list of allow
// entries.
std::map<std::string, std::string> Entries(const std::string& sddl) {
    std::map<std::string, std::string> out;
    if (sddl.compare(0, 3, "D:P") != 0)
        return out;
    for (size_t at = sddl.find('('); at != std::string::npos; at = sddl.find('(', at + 1)) {
        std::string ace = sddl.substr(at + 1, sddl.find(')', at) - at - 1);
        size_t f = ace.find(';'), r = ace.find(';', f + 1), s = ace.rfind(';');
        if (ace.compare(0, 2, "A;") != 0)
            return {};
        out[ace.substr(s + 1)] = ace.substr(f + 1, r - f - 1) + " " + ace.substr(r + 1, ace.find(';', r + 1) - r - 1);
    }
    return out;
}

} // namespace

TEST(FolderAccess, OnlyAdministratorsMayChangeWhatTheyLaterRun) {
    const std::string kReadRun = "0x1200a9";
    struct Row {
        const char* label;
        const char* sddl;
        std::map<std::string, std::string> entries;
    } rows[] = {
        {"record folder", kRecordFolderSddl,
         {{"SY", "OICI FA"}, {"BA", "OICI FA"}, {"BU", "OICI " + kReadRun}}},
        {"destination outside Program Files", kProgramFolderSddl,
         {{"SY", "OICI FA"},
          {"BA", "OICI FA"},
          {kTrustedInstaller, "OICI FA"},
          {"BU", "OICI " + kReadRun},
          {"S-1-15-2-1", "OICI " + kReadRun},
          {"CO", "OICIIO FA"}}},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.entries, Entries(r.sddl)) << r.label << ": " << r.sddl;
        // Whatever the list holds, it must be one the system takes.
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(r.sddl, SDDL_REVISION_1, &descriptor,
                                                                         nullptr))
            << r.label;
        LocalFree(descriptor);
    }
    EXPECT_NE(nullptr, RecordFolderSecurity());
    EXPECT_NE(nullptr, ProgramFolderSecurity());
}

TEST(FolderAccess, FoldersMadeOrSetWithAListKeepEveryoneElseOut) {
    std::string root = NewFolder("folder-access");
    std::string plain = root + "\\default";
    ASSERT_TRUE(CreateDirectoryA(plain.c_str(), nullptr));
    struct Row {
        const char* label;
        std::string folder;
        SECURITY_ATTRIBUTES* made;  // null: made the default way, then set
        const char* expected;
    } rows[] = {
        {"record folder made", root + "\\UnInstall", RecordFolderSecurity(), kRecordFolderSddl},
        {"destination made", root + "\\Product", ProgramFolderSecurity(), kProgramFolderSddl},
        {"earlier record folder set", root + "\\Earlier", nullptr, kRecordFolderSddl},
    };
    HANDLE held = CreateFileA(root.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    for (const Row& r : rows) {
        ASSERT_TRUE(CreateDirectoryA(r.folder.c_str(), r.made)) << r.label;
        if (!r.made) {
            EXPECT_EQ(FolderAccess(plain), FolderAccess(r.folder)) << r.label << ": made the default way first";
            ASSERT_TRUE(ProtectFolderIn(held, r.folder.substr(root.size() + 1).c_str(), kRecordFolderSddl)) << r.label;
        }
#ifdef _WIN32
        // Wine derives a folder's list from the descriptor it was made with
        // and keeps none set later through a handle: the list set on an
        // existing folder is shown by the native build alone.
        EXPECT_TRUE(GrantsEveryone(FolderAccess(plain))) << FolderAccess(plain);
        if (r.made) {
            EXPECT_FALSE(GrantsEveryone(FolderAccess(r.folder))) << r.label << ": " << FolderAccess(r.folder);
            EXPECT_NE(FolderAccess(plain), FolderAccess(r.folder)) << r.label;
        }
#else
        EXPECT_EQ("", FolderAccess(plain));
        EXPECT_EQ(r.expected, FolderAccess(r.folder)) << r.label;
#endif
    }
    EXPECT_FALSE(ProtectFolderIn(held, "missing", kRecordFolderSddl));
    CloseHandle(held);
}
