// The C++ runtime support that the installer and the uninstaller take from
// this file instead of the compiler's library, so that they carry no
// exception machinery, no threads library and no symbol demangler: both are
// built without exceptions, and these few functions are all the language
// still needs of a runtime. Linked into those two programs only.
#ifndef BRONDALE_PLATFORM_RUNTIME_WIN32_H
#define BRONDALE_PLATFORM_RUNTIME_WIN32_H

#include <cstddef>

extern "C" {
// The guard of a function-local static: 1 when the caller is to initialise
// it (others wait meanwhile), 0 when it is already initialised.
int __cxa_guard_acquire(long long* guard);
void __cxa_guard_release(long long* guard);
void __cxa_guard_abort(long long* guard);
// A pure virtual function called: the program ends.
void __cxa_pure_virtual();
}

#endif
