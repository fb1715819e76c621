// The handle table: the count of open handles, the files open now (for the
// sharing checks, which the file pool's workers make at once: keep every use
// of the list under its lock) and the file a test holds open.
#include "posix/handletable_posix.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "posix/errors_posix.h"
#include "posix/paths_posix.h"

namespace {

struct Table {
    std::atomic<unsigned long> openHandles{0};
    // The files open now, for the sharing checks; guarded by files.
    std::mutex files;
    std::vector<PosixFile*> openFiles;
    // The file a test holds open and how many more calls it refuses.
    std::mutex held;
    std::string heldPath;
    int heldRefusals = 0;
};

Table& Handles() {
    static Table table;
    return table;
}

}  // namespace

int PosixKindOf(const void* h) {
    if (h == nullptr || h == INVALID_HANDLE_VALUE || h == POSIX_TOKEN_HANDLE)
        return 0;
    return *static_cast<const int*>(h);
}

PosixFile* PosixFileOf(HANDLE h) { return PosixKindOf(h) == kPosixFile ? static_cast<PosixFile*>(h) : nullptr; }

void PosixHandleOpened() { ++Handles().openHandles; }

void PosixHandleClosed() { --Handles().openHandles; }

unsigned long PosixOpenHandles(void) { return Handles().openHandles; }

void PosixEnterFile(PosixFile* f) {
    {
        std::lock_guard<std::mutex> guard(Handles().files);
        Handles().openFiles.push_back(f);
    }
    PosixHandleOpened();
}

void PosixLeaveFile(PosixFile* f) {
    {
        std::lock_guard<std::mutex> guard(Handles().files);
        std::vector<PosixFile*>& open = Handles().openFiles;
        open.erase(std::remove(open.begin(), open.end(), f), open.end());
    }
    PosixHandleClosed();
}

bool PosixSharingRefuses(const struct stat& st, DWORD uses, DWORD share) {
    std::lock_guard<std::mutex> guard(Handles().files);
    for (const PosixFile* f : Handles().openFiles) {
        if (f->device != st.st_dev || f->inode != st.st_ino)
            continue;
        if ((uses & ~f->share) != 0 || (f->uses & ~share) != 0) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return true;
        }
    }
    return false;
}

bool PosixDeleteRefused(const struct stat& st) {
    return PosixSharingRefuses(st, FILE_SHARE_DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
}

bool PosixHeldOpen(const std::string& path) {
    Table& t = Handles();
    std::lock_guard<std::mutex> guard(t.held);
    if (t.heldRefusals <= 0 || path != t.heldPath)
        return false;
    --t.heldRefusals;
    SetLastError(ERROR_SHARING_VIOLATION);
    return true;
}

void PosixHoldOpen(const char* path, int refusals) {
    std::lock_guard<std::mutex> guard(Handles().held);
    Handles().heldPath = PosixUnixPath(path);
    Handles().heldRefusals = refusals;
}

PosixFile* PosixNewFile(int fd, bool link, bool readable, bool writable, DWORD uses, DWORD share,
                        const std::string& path, int parentFd, const std::string& name) {
    struct stat st;
    fstat(fd, &st);
    bool data = !link && !S_ISDIR(st.st_mode);
    return new PosixFile{kPosixFile, fd,    data && readable, data && writable,
                         uses,       share, st.st_dev,        st.st_ino,
                         link,       path,  parentFd,         name};
}
