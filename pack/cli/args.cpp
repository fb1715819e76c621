// Options of the packing tool. Values are taken as given (UTF-8); numbers
// are plain decimal digits, so "--level -1" is refused, not wrapped.
#include "pack/cli/args.h"

#include <cstdio>
#include <cstdlib>

#include "pack/finding.h"

namespace {

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

}  // namespace

int Usage(const std::string& why) {
    fprintf(stderr, "brondale-pack: %s\nTry 'brondale-pack --help' for more information.\n", Printable(why).c_str());
    return 2;
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
        bool ok = true;
        if (s == "-o")
            ok = value(&a->output);
        else if (s == "--stub")
            ok = value(&a->stub);
        else if (s == "--uninstaller")
            ok = value(&a->uninstaller);
        else if (s == "--level" || s == "--codepage" || s == "--threads")
            ok = value(&v) && TakeNumber(s, v, a, error);
        else if (s == "--name")
            ok = value(&a->name);
        else if (s == "--program")
            ok = value(&a->program);
        else if (s == "--sign")
            ok = value(&a->sign);
        else if (s == "--force")
            a->force = true;
        else if (s == "--json")
            a->json = true;
        else if (s == "-h" || s == "--help")
            a->help = true;
        else if (s == "--version")
            a->version = true;
        else if (s.size() > 1 && s[0] == '-') {
            *error = "unknown option " + s;
            return false;
        } else
            a->positional.push_back(s);
        if (!ok)
            return false;
    }
    return true;
}
