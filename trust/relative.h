// Files and folders reached from a folder handle: opened, created, renamed
// and deleted by one name in a folder that is held open, never by a path
// that the system resolves again from its root. While the folder is held
// without delete sharing nobody can rename or replace it, so the name
// always means what it meant when the folder was checked.
#ifndef BRONDALE_TRUST_RELATIVE_H
#define BRONDALE_TRUST_RELATIVE_H

#include <cstdint>

#include "platform/win32api.h"

// The last error of a name that is a link, junction or other reparse point
// (or, under Wine, that led somewhere else): it is never opened through.
const DWORD kErrorLink = ERROR_CANT_RESOLVE_FILENAME;

// The access a held folder is opened with: listing and reading it, its
// attributes and descriptor. Not DELETE: a handle with DELETE access keeps
// out every open that does not share deletion (under Wine a listing of the
// folder, FindFirstFile, is such an open), and the hold's own sharing
// already keeps others from renaming or deleting it.
const DWORD kHeldFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL;

// True under Wine (its ntdll names its version), which keeps no owners of
// its own and follows a link even where it is asked to open it as itself.
bool WineRun();

// Opens name, one component, in folder as itself: disposition FILE_OPEN,
// FILE_CREATE, FILE_OPEN_IF or FILE_OVERWRITE_IF, options
// FILE_DIRECTORY_FILE or FILE_NON_DIRECTORY_FILE, security the descriptor of
// what it creates (null: inherited). What was there already must not be a
// reparse point (a link, junction, or anything else that redirects or
// stands in for a file), nor lead out of folder. INVALID_HANDLE_VALUE with
// the last error: ERROR_FILE_NOT_FOUND, ERROR_ALREADY_EXISTS (FILE_CREATE
// met a name), ERROR_SHARING_VIOLATION, kErrorLink, ... *created (when
// given) tells whether this call made it.
HANDLE OpenIn(HANDLE folder, const char* name, DWORD access, DWORD share, DWORD disposition, DWORD options,
              SECURITY_ATTRIBUTES* security = nullptr, bool* created = nullptr);

// Whether something other than a folder stands at name in folder: opened
// as itself only to be seen (a link counts; under Wine one that leads to a
// file does) and let go at once.
bool NameTakenIn(HANDLE folder, const char* name);
// What OpenLinkIn found at a name.
struct NameFound {
    bool reparse;  // a reparse point, or (Wine) a name that led elsewhere
    uint32_t tag;  // its reparse tag, 0 when unknown
};
// Opens the existing folder name in folder for the walk along a
// destination: with follow false the name itself, link or not, and what it
// is in *found; with follow true what a link there leads to. Either way
// held with kHeldFolderAccess and without delete sharing.
HANDLE OpenLinkIn(HANDLE folder, const char* name, bool follow, NameFound* found);

// Gives what file is open on (opened with DELETE) the name name in folder;
// replace false never replaces what stands there (ERROR_ALREADY_EXISTS).
bool RenameIn(HANDLE file, HANDLE folder, const char* name, bool replace);
// Deletes what file is open on (opened with DELETE); a folder must be empty
// (ERROR_DIR_NOT_EMPTY), a read-only file refuses (ERROR_ACCESS_DENIED).
bool DeleteThrough(HANDLE file);
// Deletes the empty folder name in the held folder parent, which *held
// holds: the hold is let go (it shares no deletion), the name opened again
// as itself with DELETE and deleted only while it is the same folder (its
// volume and index). *held is INVALID_HANDLE_VALUE afterwards, whatever
// the result; false when the folder is not empty or no longer the same.
bool DeleteHeldFolder(HANDLE parent, const char* name, HANDLE* held);
// Sets the attributes of what file is open on (opened with
// FILE_WRITE_ATTRIBUTES); FILE_ATTRIBUTE_NORMAL clears them.
bool SetAttributesThrough(HANDLE file, DWORD attributes);
// The attributes of what file is open on; INVALID_FILE_ATTRIBUTES when they
// cannot be read.
DWORD AttributesThrough(HANDLE file);
// The index that names what file is open on within its volume, whatever
// its name.
bool IndexThrough(HANDLE file, uint64_t* index);
// The number of names (hard links) of what file is open on; 0 when it
// cannot be read.
DWORD NamesThrough(HANDLE file);

#endif
