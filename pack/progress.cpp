// The progress line. Megabytes are 10^6 bytes, as file managers count them.
#include "pack/progress.h"

#include <cstdio>

std::string ProgressLine(uint64_t done, uint64_t total, double seconds) {
    if (done > total)
        done = total;
    char line[128];
    int percent = total ? static_cast<int>(done * 100 / total) : 100;
    int n = snprintf(line, sizeof line, "packing: %.1f of %.1f MB (%d%%)", static_cast<double>(done) / 1e6,
                     static_cast<double>(total) / 1e6, percent);
    if (seconds >= 1 && done > 0 && n > 0) {
        double rate = static_cast<double>(done) / seconds;
        unsigned long left = static_cast<unsigned long>(static_cast<double>(total - done) / rate + 0.5);
        snprintf(line + n, sizeof line - static_cast<size_t>(n), ", %.1f MB/s, %lu:%02lu left", rate / 1e6, left / 60,
                 left % 60);
    }
    return line;
}
