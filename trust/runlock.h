// One run of a product, and of a destination, at a time (Windows only). A
// lock is a named section object, "Global\Brondale-" and its kind, a dash
// and 32 hexadecimal digits of the SHA-256 of its name upper-cased as
// Windows compares names (UTF-16, CharUpperBuffW): the product's Uninstall
// key path after its root's name, or the destination's full path. It lives
// as long as a handle is open, so a run that is killed lets it go. A run
// that installs for one user takes its locks in its session's own namespace
// ("Local\Brondale-"): its key is its user's, and it may not make global
// names; the same list keeps other users of the session from holding them.
//
// Why no user without administrator rights can take a name first: creating
// a section object in the global namespace from any session but the
// services' needs SeCreateGlobalPrivilege (Administrators, SERVICE, LOCAL
// SERVICE and NETWORK SERVICE have it); a mutex or an event there may be
// created by anyone, so the lock is not one. Its access list (protected;
// SYSTEM and the Administrators only) keeps others from opening, and so
// holding, ours; and when the name exists already, its owner must be an
// administrator, or the lock counts as taken by someone else.
#ifndef BRONDALE_TRUST_RUNLOCK_H
#define BRONDALE_TRUST_RUNLOCK_H

#include <windows.h>

#include <cstddef>

enum RunLockVerdict {
    kLockTaken,     // held by this run until it ends (or ReleaseRunLock)
    kLockBusy,      // another run held it for the whole wait
    kLockSquatted,  // the name is held by an object that is not an administrator's
    kLockFailed,    // the object could not be made
};

// Lock kinds.
const char kProductLock[] = "Product";
const char kDestinationLock[] = "Destination";
// How long a second run waits for the first before it gives up.
const DWORD kRunLockWaitMs = 5000;

// The object's name of a lock of kind for name into out ("Global\..." with
// global, else "Local\..." for a run for one user); false when it cannot be
// made.
bool RunLockName(const char* kind, const char* name, bool global, char* out, size_t size);

// Takes the lock of kind for name, waiting up to waitMs while another
// process holds it; a lock this process holds already is taken at once.
// Every outcome is logged, with the holder's process id when it is known.
RunLockVerdict TakeRunLock(const char* kind, const char* name, DWORD waitMs = kRunLockWaitMs, bool global = true);
// Lets go of a lock this process holds (another destination was chosen).
void ReleaseRunLock(const char* kind, const char* name, bool global = true);

#endif
