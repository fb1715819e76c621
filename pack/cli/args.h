// The packing tool's command line: the options every command takes, and
// the one way a usage mistake is reported (exit code 2).
#ifndef BRONDALE_PACK_CLI_ARGS_H
#define BRONDALE_PACK_CLI_ARGS_H

#include <string>
#include <vector>

struct Args {
    std::vector<std::string> positional;
    std::string output, stub, uninstaller, name, program;
    std::string sign;  // the signing command of build, "" for none
    bool help = false, version = false, json = false;
    int level = 9, codePage = 1250;
    unsigned threads = 0;
    bool force = false;
};

// Parses argv[first..argc) into *a; false with *error for an unknown
// option, a missing value or a number out of range.
bool Parse(int argc, const std::vector<std::string>& argv, int first, Args* a, std::string* error);

// Names the mistake and points to --help on standard error; returns 2.
int Usage(const std::string& why);

#endif
