// Threads on pthreads, and the slim lock and condition variable over a pthread
// mutex and condition. A thread's object lives until its handle is closed,
// whether or not it was waited for; each open thread counts as a handle.
#include "posix/threads_posix.h"

#include <pthread.h>

#include "posix/errors_posix.h"
#include "posix/handletable_posix.h"

namespace {

struct ThreadObject {
    int kind;
    pthread_t thread;
    bool joined;
    LPTHREAD_START_ROUTINE start;
    LPVOID parameter;
};

void* RunThread(void* object) {
    ThreadObject* t = static_cast<ThreadObject*>(object);
    t->start(t->parameter);
    return nullptr;
}

}  // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, size_t, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD, LPDWORD id) {
    if (PosixInjectedFault())
        return nullptr;
    ThreadObject* t = new ThreadObject{kPosixThread, {}, false, start, parameter};
    if (pthread_create(&t->thread, nullptr, RunThread, t) != 0) {
        delete t;
        PosixFail(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (id)
        *id = 0;
    PosixHandleOpened();
    return t;
}

DWORD WaitForSingleObject(HANDLE object, DWORD) {
    ThreadObject* t = static_cast<ThreadObject*>(object);
    if (PosixKindOf(object) != kPosixThread || t->joined) {
        PosixFail(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    pthread_join(t->thread, nullptr);
    t->joined = true;
    return WAIT_OBJECT_0;
}

BOOL PosixCloseThread(HANDLE h) {
    if (PosixKindOf(h) != kPosixThread)
        return PosixFail(ERROR_INVALID_HANDLE);
    ThreadObject* t = static_cast<ThreadObject*>(h);
    // A thread whose handle is closed runs on, detached.
    if (!t->joined)
        pthread_detach(t->thread);
    t->kind = 0;
    delete t;
    PosixHandleClosed();
    return TRUE;
}

void AcquireSRWLockExclusive(SRWLOCK* lock) { pthread_mutex_lock(&lock->mutex); }

void ReleaseSRWLockExclusive(SRWLOCK* lock) { pthread_mutex_unlock(&lock->mutex); }

BOOL SleepConditionVariableSRW(CONDITION_VARIABLE* variable, SRWLOCK* lock, DWORD, DWORD) {
    return pthread_cond_wait(&variable->cond, &lock->mutex) == 0 ? TRUE : FALSE;
}

void WakeConditionVariable(CONDITION_VARIABLE* variable) { pthread_cond_signal(&variable->cond); }

void WakeAllConditionVariable(CONDITION_VARIABLE* variable) { pthread_cond_broadcast(&variable->cond); }
