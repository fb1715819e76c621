// Product versions: read part by part, compared part by part.
#include "base/version.h"

bool ParseVersionText(const char* text, size_t length, uint16_t parts[4]) {
    for (int i = 0; i < 4; ++i)
        parts[i] = 0;
    size_t at = 0;
    for (int count = 0; count < 4; ++count) {
        uint32_t value = 0;
        size_t digits = 0;
        for (; at < length && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
            value = value * 10 + static_cast<uint32_t>(text[at] - '0');
            if (digits == 5 || value > 65535)
                return false;
        }
        if (digits == 0)
            return false;
        parts[count] = static_cast<uint16_t>(value);
        if (at == length)
            return true;
        // Only a dot goes on, and never at the end.
        if (text[at] != '.' || ++at == length)
            return false;
    }
    return false;
}

int CompareVersions(const uint16_t a[4], const uint16_t b[4]) {
    for (int i = 0; i < 4; ++i) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}
