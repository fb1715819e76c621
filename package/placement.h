// Safe placement of the section's files, each from its held folder
// (package/heldfiles.h): files are created new, a link or junction in the
// way is refused and never followed, and a file in the way is moved aside
// and recorded so that a failure can put it back.
#ifndef BRONDALE_PACKAGE_PLACEMENT_H
#define BRONDALE_PACKAGE_PLACEMENT_H

#include <cstddef>

#include "package/state.h"
#include "platform/win32api.h"

// Makes way at path for a file that this run will create there with
// CREATE_NEW: nothing there is fine; a link or junction is refused (never
// followed); a file is moved aside under a hidden kept name in its folder
// and recorded, asking Retry or Cancel while another program holds it.
SectionResult MakeWay(const char* path);
// The question for a file that another program holds: true for Retry. The
// one place where the extraction asks the user anything; a silent run
// answers Cancel.
bool AskFileInUse(const char* path);

// Records the kept files that an interrupted run left in folder (with its
// trailing backslash), so that this run's commit deletes them. Only hidden
// files of the kept form count; anything else is the user's.
SectionResult RecordStale(const char* folder);

// Opens the file at path to compare it with a member: for reading, sharing
// only reading, so that nobody writes, renames or deletes it while it is
// held, and as itself. INVALID_HANDLE_VALUE when no plain file stands
// there, it cannot be held so, or it may not stay: a file left in place
// must have one name (no hard link elsewhere) and an administrator as its
// owner (trust/owner.h), or in an installation for one user that user,
// else it is replaced.
HANDLE HoldInPlace(const char* path);

// The two ways that need no question and no record, for the file pool's
// workers (any thread). SameInPlace: the file at path, held while it is read
// (HoldInPlace), holds exactly size bytes of data. PlaceNew: path created
// new and written with them; kPlaceInTheWay when something stands at path,
// kPlaceFailed when it could not be written (nothing of it is left).
bool SameInPlace(const char* path, const unsigned char* data, DWORD size);
enum PlaceResult { kPlaced, kPlaceInTheWay, kPlaceFailed };
PlaceResult PlaceNew(const char* path, const unsigned char* data, DWORD size);
// PlaceNew over a file in the way, for the workers too: the file is moved
// aside under a hidden kept name (into kept, MAX_PATH bytes; "" when
// nothing stood there), *attributes getting its attributes before. The
// caller records the kept file whatever the result but kPlaceInTheWay,
// which means that what stands there needs the reader (a link, a folder, a
// file that cannot be moved): nothing was changed.
PlaceResult PlaceOver(const char* path, const unsigned char* data, DWORD size, char* kept, DWORD* attributes);

// Creates the member file at path, making way for it when something is in
// the way, and records it. On kSectionOk *output is the open file (the
// caller closes it); otherwise it is INVALID_HANDLE_VALUE and nothing of
// path is left created.
SectionResult CreateMemberFile(const char* path, HANDLE* output);

#endif
