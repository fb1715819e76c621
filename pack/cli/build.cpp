// new, lint and build. Findings go to standard error, one a line, the summary
// last on standard output. A file that cannot be packed as it is (a name the
// installer cannot write, a link out of the product, two names Windows takes
// for one) stops a build even with --force; configuration errors do not.
#include "pack/cli/build.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/ascii.h"
#include "base/installed.h"
#include "pack/cli/companions.h"
#include "pack/identity.h"
#include "pack/lint.h"
#include "pack/newproduct.h"
#include "pack/platform.h"
#include "pack/product.h"
#include "pack/writer.h"

namespace fs = std::filesystem;

namespace {

bool ReadWhole(const std::string& path, std::vector<unsigned char>* data) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    if (!in)
        return false;
    data->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The companion program called name: the one given, else the first found
// where the tool looks. Prints where it looked when there is none.
std::string Companion(const std::string& given, const char* name, const char* option, const char* argv0) {
    if (!given.empty())
        return given;
    std::string tool = ToolFolder(argv0);
    std::string found = FindCompanion(tool, name);
    if (found.empty()) {
        std::string searched;
        for (const std::string& folder : CompanionFolders(tool))
            searched += (searched.empty() ? "" : " or ") + folder;
        fprintf(stderr, "brondale-pack: no %s in %s (name it with %s)\n", name, Printable(searched).c_str(), option);
    }
    return found;
}

// Adds the project's uninstaller (the one given, else the one found with
// the tool) when the product brings none; says so when there is none.
void AddUninstaller(std::vector<SectionFile>* install, const std::string& given, const char* argv0) {
    for (const SectionFile& f : *install) {
        if (LowerAscii(f.name) == LowerAscii(kUninstallerInPackage))
            return;
    }
    std::string uninstaller = Companion(given, kUninstallerFile, "--uninstaller", argv0);
    std::error_code ec;
    if (uninstaller.empty() || !fs::is_regular_file(fs::u8path(uninstaller), ec))
        return;
    install->push_back(SectionFile{kUninstallerInPackage, uninstaller, {}});
    std::sort(install->begin(), install->end(),
              [](const SectionFile& a, const SectionFile& b) { return a.name < b.name; });
}

// Reads the product folder into sections, with the project's uninstaller
// where the product brings none; what the walk found goes to findings.
// False (said on standard error) when the folder cannot be read at all.
bool ReadForPacking(const Args& a, const char* argv0, std::vector<SectionFile> sections[3],
                    std::vector<Finding>* findings) {
    std::string error;
    if (!ReadProduct(a.positional[0], a.codePage, sections, findings, &error)) {
        fprintf(stderr, "brondale-pack: %s\n", Printable(error).c_str());
        return false;
    }
    AddUninstaller(&sections[1], a.uninstaller, argv0);
    return true;
}

// Prints the findings, then the summary on standard output (always, or when
// there are findings); returns the number of errors.
int Report(const std::vector<Finding>& findings, bool always) {
    int errors = PrintFindings(findings);
    if (always || !findings.empty()) {
        printf("%zu finding%s, %d error%s\n", findings.size(), findings.size() == 1 ? "" : "s", errors,
               errors == 1 ? "" : "s");
        fflush(stdout);
    }
    return errors;
}

// The installer program with the product's identity written into it; a
// program that is no Windows program file is packed as it is, with a word.
bool Identify(const std::string& stubPath, const Bytes& stub, const std::vector<SectionFile>& install, const Args& a,
              Bytes* installer) {
    if (!IsProgramImage(stub)) {
        fprintf(stderr,
                "brondale-pack: warning: %s is not a Windows program file: the installer gets no version "
                "information and no icon\n",
                Printable(stubPath).c_str());
        *installer = stub;
        return true;
    }
    std::string error;
    std::string fileName = fs::u8path(a.output).filename().u8string();
    if (!StampInstaller(stub, ProductIdentity(install, fileName, a.codePage), installer, &error)) {
        fprintf(stderr, "brondale-pack: %s: %s; nothing written\n", Printable(stubPath).c_str(),
                Printable(error).c_str());
        return false;
    }
    return true;
}

}  // namespace

int BuildCommand(const Args& a, const char* argv0) {
    if (a.positional.size() != 1 || a.output.empty())
        return Usage("build takes PRODUCT_DIR and -o SETUP.exe");
    std::string stub = Companion(a.stub, "brondale.exe", "--stub", argv0);
    Bytes program, installer;
    if (stub.empty())
        return 1;
    if (!ReadWhole(stub, &program)) {
        fprintf(stderr, "brondale-pack: cannot read the installer program %s\n", Printable(stub).c_str());
        return 1;
    }
    std::vector<SectionFile> sections[3];
    std::vector<Finding> findings;
    if (!ReadForPacking(a, argv0, sections, &findings))
        return 1;
    int unpackable = CountErrors(findings);
    std::vector<Finding> lint = LintProduct(sections, a.codePage);
    findings.insert(findings.end(), lint.begin(), lint.end());
    int errors = Report(findings, false);
    if (unpackable > 0) {
        fprintf(stderr, "brondale-pack: %d file%s cannot be packed as %s; nothing written\n", unpackable,
                unpackable == 1 ? "" : "s", unpackable == 1 ? "it is" : "they are");
        return 1;
    }
    if (errors > 0 && !a.force) {
        fprintf(stderr, "brondale-pack: %d error%s in the configuration; nothing written (--force packs anyway)\n",
                errors, errors == 1 ? "" : "s");
        return 1;
    }
    if (!Identify(stub, program, sections[1], a, &installer))
        return 1;
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
    bool ok = WriteInstaller(installer, sections, a.output, options, &error);
    if (terminal)
        fprintf(stderr, "\r              \r");
    if (!ok) {
        fprintf(stderr, "brondale-pack: %s\n", Printable(error).c_str());
        return 1;
    }
    printf("%s: %zu language files, %zu install files, %zu program files\n", Printable(a.output).c_str(),
           sections[0].size(), sections[1].size(), sections[2].size());
    return 0;
}

int LintCommand(const Args& a, const char* argv0) {
    if (a.positional.size() != 1)
        return Usage("lint takes PRODUCT_DIR");
    std::vector<SectionFile> sections[3];
    std::vector<Finding> findings;
    if (!ReadForPacking(a, argv0, sections, &findings))
        return 1;
    std::vector<Finding> lint = LintProduct(sections, a.codePage);
    findings.insert(findings.end(), lint.begin(), lint.end());
    return Report(findings, true) ? 1 : 0;
}

int NewProduct(const Args& a, const char* argv0) {
    if (a.positional.size() != 1)
        return Usage("new takes PRODUCT_DIR and --name \"Product name\"");
    if (a.name.empty())
        return Usage("new needs the product's name: --name \"My Product\"");
    std::string placeholder = Companion(a.program, "placeholder.exe", "--program", argv0);
    std::vector<unsigned char> program;
    if (placeholder.empty())
        return 1;
    if (!ReadWhole(placeholder, &program)) {
        fprintf(stderr, "brondale-pack: cannot read %s\n", Printable(placeholder).c_str());
        return 1;
    }
    std::string error, file;
    if (!CreateProduct(a.positional[0], a.name, a.codePage, program, &file, &error)) {
        fprintf(stderr, "brondale-pack: %s\n", Printable(error).c_str());
        return 1;
    }
    printf(
        "%s: a new product. Put your program in place of program/%s, edit install/*.cfg, then:\n"
        "  brondale-pack build %s -o Setup.exe\n",
        Printable(a.positional[0]).c_str(), Printable(file).c_str(), Printable(a.positional[0]).c_str());
    return 0;
}
