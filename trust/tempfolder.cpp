// The choice of temporary folder; no system calls.
#include "trust/tempfolder.h"

#include <cstdio>
#include <cstring>

#include "base/scratch.h"

TempSource ChooseTempFolder(const TempCandidates& candidates, char* out, size_t size) {
    if (size > 0)
        out[0] = '\0';
    // A folder whose name the code page writes is the one to use, or none:
    // the others stand in only for a name that cannot be written.
    const char* const tried[] = {candidates.named, candidates.shortName, candidates.windows};
    static const TempSource kSources[] = {kTempAsNamed, kTempShortName, kTempWindows};
    int first = candidates.named ? 0 : 1;
    for (int i = first; i < (first == 0 ? 1 : 3); ++i) {
        const char* folder = tried[i];
        size_t n = folder ? strlen(folder) : 0;
        if (n == 0)
            continue;
        const char* slash = folder[n - 1] == '\\' ? "" : "\\";
        if (n + strlen(slash) > kMaxTempPath || n + strlen(slash) >= size)
            continue;
        snprintf(out, size, "%s%s", folder, slash);
        return kSources[i];
    }
    return kTempNone;
}
