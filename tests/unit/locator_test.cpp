// Finding the package in the installer file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "helpers.h"
#include "base/format.h"
#include "package/locator.h"

namespace {

Bytes Signature() {
    Bytes s;
    for (size_t j = 0; j < kSignatureSize; ++j)
        s.push_back(SignatureByte(j));
    return s;
}

// Runs the locator on data; *next is the byte the handle stands on (or -1
// at the end of the file).
bool Locate(const Bytes& data, int* next) {
    std::string folder = NewFolder("locate");
    std::string path = folder + "\\setup.exe";
    EXPECT_TRUE(WriteBytes(path, data));
    HANDLE h = nullptr;
    bool found = FindPackageIn(path.c_str(), &h);
    *next = -1;
    if (h != INVALID_HANDLE_VALUE) {
        unsigned char b;
        if (winfread(&b, h))
            *next = b;
        CloseHandle(h);
    }
    return found;
}

} // namespace

TEST(Signature, FirstByteDoesNotRecurAndNoByteIsFF) {
    Bytes s = Signature();
    for (size_t j = 1; j < s.size(); ++j)
        EXPECT_NE(s[0], s[j]);
    for (unsigned char b : s)
        EXPECT_NE(0xFF, b);
}

TEST(Locator, FindsThePackageAndStandsOnItsFirstByte) {
    Bytes data(kPackageStart + 1000, 0);
    Bytes s = Signature();
    std::copy(s.begin(), s.end(), data.begin() + kPackageStart + 500);
    data[kPackageStart + 506] = 'G';
    int next;
    EXPECT_TRUE(Locate(data, &next));
    EXPECT_EQ('G', next);
}

TEST(Locator, SignatureAcrossABlockBoundaryIsFound) {
    Bytes data(kPackageStart + 65536 + 100, 0x11);
    Bytes s = Signature();
    std::copy(s.begin(), s.end(), data.begin() + kPackageStart + 65533);
    data[kPackageStart + 65539] = 0x42;
    int next;
    EXPECT_TRUE(Locate(data, &next));
    EXPECT_EQ(0x42, next);
}

TEST(Locator, SignatureStartingBeforeThePackageStartIsNotFound) {
    Bytes data(kPackageStart + 100, 0);
    Bytes s = Signature();
    std::copy(s.begin(), s.end(), data.begin() + kPackageStart - 1);
    int next;
    EXPECT_FALSE(Locate(data, &next));
    // The same bytes one further on are found.
    Bytes shifted(kPackageStart + 100, 0);
    std::copy(s.begin(), s.end(), shifted.begin() + kPackageStart);
    EXPECT_TRUE(Locate(shifted, &next));
}

TEST(Locator, SignatureAsTheLastSixBytesIsFound) {
    Bytes data(kPackageStart + 50, 0);
    Bytes s = Signature();
    data.insert(data.end(), s.begin(), s.end());
    int next;
    EXPECT_TRUE(Locate(data, &next));
    EXPECT_EQ(-1, next) << "the handle stands at the end of the file";
}

TEST(Locator, PartialMatchBrokenByTheFirstByteRestartsThere) {
    Bytes s = Signature();
    Bytes data(kPackageStart, 0);
    data.reserve(kPackageStart + 3 + s.size() + 1);     // GCC 12 at -O3 warns wrongly of the inserts without it
    data.insert(data.end(), s.begin(), s.begin() + 3);  // a partial match
    data.insert(data.end(), s.begin(), s.end());         // broken by byte 0
    data.push_back('Z');
    int next;
    EXPECT_TRUE(Locate(data, &next));
    EXPECT_EQ('Z', next);
}

TEST(Locator, NoPackageOrNoFileIsNotFound) {
    int next;
    EXPECT_FALSE(Locate(Bytes(kPackageStart + 4096, 0x5A), &next));
    EXPECT_FALSE(Locate(Bytes(100, 0), &next));
    HANDLE h = nullptr;
    std::string missing = NewFolder("missing") + "\\nothing.exe";
    EXPECT_FALSE(FindPackageIn(missing.c_str(), &h));
    EXPECT_EQ(INVALID_HANDLE_VALUE, h);
}

// What another process of the same user tries against the running
// installer's file while the package is read from it: every rename, write,
// deletion or replacement fails, reading does not. Under Wine the running
// file is this test program (without a package), which Wine would let be
// renamed were it not held.
TEST(Locator, TheRunningFileIsHeldAgainstRenameWriteAndReplacement) {
    std::string folder = NewFolder("image");
#ifdef _WIN32
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string path = self;
    const bool packed = false;
#else
    std::string path = folder + "\\setup.exe";
    Bytes data(kPackageStart + 64, 0);
    Bytes s = Signature();
    std::copy(s.begin(), s.end(), data.begin() + kPackageStart + 10);
    ASSERT_TRUE(WriteBytes(path, data));
    PosixSetModuleFileName(path.c_str());
    const bool packed = true;
#endif
    std::string other = folder + "\\other.exe";
    ASSERT_TRUE(WriteBytes(other, FromText("another program")));
    HANDLE h = nullptr;
    EXPECT_EQ(!packed, WyszukajRc(&h));
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    std::string moved = path + ".moved";
    SetLastError(0);
    bool renamed = MoveFileA(path.c_str(), moved.c_str()) != FALSE;
    EXPECT_FALSE(renamed);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    if (renamed)
        MoveFileA(moved.c_str(), path.c_str());
    EXPECT_FALSE(CopyFileA(other.c_str(), path.c_str(), FALSE)) << "replaced";
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, writer) << "opened for writing";
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, reader) << "reading is still shared";
    if (reader != INVALID_HANDLE_VALUE)
        CloseHandle(reader);
    CloseHandle(h);
#ifndef _WIN32
    EXPECT_TRUE(MoveFileA(path.c_str(), moved.c_str())) << "let go";
    PosixSetModuleFileName(nullptr);
#endif
}

#ifndef _WIN32
// The stand-in plays the running file renamed away and another put under its
// name (Wine keeps the name a program started by, so it cannot show this):
// the file now at the name is never read.
TEST(Locator, AFileThatTookTheRunningProgramsNameIsNotRead) {
    std::string folder = NewFolder("renamed");
    std::string path = folder + "\\setup.exe";
    Bytes data(kPackageStart + 64, 0);
    Bytes s = Signature();
    std::copy(s.begin(), s.end(), data.begin() + kPackageStart + 10);
    ASSERT_TRUE(WriteBytes(path, data));
    std::string upper = path;
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    struct Row {
        const char* label;
        std::string image;  // where the program's image is mapped from
        bool read;
    } rows[] = {
        {"the running file", path, true},
        {"the same name in other letters", upper, true},
        {"the running file was renamed away", folder + "\\setup-renamed.exe", false},
        {"another folder", NewFolder("elsewhere") + "\\setup.exe", false},
    };
    PosixSetModuleFileName(path.c_str());
    for (const Row& r : rows) {
        PosixSetMappedFileName(r.image.c_str());
        HANDLE h = nullptr;
        EXPECT_EQ(r.read, !WyszukajRc(&h)) << r.label;
        EXPECT_EQ(r.read, h != INVALID_HANDLE_VALUE) << r.label;
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        EXPECT_TRUE(MoveFileA(path.c_str(), (path + ".x").c_str()) && MoveFileA((path + ".x").c_str(), path.c_str()))
            << r.label << ": nothing stays held";
    }
    PosixSetMappedFileName(nullptr);
    PosixSetModuleFileName(nullptr);
}
#endif

TEST(Sygnatura, StepsOnlyAtItsOwnPosition) {
    struct Row {
        unsigned short state, j;
        unsigned char expected, byte;
        unsigned short after;
    } rows[] = {
        {0, 0, 'a', 'a', 1}, {0, 0, 'a', 'b', 0}, {3, 3, 'x', 'x', 4},
        {3, 3, 'x', 'y', 0}, {2, 4, 'x', 'x', 2}, {5, 5, 'q', 'q', 6},
    };
    for (const Row& r : rows) {
        unsigned short state = r.state;
        Sygnatura(&state, r.j, r.expected, r.byte);
        EXPECT_EQ(r.after, state) << "state " << r.state << " position " << r.j;
    }
}

TEST(Sygnatura, SharedMatcherAgreesWithTheLocatorsSteps) {
    // Every state against bytes that continue, restart or break a match.
    for (unsigned short state = 0; state < kSignatureSize; ++state) {
        for (int b = 0; b < 256; ++b) {
            unsigned short stepped = state;
            for (int j = static_cast<int>(kSignatureSize) - 1; j >= 0; --j)
                Sygnatura(&stepped, static_cast<unsigned short>(j), SignatureByte(j), static_cast<unsigned char>(b));
            EXPECT_EQ(stepped, MatchSignatureByte(state, static_cast<unsigned char>(b))) << state << " " << b;
        }
    }
}
