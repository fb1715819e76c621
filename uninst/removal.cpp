// The removal of the installed files through held folders (trust/
// relative.h): every name is opened from its folder's handle, as itself.
#include "uninst/removal.h"

#include <zlib.h>

#include <algorithm>

#include "base/ascii.h"
#include "base/files.h"
#include "base/switches.h"
#include "trust/held.h"
#include "trust/relative.h"

namespace {

bool Gone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The folders of relative (a listed file) from the top, without the file.
std::vector<std::string> FoldersOf(const std::string& relative) {
    std::vector<std::string> folders;
    for (size_t slash = relative.find('\\'); slash != std::string::npos; slash = relative.find('\\', slash + 1))
        folders.push_back(relative.substr(0, slash));
    return folders;
}

std::string LastName(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The held folder of a path below the destination ("" for the destination
// itself); INVALID_HANDLE_VALUE when it is not held.
HANDLE HeldFolder(const RemovalTree& tree, const std::string& folder) {
    if (folder.empty())
        return tree.root;
    auto found = tree.folders.find(LowerAscii(folder));
    return found == tree.folders.end() ? INVALID_HANDLE_VALUE : found->second.second;
}

// Holds the folders of one listed file, each from the one above; stops at
// the first that is missing or that is not a plain folder.
void HoldFoldersOf(RemovalTree* tree, const std::string& relative) {
    HANDLE above = tree->root;
    for (const std::string& folder : FoldersOf(relative)) {
        HANDLE held = HeldFolder(*tree, folder);
        if (held == INVALID_HANDLE_VALUE) {
            held = OpenIn(above, LastName(folder).c_str(), kHeldFolderAccess, kHeldSharing, FILE_OPEN,
                          FILE_DIRECTORY_FILE);
            if (held == INVALID_HANDLE_VALUE) {
                if (GetLastError() == kErrorLink)
                    LogLine("%s\\%s: a link or junction, not entered", tree->destination.c_str(), folder.c_str());
                return;
            }
            tree->folders[LowerAscii(folder)] = {folder, held};
        }
        above = held;
    }
}

// Size and CRC-32 of the file open on h, read from its start.
bool SumThrough(HANDLE h, uint32_t* size, uint32_t* crc) {
    static unsigned char block[1 << 16];
    uLong sum = ::crc32(0L, Z_NULL, 0);
    uint64_t total = 0;
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(h, block, sizeof block, &got, nullptr) != 0) && got > 0) {
        sum = ::crc32(sum, block, got);
        total += got;
    }
    *size = static_cast<uint32_t>(total);
    *crc = static_cast<uint32_t>(sum);
    return ok && total <= UINT32_MAX;
}

// Removes one listed file through its own handle when it is unchanged.
void RemoveOne(const RemovalTree& tree, const ListedFile& file, Outcome* outcome) {
    std::string path = tree.destination + "\\" + file.path;
    size_t slash = file.path.find_last_of('\\');
    HANDLE folder = HeldFolder(tree, slash == std::string::npos ? "" : file.path.substr(0, slash));
    if (folder == INVALID_HANDLE_VALUE)
        return;  // its folder is gone, or was a link: nothing of ours there
    // Read-shared only: nobody writes it between the check and the deletion.
    HANDLE h = OpenIn(folder, LastName(file.path).c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, FILE_OPEN,
                      FILE_NON_DIRECTORY_FILE);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (!Gone(error) && error != kErrorLink && error != ERROR_ACCESS_DENIED)
            outcome->failed.push_back(path);
        return;  // gone, a link or a folder in its place: not ours to delete
    }
    uint32_t size = 0, crc = 0;
    bool read = SumThrough(h, &size, &crc);
    if (!read)
        outcome->failed.push_back(path);
    else if (size == file.size && crc == file.crc && !DeleteThrough(h))
        outcome->failed.push_back(path);
    CloseHandle(h);
}

}  // namespace

bool HoldRemovalTree(const std::string& destination, const std::vector<ListedFile>& files, RemovalTree* tree) {
    // A destination given with a trailing backslash is registered with it.
    size_t n = destination.size();
    while (n > 3 && destination[n - 1] == '\\')
        --n;
    tree->destination = destination.substr(0, n);
    tree->root = CreateFileA(tree->destination.c_str(), kHeldFolderAccess, kHeldSharing, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    char final[MAX_PATH + 16];
    if (!IsPlainFolder(tree->root) || !FinalPath(tree->root, final, sizeof final) ||
        !SamePath(final, tree->destination.c_str())) {
        LogLine("%s: not held (not a plain folder of that path)", destination.c_str());
        ReleaseRemovalTree(tree);
        return false;
    }
    for (const ListedFile& file : files)
        if (StaysInside(file.path))
            HoldFoldersOf(tree, file.path);
    return true;
}

void RemoveFiles(RemovalTree* tree, const std::vector<ListedFile>& files, Outcome* outcome) {
    if (tree->root == INVALID_HANDLE_VALUE)
        return;
    for (const ListedFile& file : files)
        if (StaysInside(file.path))
            RemoveOne(*tree, file, outcome);
    // Deepest first, so that a folder's subfolders go before it, each while
    // the one above it is held; a folder that still holds something stays.
    std::vector<std::string> held;
    for (const auto& entry : tree->folders)
        held.push_back(entry.first);
    auto depth = [](const std::string& s) { return std::count(s.begin(), s.end(), '\\'); };
    std::sort(held.begin(), held.end(), [&](const std::string& a, const std::string& b) { return depth(a) > depth(b); });
    for (const std::string& key : held) {
        size_t slash = key.find_last_of('\\');
        HANDLE above = HeldFolder(*tree, slash == std::string::npos ? "" : tree->folders[key].first.substr(0, slash));
        if (above != INVALID_HANDLE_VALUE)
            DeleteHeldFolder(above, LastName(tree->folders[key].first).c_str(), &tree->folders[key].second);
    }
    ReleaseRemovalTree(tree);
}

void ReleaseRemovalTree(RemovalTree* tree) {
    for (auto& entry : tree->folders)
        if (entry.second.second != INVALID_HANDLE_VALUE)
            CloseHandle(entry.second.second);
    tree->folders.clear();
    ReleaseHeld(&tree->root);
}
