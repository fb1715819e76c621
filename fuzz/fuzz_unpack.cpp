// Fuzz target: the packing tool's extract (ExtractPackage) into a folder that
// does not exist yet. The input stands at the package start of an installer
// file, as in the locator target. Aborts when anything appears beside the
// output folder; the folder is removed after every input.
#include <cstdint>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "common.h"
#include "pack/extract.h"

namespace {

struct Layout {
    std::string root, out;
};

const Layout& Folders() {
    static Layout l;
    if (l.root.empty()) {
        l.root = Posix(WorkFolder()) + "/root";
        l.out = l.root + "/out";
        Check(mkdir(l.root.c_str(), 0755) == 0, "cannot create", l.root);
        WriteWhole(l.root + "/sentinel.txt", reinterpret_cast<const unsigned char*>("outside"), 7);
    }
    return l;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Layout& l = Folders();
    std::string path = PaddedInstaller(data, size);
    std::string error;
    (void)ExtractPackage(path, l.out, 1250, &error);
    std::vector<std::string> beside = Names(l.root);
    Check(beside == std::vector<std::string>{"out", "sentinel.txt"} ||
              beside == std::vector<std::string>{"sentinel.txt"},
          "something appeared beside", l.out);
    Check(Names(WorkFolder()) == std::vector<std::string>{"root", "setup.exe"}, "something appeared in", WorkFolder());
    EmptyFolder(l.out);
    rmdir(l.out.c_str());
    return 0;
}
