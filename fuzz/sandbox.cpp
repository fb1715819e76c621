// The extraction sandbox shared by the section targets: one work folder with
// the input file, a root holding the target and a sentinel, and the scratch
// folder; see sandbox.h for what each extraction is checked for.
#include "sandbox.h"

#include <cstdint>
#include <string>
#include <sys/stat.h>

#include "common.h"
#include "package/extract.h"
#include "package/heldtree.h"
#include "package/journal.h"
#include "package/record.h"
#include "base/state.h"
#include "platform/win32api.h"
#include "base/scratch.h"

namespace {

struct Layout {
    std::string input, root, target, sentinel, scratch;
};

void IgnoreProgress(short, bool) {}

const Layout& Folders() {
    static Layout l;
    if (l.input.empty()) {
        const std::string& work = WorkFolder();
        l.input = work + "\\input.bin";
        l.root = work + "\\root";
        l.target = l.root + "\\target";
        l.sentinel = l.root + "\\sentinel.txt";
        l.scratch = work + "\\scratch";
        Check(CreateDirectoryA(l.root.c_str(), nullptr) && CreateDirectoryA(l.target.c_str(), nullptr) &&
                  CreateDirectoryA(l.scratch.c_str(), nullptr),
              "cannot create the folders in", work);
        WriteWhole(l.sentinel, reinterpret_cast<const unsigned char*>("outside"), 7);
        snprintf(tmp_dir(), MAX_PATH, "%s", l.scratch.c_str());
        *ProgressReporter() = IgnoreProgress;
        // Fixed ticks: the report throttle then behaves the same every run.
        PosixSetTickCount(0, 20);
    }
    return l;
}

void CheckNothingOutside(const Layout& l) {
    Check(Names(WorkFolder()) == std::vector<std::string>{"input.bin", "root", "scratch"}, "something appeared in",
          WorkFolder());
    Check(Names(l.root) == std::vector<std::string>{"sentinel.txt", "target"}, "something appeared in", l.root);
    std::vector<std::string> scratch = Names(l.scratch);
    Check(scratch.empty() || scratch == std::vector<std::string>{"list.txt"}, "something appeared in", l.scratch);
    struct stat st;
    Check(stat(Posix(l.sentinel).c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 7, "changed:", l.sentinel);
}

void ExtractOnce(const Layout& l, unsigned short mode, bool reporting) {
    unsigned long handles = PosixOpenHandles();
    *PaczkaZProgramem() = reporting ? 1 : 0;
    HANDLE h = CreateFileA(l.input.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    Check(h != INVALID_HANDLE_VALUE, "cannot open", l.input);
    SectionResult r = ExtractSection(l.target.c_str(), mode, h);
    // The program section's journal stays open until the installation
    // commits: here it ends with the section.
    if (r == kSectionOk)
        JournalEnd();
    if (r == kSectionOk) {
        std::string prefix = l.target + "\\";
        for (size_t i = 0; i < WrittenCount(); ++i) {
            bool folder;
            std::string path = WrittenEntry(i, &folder);
            Check(path.compare(0, prefix.size(), prefix) == 0, "written outside the target:", path);
        }
    } else {
        std::string left;
        for (const std::string& name : Names(l.target)) {
            left += " " + name;
            struct stat st;
            if (stat(Posix(l.target + "\\" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                for (const std::string& inner : Names(l.target + "\\" + name))
                    left += " " + name + "\\" + inner;
        }
        Check(left.empty(), "a refused section left files in", l.target + ":" + left + " (result " + std::to_string(r) + ")");
    }
    CloseHandle(h);
    // The run ends: the folders it held while it wrote go with it.
    TreeRelease();
    Check(PosixOpenHandles() == handles, "a file handle stayed open after mode", std::to_string(mode));
    CheckNothingOutside(l);
    EmptyFolder(l.target);
    Check(Names(l.target).empty(), "cannot empty", l.target);
}

}  // namespace

void ExtractAndCheck(const unsigned char* section, size_t size) {
    const Layout& l = Folders();
    WriteWhole(l.input, section, size);
    ExtractOnce(l, kModePlain, true);
    ExtractOnce(l, kModeScrambled, false);
}
