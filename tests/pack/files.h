// Folders and files for the packing tool's tests.
#ifndef BRONDALE_TESTS_PACK_FILES_H
#define BRONDALE_TESTS_PACK_FILES_H

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace packtest {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

// A fresh, empty folder for one test.
inline fs::path Folder(const std::string& label) {
    fs::path p = fs::temp_directory_path() / ("brondale-packtool-" + label + "-" + std::to_string(getpid()));
    fs::remove_all(p);
    fs::create_directories(p);
    return p;
}

inline void Put(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

inline Bytes Load(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// An installer program that is only padding: the package format does not
// look into it.
inline Bytes Stub() {
    Bytes stub = {'M', 'Z'};
    stub.resize(4096, 0);
    return stub;
}

} // namespace packtest

#endif
