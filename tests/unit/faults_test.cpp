// Fault injection through the POSIX stand-in: every counted file, folder and
// profile call of an extraction fails in turn, and each run must end in a
// complete section or a clean refusal, with no handle left open, nothing
// written outside the target and every file that was there before intact.
// Native only: the switch exists only in the stand-in.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <unistd.h>

#include "helpers.h"
#include "package/extract.h"
#include "finish/commit.h"
#include "base/format.h"
#include "base/state.h"
#include "package/locator.h"
#include "package/heldtree.h"
#include "package/record.h"
#include "platform/win32api.h"
#include "base/scratch.h"

namespace {

using Files = std::map<std::string, Bytes>;  // relative path to content

// What a sweep saw over all its positions.
struct Figures {
    unsigned long positions = 0;  // runs with a call made to fail
    unsigned long completed = 0;  // of those, runs that still completed
    unsigned long refused = 0;
    unsigned long handleLeaks = 0;
    unsigned long outsideWrites = 0;
    unsigned long filesLost = 0;   // pre-existing files gone or changed
    unsigned long leftBehind = 0;  // refused runs that left section files
    unsigned long wrongResult = 0; // completed runs whose files are not exact
};

void Print(const char* label, const Figures& f) {
    printf("faults: %s: %lu positions tried, %lu completed, %lu refused; handle leaks %lu, outside writes %lu, "
           "pre-existing files lost %lu, refusals leaving files %lu, wrong completions %lu\n",
           label, f.positions, f.completed, f.refused, f.handleLeaks, f.outsideWrites, f.filesLost, f.leftBehind,
           f.wrongResult);
    fflush(stdout);
}

void ExpectClean(const Figures& f) {
    EXPECT_GT(f.positions, 10u);
    EXPECT_GT(f.refused, 0u) << "no injected failure was ever noticed";
    EXPECT_EQ(0u, f.handleLeaks);
    EXPECT_EQ(0u, f.outsideWrites);
    EXPECT_EQ(0u, f.filesLost);
    EXPECT_EQ(0u, f.leftBehind);
    EXPECT_EQ(0u, f.wrongResult);
}

// Every file below folder with its content; folders as "name\" with no bytes.
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

// A root folder holding the target and a sentinel beside it; the target
// starts with the given files.
struct Place {
    std::string root, target;
    Files before;                     // root's snapshot outside the target
    std::vector<std::string> scratch; // the scratch folder's names before
};

Place NewPlace(const Files& existing) {
    Place p;
    p.root = NewFolder("faults");
    p.target = p.root + "\\target";
    EXPECT_TRUE(CreateDirectoryA(p.target.c_str(), nullptr));
    EXPECT_TRUE(WriteBytes(p.root + "\\sentinel.txt", FromText("outside")));
    for (const auto& f : existing) {
        if (f.first.back() == '\\')
            EXPECT_TRUE(CreateDirectoryA((p.target + "\\" + f.first).c_str(), nullptr));
        else
            EXPECT_TRUE(WriteBytes(p.target + "\\" + f.first, f.second));
    }
    p.before = Snapshot(p.root);
    p.scratch = ListTree(tmp_dir());
    return p;
}

bool IsInside(const std::string& name) { return name.compare(0, 7, "target\\") == 0 || name == "target\\"; }

// Files outside the target: same as before, else one outside write per
// difference.
unsigned long OutsideChanges(const Place& p) {
    Files now = Snapshot(p.root), was = p.before;
    unsigned long changes = 0;
    for (auto it = now.begin(); it != now.end(); ++it)
        if (!IsInside(it->first) && (was.count(it->first) == 0 || was[it->first] != it->second))
            ++changes;
    for (const auto& w : was)
        if (!IsInside(w.first) && now.count(w.first) == 0)
            ++changes;
    // The scratch folder may gain the path list and nothing else.
    for (const std::string& name : ListTree(tmp_dir()))
        if (name != "list.txt" && std::find(p.scratch.begin(), p.scratch.end(), name) == p.scratch.end())
            ++changes;
    return changes;
}

// Pre-existing files of the target that are gone or changed (the section
// names none of them).
unsigned long Lost(const Place& p, const Files& existing) {
    Files now = Snapshot(p.target);
    unsigned long lost = 0;
    for (const auto& e : existing)
        if (now.count(e.first) == 0 || now[e.first] != e.second)
            ++lost;
    return lost;
}

Files Union(Files a, const Files& b) {
    a.insert(b.begin(), b.end());
    return a;
}

// The section's files with the folders their paths need.
Files Expected(const std::vector<SectionFile>& files) {
    Files out;
    for (const SectionFile& f : files) {
        out[f.name] = f.bytes;
        for (size_t at = f.name.find('\\'); at != std::string::npos; at = f.name.find('\\', at + 1))
            out[f.name.substr(0, at + 1)] = {};
    }
    return out;
}

// Fails call 1, 2, ... of one section's extraction until a run makes fewer
// calls than the position picked (nothing failed, so it must complete).
Figures Sweep(const std::vector<SectionFile>& files, unsigned short mode, const Files& existing) {
    Bytes section = Section(files, mode == kModeScrambled);
    std::string package = NewFolder("faults-pkg") + "\\section.bin";
    EXPECT_TRUE(WriteBytes(package, section));
    // The section's files replace existing ones of the same name; the
    // program section's journal lies in the record folder, which stays.
    Files complete = Union(Expected(files), existing);
    if (*PaczkaZProgramem())
        complete["UnInstall\\"] = {};
    Files untouched;  // existing files that the section does not name
    for (const auto& e : existing)
        if (complete.count(e.first) && Expected(files).count(e.first) == 0)
            untouched.insert(e);
    Figures f;
    unsigned long handles = PosixOpenHandles();
    for (unsigned long n = 1;; ++n) {
        Place p = NewPlace(existing);
        HANDLE h = OpenForReading(package);
        EXPECT_NE(INVALID_HANDLE_VALUE, h);
        PosixFailCallNumber(n);
        SectionResult r = ExtractSection(p.target.c_str(), mode, h);
        unsigned long calls = PosixCallCount();
        PosixFailCallNumber(0);
        CloseHandle(h);
        // A completed section keeps the files it replaced, and its journal,
        // until the installation commits.
        if (r == kSectionOk)
            CommitInstallation();
        // The folders written into stay held until the run lets them go.
        TreeRelease();
        bool injected = calls >= n;
        if (!injected) {
            EXPECT_EQ(kSectionOk, r) << "no call failed, yet the section was refused";
            EXPECT_EQ(complete, Snapshot(p.target));
            break;
        }
        ++f.positions;
        std::string at = "failing call " + std::to_string(n);
        if (PosixOpenHandles() != handles) {
            ++f.handleLeaks;
            ADD_FAILURE() << at << ": " << PosixOpenHandles() - handles << " handles left open";
        }
        unsigned long outside = OutsideChanges(p);
        f.outsideWrites += outside;
        EXPECT_EQ(0u, outside) << at;
        unsigned long lost = Lost(p, r == kSectionOk ? untouched : existing);
        f.filesLost += lost;
        EXPECT_EQ(0u, lost) << at;
        if (r == kSectionOk) {
            ++f.completed;
            bool exact = Snapshot(p.target) == complete;
            f.wrongResult += exact ? 0 : 1;
            EXPECT_TRUE(exact) << at << ": completed with other files than the section's";
        } else {
            ++f.refused;
            bool clean = Snapshot(p.target) == existing;
            f.leftBehind += clean ? 0 : 1;
            EXPECT_TRUE(clean) << at << ": refused (" << r << ") but the target is not as before";
        }
    }
    return f;
}

std::vector<SectionFile> ProgramSection() {
    return {{"a.txt", "", Noise(300000, 1)},
            {"s\\b.txt", "", FromText("b")},
            {"s\\t\\c.txt", "", {}},
            {"new\\deep\\d.bin", "", Noise(70000, 2)}};
}

// Files a user had in the destination: beside the section's, and inside a
// folder the section writes into.
Files UsersFiles() {
    return {{"keep.txt", FromText("was here")}, {"s\\", {}}, {"s\\mine.txt", FromText("mine")}, {"s\\t2\\", {}}};
}

} // namespace

// As the program section: its small files go through the file pool, so
// the failing call may be a worker's.
TEST(Faults, ProgramSectionOverUsersFilesKeepsThem) {
    *PaczkaZProgramem() = 1;
    Figures f = Sweep(ProgramSection(), kModePlain, UsersFiles());
    *PaczkaZProgramem() = 0;
    Print("program section over the user's files", f);
    ExpectClean(f);
}

// An upgrade: the section replaces some of the files that are there;
// whatever call fails, each one is back as it was.
TEST(Faults, ProgramSectionReplacingFilesGivesThemBack) {
    Files existing = UsersFiles();
    existing["a.txt"] = Noise(5000, 8);
    existing["s\\t\\"] = {};
    existing["s\\t\\c.txt"] = FromText("version 1");
    *PaczkaZProgramem() = 1;
    Figures f = Sweep(ProgramSection(), kModePlain, existing);
    *PaczkaZProgramem() = 0;
    Print("program section replacing existing files", f);
    ExpectClean(f);
}

// An upgrade over an installation whose sealed list names some of the
// section's files as they are: those stay in place (a large one and a small
// one), the others are replaced; whatever call fails, every file is back as
// it was or the section is complete.
TEST(Faults, UpgradeLeavingFilesInPlaceGivesEverythingBack) {
    std::vector<SectionFile> files = ProgramSection();
    std::string key = BeginProduct("Faults Upgrade");
    Files existing = UsersFiles();
    existing["a.txt"] = files[0].bytes;
    existing["s\\b.txt"] = files[1].bytes;
    existing["s\\t\\"] = {};
    existing["s\\t\\c.txt"] = FromText("version 1");
    existing["UnInstall\\"] = {};
    std::string list = ListLine("a.txt", files[0].bytes) + ListLine("s\\b.txt", files[1].bytes) +
                       ListLine("s\\t\\c.txt", FromText("version 1"));
    for (const auto& f : SealedRecord(key, list))
        existing[f.first] = f.second;
    Figures f = Sweep(files, kModePlain, existing);
    // Without a failure, the two files named as they are stay in place.
    Place p = NewPlace(existing);
    std::string package = NewFolder("faults-pkg") + "\\section.bin";
    ASSERT_TRUE(WriteBytes(package, Section(files)));
    HANDLE h = OpenForReading(package);
    EXPECT_EQ(kSectionOk, ExtractSection(p.target.c_str(), kModePlain, h));
    CloseHandle(h);
    std::vector<std::string> unchanged;
    for (size_t i = 0; i < WrittenCount(); ++i) {
        bool folder;
        if (WrittenKind(i) == kEntryUnchanged)
            unchanged.push_back(WrittenEntry(i, &folder) + p.target.size() + 1);
    }
    std::sort(unchanged.begin(), unchanged.end());
    EXPECT_EQ((std::vector<std::string>{"a.txt", "s\\b.txt"}), unchanged);
    CommitInstallation();
    EndProduct(key);
    Print("upgrade leaving files in place", f);
    ExpectClean(f);
}

TEST(Faults, ScrambledInstallSectionEndsCleanly) {
    std::vector<SectionFile> install = {{"init.cfg", "", FromText("[cfg]\r\n1=Product\r\n")},
                                        {"lnk.cfg", "", FromText("[index1]\r\nmax=1\r\n")},
                                        {"licence.txt", "", Noise(90000, 4)},
                                        {"UnInst.dat", "", Noise(5000, 3)}};
    Figures f = Sweep(install, kModeScrambled, {});
    Print("scrambled Install section", f);
    ExpectClean(f);
}

// The start of a run as the installer makes it: locate the package, then
// the three sections in order, stopping at the first refusal.
TEST(Faults, WholePackageThroughTheLocatorEndsCleanly) {
    std::vector<SectionFile> lang = {{"English.lng", "", FromText("[lng]\r\n3=Install\r\n")}};
    std::vector<SectionFile> install = {{"init.cfg", "", FromText("[cfg]\r\n1=Product\r\n")}};
    std::vector<SectionFile> program = ProgramSection();
    Bytes sections = Section(lang);
    Bytes second = Section(install, true), third = Section(program);
    sections.insert(sections.end(), second.begin(), second.end());
    sections.insert(sections.end(), third.begin(), third.end());
    std::string setup = NewFolder("faults-setup") + "\\setup.exe";
    ASSERT_TRUE(WriteBytes(setup, Installer(sections)));
    const std::vector<SectionFile>* contents[3] = {&lang, &install, &program};

    Figures f;
    unsigned long handles = PosixOpenHandles();
    for (unsigned long n = 1;; ++n) {
        Place p[3] = {NewPlace({}), NewPlace({}), NewPlace(UsersFiles())};
        SectionResult r[3] = {kSectionStopped, kSectionStopped, kSectionStopped};
        PosixFailCallNumber(n);
        HANDLE h = nullptr;
        bool found = FindPackageIn(setup.c_str(), &h);
        for (int s = 0; s < 3 && found; ++s) {
            *PaczkaZProgramem() = s == 2 ? 1 : 0;
            r[s] = ExtractSection(p[s].target.c_str(), s == 1 ? kModeScrambled : kModePlain, h);
            *PaczkaZProgramem() = 0;
            if (r[s] != kSectionOk)
                break;
        }
        unsigned long calls = PosixCallCount();
        PosixFailCallNumber(0);
        if (found && r[2] == kSectionOk)
            CommitInstallation();
        if (h != nullptr && h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        TreeRelease();
        std::string at = "failing call " + std::to_string(n);
        if (calls < n) {
            EXPECT_TRUE(found && r[2] == kSectionOk) << "no call failed, yet the package was refused";
            break;
        }
        ++f.positions;
        if (PosixOpenHandles() != handles) {
            ++f.handleLeaks;
            ADD_FAILURE() << at << ": handles left open";
        }
        bool all = found && r[2] == kSectionOk;
        all ? ++f.completed : ++f.refused;
        for (int s = 0; s < 3; ++s) {
            Files existing = s == 2 ? UsersFiles() : Files();
            unsigned long outside = OutsideChanges(p[s]), lost = Lost(p[s], existing);
            f.outsideWrites += outside;
            f.filesLost += lost;
            EXPECT_EQ(0u, outside) << at << ", section " << s;
            EXPECT_EQ(0u, lost) << at << ", section " << s;
            Files now = Snapshot(p[s].target);
            if (r[s] == kSectionOk) {
                Files expected = Union(existing, Expected(*contents[s]));
                if (s == 2)
                    expected["UnInstall\\"] = {};
                bool exact = now == expected;
                f.wrongResult += exact ? 0 : 1;
                EXPECT_TRUE(exact) << at << ", section " << s;
            } else {
                bool clean = now == existing;
                f.leftBehind += clean ? 0 : 1;
                EXPECT_TRUE(clean) << at << ", section " << s << " refused or never reached";
            }
        }
    }
    Print("whole package through the locator", f);
    ExpectClean(f);
}

namespace {

// Another process swaps a folder of the destination for a link to a folder
// outside it: renamed away, and the link put in its place. The stand-in
// cannot refuse a POSIX rename (as a rename from Wine's Linux side always
// succeeds), so this shows what the held handles alone make of it.
struct Swap {
    std::string folder, moved, outside;
    bool done = false;
};

std::string UnixOf(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

void SwapForLink(void* context) {
    Swap* s = static_cast<Swap*>(context);
    s->done = rename(s->folder.c_str(), s->moved.c_str()) == 0 && symlink(s->outside.c_str(), s->folder.c_str()) == 0;
}

} // namespace

// At every call of an extraction over a destination that has a folder of
// its own, that folder is swapped for a link out of the destination; the
// section, its take-back and its commit write, move and delete only through
// the folders they hold, so nothing outside the destination ever changes.
TEST(Faults, AFolderSwappedForALinkAtAnyCallSendsNothingOutside) {
    std::vector<SectionFile> files = ProgramSection();
    files.push_back({"s\\t\\e.txt", "", FromText("e")});
    std::string package = NewFolder("faults-pkg") + "\\section.bin";
    ASSERT_TRUE(WriteBytes(package, Section(files)));
    Files existing = UsersFiles();
    existing["s\\t\\"] = {};
    existing["s\\t\\c.txt"] = FromText("version 1");
    unsigned long swaps = 0, completed = 0;
    *PaczkaZProgramem() = 1;
    for (unsigned long n = 1;; ++n) {
        Place p = NewPlace(existing);
        ASSERT_TRUE(CreateDirectoryA((p.root + "\\outside").c_str(), nullptr));
        p.before = Snapshot(p.root);
        Swap swap{UnixOf(p.target + "\\s"), UnixOf(p.target + "\\s-moved"), UnixOf(p.root + "\\outside")};
        HANDLE h = OpenForReading(package);
        PosixActAtCall(n, SwapForLink, &swap);
        SectionResult r = ExtractSection(p.target.c_str(), kModePlain, h);
        // Half the runs commit, half take back, after the swap either way.
        r == kSectionOk && n % 2 ? CommitInstallation() : WrittenTakeBack();
        bool acted = PosixCallCount() >= n;
        PosixActAtCall(0, nullptr, nullptr);
        CloseHandle(h);
        TreeRelease();
        swaps += swap.done ? 1 : 0;
        completed += r == kSectionOk ? 1 : 0;
        EXPECT_EQ(std::vector<std::string>{}, ListTree(p.root + "\\outside")) << "call " << n << ": " << r;
        EXPECT_EQ(0u, OutsideChanges(p)) << "call " << n;
        if (!acted)
            break;
    }
    *PaczkaZProgramem() = 0;
    printf("faults: a folder swapped for a link: %lu swaps, %lu sections completed after one\n", swaps, completed);
    EXPECT_GT(swaps, 20u);
    EXPECT_GT(completed, 0u) << "the held folders carry a section through the swap";
}
#endif
