// new, lint and build. Findings go to standard error, one a line, the summary
// last on standard output. A file that cannot be packed as it is (a name the
// installer cannot write, a link out of the product, two names Windows takes
// for one) stops a build even with --force; configuration errors do not.
#include "pack/cli/build.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/ascii.h"
#include "base/format.h"
#include "base/installed.h"
#include "pack/cli/companions.h"
#include "pack/identity.h"
#include "pack/lint.h"
#include "pack/newproduct.h"
#include "pack/json.h"
#include "pack/platform.h"
#include "pack/product.h"
#include "pack/progress.h"
#include "pack/sign.h"
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
bool Identify(const std::string& stubPath, const Bytes& stub, const std::vector<SectionFile>& lang,
              const std::vector<SectionFile>& install, const Args& a, Bytes* installer) {
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
    if (!StampInstaller(stub, ProductIdentity(lang, install, fileName, a.codePage), installer, &error)) {
        fprintf(stderr, "brondale-pack: %s: %s; nothing written\n", Printable(stubPath).c_str(),
                Printable(error).c_str());
        return false;
    }
    return true;
}

// With --sign: the uninstaller the Install section packs, copied to copy
// beside the output and signed there; the section then packs the copy.
bool SignUninstaller(const Args& a, const std::string& copy, std::vector<SectionFile>* install) {
    for (SectionFile& f : *install) {
        if (LowerAscii(f.name) != LowerAscii(kUninstallerInPackage))
            continue;
        std::string bytes = FileContent(f), error;
        FILE* out = OpenOutput(copy);
        bool written = out && fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
        if (out && fclose(out) != 0)
            written = false;
        if (!written) {
            fprintf(stderr, "brondale-pack: cannot write %s; nothing written\n", Printable(copy).c_str());
            return false;
        }
        if (!SignFile(a.sign, copy, &error)) {
            fprintf(stderr, "brondale-pack: %s; nothing written\n", Printable(error).c_str());
            return false;
        }
        uint32_t at = 0, size = 0;
        if (!FileIsSigned(copy, &at, &size))
            fprintf(stderr, "brondale-pack: warning: the signing command left the uninstaller unsigned\n");
        f.source = copy;
        f.held = nullptr;  // the walk's handle is the unsigned original
        f.bytes.clear();
    }
    return true;
}

// With --sign: signs the finished installer at partial, whose package
// starts at packageAt, and checks that the package stayed where it was.
bool SignInstaller(const Args& a, const std::string& partial, uint64_t packageAt, std::string* error) {
    if (!SignFile(a.sign, partial, error))
        return false;
    unsigned char found[kSignatureSize] = {0};
    FILE* f = OpenInput(partial);
    bool kept = f && SeekTo(f, packageAt) && fread(found, 1, sizeof found, f) == sizeof found;
    if (f)
        fclose(f);
    for (size_t j = 0; j < kSignatureSize; ++j)
        kept = kept && found[j] == SignatureByte(j);
    if (!kept) {
        *error = "the signing command moved or changed the package in " + partial;
        return false;
    }
    uint32_t at = 0, size = 0;
    if (!FileIsSigned(partial, &at, &size))
        fprintf(stderr, "brondale-pack: warning: the signing command left the installer unsigned\n");
    return true;
}

// build's progress on a terminal: bytes, rate and time left on one line,
// rewritten at most four times a second.
struct TerminalProgress {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now(), shown;
    size_t width = 0;
    void Show(uint64_t done, uint64_t total) {
        auto now = std::chrono::steady_clock::now();
        if (width != 0 && now - shown < std::chrono::milliseconds(250) && done < total)
            return;
        shown = now;
        std::string line = ProgressLine(done, total, std::chrono::duration<double>(now - start).count());
        fprintf(stderr, "\r%-*s", static_cast<int>(width), line.c_str());
        fflush(stderr);
        width = std::max(width, line.size());
    }
    void Clear() {
        if (width)
            fprintf(stderr, "\r%*s\r", static_cast<int>(width), "");
    }
};

// Packs the checked product into -o (signing both programs with --sign);
// returns the exit code.
int Pack(const Args& a, const Bytes& installer, std::vector<SectionFile> sections[3]) {
    std::string copy = a.output + ".UnInst.partial";
    if (!a.sign.empty() && !SignUninstaller(a, copy, &sections[1])) {
        std::error_code ec;
        fs::remove(fs::u8path(copy), ec);
        return 1;
    }
    PackOptions options;
    options.level = a.level;
    options.threads = a.threads;
    TerminalProgress progress;
    bool terminal = IsTerminal(stderr);
    if (terminal)
        options.progress = [&progress](uint64_t done, uint64_t total) { progress.Show(done, total); };
    uint64_t packageAt = PackagePrefix(installer).size() - kSignatureSize;
    if (!a.sign.empty())
        options.finish = [&](const std::string& partial, std::string* error) {
            progress.Clear();
            return SignInstaller(a, partial, packageAt, error);
        };
    std::string error;
    bool ok = WriteInstaller(installer, sections, a.output, options, &error);
    if (terminal)
        progress.Clear();
    std::error_code ec;
    if (!a.sign.empty())
        fs::remove(fs::u8path(copy), ec);
    if (!ok) {
        fprintf(stderr, "brondale-pack: %s%s\n", Printable(error).c_str(), a.sign.empty() ? "" : "; nothing written");
        return 1;
    }
    printf("%s: %zu language files, %zu install files, %zu program files%s\n", Printable(a.output).c_str(),
           sections[0].size(), sections[1].size(), sections[2].size(),
           a.sign.empty() ? "" : "; the installer and its uninstaller signed");
    return 0;
}

}  // namespace

int BuildCommand(const Args& a, const char* argv0) {
    if (a.positional.size() != 1 || a.output.empty())
        return Usage("build takes PRODUCT_DIR and -o SETUP.exe");
    if (a.json)
        return Usage("build has no --json (lint --json checks a product)");
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
    if (!Identify(stub, program, sections[0], sections[1], a, &installer))
        return 1;
    return Pack(a, installer, sections);
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
    if (!a.json)
        return Report(findings, true) ? 1 : 0;
    int errors = CountErrors(findings);
    printf("%s\n", JsonObject({{"product", JsonString(a.positional[0])},
                               {"findings", JsonFindings(findings)},
                               {"errors", JsonNumber(static_cast<uint64_t>(errors))},
                               {"warnings", JsonNumber(findings.size() - static_cast<size_t>(errors))}})
                       .c_str());
    return errors ? 1 : 0;
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
