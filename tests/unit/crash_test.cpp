// The crash-point sweep: a run stopped dead at its Nth counted call (a forked
// process ended by _exit inside the stand-in: no clean-up, no destructor, no
// handle closed), for every N until a run completes; then the next run's
// recovery. Right after each stop no file of the earlier state is lost (its
// bytes are at its name or in a kept copy its journal names); after the
// recovery the destination and the product's key are exactly the earlier
// state or exactly the new one. An installation here is the installer's
// own steps in its order: journal, program section, record files, the
// Uninstall key's values (each journaled first), the sealed record and its
// digests, the commit; a removal is the uninstaller's in its order.
// Native only: the stand-in stops the run.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <map>

#include "base/format.h"
#include "base/installed.h"
#include "base/regread.h"
#include "base/scratch.h"
#include "finish/commit.h"
#include "finish/record.h"
#include "finish/recordcopy.h"
#include "helpers.h"
#include "package/earlier.h"
#include "package/extract.h"
#include "package/journal.h"
#include "package/journalfile.h"
#include "package/journalformat.h"
#include "package/record.h"
#include "package/recovery.h"
#include "platform/win32api.h"
#include "trust/digest.h"

namespace {

using Files = std::map<std::string, Bytes>;  // relative path to bytes; folders end in a backslash
using Values = std::map<std::string, std::string>;

const char* const kValueNames[] = {"DisplayName", "DisplayVersion", "UninstallString", kRecordDigestValue,
                                   kFileListDigestValue};

// One version of the product: its program section and its number.
struct Version {
    std::string package;
    std::string number;
};

Version MakeVersion(const std::vector<SectionFile>& files, const std::string& number) {
    Version v{NewFolder("crash-pkg") + "\\program.bin", number};
    EXPECT_TRUE(WriteBytes(v.package, Section(files)));
    return v;
}

Files Snapshot(const std::string& folder) {
    Files out;
    for (const std::string& name : ListTree(folder)) {
        Bytes b;
        if (name.back() != '\\') {
            EXPECT_TRUE(ReadBytes(folder + "\\" + name, &b)) << name;
        }
        out[name] = b;
    }
    return out;
}

Values KeyValues(const std::string& key) {
    Values out;
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
        return out;
    out["(key)"] = "";
    for (const char* name : kValueNames) {
        char data[512];
        DWORD size = sizeof data, type = 0;
        if (RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS)
            out[name] = std::to_string(type) + ":" + std::string(data, size);
    }
    RegCloseKey(h);
    return out;
}

// A REG_SZ value of the product's key as the finish sets it: journaled, then
// written.
void SetText(const std::string& key, const char* name, const std::string& text) {
    ASSERT_TRUE(JournalValue(1, key.c_str(), name));
    HKEY h;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &h, nullptr));
    RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(h);
}

// The installer's steps from the program section to the commit. 0 when
// installed, 2 when the run failed and took itself back.
// The program section begins the run's journal itself.
int Install(const std::string& destination, const std::string& key, const Version& v, const std::string& uninstaller) {
    HANDLE h = OpenForReading(v.package);
    SectionResult r = ExtractSection(destination.c_str(), kModePlain, h);
    CloseHandle(h);
    if (r != kSectionOk)
        return 2;
    char registered[MAX_PATH + 8] = "";
    std::string command = "\"" + destination + kUninstallerCommand + "\"";
    ReadMachineString(key.c_str(), "UninstallString", registered, sizeof registered);
    bool sealed = EarlierFound()->seal[0] != '\0' && command == registered;
    if (BeginRecord(destination.c_str(), key.c_str(), uninstaller.c_str(), sealed) != kSectionOk) {
        WrittenTakeBack();
        return 2;
    }
    EarlierForget();
    SetText(key, "DisplayName", "Crash Product");
    SetText(key, "DisplayVersion", v.number);
    SetText(key, "UninstallString", command);
    CopySet("reg", "max", "1");
    CopySet("reg", "1", key.c_str());
    char digest[kDigestTextSize];
    std::string record = destination + "\\UnInstall\\UnInst.cfg";
    EXPECT_TRUE(WriteSealedRecord(record.c_str(), key.c_str(), destination.c_str(), digest));
    SetText(key, kRecordDigestValue, digest);
    SetText(key, kFileListDigestValue, FileListSeal());
    CommitInstallation();
    return 0;
}

// The state a run may leave: the destination's files and the key's values.
struct State {
    Files files;
    Values values;
    bool operator==(const State& o) const { return files == o.files && values == o.values; }
};

State StateOf(const std::string& destination, const std::string& key) {
    return {Snapshot(destination), KeyValues(key)};
}

// What a stopped run's journal says: whether it had begun (its header is
// whole), whether its commit had begun, and the kept copy of each path.
struct JournalSeen {
    bool begun = false;
    bool committed = false;
    std::map<std::string, std::vector<std::string>> keptFor;
};

JournalSeen SeeJournal(const std::string& destination) {
    JournalSeen seen;
    char* text = nullptr;
    size_t size = 0;
    ParsedJournal j = {};
    std::string folder = destination + "\\UnInstall";
    if (JournalFileFound(folder.c_str(), &text, &size, 1u << 28) && text && ParseJournal(text, size, &j)) {
        seen.begun = true;
        for (size_t i = 0; i < j.count; ++i) {
            if (j.records[i].type == 'K')
                seen.keptFor[j.records[i].path].push_back(j.records[i].second);
            seen.committed = seen.committed || j.records[i].type == kJournalCommitMark;
        }
    }
    FreeJournal(&j);
    free(text);
    return seen;
}

// Every file of before is at its name with its bytes, or in a kept copy
// that the journal left in destination names for it. Returns the names lost.
std::vector<std::string> LostFiles(const std::string& destination, const Files& before, JournalSeen& seen) {
    std::map<std::string, std::vector<std::string>>& keptFor = seen.keptFor;
    std::vector<std::string> lost;
    for (const auto& f : before) {
        if (f.first.back() == '\\')
            continue;
        std::string path = destination + "\\" + f.first;
        Bytes now;
        bool found = ReadBytes(path, &now) && now == f.second;
        for (const std::string& kept : keptFor[path])
            found = found || (ReadBytes(kept, &now) && now == f.second);
        if (!found)
            lost.push_back(f.first);
    }
    return lost;
}

// What differs between two states, for a failure's message.
std::string Differences(const State& a, const State& b) {
    std::string out;
    for (const auto& f : a.files)
        if (!b.files.count(f.first) || b.files.at(f.first) != f.second)
            out += " " + f.first;
    out += " |";
    for (const auto& f : b.files)
        if (!a.files.count(f.first))
            out += " " + f.first;
    out += " |";
    for (const auto& v : a.values)
        if (!b.values.count(v.first) || b.values.at(v.first) != v.second)
            out += " " + v.first;
    for (const auto& v : b.values)
        if (!a.values.count(v.first))
            out += " +" + v.first;
    return out;
}

// after is before with nothing but empty folders added.
bool OnlyEmptyFoldersAdded(const State& before, const State& after) {
    if (before.values != after.values)
        return false;
    for (const auto& f : after.files) {
        if (before.files.count(f.first))
            continue;
        if (f.first.back() != '\\')
            return false;
        for (const auto& g : after.files)
            if (g.first.size() > f.first.size() && g.first.compare(0, f.first.size(), f.first) == 0)
                return false;
    }
    return after.files.size() >= before.files.size();
}

struct Sweep {
    unsigned long stops = 0, backToEarlier = 0, finishedNew = 0, beforeJournal = 0, inCommit = 0,
                  lostRightAfter = 0, wrongAfterRecovery = 0, journalsLeft = 0;
};

void Print(const char* label, const Sweep& s) {
    printf("crash: %s: %lu stops (%lu in the commit); after recovery %lu as before, %lu the new version, %lu before "
           "the journal began (empty folders only); files lost right after a stop %lu, wrong states after recovery "
           "%lu, journals left %lu\n",
           label, s.stops, s.inCommit, s.backToEarlier, s.finishedNew, s.beforeJournal, s.lostRightAfter,
           s.wrongAfterRecovery, s.journalsLeft);
    fflush(stdout);
}

// Stops a run of v over what prepare leaves at every call in turn.
class Crash : public ::testing::Test {
protected:
    void SetUp() override {
        registry = NewFolder("crash-registry") + "\\registry.txt";
        PosixUseRegistryFile(registry.c_str());
        key = BeginProduct("Crash Product");
        uninstaller = NewFolder("crash-uninst") + "\\UnInst.dat";
        ASSERT_TRUE(WriteBytes(uninstaller, Noise(3000, 9)));
    }
    void TearDown() override {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
        EndProduct(key);
        PosixUseRegistryFile(nullptr);
        WrittenReset();
    }
    // A fresh destination with earlier installed there first when given.
    std::string Prepare(const Version* earlier) {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
        std::string destination = NewFolder("crash") + "\\Product";
        EXPECT_TRUE(CreateDirectoryA(destination.c_str(), nullptr));
        if (earlier) {
            EXPECT_EQ(0, Install(destination, key, *earlier, uninstaller));
        }
        return destination;
    }
    Sweep Run(const Version* earlier, const Version& next) {
        std::string reference = Prepare(earlier);
        EXPECT_EQ(0, Install(reference, key, next, uninstaller));
        State complete = StateOf(reference, key);
        Sweep s;
        for (unsigned long n = 1;; ++n) {
            std::string destination = Prepare(earlier);
            State before = StateOf(destination, key);
            complete.values["UninstallString"] = "1:\"" + destination + kUninstallerCommand + "\"" + std::string(1, '\0');
            // The seals are bound to the folder too: those this folder gets.
            for (const char* value : {kRecordDigestValue, kFileListDigestValue}) {
                char digest[kDigestTextSize];
                std::string sealed = reference + "\\UnInstall\\" +
                                     (value == kRecordDigestValue ? kRecordFile : kFileListFile);
                EXPECT_TRUE(SealFileDigest(key.c_str(), sealed.c_str(), digest, destination.c_str()));
                complete.values[value] = "1:" + std::string(digest) + std::string(1, '\0');
            }
            pid_t child = fork();
            if (child == 0) {
                PosixCrashAtCall(n);
                _exit(Install(destination, key, next, uninstaller));
            }
            int status = 0;
            waitpid(child, &status, 0);
            int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            if (code == 0) {
                EXPECT_TRUE(complete == StateOf(destination, key)) << "a run that was not stopped";
                break;
            }
            EXPECT_EQ(kPosixCrashExit, code) << "at call " << n;
            if (code != kPosixCrashExit)
                break;
            ++s.stops;
            // Until the commit began, the earlier files are all there or
            // kept; once it began, the new version is whole (checked below).
            JournalSeen seen = SeeJournal(destination);
            bool journaled = seen.begun;
            std::vector<std::string> lost;
            if (!seen.committed)
                lost = LostFiles(destination, before.files, seen);
            s.lostRightAfter += lost.size();
            EXPECT_TRUE(lost.empty()) << "stopped at call " << n << ": lost " << lost.front();
            if (seen.committed) {
                ++s.inCommit;
                EXPECT_TRUE(complete.values == KeyValues(key)) << "the commit began before the key was whole";
            }
            RecoveryReport report = RecoverDestination(destination.c_str(), nullptr);
            EXPECT_NE(kRecoveryIncomplete, report.verdict) << "at call " << n;
            EXPECT_NE(kRecoveryRefused, report.verdict) << "at call " << n;
            if (JournalFileFound((destination + "\\UnInstall").c_str(), nullptr, nullptr, 0))
                ++s.journalsLeft;
            State after = StateOf(destination, key);
            if (after == before) {
                ++s.backToEarlier;
            } else if (after == complete) {
                ++s.finishedNew;
            } else if (!journaled && OnlyEmptyFoldersAdded(before, after)) {
                ++s.beforeJournal;
            } else {
                ++s.wrongAfterRecovery;
                ADD_FAILURE() << "stopped at call " << n << ": after recovery neither the earlier state nor the new one:"
                              << " from the earlier" << Differences(before, after) << " from the new"
                              << Differences(complete, after);
            }
        }
        return s;
    }
    std::string registry, key, uninstaller;
};

std::vector<SectionFile> FirstFiles() {
    return {{"a.txt", "", Noise(300000, 1)},
            {"same.txt", "", FromText("in both versions")},
            {"s\\b.txt", "", FromText("version 1")},
            {"s\\only1.txt", "", Noise(20000, 3)}};
}

std::vector<SectionFile> SecondFiles() {
    return {{"a.txt", "", Noise(280000, 5)},
            {"same.txt", "", FromText("in both versions")},
            {"s\\b.txt", "", FromText("version 2")},
            {"new\\deep\\d.bin", "", Noise(70000, 2)}};
}

void ExpectSound(const Sweep& s, bool upgrade) {
    EXPECT_GT(s.stops, 20u);
    EXPECT_GT(s.backToEarlier, 0u);
    EXPECT_GT(s.finishedNew, 0u) << "no stop fell in the commit";
    EXPECT_EQ(0u, s.lostRightAfter);
    EXPECT_EQ(0u, s.wrongAfterRecovery);
    EXPECT_EQ(0u, s.journalsLeft);
    (void)upgrade;
}

// A removal in the uninstaller's order: its journal, the installed files,
// the mark, the record and the file list, the product's key, then the
// uninstaller and the journal. 0 when removed.
int Remove(const std::string& destination, const std::string& key) {
    if (!JournalBegin(destination.c_str(), key.c_str(), kJournalRemoval))
        return 2;
    for (const std::string& name : ListTree(destination))
        if (name.back() != '\\' && name.compare(0, 10, "UnInstall\\") != 0 &&
            !DeleteFileA((destination + "\\" + name).c_str()))
            return 2;
    if (!JournalMark(kJournalRecordMark))
        return 2;
    for (const char* name : {kRecordFile, kFileListFile})
        if (!DeleteFileA((destination + "\\UnInstall\\" + name).c_str()))
            return 2;
    if (RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str()) != ERROR_SUCCESS ||
        !DeleteFileA((destination + "\\UnInstall\\" + kUninstallerFile).c_str()))
        return 2;
    JournalEnd();
    return 0;
}

// Files (not folders) below destination.
size_t FilesIn(const std::string& destination) {
    size_t n = 0;
    for (const std::string& name : ListTree(destination))
        n += name.back() == '\\' ? 0 : 1;
    return n;
}

}  // namespace

// A removal stopped at every call in turn: after the recovery the product
// is either still installed and registered, its record whole (the removal
// runs again and ends), or gone with its record and key; never registered
// without its record, nor a record without its key.
TEST_F(Crash, RemovalIsLeftToRunAgainOrFinished) {
    Version first = MakeVersion(FirstFiles(), "1.0");
    unsigned long stops = 0, again = 0, finished = 0;
    for (unsigned long n = 1;; ++n) {
        std::string destination = Prepare(&first);
        State installed = StateOf(destination, key);
        pid_t child = fork();
        if (child == 0) {
            PosixCrashAtCall(n);
            _exit(Remove(destination, key));
        }
        int status = 0;
        waitpid(child, &status, 0);
        int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (code == 0) {
            EXPECT_EQ(0u, FilesIn(destination)) << "a removal that was not stopped";
            break;
        }
        ASSERT_EQ(kPosixCrashExit, code) << "at call " << n;
        ++stops;
        RecoveryReport report = RecoverDestination(destination.c_str(), nullptr);
        EXPECT_TRUE(report.verdict == kRecoveryNone || report.verdict == kRecoveryDone) << "at call " << n;
        std::string record = destination + "\\UnInstall\\" + kRecordFile;
        bool registered = !KeyValues(key).empty();
        bool recorded = GetFileAttributesA(record.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (registered && recorded && KeyValues(key) == installed.values) {
            ++again;
            EXPECT_EQ(0, Remove(destination, key)) << "the removal run again, after call " << n;
        } else if (!registered && !recorded) {
            ++finished;
        } else {
            ADD_FAILURE() << "stopped at call " << n << ": registered " << registered << ", record " << recorded;
        }
        EXPECT_EQ(0u, FilesIn(destination)) << "stopped at call " << n;
        EXPECT_FALSE(JournalFileFound((destination + "\\UnInstall").c_str(), nullptr, nullptr, 0));
    }
    printf("crash: removal: %lu stops; %lu left to run again, %lu finished by the recovery\n", stops, again, finished);
    EXPECT_GT(stops, 5u);
    EXPECT_GT(again, 0u);
    EXPECT_GT(finished, 0u) << "no stop fell after the record began to go";
}

TEST_F(Crash, FreshInstallationIsGoneOrWhole) {
    Sweep s = Run(nullptr, MakeVersion(SecondFiles(), "2.0"));
    Print("fresh installation", s);
    ExpectSound(s, false);
}

TEST_F(Crash, UpgradeGivesBackTheEarlierVersionOrFinishesTheNew) {
    Version first = MakeVersion(FirstFiles(), "1.0");
    Sweep s = Run(&first, MakeVersion(SecondFiles(), "2.0"));
    Print("upgrade", s);
    ExpectSound(s, true);
}
#endif
