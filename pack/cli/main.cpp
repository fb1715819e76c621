// brondale-pack: the vendor's tool. Starts and checks product folders, builds
// an installer from one, and lists, plans, verifies and extracts installers.
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

#include "pack/cli/companions.h"
#include "pack/inspect.h"
#include "pack/lint.h"
#include "pack/newproduct.h"
#include "pack/plan.h"
#include "pack/platform.h"
#include "pack/product.h"
#include "pack/writer.h"
#include "base/installed.h"

namespace fs = std::filesystem;

namespace {

#ifndef BRONDALE_VERSION
#define BRONDALE_VERSION "0"
#endif

const char kUsage[] =
    "Usage:\n"
    "  brondale-pack new PRODUCT_DIR --name \"My Product\"   start a product folder\n"
    "  brondale-pack lint PRODUCT_DIR                      check its configuration\n"
    "  brondale-pack build PRODUCT_DIR -o SETUP.exe        pack it into an installer\n"
    "  brondale-pack verify SETUP.exe                      check an installer's package\n"
    "  brondale-pack list SETUP.exe                        sections, files, sizes, CRC-32\n"
    "  brondale-pack plan SETUP.exe                        what the installer will do\n"
    "  brondale-pack extract SETUP.exe DIR                 unpack into a product folder\n"
    "\n"
    "Options:\n"
    "  -o FILE              the installer to write (build)\n"
    "  --name TEXT          the product's name (new)\n"
    "  --program FILE       the program a new product starts with (default: placeholder.exe)\n"
    "  --stub FILE          the installer program (default: brondale.exe)\n"
    "  --uninstaller FILE   packed as install/UnInst.dat when the product has none\n"
    "                       (default: UnInst.exe)\n"
    "  --level 0-9          compression level (default 9)\n"
    "  --threads N          compressing threads; 0: one per core (default)\n"
    "  --codepage N         the ANSI code page the installer runs under (default 1250)\n"
    "  --force              build even when lint finds errors\n"
    "  -h, --help           show this help and exit\n"
    "  --version            show the version and exit\n"
    "\n"
    "PRODUCT_DIR holds lang/ (language files), install/ (init.cfg, lnk.cfg, reg.cfg, the\n"
    "licence) and program/ (the files to install). brondale.exe, UnInst.exe and the\n"
    "placeholder program of `new` are looked for beside brondale-pack, then in\n"
    "../share/brondale. Exit codes: 0 done, 1 refused or damaged, 2 bad usage.\n";

// A usage mistake: names it and points to --help.
int Usage(const std::string& why) {
    fprintf(stderr, "brondale-pack: %s\nTry 'brondale-pack --help' for more information.\n", why.c_str());
    return 2;
}

struct Args {
    std::vector<std::string> positional;
    std::string output, stub, uninstaller, name, program;
    bool help = false, version = false;
    int level = 9, codePage = 1250;
    unsigned threads = 0;
    bool force = false;
};

// The value v of --level, --codepage or --threads (option): digits only, at
// most five of them, and 0 to 9 for the level.
bool TakeNumber(const std::string& option, const std::string& v, Args* a, std::string* error) {
    int n = atoi(v.c_str());
    if (v.empty() || v.find_first_not_of("0123456789") != std::string::npos) {
        *error = option + " takes a number, not \"" + v + "\"";
        return false;
    }
    if (v.size() > 5) {
        *error = option + " takes a smaller number than " + v;
        return false;
    }
    if (option == "--level" && n > 9) {
        *error = "--level takes 0 to 9";
        return false;
    }
    if (option == "--level")
        a->level = n;
    else if (option == "--codepage")
        a->codePage = n;
    else
        a->threads = static_cast<unsigned>(n);
    return true;
}

bool Parse(int argc, const std::vector<std::string>& argv, int first, Args* a, std::string* error) {
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
            if (!value(&v) || !TakeNumber(s, v, a, error))
                return false;
        } else if (s == "--name") {
            if (!value(&a->name))
                return false;
        } else if (s == "--program") {
            if (!value(&a->program))
                return false;
        } else if (s == "--force") {
            a->force = true;
        } else if (s == "-h" || s == "--help") {
            a->help = true;
        } else if (s == "--version") {
            a->version = true;
        } else if (s.size() > 1 && s[0] == '-') {
            *error = "unknown option " + s;
            return false;
        } else {
            a->positional.push_back(s);
        }
    }
    return true;
}

bool ReadWhole(const std::string& path, std::vector<unsigned char>* data) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    if (!in)
        return false;
    data->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The companion program called name: the one given, else the first found
// beside the tool or in ../share/brondale. Prints why when there is none.
std::string Companion(const std::string& given, const char* name, const char* option, const char* argv0) {
    if (!given.empty())
        return given;
    std::string tool = ToolFolder(argv0);
    std::string found = FindCompanion(tool, name);
    if (found.empty()) {
        std::string searched;
        for (const std::string& folder : CompanionFolders(tool))
            searched += (searched.empty() ? "" : " or ") + folder;
        fprintf(stderr, "brondale-pack: no %s in %s (name it with %s)\n", name, searched.c_str(), option);
    }
    return found;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

// Adds the project's uninstaller (the one given, else the one found with
// the tool) when the product brings none; says so when there is none.
void AddUninstaller(std::vector<SectionFile>* install, const std::string& given, const char* argv0) {
    for (const SectionFile& f : *install) {
        if (Lower(f.name) == Lower(kUninstallerInPackage))
            return;
    }
    std::string uninstaller = Companion(given, kUninstallerFile, "--uninstaller", argv0);
    std::error_code ec;
    if (uninstaller.empty() || !fs::is_regular_file(fs::u8path(uninstaller), ec))
        return;
    install->push_back(SectionFile{kUninstallerInPackage, uninstaller, {}});
    std::sort(install->begin(), install->end(), [](const SectionFile& a, const SectionFile& b) { return a.name < b.name; });
}

// Reads the product folder of a build or lint into sections, with the
// project's uninstaller where the product brings none. False (said on
// standard error) when the folder cannot be read.
bool ReadForPacking(const Args& a, const char* argv0, std::vector<SectionFile> sections[3]) {
    std::string error;
    if (!ReadProduct(a.positional[0], a.codePage, sections, &error)) {
        fprintf(stderr, "brondale-pack: %s\n", error.c_str());
        return false;
    }
    AddUninstaller(&sections[1], a.uninstaller, argv0);
    return true;
}

// Prints the findings and the summary: findings on standard error, each on
// a line of its own, then the summary on standard output, in that order
// even where both go to one file.
int Report(const std::vector<Finding>& findings, bool always) {
    int errors = PrintFindings(findings);
    if (always || !findings.empty()) {
        printf("%zu finding%s, %d error%s\n", findings.size(), findings.size() == 1 ? "" : "s", errors,
               errors == 1 ? "" : "s");
        fflush(stdout);
    }
    return errors;
}

int Build(const Args& a, const char* argv0) {
    if (a.positional.size() != 1 || a.output.empty())
        return Usage("build takes PRODUCT_DIR and -o SETUP.exe");
    std::string stub = Companion(a.stub, "brondale.exe", "--stub", argv0);
    if (stub.empty())
        return 1;
    std::vector<unsigned char> program;
    if (!ReadWhole(stub, &program)) {
        fprintf(stderr, "brondale-pack: cannot read the installer program %s\n", stub.c_str());
        return 1;
    }
    std::vector<SectionFile> sections[3];
    if (!ReadForPacking(a, argv0, sections))
        return 1;
    int errors = Report(LintProduct(sections), false);
    if (errors > 0 && !a.force) {
        fprintf(stderr, "brondale-pack: %d error%s in the configuration; nothing written (--force packs anyway)\n",
                errors, errors == 1 ? "" : "s");
        return 1;
    }
    PackOptions options;
    options.level = a.level;
    options.threads = a.threads;
    bool terminal = IsTerminal(stderr);
    if (terminal) {
        options.progress = [](uint64_t done, uint64_t total) {
            int percent = total ? static_cast<int>(std::min<uint64_t>(done * 100 / total, 100)) : 100;
            fprintf(stderr, "\rpacking: %3d%%", percent);
            fflush(stderr);
        };
    }
    std::string error;
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
    if (!ReadForPacking(a, argv0, sections))
        return 1;
    return Report(LintProduct(sections), true) ? 1 : 0;
}

int New(const Args& a, const char* argv0) {
    if (a.positional.size() != 1)
        return Usage("new takes PRODUCT_DIR and --name \"Product name\"");
    if (a.name.empty())
        return Usage("new needs the product's name: --name \"My Product\"");
    std::string placeholder = Companion(a.program, "placeholder.exe", "--program", argv0);
    std::vector<unsigned char> program;
    if (placeholder.empty())
        return 1;
    if (!ReadWhole(placeholder, &program)) {
        fprintf(stderr, "brondale-pack: cannot read %s\n", placeholder.c_str());
        return 1;
    }
    std::string error, file;
    if (!CreateProduct(a.positional[0], a.name, a.codePage, program, &file, &error)) {
        fprintf(stderr, "brondale-pack: %s\n", error.c_str());
        return 1;
    }
    printf("%s: a new product. Put your program in place of program/%s, edit install/*.cfg, then:\n"
           "  brondale-pack build %s -o Setup.exe\n",
           a.positional[0].c_str(), file.c_str(), a.positional[0].c_str());
    return 0;
}

int Verify(const Args& a, bool list) {
    if (a.positional.size() != 1)
        return Usage("list and verify take SETUP.exe");
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
    std::vector<std::string> args = CommandLineArguments(argc, argv);
    if (argc < 2)
        return Usage("no command given");
    std::string command = args[1];
    Args a;
    std::string error;
    bool known = command == "build" || command == "lint" || command == "list" || command == "plan" ||
                 command == "verify" || command == "extract" || command == "new";
    // The first form, without a command, is a build.
    bool parsed = Parse(argc, args, known ? 2 : 1, &a, &error);
    if (a.help)
        return fputs(kUsage, stdout), 0;
    if (a.version)
        return printf("brondale-pack %s\n", BRONDALE_VERSION), 0;
    if (!parsed)
        return Usage(error);
    if (!known || command == "build")
        return Build(a, args[0].c_str());
    if (command == "new")
        return New(a, args[0].c_str());
    if (command == "lint")
        return Lint(a, args[0].c_str());
    if (command == "list" || command == "verify")
        return Verify(a, command == "list");
    if (command == "extract")
        return Extract(a);
    return Plan(a);
}
