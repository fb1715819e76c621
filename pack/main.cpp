// brondale-pack: the vendor's tool. Builds an installer from a product
// folder, and lists, plans, verifies and extracts existing installers.
// Exit codes: 0 done, 1 refused or damaged, 2 bad usage.
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "pack/inspect.h"
#include "pack/lint.h"
#include "pack/plan.h"
#include "pack/product.h"
#include "pack/writer.h"

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage:\n"
    "  brondale-pack build PRODUCT_DIR -o SETUP.exe [--stub brondale.exe] [--uninstaller UnInst.exe]\n"
    "                [--level 0-9] [--threads N] [--codepage N] [--force]\n"
    "  brondale-pack lint PRODUCT_DIR [--codepage N]\n"
    "  brondale-pack list SETUP.exe\n"
    "  brondale-pack plan SETUP.exe\n"
    "  brondale-pack verify SETUP.exe\n"
    "  brondale-pack extract SETUP.exe DIR [--codepage N]\n"
    "PRODUCT_DIR holds lang/ (language files), install/ (init.cfg, lnk.cfg, reg.cfg, the licence,\n"
    "UnInst.dat) and program/ (the files to install). See the README's vendor guide.\n";

int Usage(const char* why = nullptr) {
    if (why)
        fprintf(stderr, "brondale-pack: %s\n", why);
    fputs(kUsage, stderr);
    return 2;
}

struct Args {
    std::vector<std::string> positional;
    std::string output, stub, uninstaller;
    int level = 9, codePage = 1250;
    unsigned threads = 0;
    bool force = false;
};

bool Parse(int argc, char** argv, int first, Args* a, std::string* error) {
    for (int i = first; i < argc; ++i) {
        std::string s = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc) {
                *error = s + " needs a value";
                return false;
            }
            *out = argv[++i];
            return true;
        };
        std::string v;
        if (s == "-o") {
            if (!value(&a->output))
                return false;
        } else if (s == "--stub") {
            if (!value(&a->stub))
                return false;
        } else if (s == "--uninstaller") {
            if (!value(&a->uninstaller))
                return false;
        } else if (s == "--level" || s == "--codepage" || s == "--threads") {
            if (!value(&v))
                return false;
            int n = atoi(v.c_str());
            if (s == "--level" && (n < 0 || n > 9 || v.empty())) {
                *error = "--level takes 0 to 9";
                return false;
            }
            if (s == "--threads" && n < 0) {
                *error = "--threads takes a number of threads (0: one per core)";
                return false;
            }
            if (s == "--level")
                a->level = n;
            else if (s == "--codepage")
                a->codePage = n;
            else
                a->threads = static_cast<unsigned>(n);
        } else if (s == "--force") {
            a->force = true;
        } else if (!s.empty() && s[0] == '-') {
            *error = "unknown option " + s;
            return false;
        } else {
            a->positional.push_back(s);
        }
    }
    return true;
}

fs::path SelfFolder(const char* argv0) {
    std::error_code ec;
    fs::path self = fs::canonical("/proc/self/exe", ec);
    if (ec)
        self = fs::absolute(argv0, ec);
    return self.parent_path();
}

bool ReadWhole(const std::string& path, std::vector<unsigned char>* data) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    if (!in)
        return false;
    data->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// Adds the project's uninstaller when the product brings none.
void AddUninstaller(std::vector<SectionFile>* install, const std::string& uninstaller) {
    for (const SectionFile& f : *install) {
        std::string lower = f.name;
        for (char& c : lower)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        if (lower == "uninst.dat")
            return;
    }
    std::error_code ec;
    if (uninstaller.empty() || !fs::is_regular_file(fs::u8path(uninstaller), ec))
        return;
    install->push_back(SectionFile{"UnInst.dat", uninstaller, {}});
    std::sort(install->begin(), install->end(), [](const SectionFile& a, const SectionFile& b) { return a.name < b.name; });
}

int Build(const Args& a, const char* argv0) {
    if (a.positional.size() != 1 || a.output.empty())
        return Usage("build takes PRODUCT_DIR and -o SETUP.exe");
    fs::path self = SelfFolder(argv0);
    std::string stub = a.stub.empty() ? (self / "brondale.exe").u8string() : a.stub;
    std::string uninstaller = a.uninstaller.empty() ? (self / "UnInst.exe").u8string() : a.uninstaller;
    std::vector<unsigned char> program;
    if (!ReadWhole(stub, &program)) {
        fprintf(stderr, "brondale-pack: cannot read the installer program %s (name it with --stub)\n", stub.c_str());
        return 1;
    }
    std::vector<SectionFile> sections[3];
    std::string error;
    if (!ReadProduct(a.positional[0], a.codePage, sections, &error)) {
        fprintf(stderr, "brondale-pack: %s\n", error.c_str());
        return 1;
    }
    AddUninstaller(&sections[1], uninstaller);
    int errors = PrintFindings(LintProduct(sections));
    if (errors > 0 && !a.force) {
        fprintf(stderr, "brondale-pack: %d error%s in the configuration; nothing written (--force packs anyway)\n",
                errors, errors == 1 ? "" : "s");
        return 1;
    }
    PackOptions options;
    options.level = a.level;
    options.threads = a.threads;
    bool terminal = isatty(fileno(stderr));
    if (terminal) {
        options.progress = [](uint64_t done, uint64_t total) {
            fprintf(stderr, "\rpacking: %3d%%", total ? static_cast<int>(done * 100 / total) : 100);
            fflush(stderr);
        };
    }
    bool ok = WriteInstaller(program, sections, a.output, options, &error);
    if (terminal)
        fprintf(stderr, "\r              \r");
    if (!ok) {
        fprintf(stderr, "brondale-pack: %s\n", error.c_str());
        return 1;
    }
    printf("%s: %zu language files, %zu install files, %zu program files\n", a.output.c_str(), sections[0].size(),
           sections[1].size(), sections[2].size());
    return 0;
}

int Lint(const Args& a, const char* argv0) {
    if (a.positional.size() != 1)
        return Usage("lint takes PRODUCT_DIR");
    std::vector<SectionFile> sections[3];
    std::string error;
    if (!ReadProduct(a.positional[0], a.codePage, sections, &error)) {
        fprintf(stderr, "brondale-pack: %s\n", error.c_str());
        return 1;
    }
    AddUninstaller(&sections[1], a.uninstaller.empty() ? (SelfFolder(argv0) / "UnInst.exe").u8string() : a.uninstaller);
    std::vector<Finding> findings = LintProduct(sections);
    int errors = PrintFindings(findings);
    printf("%zu finding%s, %d error%s\n", findings.size(), findings.size() == 1 ? "" : "s", errors,
           errors == 1 ? "" : "s");
    return errors ? 1 : 0;
}

int Verify(const Args& a, bool list) {
    if (a.positional.size() != 1)
        return Usage("takes SETUP.exe");
    PackageReport report;
    std::string error;
    if (!InspectPackage(a.positional[0], &report, &error)) {
        fprintf(stderr, "brondale-pack: %s\n", error.c_str());
        return 1;
    }
    if (!report.found) {
        fprintf(stderr, "%s: no package (no signature at or after byte 135300)\n", a.positional[0].c_str());
        return 1;
    }
    printf("%s: package at byte %llu\n", a.positional[0].c_str(), static_cast<unsigned long long>(report.signatureAt));
    bool ok = true;
    for (int s = 0; s < 3; ++s) {
        const SectionReport& r = report.sections[s];
        if (!r.ok) {
            fprintf(stderr, "%s: %s\n", a.positional[0].c_str(), r.error.empty() ? "a section is missing" : r.error.c_str());
            ok = false;
            break;
        }
        printf("%s section: %zu files, %llu bytes, checksum %u\n", kSectionNames[s], r.members.size() - 1,
               static_cast<unsigned long long>(r.length), r.checksum);
        if (list) {
            for (const MemberInfo& m : r.members)
                printf("  %10u %10u  %08x  %s\n", m.size, m.compressed, m.crc,
                       m.name.empty() ? "(path list)" : m.name.c_str());
        }
    }
    if (ok && report.trailing)
        printf("%llu bytes after the package (a signature?) are not read by the installer\n",
               static_cast<unsigned long long>(report.trailing));
    if (ok)
        printf("%s: sound\n", a.positional[0].c_str());
    return ok ? 0 : 1;
}

int Extract(const Args& a) {
    if (a.positional.size() != 2)
        return Usage("extract takes SETUP.exe DIR");
    std::string error;
    if (!ExtractPackage(a.positional[0], a.positional[1], a.codePage, &error)) {
        fprintf(stderr, "brondale-pack: %s\n", error.c_str());
        return 1;
    }
    printf("%s: extracted into %s\n", a.positional[0].c_str(), a.positional[1].c_str());
    return 0;
}

int Plan(const Args& a) {
    if (a.positional.size() != 1)
        return Usage("plan takes SETUP.exe");
    PackageReport report;
    std::string error;
    std::vector<std::pair<std::string, std::string>> install;
    if (!InspectPackage(a.positional[0], &report, &error) || !report.ok() ||
        !ReadInstallSection(a.positional[0], &install, &error)) {
        fprintf(stderr, "brondale-pack: %s\n", error.empty() ? "the package is not sound (see verify)" : error.c_str());
        return 1;
    }
    std::vector<std::pair<std::string, uint32_t>> program;
    for (size_t i = 1; i < report.sections[2].members.size(); ++i)
        program.push_back({report.sections[2].members[i].name, report.sections[2].members[i].size});
    fputs(DescribePlan(install, program).c_str(), stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    std::string command = argv[1];
    Args a;
    std::string error;
    bool known = command == "build" || command == "lint" || command == "list" || command == "plan" ||
                 command == "verify" || command == "extract";
    // The first form, without a command, is a build.
    if (!Parse(argc, argv, known ? 2 : 1, &a, &error))
        return Usage(error.c_str());
    if (command == "-h" || command == "--help")
        return fputs(kUsage, stdout), 0;
    if (!known || command == "build")
        return Build(a, argv[0]);
    if (command == "lint")
        return Lint(a, argv[0]);
    if (command == "list" || command == "verify")
        return Verify(a, command == "list");
    if (command == "extract")
        return Extract(a);
    return Plan(a);
}
