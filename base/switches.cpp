// The command-line switches and Tell. The parser reads a bounded cursor and
// never writes past a field; whatever Tell says goes to the log too.
#include "base/switches.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/ascii.h"
#include "base/format.h"
#include "base/resource.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// True when text (length n) is name, ignoring ASCII case.
bool SameName(const char* text, size_t n, const char* name) { return SameAscii(text, n, name, strlen(name)); }

// Copies text (length n) into field of size bytes; false when it does not fit.
bool Store(char* field, size_t size, const char* text, size_t n) {
    if (n >= size)
        return false;
    memcpy(field, text, n);
    field[n] = '\0';
    return true;
}

void NoteUnknown(Switches* out, const char* text, size_t n) {
    if (out->unknown[0] == '\0')
        Store(out->unknown, sizeof out->unknown, text, n < sizeof out->unknown ? n : sizeof out->unknown - 1);
}

// The rest of the line after /D=: trailing blanks cut, one pair of
// enclosing quotes removed, and trailing backslashes cut unless the path is
// a drive's root (deployment tools often write the folder with one).
void TakeDestination(const char* value, Switches* out) {
    size_t n = strlen(value);
    while (n > 0 && IsBlank(value[n - 1]))
        --n;
    if (n >= 2 && value[0] == '"' && value[n - 1] == '"') {
        ++value;
        n -= 2;
    }
    while (n > 3 && value[n - 1] == '\\')
        --n;
    if (n == 0 || !Store(out->destination, sizeof out->destination, value, n)) {
        out->destination[0] = '\0';
        out->badDestination = true;
    }
}

// A decimal number of at most nine digits from text (length n) at *at.
bool TakeNumber(const char* text, size_t n, size_t* at, unsigned long* number) {
    size_t start = *at;
    *number = 0;
    while (*at < n && *at - start < 9 && text[*at] >= '0' && text[*at] <= '9')
        *number = *number * 10 + static_cast<unsigned long>(text[(*at)++] - '0');
    return *at > start && (*at == n || text[*at] < '0' || text[*at] > '9');
}

// /CHANNEL=process.handle: the user's half's process id and its pipe's
// write end, both decimal, nothing else.
bool TakeChannel(const char* value, size_t n, Switches* out) {
    size_t at = 0;
    if (!TakeNumber(value, n, &at, &out->channelProcess) || at >= n || value[at++] != '.' ||
        !TakeNumber(value, n, &at, &out->channelHandle) || at != n)
        return false;
    out->channel = true;
    return true;
}

// One switch without its leading / or -: name, then =value when it has one.
bool TakeSwitch(const char* text, size_t n, bool installer, Switches* out) {
    const char* equals = static_cast<const char*>(memchr(text, '=', n));
    size_t nameLength = equals ? static_cast<size_t>(equals - text) : n;
    const char* value = equals ? equals + 1 : nullptr;
    size_t valueLength = equals ? n - nameLength - 1 : 0;
    struct Flag {
        const char* name;
        bool Switches::*field;
        bool installerOnly;
    };
    static const Flag kFlags[] = {
        {"S", &Switches::silent, false},
        {"?", &Switches::help, false},
        {"NODESKTOP", &Switches::noDesktop, true},
        {"NOSTARTMENU", &Switches::noStartMenu, true},
        {"NOINFO", &Switches::noInfo, true},
        {"NORUN", &Switches::noRun, true},
        {"RUN", &Switches::run, true},
        {"ALLUSERS", &Switches::allUsers, true},
        {"CURRENTUSER", &Switches::currentUser, true},
        {"ALLOWDOWNGRADE", &Switches::allowDowngrade, true},
    };
    for (const Flag& f : kFlags) {
        if (SameName(text, nameLength, f.name)) {
            if (value || (f.installerOnly && !installer))
                return false;
            out->*f.field = true;
            return true;
        }
    }
    if (!value || valueLength == 0)
        return false;
    if (SameName(text, nameLength, "LOG"))
        return Store(out->log, sizeof out->log, value, valueLength);
    if (installer && SameName(text, nameLength, "D")) {
        // A quoted "/D=..." arrives here as one argument.
        char path[MAX_PATH + 2];
        if (!Store(path, sizeof path, value, valueLength))
            return false;
        TakeDestination(path, out);
        return true;
    }
    if (SameName(text, nameLength, "CHANNEL"))
        return TakeChannel(value, valueLength, out);
    if (installer && SameName(text, nameLength, "LANG"))
        return Store(out->language, sizeof out->language, value, valueLength);
    return false;
}

}  // namespace

bool ParseSwitches(const char* arguments, bool installer, Switches* out) {
    memset(out, 0, sizeof *out);
    const char* p = arguments ? arguments : "";
    char token[1024];
    for (;;) {
        while (IsBlank(*p))
            ++p;
        if (*p == '\0')
            break;
        if ((p[0] == '/' || p[0] == '-') && LowerAscii(p[1]) == 'd' && p[2] == '=') {
            if (!installer) {
                NoteUnknown(out, p, strlen(p));
                break;
            }
            TakeDestination(p + 3, out);
            break;
        }
        // One argument: up to a blank outside quotes; the quotes are dropped.
        const char* start = p;
        size_t n = 0;
        bool quoted = false;
        bool fits = true;
        for (; *p != '\0' && (quoted || !IsBlank(*p)); ++p) {
            if (*p == '"') {
                quoted = !quoted;
                continue;
            }
            if (n + 1 < sizeof token)
                token[n++] = *p;
            else
                fits = false;
        }
        token[n] = '\0';
        bool known = fits && n >= 2 && (token[0] == '/' || token[0] == '-') &&
                     TakeSwitch(token + 1, n - 1, installer, out);
        if (!known)
            NoteUnknown(out, start, static_cast<size_t>(p - start));
    }
    return out->unknown[0] == '\0';
}

bool TakeCommandLine(const char* arguments, const SwitchProgram& program, int* exitCode) {
    if (!arguments || arguments[strspn(arguments, " \t")] == '\0')
        return false;
    Switches* switches = RunSwitches();
    bool understood = ParseSwitches(arguments, program.installer, switches);
    if (switches->log[0] != '\0' && LogOpen(switches->log)) {
        char self[MAX_PATH];
        DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
        LogLine("%s %s %s", kInstallerName, program.role, n > 0 && n < sizeof self ? self : "");
        LogLine("arguments: %s", arguments);
    }
    if (!understood) {
        static const char kUnknown[] = "Unknown switch: ";
        size_t size = sizeof kUnknown + strlen(switches->unknown) + 4 + strlen(program.usage);
        char* text = static_cast<char*>(malloc(size));
        if (text)
            snprintf(text, size, "%s%s\r\n\r\n%s", kUnknown, switches->unknown, program.usage);
        Tell(text ? text : program.usage, kInstallerName, MB_ICONERROR, IDOK);
        free(text);
        *exitCode = program.usageExit;
        return true;
    }
    if (switches->help) {
        Tell(program.usage, kInstallerName, MB_ICONINFORMATION, IDOK);
        *exitCode = 0;
        return true;
    }
    return false;
}

Switches* RunSwitches() {
    static Switches switches;
    return &switches;
}

bool Unattended() { return RunSwitches()->silent; }

bool SwitchUnticks(int box) {
    const Switches* s = RunSwitches();
    switch (box) {
    case IDC_OPTION_DESKTOP:
        return s->noDesktop;
    case IDC_OPTION_MENU:
        return s->noStartMenu;
    case IDC_OPTION_INFO:
        return s->noInfo;
    case IDC_OPTION_RUN:
        return s->noRun;
    default:
        return false;
    }
}

bool SilentChoice(int box) {
    if (SwitchUnticks(box))
        return false;
    return box == IDC_OPTION_DESKTOP || box == IDC_OPTION_MENU ||
           ((box == IDC_OPTION_INFO || box == IDC_OPTION_RUN) && RunSwitches()->run);
}

int Tell(const char* text, const char* caption, UINT type, int silentAnswer) {
    if (LogIsOpen()) {
        // A message of several lines stays one entry: its lines are indented.
        LogWrite("message: ", 9);
        for (const char* p = text; *p != '\0';) {
            size_t n = strcspn(p, "\r\n");
            LogWrite(p, n);
            p += n;
            if (*p == '\r' && p[1] == '\n')
                ++p;
            if (*p != '\0') {
                ++p;
                LogWrite("\r\n    ", 6);
            }
        }
        LogWrite("\r\n", 2);
    }
    bool silent = Unattended();
    int answer = silent ? silentAnswer : MessageBoxA(nullptr, text, caption, type);
    // Standard button ids.
    static const char* const kAnswers[] = {"", "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"};
    if (answer > 0 && answer < static_cast<int>(sizeof kAnswers / sizeof kAnswers[0]))
        LogLine("    %s: %s", silent ? "answered without asking" : "answered", kAnswers[answer]);
    return answer;
}
