// The program section over an earlier installation of the same product:
// which files stay in place untouched, which are replaced, and that taking
// back, damage and failures still give back exactly what was there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "base/format.h"
#include "base/state.h"
#include "finish/record.h"
#include "helpers.h"
#include "package/extract.h"
#include "package/heldtree.h"
#include "package/placement.h"
#include "package/record.h"
#include "trust/digest.h"
#include "trust/owner.h"

namespace {

using Files = std::map<std::string, Bytes>;

// What stands in the target before the run: each file a day old.
struct Before {
    std::string root, target;
    std::map<std::string, FileState> files;
};

// A program section as the packing tool builds it.
Bytes SectionOf(const Files& files) {
    std::vector<SectionFile> members;
    for (const auto& f : files)
        members.push_back({f.first, "", f.second});
    return Section(members);
}

// An earlier installation of the product runs the tests: its init.cfg in an
// Install folder of its own, its record and sealed file list in the target.
class Unchanged : public ::testing::Test {
protected:
    void SetUp() override {
        key = BeginProduct(std::string("Unchanged ") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override {
        EndProduct(key);
        WrittenReset();
    }
    // Writes files into a fresh target, with an earlier record naming
    // recordKey and the list given, sealed with its digest unless seal is
    // false.
    Before Install(const Files& files, const std::string& list, bool seal = true, const std::string& recordKey = "") {
        Before b;
        b.root = NewFolder("unchanged");
        b.target = b.root + "\\target";
        EXPECT_TRUE(CreateDirectoryA(b.target.c_str(), nullptr));
        EXPECT_TRUE(CreateDirectoryA((b.target + "\\UnInstall").c_str(), nullptr));
        for (const auto& f : files) {
            std::string path = b.target + "\\" + f.first;
            size_t slash = f.first.find('\\');
            if (slash != std::string::npos)
                CreateDirectoryA((b.target + "\\" + f.first.substr(0, slash)).c_str(), nullptr);
            EXPECT_TRUE(WriteBytes(path, f.second)) << f.first;
        }
        // The record may name another product; the digest is this one's.
        std::string named = recordKey.empty() ? key : recordKey;
        for (const auto& f : SealedRecord(named, list))
            EXPECT_TRUE(WriteBytes(b.target + "\\" + f.first, f.second));
        char digest[kDigestTextSize];
        EXPECT_TRUE(SealDigest(key.c_str(), list.data(), list.size(), digest));
        if (named != key)
            SetListDigest(named, nullptr);
        SetListDigest(key, seal ? digest : nullptr);
        for (const std::string& name : ListTree(b.target)) {
            if (name.back() != '\\') {
                MakeOld(b.target + "\\" + name);
                b.files[name] = StateOf(b.target + "\\" + name);
            }
        }
        return b;
    }
    SectionResult Extract(const Bytes& section, const Before& b) {
        std::string file = NewFolder("unchanged-pkg") + "\\section.bin";
        EXPECT_TRUE(WriteBytes(file, section));
        HANDLE h = OpenForReading(file);
        SectionResult r = ExtractSection(b.target.c_str(), kModePlain, h);
        CloseHandle(h);
        return r;
    }
    // The recorded entries of one kind, relative to the target.
    std::vector<std::string> Entries(const Before& b, EntryKind kind) {
        std::vector<std::string> out;
        for (size_t i = 0; i < WrittenCount(); ++i) {
            bool folder;
            if (WrittenKind(i) == kind)
                out.push_back(WrittenEntry(i, &folder) + b.target.size() + 1);
        }
        return out;
    }
    void ExpectAsBefore(const Before& b, const std::string& label) {
        std::vector<std::string> now;
        for (const std::string& name : ListTree(b.target))
            if (name.back() != '\\')
                now.push_back(name);
        std::vector<std::string> was;
        for (const auto& f : b.files)
            was.push_back(f.first);
        EXPECT_EQ(was, now) << label;
        for (const auto& f : b.files)
            EXPECT_TRUE(StateOf(b.target + "\\" + f.first) == f.second) << label << ": " << f.first << " changed";
    }

    std::string key;
};

const Bytes kBig = Noise(100000, 11);

// The next version's files; the earlier installation has each of them in
// one state or another (see Earlier).
Files NextVersion() {
    return {{"same.txt", FromText("the same in both")},
            {"flipped.txt", FromText("one byte differs on disk")},
            {"longer.txt", FromText("the disk has a byte more")},
            {"shorter.txt", FromText("the disk has a byte less")},
            {"relisted.txt", FromText("the list gives another sum")},
            {"unlisted.txt", FromText("the list does not name it")},
            {"missing.txt", FromText("listed, gone from the disk")},
            {"empty.dat", {}},
            {"big\\same.bin", kBig},
            {"big\\flipped.bin", kBig},
            {"big\\longer.bin", kBig}};
}

// The earlier installation's files and its list for NextVersion.
void Earlier(Files* disk, std::string* list) {
    Files next = NextVersion();
    *disk = next;
    disk->erase("missing.txt");
    (*disk)["flipped.txt"].back() ^= 1;
    (*disk)["longer.txt"].push_back('!');
    (*disk)["shorter.txt"].pop_back();
    (*disk)["big\\longer.bin"].push_back(0);
    (*disk)["big\\flipped.bin"][99999] ^= 1;
    (*disk)["mine.txt"] = FromText("the user's own");
    list->clear();
    for (const auto& f : next) {
        if (f.first == "unlisted.txt")
            continue;
        *list += f.first == "relisted.txt" ? ListLine(f.first, FromText("an earlier version")) : ListLine(f.first, f.second);
    }
}

} // namespace

// Left in place is only what the list names with the member's size and CRC
// and what holds exactly the member's bytes on disk; everything else is
// replaced over a kept copy. The new file list names both kinds, and taking
// back gives every file back as it was.
TEST_F(Unchanged, OnlyListedFilesThatHoldTheMembersBytesStayInPlace) {
    Files disk;
    std::string list;
    Earlier(&disk, &list);
    Before b = Install(disk, list);
    Files next = NextVersion();
    ASSERT_EQ(kSectionOk, Extract(SectionOf(next), b));

    std::vector<std::string> left = {"big\\same.bin", "empty.dat", "same.txt"};
    std::vector<std::string> written = {"big\\flipped.bin", "big\\longer.bin", "flipped.txt", "longer.txt",
                                        "missing.txt",      "relisted.txt",   "shorter.txt", "unlisted.txt"};
    std::vector<std::string> unchanged = Entries(b, kEntryUnchanged), files = Entries(b, kEntryFile);
    std::sort(unchanged.begin(), unchanged.end());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(left, unchanged);
    EXPECT_EQ(written, files);
    for (const std::string& name : left)
        EXPECT_TRUE(StateOf(b.target + "\\" + name) == b.files[name]) << name << " was touched";
    for (const std::string& name : written) {
        Bytes got;
        EXPECT_TRUE(ReadBytes(b.target + "\\" + name, &got));
        EXPECT_EQ(next[name], got) << name;
    }
    EXPECT_EQ(7u, KeptNames(b.target).size()) << "one kept copy per file replaced over an existing one";

    // The list names every file of the section with its sum, left or not.
    std::string listFolder = NewFolder("unchanged-list");
    std::string listPath = listFolder + "\\Files.lst";
    ASSERT_TRUE(TreeHoldRoot(listFolder.c_str()));
    ASSERT_TRUE(WriteFileList(b.target.c_str(), listPath.c_str()));
    ASSERT_TRUE(TreeHoldRoot(b.target.c_str()));
    Bytes got;
    ASSERT_TRUE(ReadBytes(listPath, &got));
    std::string text(got.begin(), got.end());
    for (const auto& f : next)
        EXPECT_NE(std::string::npos, text.find(ListLine(f.first, f.second))) << f.first << " in\n" << text;

    WrittenTakeBack();
    ExpectAsBefore(b, "taken back");
}

// Without a list to trust, nothing is left in place: every file there is
// replaced over a kept copy, as before there were lists.
TEST_F(Unchanged, AListThatCannotBeTrustedLeavesNothingInPlace) {
    struct Row {
        const char* label;
        bool seal;
        bool changeList;  // after sealing
        bool otherProduct;
        bool program;     // the program section
    } rows[] = {
        {"no digest in the registry", false, false, false, true},
        {"list changed after it was sealed", true, true, false, true},
        {"another product's record", true, false, true, true},
        {"not the program section", true, false, false, false},
    };
    for (const Row& r : rows) {
        Files files = {{"a.txt", FromText("alpha")}, {"sub\\b.txt", FromText("beta")}};
        std::string list = ListLine("a.txt", files["a.txt"]) + ListLine("sub\\b.txt", files["sub\\b.txt"]);
        Before b = Install(files, list, r.seal, r.otherProduct ? key + " Other" : "");
        if (r.changeList) {
            ASSERT_TRUE(WriteBytes(b.target + "\\UnInstall\\Files.lst", FromText(list + "\r\n")));
            b.files["UnInstall\\Files.lst"] = StateOf(b.target + "\\UnInstall\\Files.lst");
        }
        *PaczkaZProgramem() = r.program ? 1 : 0;
        ASSERT_EQ(kSectionOk, Extract(SectionOf(files), b)) << r.label;
        *PaczkaZProgramem() = 1;
        EXPECT_EQ(std::vector<std::string>{}, Entries(b, kEntryUnchanged)) << r.label;
        EXPECT_EQ(2u, KeptNames(b.target).size()) << r.label;
        WrittenTakeBack();
        ExpectAsBefore(b, r.label);
    }
}

// Damage is found whether the damaged member's file stays in place or not,
// and leaves everything as it was; so does a section whose stored checksum
// is wrong although every file is unchanged (the skipped members' bytes are
// still summed).
TEST_F(Unchanged, DamageAmongUnchangedFilesStillLeavesNothing) {
    Files next = NextVersion();
    struct Row {
        const char* label;
        const char* member;  // the member with a byte flipped; null: the stored checksum
    } rows[] = {
        {"a small file's member, the file in place", "same.txt"},
        {"a large file's member, the file in place", "big\\same.bin"},
        {"the last member, replaced", "unlisted.txt"},
        {"stored checksum", nullptr},
    };
    for (const Row& r : rows) {
        Files disk;
        std::string list;
        Earlier(&disk, &list);
        Before b = Install(disk, list);
        Bytes section = SectionOf(next);
        if (r.member) {
            // Members follow the path list in the list's (sorted) order.
            uint32_t index = 1 + static_cast<uint32_t>(std::distance(next.begin(), next.find(r.member)));
            uint32_t start = ReadLe32(&section[kSectionHeaderSize + 4 * index]);
            uint32_t end = ReadLe32(&section[kSectionHeaderSize + 4 * (index + 1)]);
            section[start + (end - start) / 2] ^= 0x40;
        } else {
            section[4] ^= 0x01;
        }
        EXPECT_EQ(kSectionDamaged, Extract(section, b)) << r.label;
        EXPECT_EQ(0u, WrittenCount()) << r.label;
        ExpectAsBefore(b, r.label);
    }
}

// A path that the list calls unchanged with a link standing there: refused
// as any link is, never read through, nothing left behind.
#ifndef _WIN32
TEST_F(Unchanged, ALinkWhereAnUnchangedFileWasIsRefused) {
    Files files = {{"a.txt", FromText("alpha")}, {"b.txt", FromText("beta")}};
    Before b = Install({{"a.txt", files["a.txt"]}}, ListLine("a.txt", files["a.txt"]) + ListLine("b.txt", files["b.txt"]));
    ASSERT_TRUE(WriteBytes(b.root + "\\outside.txt", files["b.txt"]));
    ASSERT_TRUE(MakeLink(b.root + "\\outside.txt", b.target + "\\b.txt"));
    EXPECT_EQ(kSectionLink, Extract(SectionOf(files), b));
    EXPECT_EQ(b.target + "\\b.txt", RefusedPath());
    Bytes got;
    ASSERT_TRUE(ReadBytes(b.root + "\\outside.txt", &got));
    EXPECT_EQ(files["b.txt"], got);
    EXPECT_TRUE(StateOf(b.target + "\\a.txt") == b.files["a.txt"]);
    EXPECT_EQ(std::vector<std::string>{}, KeptNames(b.target));
}
#endif

// A file the list calls unchanged stays in place only with one name and an
// administrator as its owner: one with a second name outside the product,
// or a user's, is replaced over a kept copy, and the other name keeps the
// bytes it had. (Files keep no owner under Wine: there the owner's part is
// shown natively only.)
TEST_F(Unchanged, AnUnchangedFileWithASecondNameOrAUsersOwnerIsReplaced) {
    Files files = {{"a.txt", FromText("alpha")}, {"b.txt", FromText("beta")}, {"c.txt", FromText("gamma")}};
    std::string list;
    for (const auto& f : files)
        list += ListLine(f.first, f.second);
    Before b = Install(files, list);
    std::vector<std::string> replaced = {"b.txt"};
#ifdef _WIN32
    ASSERT_TRUE(CreateHardLinkA((b.root + "\\second.txt").c_str(), (b.target + "\\b.txt").c_str(), nullptr));
#else
    auto unix = [](std::string p) {
        std::replace(p.begin(), p.end(), '\\', '/');
        return p;
    };
    ASSERT_EQ(0, link(unix(b.target + "\\b.txt").c_str(), unix(b.root + "\\second.txt").c_str()));
    PosixSetDescriptor((b.target + "\\c.txt").c_str(), "O:S-1-5-21-1111-2222-3333-1001D:P(A;;FA;;;SY)(A;;FA;;;BA)");
    replaced.push_back("c.txt");
#endif
    ASSERT_EQ(kSectionOk, Extract(SectionOf(files), b));
    std::vector<std::string> stayed = Entries(b, kEntryUnchanged), written = Entries(b, kEntryFile);
    std::sort(stayed.begin(), stayed.end());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(replaced, written);
    EXPECT_EQ(3u, stayed.size() + written.size()) << ::testing::PrintToString(stayed);
    EXPECT_EQ(replaced.size(), KeptNames(b.target).size());
    WrittenCommit();
    EXPECT_EQ(std::vector<std::string>{}, KeptNames(b.target));
    Bytes got;
    ASSERT_TRUE(ReadBytes(b.root + "\\second.txt", &got));
    EXPECT_EQ(files["b.txt"], got) << "the second name is not the product's file any more";
#ifndef _WIN32
    PosixSetDescriptor((b.target + "\\c.txt").c_str(), nullptr);
#endif
    TreeRelease();
}

#ifndef _WIN32
// Whose file may stay in place: an administrator's, or in an installation
// for one user that user's (the owner of what its earlier run made), never
// another user's.
TEST_F(Unchanged, AFileStaysForItsScopesOwnersOnly) {
    Before b = Install({{"a.txt", FromText("alpha")}}, ListLine("a.txt", FromText("alpha")));
    std::string path = b.target + "\\a.txt", self = RunningAccount();
    struct Row {
        InstallScope scope;
        std::string owner;
        bool stays;
    } rows[] = {
        {kScopeMachine, "BA", true},
        {kScopeMachine, self, false},
        {kScopeUser, self, true},
        {kScopeUser, "BA", true},
        {kScopeUser, "S-1-5-21-1111-2222-3333-1001", false},
    };
    ASSERT_TRUE(TreeHoldRoot(b.target.c_str()));
    for (const Row& r : rows) {
        *RunScope() = r.scope;
        PosixSetDescriptor(path.c_str(), ("O:" + r.owner + "D:P(A;;FA;;;SY)(A;;FA;;;BA)").c_str());
        HANDLE held = HoldInPlace(path.c_str());
        EXPECT_EQ(r.stays, held != INVALID_HANDLE_VALUE) << r.scope << " " << r.owner;
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
    }
    *RunScope() = kScopeMachine;
    PosixSetDescriptor(path.c_str(), nullptr);
    TreeRelease();
}
#endif

// A path named three times in one section: the last member wins, as one
// file after another would have it, and taking back gives the earlier file
// back. The third member's move meets the kept copy of the second's, whose
// name it tries first: the journal's take-back still puts each copy back.
TEST_F(Unchanged, APathNamedThreeTimesEndsWithItsLastMember) {
    Before b = Install({{"a.txt", FromText("version 1")}}, ListLine("a.txt", FromText("version 1")));
    Bytes list = FromText("a.txt\r\nb.txt\r\na.txt\r\na.txt\r\n");
    std::vector<Bytes> plain = {list, FromText("version 1"), FromText("b"), FromText("version 2"),
                                FromText("version 3")};
    std::vector<Bytes> members;
    uint64_t sum = 0;
    for (const Bytes& p : plain) {
        Bytes m;
        ASSERT_TRUE(GzipMember(p.data(), p.size(), 6, &m));
        members.push_back(m);
        sum = ChecksumAdd(sum, p.data(), p.size());
    }
    Bytes section(kSectionFixedSize + 4 * members.size());
    memcpy(section.data(), kSectionMagic, 3);
    WriteLe32(&section[3], static_cast<uint32_t>(sum));
    WriteLe32(&section[11], static_cast<uint32_t>(members.size()));
    uint32_t offset = static_cast<uint32_t>(section.size());
    for (size_t i = 0; i <= members.size(); ++i) {
        WriteLe32(&section[kSectionHeaderSize + 4 * i], offset);
        if (i < members.size())
            offset += static_cast<uint32_t>(members[i].size());
    }
    for (const Bytes& m : members)
        section.insert(section.end(), m.begin(), m.end());
    ASSERT_EQ(kSectionOk, Extract(section, b));
    Bytes got;
    ASSERT_TRUE(ReadBytes(b.target + "\\a.txt", &got));
    EXPECT_EQ(FromText("version 3"), got);
    EXPECT_EQ(2u, KeptNames(b.target).size());
    WrittenTakeBack();
    ExpectAsBefore(b, "taken back");
    ASSERT_TRUE(ReadBytes(b.target + "\\a.txt", &got));
    EXPECT_EQ(FromText("version 1"), got);
}

// The list is read from its own bytes: lines that do not parse are passed
// over, names are found without regard to case, and only a sealed list of
// this product counts.
TEST_F(Unchanged, TheEarlierListIsReadOnceAndLookedUpWithoutCase) {
    std::string list = "5 0A0B0C0D Bin\\App.exe\r\nx 00000000 bad-size.txt\r\n3 ZZZZZZZZ bad-crc.txt\r\n"
                       "1 00000001 ..\\outside.txt\r\n\r\n7 deadbeef last.txt";
    Before b = Install({}, list);
    ASSERT_EQ(2u, EarlierRead(b.target.c_str(), key.c_str()));
    uint32_t size = 0, crc = 0;
    EXPECT_TRUE(EarlierFind("bin\\app.EXE", &size, &crc));
    EXPECT_EQ(5u, size);
    EXPECT_EQ(0x0A0B0C0Du, crc);
    EXPECT_TRUE(EarlierFind("last.txt", &size, &crc));
    EXPECT_EQ(0xDEADBEEFu, crc);
    for (const char* absent : {"bad-size.txt", "bad-crc.txt", "..\\outside.txt", "Bin"})
        EXPECT_FALSE(EarlierFind(absent, &size, &crc)) << absent;
    EXPECT_EQ(0u, EarlierRead(b.target.c_str(), (key + "2").c_str())) << "another product's key";
    EXPECT_FALSE(EarlierFind("last.txt", &size, &crc)) << "a failed read forgets the list before";
#ifndef _WIN32
    // A seal bound to the folder the key registers, read below the root
    // asked for (an installation for one user's, under HKEY_CURRENT_USER):
    // a list sealed for another folder, copied here, is not trusted. The
    // target is reached as a drive's folder, as a registered one is.
    PosixMapDrive('Q', b.root.c_str());
    std::string command = "\"Q:\\target" + std::string(kUninstallerCommand) + "\"";
    PosixSetUserRegistryValue(key.c_str(), "UninstallString", command.c_str());
    struct Row {
        const char* sealedFor;
        size_t files;
    } rows[] = {{"Q:\\target", 2u}, {"Q:\\copy", 0u}};
    for (const Row& r : rows) {
        char digest[kDigestTextSize];
        ASSERT_TRUE(SealDigest(key.c_str(), list.data(), list.size(), digest, r.sealedFor));
        PosixSetUserRegistryValue(key.c_str(), kFileListDigestValue, digest);
        EXPECT_EQ(r.files, EarlierRead("Q:\\target", key.c_str(), kCurrentUserRoot)) << r.sealedFor;
    }
    PosixSetUserRegistryValue(key.c_str(), "UninstallString", nullptr);
    PosixSetUserRegistryValue(key.c_str(), kFileListDigestValue, nullptr);
    TreeRelease();
    PosixMapDrive('Q', nullptr);
#endif
    EarlierForget();
}
