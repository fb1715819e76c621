// The halves' decisions and their report, as plain text functions.
#include "trust/halves.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kHeader[] = "brondale-half=1";
const size_t kValueSize = 260;

// One line of text (no LF) at [start, end): its name before the first '='
// and the value after it.
struct Line {
    const char* start;
    size_t length;
};

bool Named(const Line& line, const char* name, const char** value, size_t* valueLength) {
    size_t n = strlen(name);
    if (line.length <= n || memcmp(line.start, name, n) != 0 || line.start[n] != '=')
        return false;
    *value = line.start + n + 1;
    *valueLength = line.length - n - 1;
    return true;
}

// A decimal number of at most ten digits that fits 32 bits.
bool Number(const char* text, size_t n, unsigned long* number) {
    if (n == 0 || n > 10)
        return false;
    unsigned long long v = 0;
    for (size_t i = 0; i < n; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + static_cast<unsigned long long>(text[i] - '0');
    }
    if (v > 0xFFFFFFFFull)
        return false;
    *number = static_cast<unsigned long>(v);
    return true;
}

bool NumberLine(const Line& line, const char* name, unsigned long* number) {
    const char* value = nullptr;
    size_t n = 0;
    return Named(line, name, &value, &n) && Number(value, n, number);
}

// An entry line: a known name and a value that fits.
bool EntryLine(const Line& line, bool* destination) {
    static const char* const kNames[] = {"destination", "info", "always", "chosen"};
    for (const char* name : kNames) {
        const char* value = nullptr;
        size_t n = 0;
        if (Named(line, name, &value, &n)) {
            *destination = name == kNames[0];
            return n > 0 && n < kValueSize;
        }
    }
    return false;
}

// Appends n bytes, growing the text; false when memory ran out.
bool Append(HalfReport* report, const char* bytes, size_t n) {
    if (report->used + n > report->size) {
        size_t size = (report->used + n) * 2 < 256 ? 256 : (report->used + n) * 2;
        char* grown = static_cast<char*>(realloc(report->text, size));
        if (!grown)
            return false;
        report->text = grown;
        report->size = size;
    }
    memcpy(report->text + report->used, bytes, n);
    report->used += n;
    return true;
}

}  // namespace

bool NeedsElevatedHalf(const TokenFacts& token) {
    if (token.isSystem)
        return false;
    return token.elevation == kElevationLimited || (token.elevation == kElevationDefault && !token.administrator);
}

bool MayActForOneUser(const TokenFacts& token) {
    return token.elevation == kElevationDefault || token.elevation == kElevationLimited;
}

bool ReportAdd(HalfReport* report, const char* name, const char* value) {
    size_t n = strlen(name), v = strlen(value);
    if (v >= kValueSize || strpbrk(value, "\r\n"))
        return false;
    size_t used = report->used;
    if (!Append(report, name, n) || !Append(report, "=", 1) || !Append(report, value, v) || !Append(report, "\n", 1)) {
        report->used = used;
        return false;
    }
    return true;
}

void ReportFree(HalfReport* report) {
    free(report->text);
    *report = HalfReport{nullptr, 0, 0};
}

bool ComposeReport(unsigned long process, const HalfReport& body, unsigned long exitCode, HalfReport* out) {
    char number[16];
    snprintf(number, sizeof number, "%lu", process);
    bool ok = ReportAdd(out, "brondale-half", "1") && ReportAdd(out, "process", number) &&
              (body.used == 0 || Append(out, body.text, body.used));
    snprintf(number, sizeof number, "%lu", exitCode);
    return ok && ReportAdd(out, "exit", number);
}

ReportVerdict CheckReport(const char* bytes, size_t size, unsigned long process, unsigned long exitCode) {
    if (size == 0)
        return kReportMissing;
    if (size > kMaxHalfReport || bytes[size - 1] != '\n' || memchr(bytes, '\0', size) || memchr(bytes, '\r', size))
        return kReportMalformed;
    unsigned long named = 0, code = 0;
    bool exitSeen = false, entries = false;
    size_t index = 0;
    for (size_t at = 0; at < size; ++index) {
        const char* end = static_cast<const char*>(memchr(bytes + at, '\n', size - at));
        Line line = {bytes + at, static_cast<size_t>(end - (bytes + at))};
        at = static_cast<size_t>(end - bytes) + 1;
        bool destination = false;
        if (exitSeen)
            return kReportMalformed;  // anything after the exit line: a second report, or bytes of another writer
        if (index == 0) {
            if (line.length != sizeof kHeader - 1 || memcmp(line.start, kHeader, line.length) != 0)
                return kReportMalformed;
        } else if (index == 1) {
            if (!NumberLine(line, "process", &named))
                return kReportMalformed;
        } else if (NumberLine(line, "exit", &code)) {
            exitSeen = true;
        } else if (!EntryLine(line, &destination) || (destination && entries)) {
            return kReportMalformed;
        } else {
            entries = true;
        }
    }
    if (!exitSeen)
        return kReportMalformed;
    if (named != process)
        return kReportForeign;
    return code == exitCode ? kReportSound : kReportExitDiffers;
}

bool NextReportEntry(const char* bytes, size_t size, size_t* at, char* name, char* value) {
    // The header and the process line come first.
    for (int skip = *at == 0 ? 2 : 0; skip > 0 && *at < size; --skip) {
        const char* end = static_cast<const char*>(memchr(bytes + *at, '\n', size - *at));
        if (!end)
            return false;
        *at = static_cast<size_t>(end - bytes) + 1;
    }
    if (*at >= size)
        return false;
    const char* start = bytes + *at;
    const char* end = static_cast<const char*>(memchr(start, '\n', size - *at));
    const char* equals = end ? static_cast<const char*>(memchr(start, '=', static_cast<size_t>(end - start))) : nullptr;
    if (!equals || equals - start >= 16 || end - equals - 1 >= static_cast<long>(kValueSize))
        return false;
    if (static_cast<size_t>(equals - start) == 4 && memcmp(start, "exit", 4) == 0)
        return false;
    memcpy(name, start, static_cast<size_t>(equals - start));
    name[equals - start] = '\0';
    memcpy(value, equals + 1, static_cast<size_t>(end - equals - 1));
    value[end - equals - 1] = '\0';
    *at = static_cast<size_t>(end - bytes) + 1;
    return true;
}
