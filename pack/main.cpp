// brondale-pack: turns a product folder into an installer file.
//   brondale-pack PRODUCT_DIR -o SETUP.exe [--stub brondale.exe]
//                 [--level 0-9] [--codepage N]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pack/product.h"
#include "pack/writer.h"

namespace {

int Usage() {
    fprintf(stderr,
            "usage: brondale-pack PRODUCT_DIR -o SETUP.exe [--stub brondale.exe] [--level 0-9] [--codepage N]\n"
            "  PRODUCT_DIR holds lang/ (language files), install/ (init.cfg, lnk.cfg, reg.cfg,\n"
            "  licence, UnInst.dat) and program/ (the files to install).\n");
    return 2;
}

std::string DefaultStub(const char* argv0) {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", ec);
    if (ec)
        self = argv0;
    return (self.parent_path() / "brondale.exe").string();
}

} // namespace

int main(int argc, char** argv) {
    std::string product, output, stub;
    int level = 9, codePage = 1250;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char* what) -> const char* {
            if (i + 1 >= argc) {
                fprintf(stderr, "brondale-pack: %s needs a value\n", what);
                exit(Usage());
            }
            return argv[++i];
        };
        if (a == "-o")
            output = value("-o");
        else if (a == "--stub")
            stub = value("--stub");
        else if (a == "--level")
            level = atoi(value("--level"));
        else if (a == "--codepage")
            codePage = atoi(value("--codepage"));
        else if (a == "-h" || a == "--help")
            return Usage(), 0;
        else if (!a.empty() && a[0] == '-')
            return fprintf(stderr, "brondale-pack: unknown option %s\n", a.c_str()), Usage();
        else if (product.empty())
            product = a;
        else
            return Usage();
    }
    if (product.empty() || output.empty())
        return Usage();
    if (level < 0 || level > 9) {
        fprintf(stderr, "brondale-pack: --level takes 0 to 9\n");
        return 2;
    }
    if (stub.empty())
        stub = DefaultStub(argv[0]);
    std::ifstream in(stub, std::ios::binary);
    if (!in) {
        fprintf(stderr, "brondale-pack: cannot read the installer program %s (name it with --stub)\n", stub.c_str());
        return 1;
    }
    std::vector<unsigned char> program((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    std::vector<SectionFile> sections[3];
    std::string error;
    if (!ReadProduct(product, codePage, sections, &error) ||
        !WriteInstaller(program, sections, output, level, &error)) {
        fprintf(stderr, "brondale-pack: %s\n", error.c_str());
        return 1;
    }
    printf("%s: %zu language files, %zu install files, %zu program files\n", output.c_str(), sections[0].size(),
           sections[1].size(), sections[2].size());
    return 0;
}
