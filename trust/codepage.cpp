// Names converted between UTF-16 and the ANSI code page without best-fit
// letters, and the temporary folder chosen by what converts.
#include "trust/codepage.h"

#include <cstring>
#include <cwchar>

#include "base/switches.h"

namespace {

// The length of text (n characters) without its trailing backslashes.
size_t WithoutBackslashes(const WCHAR* text, size_t n) {
    while (n > 0 && text[n - 1] == L'\\')
        --n;
    return n;
}

// The length of a command line without what the switch parser strips from
// the end of /D=: blanks, one closing quote, backslashes.
size_t TrimmedEnd(const WCHAR* line, size_t n) {
    while (n > 0 && (line[n - 1] == L' ' || line[n - 1] == L'\t'))
        --n;
    if (n > 0 && line[n - 1] == L'"')
        --n;
    return WithoutBackslashes(line, n);
}

const char* SourceName(TempSource source) {
    switch (source) {
    case kTempAsNamed:
        return "the temporary folder";
    case kTempShortName:
        return "the short form of the temporary folder, whose name the code page cannot write";
    case kTempWindows:
        return "the Windows temporary folder: the code page cannot write the temporary folder's name, and it has no "
               "short form that it can";
    default:
        return "none";
    }
}

}  // namespace

bool ExactInCodePage(const WCHAR* wide, char* out, size_t size) {
    out[0] = '\0';
    BOOL replaced = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, out, static_cast<int>(size), nullptr,
                                &replaced);
    if (n <= 0 || replaced) {
        out[0] = '\0';
        return false;
    }
    // Back again, letter for letter: a code page may still map two letters
    // to one byte.
    WCHAR back[2 * MAX_PATH];
    size_t length = wcslen(wide) + 1;
    int m = length <= 2 * MAX_PATH ? MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, out, -1, back, 2 * MAX_PATH) : 0;
    if (m != static_cast<int>(length) || wmemcmp(back, wide, length) != 0) {
        out[0] = '\0';
        return false;
    }
    return true;
}

bool DestinationArgumentExact(const char* destination) {
    WCHAR wide[MAX_PATH + 1];
    if (!MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, destination, -1, wide, MAX_PATH + 1))
        return false;
    const WCHAR* line = GetCommandLineW();
    size_t n = TrimmedEnd(line, wcslen(line));
    size_t m = WithoutBackslashes(wide, wcslen(wide));
    if (m == 0 || m > n || wmemcmp(line + n - m, wide, m) != 0)
        return false;
    // The match is the whole value of the switch.
    return n > m && (line[n - m - 1] == L'=' || line[n - m - 1] == L'"');
}

TempSource UsableTempFolder(char* out, size_t size) {
    WCHAR temp[MAX_PATH + 1], shortForm[MAX_PATH + 1], windows[MAX_PATH + 8];
    char named[MAX_PATH], shortName[MAX_PATH], windowsTemp[MAX_PATH];
    TempCandidates candidates = {nullptr, nullptr, nullptr};
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) {
        out[0] = '\0';
        LogLine("temporary folder: none (error %lu)", static_cast<unsigned long>(GetLastError()));
        return kTempNone;
    }
    if (ExactInCodePage(temp, named, sizeof named)) {
        candidates.named = named;
    } else {
        DWORD s = GetShortPathNameW(temp, shortForm, MAX_PATH + 1);
        if (s > 0 && s <= MAX_PATH && ExactInCodePage(shortForm, shortName, sizeof shortName))
            candidates.shortName = shortName;
    }
    UINT w = GetSystemWindowsDirectoryW(windows, MAX_PATH + 1);
    if (w > 0 && w < MAX_PATH) {
        wcscat(windows, windows[w - 1] == L'\\' ? L"Temp\\" : L"\\Temp\\");
        if (ExactInCodePage(windows, windowsTemp, sizeof windowsTemp))
            candidates.windows = windowsTemp;
    }
    TempSource source = ChooseTempFolder(candidates, out, size);
    if (source == kTempNone && candidates.named)
        LogLine("temporary folder: %s is too long for the scratch paths", named);
    else if (source != kTempAsNamed)
        LogLine("temporary folder: %s%s%s", SourceName(source), source == kTempNone ? "" : ", ", out);
    return source;
}
