// Fuzz target: the command-line switches. The input, cut at its first zero
// byte, is parsed as the installer's and as the uninstaller's arguments;
// every field must come back terminated inside its own size, and an
// unknown argument must be named whenever the parse fails.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/switches.h"

namespace {

void Check(const char* field, size_t size) {
    if (memchr(field, '\0', size) == nullptr)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string arguments(reinterpret_cast<const char*>(data), size);
    arguments.resize(strlen(arguments.c_str()));
    for (bool installer : {true, false}) {
        Switches s;
        bool understood = ParseSwitches(arguments.c_str(), installer, &s);
        Check(s.destination, sizeof s.destination);
        Check(s.language, sizeof s.language);
        Check(s.log, sizeof s.log);
        Check(s.unknown, sizeof s.unknown);
        if (understood != (s.unknown[0] == '\0'))
            abort();
        if (!installer && (s.destination[0] != '\0' || s.language[0] != '\0' || s.noDesktop || s.run))
            abort();
    }
    return 0;
}
