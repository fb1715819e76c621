// Runs that do not end well, end to end: an upgrade killed (TerminateProcess,
// as a task manager or a deployment tool ends it) at moments spread over its
// length, and two copies of one product's installer started at once, failing
// or good. Right after a kill no file of the earlier version is lost: its
// bytes are at its name, or in a kept copy that the run's journal names. The
// next run, of the installer or of the uninstaller, ends with exit code 0
// and leaves one whole version, which its uninstaller removes to the last
// file.
#include <map>

#include "wizard.h"

#include "base/installed.h"

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

using Contents = std::map<std::string, std::string>;  // path below the destination to bytes

std::string Built(const char* name) {
    std::string bytes;
    EXPECT_TRUE(ReadFileText(BuildFolder() + "\\" + name, &bytes)) << name;
    return bytes;
}

// The program files of a version: 240 small files in 8 folders and 6 of
// 1 MiB, of which version 2 changes three in four and adds a folder.
Contents Program(int version) {
    Contents files;
    for (int i = 0; i < 240; ++i) {
        int v = i % 4 == 0 ? 1 : version;
        files["f" + std::to_string(i % 8) + "\\file" + std::to_string(i) + ".txt"] =
            "version " + std::to_string(v) + " of file " + std::to_string(i) + std::string(200 + i, 'x');
    }
    for (int i = 0; i < 6; ++i)
        files["big\\part" + std::to_string(i) + ".bin"] =
            std::string(1u << 20, static_cast<char>('A' + i + 8 * version));
    if (version == 2)
        files["v2\\added.txt"] = "new in version 2";
    return files;
}

ProductFiles Product(const std::string& name, int version) {
    ProductFiles files;
    files["install\\init.cfg"] = "[cfg]\r\n1=" + name + "\r\n";
    files["install\\UnInst.dat"] = Built("UnInst.exe");
    for (const auto& f : Program(version))
        files["program\\" + f.first] = f.second;
    return files;
}

// The files below destination, the record folder and kept copies left out.
Contents Installed(const std::string& destination) {
    Contents out;
    for (const auto& f : Snapshot(destination)) {
        size_t slash = f.first.find_last_of('\\');
        std::string name = slash == std::string::npos ? f.first : f.first.substr(slash + 1);
        if (f.first.compare(0, 10, "UnInstall\\") != 0 && f.first.back() != '\\' && !IsKeptName(name.c_str()))
            out[f.first] = f.second.bytes;
    }
    return out;
}

// The journal's lines that name a file about to be moved aside ("K", the
// path, its kept copy's path, ...), as path to kept copy; *committed when
// it holds the commit's mark.
std::map<std::string, std::string> KeptCopies(const std::string& journal, bool* committed) {
    std::map<std::string, std::string> kept;
    *committed = false;
    for (size_t at = 0; at < journal.size();) {
        size_t end = journal.find("\r\n", at);
        std::string line = journal.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? journal.size() : end + 2;
        if (line.compare(0, 2, "C\t") == 0)
            *committed = true;
        if (line.compare(0, 2, "K\t") != 0)
            continue;
        size_t second = line.find('\t', 2), third = line.find('\t', second + 1);
        if (second != std::string::npos && third != std::string::npos)
            kept[line.substr(2, second - 2)] = line.substr(second + 1, third - second - 1);
    }
    return kept;
}

class Killed : public Wizard {
protected:
    void TearDown() override {
        Kill(&second);
        Wizard::TearDown();
        DeleteKey(HKEY_LOCAL_MACHINE, kUninstallKey + product);
    }
    void Prepare(const std::string& name) {
        product = name;
        DeleteKey(HKEY_LOCAL_MACHINE, kUninstallKey + product);
        folder = CaseFolder(name);
        v1 = BuildInstaller(folder, "e2e-killed-1", Product(name, 1));
        v2 = BuildInstaller(CaseFolder(name + "-v2"), "e2e-killed-2", Product(name, 2));
        parent = CaseFolder(name + "-dest");
        destination = parent + "\\" + name;
    }
    // Runs an installer silently into the destination; its exit code.
    DWORD Install(const std::string& exe, Installer* with = nullptr) {
        Installer* r = with ? with : &run;
        DWORD code = 99;
        if (!Start(exe, folder + "\\temp", r, {}, "/S /D=" + destination) || !WaitExit(r, 120000, &code))
            return 99;
        return code;
    }
    DWORD Remove() {
        DWORD code = 99;
        if (!Start(destination + "\\UnInstall\\UnInst.exe", folder + "\\untemp", &second, {}, "/S") ||
            !WaitExit(&second, 120000, &code))
            return 99;
        // Its clean-up copy ends the removal.
        for (int i = 0; i < 500 && PathExists(destination); ++i)
            Sleep(20);
        return code;
    }
    // Version of the whole installation: 1 or 2, 0 when it is neither.
    int WholeVersion() {
        Contents now = Installed(destination);
        for (int v : {1, 2})
            if (now == Program(v) && PathExists(destination + "\\UnInstall\\UnInst.cfg") &&
                KeyRegistersDestination())
                return v;
        return 0;
    }
    bool KeyRegistersDestination() {
        DWORD type = 0;
        std::string command;
        return ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey + product, "UninstallString", &type, &command) &&
               command.c_str() == "\"" + destination + "\\Uninstall\\UnInst.exe\"";
    }
    // Every file of version 1 is at its name or in the kept copy the
    // journal names for it, unless the commit had begun: version 2 is then
    // whole at the names.
    void ExpectNothingOfVersion1Lost(const std::string& when) {
        std::string journal;
        bool committed = false;
        std::map<std::string, std::string> kept;
        if (ReadFileText(destination + "\\UnInstall\\UnInst.jnl", &journal))
            kept = KeptCopies(journal, &committed);
        Contents now = Installed(destination);
        if (journal.empty()) {
            // Not begun, or ended whole.
            EXPECT_TRUE(now == Program(1) || now == Program(2)) << when << ": no journal, yet neither version whole";
        } else if (committed) {
            EXPECT_EQ(Program(2), now) << when << ": the commit had begun, so version 2 is whole";
        } else {
            size_t lost = 0;
            for (const auto& f : Program(1)) {
                std::string path = destination + "\\" + f.first, bytes;
                bool atName = now.count(f.first) && now[f.first] == f.second;
                bool inKept = kept.count(path) && ReadFileText(kept[path], &bytes) && bytes == f.second;
                lost += atName || inKept ? 0 : 1;
            }
            EXPECT_EQ(0u, lost) << when << ": files of version 1 neither at their names nor in a kept copy";
        }
    }
    // Removes what is installed; nothing of the product stays.
    void ExpectRemovable(const std::string& when) {
        EXPECT_EQ(0u, Remove()) << when;
        EXPECT_FALSE(PathExists(destination)) << when << ": " << ::testing::PrintToString(ListFolder(destination));
        EXPECT_FALSE(KeyRegistersDestination()) << when;
    }

    Installer second;
    std::string product, v1, v2, parent, destination;
};

}  // namespace

TEST_F(Killed, AnUpgradeKilledAtAnyMomentLosesNothingAndTheNextRunEndsWhole) {
    Prepare("Killed Upgrade");
    ASSERT_EQ(0u, Install(v1));
    DWORD started = GetTickCount();
    ASSERT_EQ(0u, Install(v2));
    DWORD length = GetTickCount() - started;
    ASSERT_EQ(2, WholeVersion());
    ExpectRemovable("after the measure");
    for (int trial = 1; trial <= 8; ++trial) {
        std::string when = "killed after " + std::to_string(length * static_cast<DWORD>(trial) / 9) + " of " +
                           std::to_string(length) + " ms";
        SCOPED_TRACE(when);
        ASSERT_EQ(0u, Install(v1));
        ASSERT_EQ(1, WholeVersion());
        ASSERT_TRUE(Start(v2, folder + "\\temp", &run, {}, "/S /D=" + destination));
        Sleep(length * static_cast<DWORD>(trial) / 9);
        Kill(&run);
        ExpectNothingOfVersion1Lost(when);
        // The next run: the installer again, or the uninstaller of whatever
        // the killed run left.
        if (trial % 2) {
            EXPECT_EQ(0u, Install(v2)) << "the installer after the kill";
            EXPECT_EQ(2, WholeVersion());
            ExpectRemovable("the uninstaller after the installer");
        } else {
            ExpectRemovable("the uninstaller after the kill");
        }
        EXPECT_EQ(std::vector<std::string>{}, ListFolder(parent));
    }
}

// Two copies under other file names, both damaged near their end (the
// program section's last member), or both sound, started at the same
// moment over version 1: the earlier version stays whole, or the new one
// is; never a mix.
TEST_F(Killed, TwoCopiesAtOnceLeaveOneWholeVersion) {
    Prepare("Killed Two Copies");
    std::string sound;
    ASSERT_TRUE(ReadFileText(v2, &sound));
    std::string damaged = sound;
    damaged[damaged.size() - 6] ^= 0x5A;  // the last member's CRC-32
    struct Row {
        const char* name;
        const std::string* bytes;
        int version;  // whole afterwards
    } rows[] = {{"failing", &damaged, 1}, {"good", &sound, 2}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_EQ(0u, Install(v1));
        std::string a = folder + "\\" + r.name + "-a.exe", b = folder + "\\" + r.name + "-b.exe";
        ASSERT_TRUE(WriteFileText(a, *r.bytes));
        ASSERT_TRUE(WriteFileText(b, *r.bytes));
        ASSERT_TRUE(Start(a, folder + "\\temp", &run, {}, "/S /D=" + destination));
        ASSERT_TRUE(Start(b, folder + "\\temp2", &second, {}, "/S /D=" + destination));
        DWORD codes[2] = {99, 99};
        ASSERT_TRUE(WaitExit(&run, 120000, &codes[0]));
        ASSERT_TRUE(WaitExit(&second, 120000, &codes[1]));
        for (DWORD code : codes) {
            // Damaged (3) or installed (0), or waited for the other and ended
            // as another copy (6).
            EXPECT_TRUE(code == (r.version == 1 ? 3u : 0u) || code == 6u) << code;
        }
        EXPECT_TRUE(codes[0] != 6 || codes[1] != 6) << "one of them ran";
        EXPECT_EQ(r.version, WholeVersion());
        ExpectRemovable(r.name);
        EXPECT_EQ(std::vector<std::string>{}, ListFolder(parent));
    }
}
