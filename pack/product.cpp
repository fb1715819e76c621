// Walks a product folder. Only regular files are packed (a link is followed
// to its file); the installer cannot represent empty folders, so they are
// reported and left out.
#include "pack/product.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include "base/format.h"

namespace fs = std::filesystem;

#ifdef _WIN32
bool ToCodePage(const std::string& utf8, int codePage, std::string* out) {
    int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (wide <= 0 && !utf8.empty())
        return false;
    std::wstring w(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), wide);
    BOOL lossy = FALSE;
    int n = WideCharToMultiByte(static_cast<UINT>(codePage), WC_NO_BEST_FIT_CHARS, w.data(), wide, nullptr, 0,
                                nullptr, &lossy);
    if ((n <= 0 && !w.empty()) || lossy)
        return false;
    out->assign(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(static_cast<UINT>(codePage), WC_NO_BEST_FIT_CHARS, w.data(), wide, out->data(), n, nullptr,
                        &lossy);
    return !lossy;
}

bool FromCodePage(const std::string& ansi, int codePage, std::string* utf8) {
    int wide = MultiByteToWideChar(static_cast<UINT>(codePage), MB_ERR_INVALID_CHARS, ansi.data(),
                                   static_cast<int>(ansi.size()), nullptr, 0);
    if (wide <= 0 && !ansi.empty())
        return false;
    std::wstring w(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(static_cast<UINT>(codePage), 0, ansi.data(), static_cast<int>(ansi.size()), w.data(), wide);
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    utf8->assign(static_cast<size_t>(n > 0 ? n : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, utf8->data(), n, nullptr, nullptr);
    return true;
}
#else
namespace {

// Converts with iconv; false when a character does not convert exactly.
bool Convert(const char* to, const char* from, const std::string& in, std::string* out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string source = in;
    std::string result(source.size() * 4 + 4, '\0');
    char* src = source.data();
    size_t srcLeft = source.size();
    char* dst = result.data();
    size_t dstLeft = result.size();
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (r != 0)
        return false;  // invalid input, or a character replaced on the way
    result.resize(result.size() - dstLeft);
    *out = result;
    return true;
}

} // namespace

bool FromCodePage(const std::string& ansi, int codePage, std::string* utf8) {
    return Convert("UTF-8", ("CP" + std::to_string(codePage)).c_str(), ansi, utf8);
}

bool ToCodePage(const std::string& utf8, int codePage, std::string* out) {
    return Convert(("CP" + std::to_string(codePage)).c_str(), "UTF-8", utf8, out);
}

#endif

namespace {

bool Walk(const fs::path& root, int codePage, std::vector<SectionFile>* files, std::string* error) {
    std::error_code ec;
    if (!fs::exists(root, ec))
        return true;
    if (!fs::is_directory(root, ec)) {
        *error = root.string() + " is not a folder";
        return false;
    }
    for (fs::recursive_directory_iterator it(root, fs::directory_options::follow_directory_symlink, ec), end;
         it != end; it.increment(ec)) {
        if (ec)
            break;
        const fs::path& p = it->path();
        if (!it->is_regular_file(ec))
            continue;
        std::string relative = fs::relative(p, root, ec).generic_u8string();
        std::string name;
        if (!ToCodePage(relative, codePage, &name)) {
            *error = "\"" + relative + "\" has a character outside code page " + std::to_string(codePage) +
                     " (name another with --codepage)";
            return false;
        }
        std::replace(name.begin(), name.end(), '/', '\\');
        if (name.size() > kMaxPath - 4) {
            *error = "\"" + relative + "\" is too long: a path in the package holds at most " +
                     std::to_string(kMaxPath - 4) + " characters";
            return false;
        }
        if (!IsSafeMemberPath(name.c_str(), name.size())) {
            *error = "\"" + relative + "\" cannot be a file name on Windows (reserved name, forbidden character, "
                     "or a name ending in a dot or a blank)";
            return false;
        }
        files->push_back(SectionFile{name, p.u8string(), {}});
    }
    if (ec) {
        *error = "cannot read " + root.string() + ": " + ec.message();
        return false;
    }
    std::sort(files->begin(), files->end(),
              [](const SectionFile& a, const SectionFile& b) { return a.name < b.name; });
    return true;
}

} // namespace

bool ReadProduct(const std::string& productDir, int codePage, std::vector<SectionFile> sections[3],
                 std::string* error) {
    std::error_code ec;
    if (!fs::is_directory(productDir, ec)) {
        *error = productDir + " is not a folder";
        return false;
    }
    static const char* const kFolders[3] = {"lang", "install", "program"};
    for (int s = 0; s < 3; ++s) {
        sections[s].clear();
        if (!Walk(fs::path(productDir) / kFolders[s], codePage, &sections[s], error))
            return false;
    }
    return true;
}
