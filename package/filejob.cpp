// The reader's side of the file pool, and the large members it keeps to
// itself. No two jobs for one file are ever under way, and a large member is
// handled with none under way, so every file sees its members in order.
#include "package/filejob.h"

#include <cstdio>

#include "package/earlier.h"
#include "package/heldfiles.h"
#include "package/locator.h"
#include "package/member.h"
#include "package/placement.h"
#include "package/pool.h"
#include "package/record.h"

namespace {

// The first failure that retiring a job met; the section stops at it.
SectionResult* JobFailure() {
    static SectionResult failure = kSectionOk;
    return &failure;
}

// Writes a job's bytes over whatever stands at its path, as an extraction
// one file after another does: makes way (a kept copy), creates, records.
SectionResult WriteOver(const PoolJob& job) {
    HANDLE output;
    SectionResult result = CreateMemberFile(job.path, &output);
    if (result != kSectionOk)
        return result;
    size_t entry = WrittenCount() - 1;
    bool ok = job.size == 0 || winfwrite(job.block, output, job.size);
    if (!CloseHandle(output) || !ok)
        return kSectionWriteFailed;
    WrittenSetSum(entry, job.size, job.crc);
    return kSectionOk;
}

// Records the file a worker moved aside for a job; without memory for it,
// puts it back at once (deleting first the job's file, when written).
bool RecordKept(const PoolJob& job, bool written) {
    if (job.kept[0] == '\0' || WrittenAddKept(job.path, job.kept, job.attributes))
        return true;
    if (written)
        HeldDelete(job.path);
    HeldPutBack(job.kept, job.path, job.attributes);
    return false;
}

// Records what a done job did, and finishes a blocked one unless the
// section has already failed; keeps the first failure.
void Retire(const PoolJob& job, bool failed) {
    SectionResult result = kSectionOk;
    if (job.outcome == kPoolWritten) {
        if (!RecordKept(job, true)) {
            result = kSectionNoMemory;
        } else if (!WrittenAdd(job.path, false)) {
            HeldDelete(job.path);
            result = kSectionNoMemory;
        } else {
            WrittenSetSum(WrittenCount() - 1, job.size, job.crc);
        }
    } else if (job.outcome == kPoolUnchanged) {
        result = WrittenAddUnchanged(job.path, job.size, job.crc) ? kSectionOk : kSectionNoMemory;
    } else if (job.outcome == kPoolBlocked) {
        if (!failed && *JobFailure() == kSectionOk)
            result = WriteOver(job);
    } else {
        result = RecordKept(job, false) ? kSectionWriteFailed : kSectionNoMemory;
    }
    PoolRetire();
    if (*JobFailure() == kSectionOk)
        *JobFailure() = result;
}

// Retires the jobs that are done, from the oldest on; with wait, first
// waits for the oldest.
void RetireDone(bool wait) {
    for (PoolJob* job = PoolOldest(wait); job; job = PoolOldest(false))
        Retire(*job, false);
}

// Retires every job, waiting for each.
void RetireEvery(bool failed) {
    while (PoolJob* job = PoolOldest(true))
        Retire(*job, failed);
}

// Leaves the file at path in place when it holds exactly the member's
// bytes (*kept); otherwise the handle is back at the member's start.
SectionResult KeepIfSame(const char* path, HANDLE package, uint32_t memberSize, uint32_t k, bool* kept) {
    *kept = false;
    HANDLE held = HoldInPlace(path);
    if (held == INVALID_HANDLE_VALUE)
        return kSectionOk;
    bool same = false;
    SectionResult result = CompareMember(package, memberSize, held, kModePlain, k, &same);
    // Compared while held, so what stays is what was compared.
    CloseHandle(held);
    if (result != kSectionOk || !same)
        return result;
    if (!WrittenAddUnchanged(path, LastMemberSum()->size, LastMemberSum()->crc))
        return kSectionNoMemory;
    *kept = true;
    return kSectionOk;
}

// A member too large for the pool, with no job under way: compared in
// place when the list names it as the trailer does, else written at once.
SectionResult ExtractAtOnce(const char* path, bool candidate, unsigned short mode, HANDLE package, uint32_t memberSize,
                            uint32_t k) {
    if (candidate) {
        bool kept = false;
        SectionResult result = KeepIfSame(path, package, memberSize, k, &kept);
        if (result != kSectionOk || kept)
            return result;
    }
    HANDLE output;
    SectionResult result = CreateMemberFile(path, &output);
    if (result != kSectionOk)
        return result;
    size_t entry = WrittenCount() - 1;
    result = dekompresjagz(package, memberSize, output, mode, k);
    if (!CloseHandle(output) && result == kSectionOk)
        result = kSectionWriteFailed;
    if (result == kSectionOk)
        WrittenSetSum(entry, LastMemberSum()->size, LastMemberSum()->crc);
    return result;
}

// A small member inflated into the next job and handed to the pool.
SectionResult Submit(const char* path, const char* relative, unsigned short mode, HANDLE package, uint32_t memberSize,
                     uint32_t k) {
    if (PoolMayHold(path))
        RetireEvery(false);
    PoolJob* job;
    while (!(job = PoolNext()))
        RetireDone(true);
    if (*JobFailure() != kSectionOk)
        return *JobFailure();
    DWORD size = 0;
    SectionResult result = InflateToMemory(package, memberSize, mode, k, job->block, kPoolBlock + 1, &size);
    if (result != kSectionOk)
        return result;
    snprintf(job->path, sizeof job->path, "%s", path);
    job->size = size;
    job->crc = LastMemberSum()->crc;
    uint32_t listedSize, listedCrc;
    job->listed = mode == kModePlain && EarlierFind(relative, &listedSize, &listedCrc);
    job->compare = job->listed && listedSize == size && listedCrc == job->crc;
    PoolSubmit();
    RetireDone(false);
    return *JobFailure();
}

}  // namespace

SectionResult ExtractMemberFile(const char* path, const char* relative, unsigned short mode, HANDLE package,
                                uint32_t memberSize, uint32_t k) {
    if (*JobFailure() != kSectionOk)
        return *JobFailure();
    uint32_t crc = 0, size = 0;
    bool claimed = MemberTrailer(package, memberSize, &crc, &size);
    if (claimed && size <= kPoolBlock && PoolRunning())
        return Submit(path, relative, mode, package, memberSize, k);
    RetireEvery(false);
    if (*JobFailure() != kSectionOk)
        return *JobFailure();
    uint32_t listedSize, listedCrc;
    bool candidate = claimed && mode == kModePlain && EarlierFind(relative, &listedSize, &listedCrc) &&
                     listedSize == size && listedCrc == crc;
    return ExtractAtOnce(path, candidate, mode, package, memberSize, k);
}

SectionResult RetireAllJobs(bool failed) {
    RetireEvery(failed);
    SectionResult first = *JobFailure();
    *JobFailure() = kSectionOk;
    return first;
}
