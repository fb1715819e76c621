// The held folders in one table, by path without the case of ASCII letters.
// The file pool's workers look folders up while the section reader adds
// them, so every use of the table is under one lock; a handle stays valid
// until the folder is let go, which only the reader does, with no job under
// way.
#include "package/heldtree.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/ascii.h"
#include "base/files.h"
#include "base/switches.h"
#include "trust/held.h"
#include "trust/relative.h"

namespace {

struct Held {
    char* path;  // null: a free slot; kGone: a folder let go
    HANDLE handle;
    TreeOrigin origin;
};

// The path of a slot whose folder was let go (probing goes on past it).
char kGoneMark;
char* const kGone = &kGoneMark;

struct Tree {
    SRWLOCK lock;
    Held* slots;
    size_t capacity;  // a power of two, or 0
    size_t taken;     // slots not free (let-go ones included)
    char root[MAX_PATH];
};

Tree* TheTree() {
    static Tree tree = {SRWLOCK_INIT, nullptr, 0, 0, ""};
    return &tree;
}

// The key of a folder path: doubled backslashes folded into one and a
// trailing one taken off (but for a drive's root, "X:\\"), as the system
// reads the path. False when it does not fit.
bool Normalize(const char* path, size_t length, char* out) {
    size_t n = 0;
    for (size_t i = 0; i < length && path[i]; ++i) {
        if (path[i] == '\\' && n > 0 && out[n - 1] == '\\')
            continue;
        if (n + 1 >= MAX_PATH)
            return false;
        out[n++] = path[i];
    }
    if (n > 1 && out[n - 1] == '\\' && !(n == 3 && out[1] == ':'))
        --n;
    out[n] = '\0';
    return n > 0;
}

uint32_t HashOf(const char* path, size_t length) {
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < length; ++i)
        hash = (hash ^ static_cast<unsigned char>(LowerAscii(path[i]))) * 16777619u;
    return hash;
}

// The slot of the folder path (its first length characters), or the free
// slot where it would go; null in an empty table.
Held* Slot(Tree* t, const char* path, size_t length) {
    if (t->capacity == 0)
        return nullptr;
    for (size_t i = HashOf(path, length) & (t->capacity - 1);; i = (i + 1) & (t->capacity - 1)) {
        Held* h = &t->slots[i];
        if (!h->path || (h->path != kGone && SameAscii(h->path, strlen(h->path), path, length)))
            return h;
    }
}

bool Grow(Tree* t) {
    if ((t->taken + 1) * 2 <= t->capacity)
        return true;
    size_t capacity = t->capacity ? t->capacity * 2 : 64;
    Held* slots = static_cast<Held*>(calloc(capacity, sizeof(Held)));
    if (!slots)
        return false;
    Held* old = t->slots;
    size_t oldCapacity = t->capacity;
    t->slots = slots;
    t->capacity = capacity;
    t->taken = 0;
    for (size_t i = 0; i < oldCapacity; ++i)
        if (old[i].path && old[i].path != kGone) {
            *Slot(t, old[i].path, strlen(old[i].path)) = old[i];
            ++t->taken;
        }
    free(old);
    return true;
}

HANDLE FindLocked(Tree* t, const char* path, size_t length) {
    Held* h = Slot(t, path, length);
    return h && h->path ? h->handle : INVALID_HANDLE_VALUE;
}

void Drop(Held* h) {
    CloseHandle(h->handle);
    free(h->path);
    h->path = kGone;
    h->handle = INVALID_HANDLE_VALUE;
}

// Opens (or, with create, makes) the folder whose path is folder in the
// held folder parent, and holds it. A link or other reparse point there is
// refused and named in RefusedPath. willMake, when given, is asked before a
// missing folder is made (false: it is not).
SectionResult HoldOne(HANDLE parent, const char* folder, const char* name, bool create, SECURITY_ATTRIBUTES* security,
                      bool (*willMake)(const char* folder), bool* created) {
    HANDLE held = INVALID_HANDLE_VALUE;
    if (create && willMake) {
        held = OpenIn(parent, name, kHeldFolderAccess, kHeldSharing, FILE_OPEN, FILE_DIRECTORY_FILE);
        DWORD error = GetLastError();
        if (held == INVALID_HANDLE_VALUE && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) &&
            !willMake(folder))
            return kSectionWriteFailed;
    }
    if (held == INVALID_HANDLE_VALUE)
        held = OpenIn(parent, name, kHeldFolderAccess, kHeldSharing, create ? FILE_OPEN_IF : FILE_OPEN,
                      FILE_DIRECTORY_FILE, security, created);
    if (held == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == kErrorLink)
            snprintf(RefusedPath(), MAX_PATH, "%s", folder);
        LogLine("folder %s: cannot be held (error %lu)", folder, static_cast<unsigned long>(error));
        return error == kErrorLink ? kSectionLink : kSectionWriteFailed;
    }
    return TreeAdd(folder, held, *created ? kTreeMadeBySection : kTreeFound) ? kSectionOk : kSectionNoMemory;
}

// Holds every folder of path from the root down to its first parentLength
// characters, top down, each from the one above it.
SectionResult Walk(const char* path, size_t parentLength, bool create, SECURITY_ATTRIBUTES* security,
                   void (*made)(const char* folder), bool (*willMake)(const char* folder)) {
    const char* root = TheTree()->root;
    size_t rootLength = strlen(root);
    char target[MAX_PATH];
    if (rootLength == 0 || !Normalize(path, parentLength, target) || strncmp(target, root, rootLength) != 0)
        return kSectionWriteFailed;
    // A drive's root keeps its backslash ("X:\\").
    size_t nameAt = root[rootLength - 1] == '\\' ? rootLength : rootLength + 1;
    if (target[rootLength] != '\0' && nameAt == rootLength + 1 && target[rootLength] != '\\')
        return kSectionWriteFailed;
    HANDLE above = TreeFind(root);
    char folder[MAX_PATH];
    for (size_t end = nameAt; above != INVALID_HANDLE_VALUE && NextPathFolder(target, true, &end, folder);) {
        HANDLE held = TreeFind(folder);
        // A folder held already keeps its own spelling for the folders
        // below it, as the record and the journal name them.
        if (held != INVALID_HANDLE_VALUE)
            TreeSpelling(target, strlen(folder));
        if (held == INVALID_HANDLE_VALUE) {
            bool created = false;
            SectionResult result = HoldOne(above, folder, folder + nameAt, create, security, willMake, &created);
            if (result != kSectionOk)
                return result;
            if (created && made)
                made(folder);
            held = TreeFind(folder);
        }
        above = held;
        nameAt = strlen(folder) + 1;
    }
    return above != INVALID_HANDLE_VALUE ? kSectionOk : kSectionWriteFailed;
}

}  // namespace

void TreeRelease() {
    Tree* t = TheTree();
    AcquireSRWLockExclusive(&t->lock);
    for (size_t i = 0; i < t->capacity; ++i)
        if (t->slots[i].path && t->slots[i].path != kGone)
            Drop(&t->slots[i]);
    free(t->slots);
    t->slots = nullptr;
    t->capacity = t->taken = 0;
    t->root[0] = '\0';
    ReleaseSRWLockExclusive(&t->lock);
}

void TreeSpelling(char* path, size_t length) {
    Tree* t = TheTree();
    char key[MAX_PATH];
    if (!Normalize(path, length, key))
        return;
    size_t n = strlen(key);
    AcquireSRWLockExclusive(&t->lock);
    Held* h = Slot(t, key, n);
    if (h && h->path && h->path != kGone && strlen(h->path) == n && n <= length)
        memcpy(path, h->path, n);
    ReleaseSRWLockExclusive(&t->lock);
}

void TreeReleaseBelowRoot() {
    Tree* t = TheTree();
    AcquireSRWLockExclusive(&t->lock);
    size_t n = strlen(t->root);
    // A drive's root keeps its backslash; any other root is followed by one.
    size_t below = n > 0 && t->root[n - 1] == '\\' ? n : n + 1;
    for (size_t i = 0; n > 0 && i < t->capacity; ++i) {
        Held* h = &t->slots[i];
        if (h->path && h->path != kGone && strlen(h->path) > below && SameAscii(h->path, n, t->root, n) &&
            h->path[below - 1] == '\\')
            Drop(h);
    }
    ReleaseSRWLockExclusive(&t->lock);
}

bool TreeAdd(const char* path, HANDLE handle, TreeOrigin origin) {
    Tree* t = TheTree();
    char key[MAX_PATH];
    if (!Normalize(path, strlen(path), key)) {
        CloseHandle(handle);
        return false;
    }
    AcquireSRWLockExclusive(&t->lock);
    char* copy = static_cast<char*>(malloc(strlen(key) + 1));
    bool added = copy && Grow(t);
    if (added) {
        strcpy(copy, key);
        Held* h = Slot(t, key, strlen(key));
        if (h->path)
            Drop(h);
        else
            ++t->taken;
        *h = Held{copy, handle, origin};
    } else {
        free(copy);
        CloseHandle(handle);
    }
    ReleaseSRWLockExclusive(&t->lock);
    return added;
}

HANDLE TreeFind(const char* path) {
    Tree* t = TheTree();
    char key[MAX_PATH];
    if (!Normalize(path, strlen(path), key))
        return INVALID_HANDLE_VALUE;
    AcquireSRWLockExclusive(&t->lock);
    HANDLE found = FindLocked(t, key, strlen(key));
    ReleaseSRWLockExclusive(&t->lock);
    return found;
}

bool TreeHoldRoot(const char* target) {
    Tree* t = TheTree();
    char root[MAX_PATH];
    if (!Normalize(target, strlen(target), root))
        return false;
    if (TreeFind(root) != INVALID_HANDLE_VALUE) {
        snprintf(t->root, sizeof t->root, "%s", root);
        return true;
    }
    TreeRelease();
    HANDLE held = CreateFileA(target, kHeldFolderAccess, kHeldSharing, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (!IsPlainFolder(held)) {
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        LogLine("folder %s: cannot be held as a plain folder", target);
        return false;
    }
    if (!TreeAdd(target, held, kTreeFound))
        return false;
    snprintf(t->root, sizeof t->root, "%s", root);
    return true;
}

const char* TreeRoot() { return TheTree()->root; }

HANDLE TreeParent(const char* path, const char** leaf, SectionResult* result) {
    const char* slash = strrchr(path, '\\');
    SectionResult walked = slash ? kSectionOk : kSectionWriteFailed;
    HANDLE folder = INVALID_HANDLE_VALUE;
    char parent[MAX_PATH];
    if (slash && Normalize(path, static_cast<size_t>(slash - path) + 1, parent)) {
        Tree* t = TheTree();
        AcquireSRWLockExclusive(&t->lock);
        folder = FindLocked(t, parent, strlen(parent));
        ReleaseSRWLockExclusive(&t->lock);
        if (folder == INVALID_HANDLE_VALUE) {
            walked = Walk(path, static_cast<size_t>(slash - path) + 1, false, nullptr, nullptr, nullptr);
            folder = walked == kSectionOk ? TreeFind(parent) : INVALID_HANDLE_VALUE;
        }
        *leaf = slash + 1;
    }
    if (result)
        *result = folder == INVALID_HANDLE_VALUE && walked == kSectionOk ? kSectionWriteFailed : walked;
    return folder;
}

SectionResult TreeMakeFolders(const char* path, size_t parentLength, SECURITY_ATTRIBUTES* security,
                              void (*made)(const char* folder), bool (*willMake)(const char* folder)) {
    return Walk(path, parentLength, true, security, made, willMake);
}

bool TreeRemoveFolder(const char* path) {
    Tree* t = TheTree();
    char key[MAX_PATH];
    if (!Normalize(path, strlen(path), key))
        return false;
    const char* slash = strrchr(key, '\\');
    if (!slash)
        return false;
    AcquireSRWLockExclusive(&t->lock);
    Held* h = Slot(t, key, strlen(key));
    // The folder above it stays held while it goes.
    HANDLE parent = FindLocked(t, key, static_cast<size_t>(slash - key) + (slash - key == 2 ? 1 : 0));
    bool ours = h && h->path && h->path != kGone && h->origin != kTreeFound && parent != INVALID_HANDLE_VALUE;
    bool removed = ours && DeleteHeldFolder(parent, slash + 1, &h->handle);
    if (ours)
        Drop(h);
    ReleaseSRWLockExclusive(&t->lock);
    return removed;
}

namespace {

int LongerFirst(const void* a, const void* b) {
    size_t x = strlen(*static_cast<char*const*>(a)), y = strlen(*static_cast<char*const*>(b));
    return x < y ? 1 : x > y ? -1 : 0;
}

}  // namespace

void TreeRemoveDestinationFolders() {
    Tree* t = TheTree();
    char** made = static_cast<char**>(malloc((t->capacity + 1) * sizeof(char*)));
    size_t count = 0;
    for (size_t i = 0; made && i < t->capacity; ++i) {
        Held* h = &t->slots[i];
        if (h->path && h->path != kGone && h->origin == kTreeMadeForDestination)
            made[count++] = h->path;
    }
    if (made) {
        qsort(made, count, sizeof(char*), LongerFirst);
        // Copies, since each removal frees the path it was given.
        for (size_t i = 0; i < count; ++i) {
            char folder[MAX_PATH];
            snprintf(folder, sizeof folder, "%s", made[i]);
            TreeRemoveFolder(folder);
        }
    }
    free(made);
    TreeRelease();
}
