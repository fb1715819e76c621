// The file pool's slots and workers. The reader and the workers share the
// slots under one lock; a worker touches only the job it took, and the
// reader frees a slot only once its job is done.
#include "package/pool.h"

#include <cstdlib>
#include <cstring>

#include "package/placement.h"

namespace {

enum SlotState { kSlotFree, kSlotQueued, kSlotTaken, kSlotDone };

// Every wake-up is two switches between threads, which cost as much as the
// file calls themselves on a busy machine: workers are woken once a few
// jobs wait, the reader once a few are done (or nothing else is under way).
const int kWakeBatch = 4;

// Workers wait for work; the reader waits for jobs to be done.
struct Pool {
    SRWLOCK lock;
    CONDITION_VARIABLE work;
    CONDITION_VARIABLE done;
    bool readerWaits;
    PoolJob jobs[kPoolJobs];
    SlotState state[kPoolJobs];
    int oldest;  // the oldest unretired job
    int count;   // unretired jobs, from oldest on
    int next;    // the next queued job a worker takes
    int queued;  // submitted jobs no worker has taken yet
    int busy;    // jobs a worker has taken and not finished
    bool stop;
    unsigned char* blocks;
    HANDLE workers[kPoolWorkers];
};

Pool* ThePool() {
    static Pool pool = {SRWLOCK_INIT,
                        CONDITION_VARIABLE_INIT,
                        CONDITION_VARIABLE_INIT,
                        false,
                        {},
                        {},
                        0,
                        0,
                        0,
                        0,
                        0,
                        false,
                        nullptr,
                        {}};
    return &pool;
}

// Does the job without a question or a record. A file the earlier list
// names is expected in the way: no new file is tried before it is moved.
PoolOutcome Carry(PoolJob* job) {
    job->kept[0] = '\0';
    if (job->compare && SameInPlace(job->path, job->block, job->size))
        return kPoolUnchanged;
    PlaceResult placed = job->compare || job->listed ? kPlaceInTheWay : PlaceNew(job->path, job->block, job->size);
    if (placed == kPlaceInTheWay)
        placed = PlaceOver(job->path, job->block, job->size, job->kept, &job->attributes);
    return placed == kPlaced ? kPoolWritten : placed == kPlaceInTheWay ? kPoolBlocked : kPoolFailed;
}

// Done jobs from the oldest on, before the first that is not.
int DoneInOrder(const Pool* p) {
    int n = 0;
    while (n < p->count && p->state[(p->oldest + n) % kPoolJobs] == kSlotDone)
        ++n;
    return n;
}

DWORD WINAPI Worker(LPVOID) {
    Pool* p = ThePool();
    AcquireSRWLockExclusive(&p->lock);
    for (;;) {
        while (p->state[p->next] != kSlotQueued && !p->stop)
            SleepConditionVariableSRW(&p->work, &p->lock, INFINITE, 0);
        if (p->state[p->next] != kSlotQueued)
            break;
        int taken = p->next;
        p->state[taken] = kSlotTaken;
        p->next = (p->next + 1) % kPoolJobs;
        --p->queued;
        ++p->busy;
        ReleaseSRWLockExclusive(&p->lock);
        PoolOutcome outcome = Carry(&p->jobs[taken]);
        AcquireSRWLockExclusive(&p->lock);
        p->jobs[taken].outcome = outcome;
        p->state[taken] = kSlotDone;
        --p->busy;
        if (p->readerWaits && (DoneInOrder(p) >= kWakeBatch || p->queued + p->busy == 0))
            WakeConditionVariable(&p->done);
    }
    ReleaseSRWLockExclusive(&p->lock);
    return 0;
}

// ASCII letters compare without case; any two non-ASCII bytes may be the
// same letter in two cases.
bool MaySameName(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
        if (x >= 0x80 && y >= 0x80)
            continue;
        x = (x >= 'a' && x <= 'z') ? static_cast<unsigned char>(x - 32) : x;
        y = (y >= 'a' && y <= 'z') ? static_cast<unsigned char>(y - 32) : y;
        if (x != y)
            return false;
        if (x == 0)
            return true;
    }
}

}  // namespace

SectionResult PoolStart() {
    Pool* p = ThePool();
    p->blocks = static_cast<unsigned char*>(malloc(static_cast<size_t>(kPoolBlock + 1) * kPoolJobs));
    if (!p->blocks)
        return kSectionNoMemory;
    for (int i = 0; i < kPoolJobs; ++i) {
        p->jobs[i].block = p->blocks + static_cast<size_t>(kPoolBlock + 1) * i;
        p->state[i] = kSlotFree;
    }
    p->oldest = p->count = p->next = p->queued = p->busy = 0;
    p->stop = false;
    for (int i = 0; i < kPoolWorkers; ++i) {
        p->workers[i] = CreateThread(nullptr, 0, Worker, nullptr, 0, nullptr);
        if (!p->workers[i]) {
            PoolFinish();
            return kSectionNoMemory;
        }
    }
    return kSectionOk;
}

void PoolFinish() {
    Pool* p = ThePool();
    AcquireSRWLockExclusive(&p->lock);
    p->stop = true;
    WakeAllConditionVariable(&p->work);
    ReleaseSRWLockExclusive(&p->lock);
    for (HANDLE& worker : p->workers) {
        if (worker) {
            WaitForSingleObject(worker, INFINITE);
            CloseHandle(worker);
        }
        worker = nullptr;
    }
    free(p->blocks);
    p->blocks = nullptr;
}

bool PoolRunning() { return ThePool()->workers[0] != nullptr; }

PoolJob* PoolNext() {
    Pool* p = ThePool();
    if (p->count == kPoolJobs)
        return nullptr;
    PoolJob* job = &p->jobs[(p->oldest + p->count) % kPoolJobs];
    job->outcome = kPoolPending;
    return job;
}

void PoolSubmit() {
    Pool* p = ThePool();
    AcquireSRWLockExclusive(&p->lock);
    p->state[(p->oldest + p->count) % kPoolJobs] = kSlotQueued;
    ++p->count;
    if (++p->queued >= kWakeBatch)
        WakeAllConditionVariable(&p->work);
    ReleaseSRWLockExclusive(&p->lock);
}

PoolJob* PoolOldest(bool wait) {
    Pool* p = ThePool();
    if (p->count == 0)
        return nullptr;
    AcquireSRWLockExclusive(&p->lock);
    while (wait && p->state[p->oldest] != kSlotDone) {
        // Whatever waits gets a worker before the reader sleeps.
        if (p->queued > 0)
            WakeAllConditionVariable(&p->work);
        p->readerWaits = true;
        SleepConditionVariableSRW(&p->done, &p->lock, INFINITE, 0);
    }
    p->readerWaits = false;
    bool done = p->state[p->oldest] == kSlotDone;
    ReleaseSRWLockExclusive(&p->lock);
    return done ? &p->jobs[p->oldest] : nullptr;
}

void PoolRetire() {
    Pool* p = ThePool();
    AcquireSRWLockExclusive(&p->lock);
    p->state[p->oldest] = kSlotFree;
    p->oldest = (p->oldest + 1) % kPoolJobs;
    --p->count;
    ReleaseSRWLockExclusive(&p->lock);
}

bool PoolMayHold(const char* path) {
    Pool* p = ThePool();
    for (int i = 0; i < p->count; ++i)
        if (MaySameName(p->jobs[(p->oldest + i) % kPoolJobs].path, path))
            return true;
    return false;
}
