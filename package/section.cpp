// The section loop. Header and offset table are checked before anything is
// written, members are read in order from the handle's position, and a
// failure takes back exactly the files and folders the section wrote; a
// file left in place unchanged is never among them.
#include "package/section.h"

#include <cstdlib>
#include <cstring>

#include "base/format.h"
#include "base/state.h"
#include "base/switches.h"
#include "config/config.h"
#include "package/earlier.h"
#include "package/filejob.h"
#include "package/heldtree.h"
#include "package/journal.h"
#include "package/journalformat.h"
#include "package/locator.h"
#include "package/member.h"
#include "package/pathlist.h"
#include "package/pool.h"
#include "package/progress.h"
#include "package/record.h"

namespace {

// Current position and size of the package file, for bounds checks.
bool PackageSpan(HANDLE package, uint64_t* position, uint64_t* size) {
    if (!FilePosition(package, position))
        return false;
    DWORD sizeHigh = 0;
    DWORD sizeLow = GetFileSize(package, &sizeHigh);
    if (sizeLow == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS)
        return false;
    *size = (static_cast<uint64_t>(sizeHigh) << 32) | sizeLow;
    return *position <= *size;
}

// Reads the offset table of count + 1 entries (tableBytes) into a new block
// at *table (the caller frees it) and checks it against what the file holds.
SectionResult ReadOffsetTable(HANDLE package, uint32_t count, uint32_t tableBytes, uint64_t available,
                              uint32_t** table) {
    uint32_t* offsets = static_cast<uint32_t*>(malloc(tableBytes));
    if (!offsets)
        return kSectionNoMemory;
    *table = offsets;
    unsigned char* raw = reinterpret_cast<unsigned char*>(offsets);
    if (!winfread(raw, package, tableBytes))
        return kSectionDamaged;
    for (uint32_t i = 0; i <= count; ++i)
        offsets[i] = ReadLe32(raw + 4 * i);
    uint32_t member = 0;
    return CheckOffsetTable(offsets, count, available, &member) == kSectionSound ? kSectionOk : kSectionDamaged;
}

// Reads and checks the header and the offset table; the magic passes through
// tmp and the member count goes to IlePlikow. On success *table holds the
// N + 1 offsets (the caller frees it, also after a failure).
SectionResult ReadHeader(HANDLE package, uint32_t* stored, uint32_t** table) {
    *table = nullptr;
    uint64_t start, fileSize;
    if (!PackageSpan(package, &start, &fileSize))
        return kSectionDamaged;
    unsigned char head[kSectionHeaderSize];
    if (!winfread(head, package, sizeof head))
        return kSectionDamaged;
    memcpy(tmp(), head, 3);
    tmp()[3] = '\0';
    uint64_t available = fileSize - start;
    uint32_t count = 0, tableBytes = 0;
    SectionProblem problem = CheckSectionHeader(head, available, stored, &count, &tableBytes);
    if (problem == kSectionNoMagic)
        return kSectionDamaged;
    *IlePlikow() = count;
    if (problem != kSectionSound)
        return kSectionDamaged;
    return ReadOffsetTable(package, count, tableBytes, available, table);
}

// Decompresses member 0, the path list, into the scratch path-list file.
SectionResult WritePathList(HANDLE package, const uint32_t* offsets) {
    HANDLE list = winfopen(lista(), true);
    if (list == INVALID_HANDLE_VALUE)
        return kSectionWriteFailed;
    SectionResult result = dekompresjagz(package, offsets[1] - offsets[0], list, kModePlain, 0);
    CloseHandle(list);
    return result;
}

// Member k of memberSize bytes: its path from the next line of list (which
// dircat leaves in tmp), its folders made, then its file placed
// (package/filejob.h).
SectionResult ExtractFile(HANDLE list, const char* target, unsigned short mode, HANDLE package, uint32_t memberSize,
                          uint32_t k) {
    SectionResult result = dircat(list, target);
    if (result != kSectionOk)
        return result;
    const char* path = tmp();
    return ExtractMemberFile(path, path + strlen(target) + 1, mode, package, memberSize, k);
}

SectionResult ExtractMembers(const char* target, unsigned short mode, HANDLE package, const uint32_t* offsets) {
    uint32_t count = *IlePlikow();
    SectionResult result = WritePathList(package, offsets);
    if (result != kSectionOk)
        return result;
    HANDLE list = OpenPathList();
    if (list == INVALID_HANDLE_VALUE)
        return kSectionWriteFailed;
    // Only the program section has many files; under Wine every thread
    // costs about a megabyte of the process's memory for the rest of the run.
    if (*PaczkaZProgramem())
        result = PoolStart();
    for (uint32_t k = 1; k < count && result == kSectionOk; ++k) {
        if (*StopExtraction())
            result = kSectionStopped;
        else
            result = ExtractFile(list, target, mode, package, offsets[k + 1] - offsets[k], k);
    }
    // Every job done and recorded before anything is judged or taken back;
    // a job's failure was met on an earlier member than the reader's own.
    SectionResult jobs = RetireAllJobs(result != kSectionOk);
    if (jobs != kSectionOk)
        result = jobs;
    PoolFinish();
    CloseHandle(list);
    return result;
}

// Reads the path-list file to its end for its longest line and folder part;
// false for a line that cannot be a path.
bool MeasurePathList(HANDLE list, size_t* longestPath, size_t* longestFolder) {
    char line[MAX_PATH];
    int got;
    while ((got = ffscanf(list, line)) == 1) {
        size_t length = strlen(line);
        const char* slash = strrchr(line, '\\');
        size_t folder = slash ? static_cast<size_t>(slash - line) : 0;
        *longestPath = length > *longestPath ? length : *longestPath;
        *longestFolder = folder > *longestFolder ? folder : *longestFolder;
    }
    return got == 0;
}

}  // namespace

SectionResult ExtractSection(const char* target, unsigned short mode, HANDLE package) {
    *crc32(0, true) = 0;
    ResetProgress();
    WrittenReset();
    // Every file goes below the target from its held folder; a target that
    // is not there yet is made with the first member's folders.
    TreeHoldRoot(target);
    if (*PaczkaZProgramem()) {
        char productKey[MAX_PATH];
        ProductKeyPath(productKey, sizeof productKey);
        EarlierRead(target, productKey, UninstallRoot(*RunScope()));
        // Before the first file of the destination is written or moved
        // aside: without a journal a run that is killed could not be told
        // from a whole one, so nothing is written.
        if (!JournalBegin(target, productKey, kJournalInstall)) {
            EarlierForget();
            LogLine("section %s: not written, its journal cannot be made", target);
            return kSectionWriteFailed;
        }
    }
    uint32_t stored = 0;
    uint32_t* offsets = nullptr;
    SectionResult result = ReadHeader(package, &stored, &offsets);
    if (result == kSectionOk)
        result = ExtractMembers(target, mode, package, offsets);
    free(offsets);
    if (result == kSectionOk && static_cast<uint32_t>(*crc32(0, true)) != stored)
        result = kSectionDamaged;
    // The earlier list stays for the finish to merge; no finish follows a
    // failed section.
    if (result != kSectionOk) {
        WrittenTakeBack();
        EarlierForget();
    }
    LogLine("section %s: %u members, checksum %08lX: %s", target, *IlePlikow(), static_cast<unsigned long>(stored),
            result == kSectionOk        ? "ok"
            : result == kSectionDamaged ? "damaged, taken back"
                                        : "not written, taken back");
    return result;
}

SectionResult LongestPaths(HANDLE package, size_t* longestPath, size_t* longestFolder) {
    *longestPath = *longestFolder = 0;
    uint64_t start;
    if (!FilePosition(package, &start))
        return kSectionDamaged;
    uint32_t stored = 0;
    uint32_t* offsets = nullptr;
    SectionResult result = ReadHeader(package, &stored, &offsets);
    if (result == kSectionOk)
        result = WritePathList(package, offsets);
    free(offsets);
    HANDLE list = result == kSectionOk ? OpenPathList() : INVALID_HANDLE_VALUE;
    if (list != INVALID_HANDLE_VALUE) {
        if (!MeasurePathList(list, longestPath, longestFolder))
            result = kSectionDamaged;
        CloseHandle(list);
    } else if (result == kSectionOk) {
        result = kSectionWriteFailed;
    }
    if (!SeekTo(package, start) && result == kSectionOk)
        result = kSectionDamaged;
    return result;
}
