// The packing tool's platform layer: Win32 and the C runtime's wide calls on
// Windows, POSIX and iconv elsewhere. Each function behaves the same on both,
// so the bytes of a package never depend on where it was packed.
#include "pack/platform.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#include <io.h>
#else
#include <iconv.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

#ifdef _WIN32

FILE* OpenInput(const std::string& path) { return _wfopen(fs::u8path(path).wstring().c_str(), L"rb"); }

FILE* OpenOutput(const std::string& path) { return _wfopen(fs::u8path(path).wstring().c_str(), L"wb"); }

bool SeekTo(FILE* f, uint64_t at) { return _fseeki64(f, static_cast<__int64>(at), SEEK_SET) == 0; }

uint64_t FileSize(FILE* f) {
    _fseeki64(f, 0, SEEK_END);
    return static_cast<uint64_t>(_ftelli64(f));
}

bool ToCodePage(const std::string& utf8, int codePage, std::string* out) {
    int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), nullptr,
                                   0);
    if (wide <= 0 && !utf8.empty())
        return false;
    std::wstring w(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), wide);
    BOOL lossy = FALSE;
    int n = WideCharToMultiByte(static_cast<UINT>(codePage), WC_NO_BEST_FIT_CHARS, w.data(), wide, nullptr, 0, nullptr,
                                &lossy);
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

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    int n = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (wide && n == argc) {
        for (int i = 0; i < n; ++i)
            args[i] = fs::path(wide[i]).u8string();
    }
    if (wide)
        LocalFree(wide);
    return args;
}

fs::path ExecutablePath() {
    wchar_t path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(sizeof path / sizeof path[0]));
    if (n > 0 && n < sizeof path / sizeof path[0])
        return fs::path(std::wstring(path, n));
    return fs::path();
}

bool IsTerminal(FILE* f) {
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

std::string ShellQuoted(const std::string& path) { return "\"" + path + "\""; }

int RunShell(const std::string& command) {
    fflush(nullptr);
    // cmd.exe /c takes away the first and the last quotation mark of a
    // command that starts with one: a pair around the whole keeps the rest.
    std::wstring wide = L"\"" + fs::u8path(command).wstring() + L"\"";
    return _wsystem(wide.c_str());
}

#else

FILE* OpenInput(const std::string& path) { return fopen(path.c_str(), "rb"); }

FILE* OpenOutput(const std::string& path) { return fopen(path.c_str(), "wb"); }

bool SeekTo(FILE* f, uint64_t at) { return fseeko(f, static_cast<off_t>(at), SEEK_SET) == 0; }

uint64_t FileSize(FILE* f) {
    fseeko(f, 0, SEEK_END);
    return static_cast<uint64_t>(ftello(f));
}

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

}  // namespace

bool FromCodePage(const std::string& ansi, int codePage, std::string* utf8) {
    return Convert("UTF-8", ("CP" + std::to_string(codePage)).c_str(), ansi, utf8);
}

bool ToCodePage(const std::string& utf8, int codePage, std::string* out) {
    return Convert(("CP" + std::to_string(codePage)).c_str(), "UTF-8", utf8, out);
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

fs::path ExecutablePath() {
    std::error_code ec;
    fs::path self = fs::canonical("/proc/self/exe", ec);
    return ec ? fs::path() : self;
}

bool IsTerminal(FILE* f) { return isatty(fileno(f)) != 0; }

std::string ShellQuoted(const std::string& path) {
    std::string quoted = "'";
    for (char c : path)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

int RunShell(const std::string& command) {
    fflush(nullptr);
    int status = system(command.c_str());
    if (status == -1 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

#endif
