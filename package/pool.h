// The file pool: two worker threads write the files of small members (over
// a kept copy of a file in the way), or compare them with the file already
// in place, while the section reader inflates the next members. A worker
// only takes the ways that need no question; the reader retires every job
// in the order it submitted them, so it alone records and asks.
#ifndef BRONDALE_PACKAGE_POOL_H
#define BRONDALE_PACKAGE_POOL_H

#include <cstdint>

#include "package/state.h"
#include "platform/win32api.h"

// Members of at most kPoolBlock bytes go through the pool; kPoolJobs jobs
// (each with a block of its own) can be under way at once.
const DWORD kPoolBlock = 1 << 16;
const int kPoolJobs = 16;
const int kPoolWorkers = 2;

enum PoolOutcome {
    kPoolPending,    // submitted, not done yet
    kPoolWritten,    // written at its path (over a kept file, when kept)
    kPoolUnchanged,  // the file in place holds exactly these bytes: left
    kPoolBlocked,    // what is in the way needs the reader; nothing changed
    kPoolFailed,     // could not be written; nothing of it is left but a
                     // kept file, when kept
};

struct PoolJob {
    char path[MAX_PATH];
    unsigned char* block;  // kPoolBlock + 1 bytes: the member's bytes
    DWORD size;
    uint32_t crc;  // zlib's CRC-32 of the bytes
    bool compare;  // may be left in place: compare before writing
    bool listed;   // the earlier list names it: a file is in the way
    PoolOutcome outcome;
    char kept[MAX_PATH];  // the kept name of the file it replaced, or ""
    DWORD attributes;     // that file's attributes
};

// Starts the workers for one section; kSectionNoMemory when their blocks
// or threads cannot be had.
SectionResult PoolStart();
// True while the workers run.
bool PoolRunning();
// Ends the workers and frees the blocks; every job must be retired.
void PoolFinish();
// The slot of the next job, null while every slot holds an unretired job.
PoolJob* PoolNext();
// Hands the slot that PoolNext gave to the workers.
void PoolSubmit();
// The oldest unretired job once it is done (waiting for it with wait);
// null when there is none, or when it is not done and wait is false.
PoolJob* PoolOldest(bool wait);
// Frees the oldest job's slot.
void PoolRetire();
// False only when no unretired job is for path: names that might be the
// same file (letters that differ in case, any non-ASCII letter) count.
bool PoolMayHold(const char* path);

#endif
