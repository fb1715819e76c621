// Shared pieces of the fuzz targets; plain POSIX calls only, so that the
// stand-in's call counter and handle count see just the code under test.
#include "common.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <unistd.h>

namespace {

int RemoveOne(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

int RemoveBelow(const char* path, const struct stat*, int, struct FTW* at) { return at->level > 0 ? remove(path) : 0; }

void RemoveWork() { nftw(Posix(WorkFolder()).c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS); }

}  // namespace

std::string Posix(const std::string& windowsPath) {
    std::string s = windowsPath;
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

const std::string& WorkFolder() {
    static std::string folder;
    if (folder.empty()) {
        // A RAM disk keeps a file-writing target fast and spares the disk.
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp");
        std::string pattern = std::string(base) + "/brondale-fuzz-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (!mkdtemp(buffer.data()))
            Broken("cannot create the work folder", pattern);
        folder = buffer.data();
        std::replace(folder.begin(), folder.end(), '/', '\\');
        atexit(RemoveWork);
    }
    return folder;
}

void WriteWhole(const std::string& path, const unsigned char* data, size_t size) {
    int fd = open(Posix(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    Check(fd >= 0, "cannot create", path);
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, data + done, size - done);
        Check(n > 0, "cannot write", path);
        done += static_cast<size_t>(n);
    }
    close(fd);
}

void EmptyFolder(const std::string& folder) { nftw(Posix(folder).c_str(), RemoveBelow, 16, FTW_DEPTH | FTW_PHYS); }

std::string PaddedInstaller(const unsigned char* data, size_t size) {
    static std::string path;
    static int fd = -1;
    const size_t kPadding = 135300;  // kPackageStart
    if (fd < 0) {
        path = Posix(WorkFolder()) + "/setup.exe";
        std::vector<unsigned char> zeros(kPadding, 0);
        WriteWhole(path, zeros.data(), zeros.size());
        fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
        Check(fd >= 0, "cannot reopen", path);
    }
    Check(ftruncate(fd, kPadding) == 0, "cannot cut", path);
    Check(pwrite(fd, data, size, kPadding) == static_cast<ssize_t>(size), "cannot write", path);
    return path;
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    DIR* d = opendir(Posix(folder).c_str());
    Check(d != nullptr, "cannot list", folder);
    while (struct dirent* e = readdir(d))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
            names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

void Broken(const char* what, const std::string& detail) {
    fprintf(stderr, "fuzz check failed: %s %s\n", what, detail.c_str());
    abort();
}

std::string Text(const unsigned char* data, size_t size, size_t limit) {
    size_t n = 0;
    while (n < size && n < limit && data[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(data), n);
}
