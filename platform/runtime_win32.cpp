// Function-local statics are initialised once even when two threads reach
// them together (the file pool's workers do): the first takes the guard's
// lock word, the others yield until its first byte says "done", as the
// compiler's inline check reads it. What the standard library's inline code
// calls when a container cannot grow, or memory runs out, ends the program
// at once, as an exception that nobody catches would have, though without
// the runtime's message box.
#include "platform/runtime_win32.h"

#include <windows.h>

#include <cstdlib>
#include <new>

namespace {

// The guard's first byte: nonzero once the static is initialised; its
// second word: the lock of the thread that initialises it.
volatile char* Done(long long* guard) { return reinterpret_cast<volatile char*>(guard); }
volatile LONG* Lock(long long* guard) { return reinterpret_cast<volatile LONG*>(guard) + 1; }

// Ends the process at once with an NT status as its exit code, as a crash
// would: no message box (abort shows one, which would hang a silent run).
[[noreturn]] void Fail(DWORD status = 0xC0000420 /* STATUS_ASSERTION_FAILURE */) {
    TerminateProcess(GetCurrentProcess(), status);
    for (;;)
        Sleep(INFINITE);
}
const DWORD kNoMemory = 0xC0000017;  // STATUS_NO_MEMORY

}  // namespace

extern "C" int __cxa_guard_acquire(long long* guard) {
    for (;;) {
        if (__atomic_load_n(Done(guard), __ATOMIC_ACQUIRE))
            return 0;
        if (InterlockedCompareExchange(Lock(guard), 1, 0) == 0) {
            if (!__atomic_load_n(Done(guard), __ATOMIC_ACQUIRE))
                return 1;
            InterlockedExchange(Lock(guard), 0);
            return 0;
        }
        SwitchToThread();
    }
}

extern "C" void __cxa_guard_release(long long* guard) {
    __atomic_store_n(Done(guard), 1, __ATOMIC_RELEASE);
    InterlockedExchange(Lock(guard), 0);
}

extern "C" void __cxa_guard_abort(long long* guard) { InterlockedExchange(Lock(guard), 0); }

extern "C" void __cxa_pure_virtual() { Fail(); }

void* operator new(std::size_t size) {
    void* p = malloc(size ? size : 1);
    if (!p)
        Fail(kNoMemory);
    return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, std::size_t) noexcept { free(p); }
void operator delete[](void* p, std::size_t) noexcept { free(p); }

// Called by the standard library's inline code, never by ours.
namespace std {
void __throw_bad_alloc() { Fail(kNoMemory); }
void __throw_bad_array_new_length() { Fail(kNoMemory); }
void __throw_length_error(const char*) { Fail(); }
void __throw_logic_error(const char*) { Fail(); }
void __throw_out_of_range(const char*) { Fail(); }
void __throw_out_of_range_fmt(const char*, ...) { Fail(); }
void __throw_invalid_argument(const char*) { Fail(); }
// A failed check of the library's assertions (the uninstaller's are on).
void __glibcxx_assert_fail(const char*, int, const char*, const char*) noexcept { Fail(); }
}  // namespace std
