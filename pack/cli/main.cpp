// brondale-pack: the vendor's tool. Starts and checks product folders, builds
// an installer from one, and lists, plans, verifies and extracts installers.
// Exit codes: 0 done, 1 refused or damaged, 2 bad usage.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "pack/cli/args.h"
#include "pack/cli/build.h"
#include "pack/cli/read.h"
#include "pack/platform.h"

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
    "  --sign \"COMMAND\"     build: run COMMAND through the shell on the uninstaller before it\n"
    "                       is packed and on the finished installer, {} standing for the\n"
    "                       file's quoted path; the command signs the file in place\n"
    "  --json               lint, plan, verify, list: one JSON document on standard output\n"
    "  -h, --help           show this help and exit\n"
    "  --version            show the version and exit\n"
    "\n"
    "PRODUCT_DIR holds lang/ (language files), install/ (init.cfg, lnk.cfg, reg.cfg, the\n"
    "licence) and program/ (the files to install). brondale.exe, UnInst.exe and the\n"
    "placeholder program of `new` are looked for beside brondale-pack, then in\n"
    "../share/brondale (and, for the tool in its build folder, in the Windows build\n"
    "folder). install/setup.ico, when there is one, becomes the installer's icon.\n"
    "Exit codes: 0 done, 1 refused or damaged, 2 bad usage.\n";

const char* const kCommands[] = {"build", "lint", "list", "plan", "verify", "extract", "new"};

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args = CommandLineArguments(argc, argv);
    if (argc < 2)
        return Usage("no command given");
    std::string command = args[1];
    bool known = false;
    for (const char* c : kCommands)
        known = known || command == c;
    // The first form, without a command, is a build of the folder named
    // first; any other first word is a mistake, named as one.
    std::error_code ec;
    bool option = !command.empty() && command[0] == '-';
    bool folder = !known && !option && std::filesystem::is_directory(std::filesystem::u8path(command), ec);
    Args a;
    std::string error;
    bool parsed = Parse(argc, args, known ? 2 : 1, &a, &error);
    if (a.help)
        return fputs(kUsage, stdout), 0;
    if (a.version)
        return printf("brondale-pack %s\n", BRONDALE_VERSION), 0;
    if (!known && !folder && !option)
        return Usage("unknown command " + command + " (build, lint, list, plan, verify, extract or new)");
    if (!parsed)
        return Usage(error);
    if (!known || command == "build")
        return BuildCommand(a, args[0].c_str());
    if (command == "new")
        return NewProduct(a, args[0].c_str());
    if (command == "lint")
        return LintCommand(a, args[0].c_str());
    if (command == "list" || command == "verify")
        return VerifyCommand(a, command == "list");
    if (command == "extract")
        return ExtractCommand(a);
    return PlanCommand(a);
}
