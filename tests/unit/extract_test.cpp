// The section reader on packages from the writer, and on every kind of damage
// that a download, a disk or a hostile packer can bring.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "helpers.h"
#include "package/extract.h"
#include "base/format.h"
#include "package/locator.h"
#include "package/heldtree.h"
#include "package/record.h"
#include "lang/texts.h"
#include "base/state.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

Bytes Gzip(const Bytes& data) {
    Bytes out;
    EXPECT_TRUE(GzipMember(data.data(), data.size(), 6, &out));
    return out;
}

// A section assembled by hand from finished members, for damage the writer
// would never produce.
Bytes RawSection(uint32_t checksum, const std::vector<Bytes>& members) {
    uint32_t count = static_cast<uint32_t>(members.size());
    Bytes out(kSectionFixedSize + 4 * count);
    memcpy(out.data(), kSectionMagic, 3);
    WriteLe32(&out[3], checksum);
    WriteLe32(&out[11], count);
    uint32_t offset = static_cast<uint32_t>(out.size());
    for (uint32_t i = 0; i <= count; ++i) {
        WriteLe32(&out[kSectionHeaderSize + 4 * i], offset);
        if (i < count)
            offset += static_cast<uint32_t>(members[i].size());
    }
    for (const Bytes& m : members)
        out.insert(out.end(), m.begin(), m.end());
    return out;
}

uint32_t Sum(const std::vector<Bytes>& plain) {
    uint64_t s = 0;
    for (const Bytes& b : plain)
        s = ChecksumAdd(s, b.data(), b.size());
    return static_cast<uint32_t>(s);
}

// A section of plain members: path list first, then the files.
Bytes PlainSection(const std::string& pathList, const std::vector<Bytes>& files) {
    std::vector<Bytes> plain = {FromText(pathList)};
    plain.insert(plain.end(), files.begin(), files.end());
    std::vector<Bytes> members;
    for (const Bytes& p : plain)
        members.push_back(Gzip(p));
    return RawSection(Sum(plain), members);
}

// Writes section bytes (and what follows) to a file and extracts the first
// section into target. *after is the byte the handle then stands on.
SectionResult ExtractBytes(const Bytes& data, const std::string& target, unsigned short mode = kModePlain,
                           int* after = nullptr) {
    std::string file = NewFolder("pkg") + "\\section.bin";
    EXPECT_TRUE(WriteBytes(file, data));
    HANDLE h = OpenForReading(file);
    EXPECT_NE(INVALID_HANDLE_VALUE, h);
    SectionResult r = ExtractSection(target.c_str(), mode, h);
    if (after) {
        unsigned char b;
        *after = winfread(&b, h) ? b : -1;
    }
    CloseHandle(h);
    return r;
}

struct Tree {
    std::string root;    // holds only the target and a sentinel
    std::string target;
};

Tree NewTree(const char* label) {
    Tree t;
    t.root = NewFolder(label);
    t.target = t.root + "\\target";
    EXPECT_TRUE(CreateDirectoryA(t.target.c_str(), nullptr));
    EXPECT_TRUE(WriteBytes(t.root + "\\sentinel.txt", FromText("outside")));
    return t;
}

// Nothing outside the target appeared, changed or went.
void ExpectUntouched(const Tree& t, const std::string& label) {
    std::vector<std::string> outside;
    for (const std::string& name : ListTree(t.root))
        if (name.compare(0, 7, "target\\") != 0)
            outside.push_back(name);
    std::vector<std::string> expected = {"sentinel.txt"};
    EXPECT_EQ(expected, outside) << label;
    EXPECT_TRUE(IsFolder(t.target)) << label;
    Bytes s;
    EXPECT_TRUE(ReadBytes(t.root + "\\sentinel.txt", &s));
    EXPECT_EQ(FromText("outside"), s) << label;
}

std::vector<SectionFile> SomeProgramFiles() {
    return {
        {"readme.txt", "", FromText("Read me.\r\n")},
        {"bin\\app.exe", "", Noise(3u << 20, 7)},
        {"bin\\empty.dat", "", {}},
        {"doc\\pl\\instrukcja.txt", "", FromText("Instrukcja obs\xB3ugi")},
    };
}

} // namespace

TEST(Extract, WholePackageComesOutByteForByte) {
    std::vector<SectionFile> lang = {{"English.lng", "", FromText("[lng]\r\n1=Do you want to install\r\n")},
                                     {"Deutsch.lng", "", FromText("[lng]\r\n3=Installieren\r\n")}};
    std::vector<SectionFile> install = {{"init.cfg", "", FromText("[cfg]\r\n1=Product\r\n")},
                                        {"UnInst.dat", "", Noise(5000, 3)}};
    std::vector<SectionFile> program = SomeProgramFiles();
    Bytes sections = Section(lang);
    Bytes second = Section(install, true);
    Bytes third = Section(program);
    sections.insert(sections.end(), second.begin(), second.end());
    sections.insert(sections.end(), third.begin(), third.end());

    std::string folder = NewFolder("whole");
    std::string setup = folder + "\\setup.exe";
    ASSERT_TRUE(WriteBytes(setup, Installer(sections)));
    HANDLE h = nullptr;
    ASSERT_TRUE(FindPackageIn(setup.c_str(), &h));

    const std::vector<SectionFile>* expected[3] = {&lang, &install, &program};
    const unsigned short modes[3] = {kModePlain, kModeScrambled, kModePlain};
    for (int s = 0; s < 3; ++s) {
        std::string target = folder + "\\out" + std::to_string(s);
        ASSERT_EQ(kSectionOk, ExtractSection(target.c_str(), modes[s], h)) << "section " << s;
        for (const SectionFile& f : *expected[s]) {
            Bytes got;
            ASSERT_TRUE(ReadBytes(target + "\\" + f.name, &got)) << f.name;
            EXPECT_TRUE(got == f.bytes) << f.name << ": " << got.size() << " bytes, expected " << f.bytes.size();
        }
        EXPECT_EQ(expected[s]->size() + 1, *IlePlikow());
    }
    unsigned char b;
    EXPECT_FALSE(winfread(&b, h)) << "the program section ends the file";
    CloseHandle(h);
}

// The record of written files keeps each file's size and zlib CRC-32 of the
// bytes written (descrambled in mode 2), for the uninstaller's file list.
TEST(Extract, RecordKeepsSizeAndCrcOfEveryFileWritten) {
    struct Row {
        const char* label;
        std::vector<SectionFile> files;
        unsigned short mode;
    } rows[] = {
        {"program, a file over many blocks", SomeProgramFiles(), kModePlain},
        {"scrambled Install section", {{"init.cfg", "", FromText("[cfg]\r\n1=P\r\n")}, {"UnInst.dat", "", Noise(70000, 5)}},
         kModeScrambled},
    };
    for (const Row& row : rows) {
        std::string folder = NewFolder("sums");
        ASSERT_TRUE(WriteBytes(folder + "\\setup.exe", Installer(Section(row.files, row.mode == kModeScrambled))));
        HANDLE h = nullptr;
        ASSERT_TRUE(FindPackageIn((folder + "\\setup.exe").c_str(), &h)) << row.label;
        std::string target = folder + "\\out";
        ASSERT_EQ(kSectionOk, ExtractSection(target.c_str(), row.mode, h)) << row.label;
        CloseHandle(h);
        size_t seen = 0;
        for (size_t i = 0; i < WrittenCount(); ++i) {
            bool isFolder = false;
            std::string path = WrittenEntry(i, &isFolder);
            uint32_t size = 0xDEADBEEF, crc = 0xDEADBEEF;
            WrittenSum(i, &size, &crc);
            if (isFolder) {
                EXPECT_EQ(0u, size) << path;
                continue;
            }
            for (const SectionFile& f : row.files) {
                if (target + "\\" + f.name != path)
                    continue;
                ++seen;
                uLong expected = crc32(0L, f.bytes.data(), static_cast<uInt>(f.bytes.size()));
                EXPECT_EQ(f.bytes.size(), size) << row.label << ": " << f.name;
                EXPECT_EQ(static_cast<uint32_t>(expected), crc) << row.label << ": " << f.name;
            }
        }
        EXPECT_EQ(row.files.size(), seen) << row.label;
    }
}

TEST(Extract, InstallSectionIsScrambledInThePackage) {
    Bytes plain = FromText("[cfg]\r\n1=Secret product name\r\n");
    Bytes section = Section({{"init.cfg", "", plain}}, true);
    // Member 1 inflated by itself still carries the scramble.
    uint32_t start = ReadLe32(&section[kSectionHeaderSize + 4]);
    uint32_t end = ReadLe32(&section[kSectionHeaderSize + 8]);
    Bytes raw(plain.size());
    z_stream z{};
    ASSERT_EQ(Z_OK, inflateInit2(&z, 16 + MAX_WBITS));
    z.next_in = &section[start];
    z.avail_in = end - start;
    z.next_out = raw.data();
    z.avail_out = static_cast<uInt>(raw.size());
    EXPECT_EQ(Z_STREAM_END, inflate(&z, Z_FINISH));
    inflateEnd(&z);
    EXPECT_NE(plain, raw);
    unsigned char key[kScrambleKeySize];
    ScrambleKey(kVendorRegistryPath, kInstallerName, key);
    EXPECT_EQ(plain[0] ^ key[0], raw[0]);
    EXPECT_EQ(plain[29] ^ key[0], raw[29]);

    Tree t = NewTree("scrambled");
    ASSERT_EQ(kSectionOk, ExtractBytes(section, t.target, kModeScrambled));
    Bytes got;
    ASSERT_TRUE(ReadBytes(t.target + "\\init.cfg", &got));
    EXPECT_EQ(plain, got);
}

TEST(Extract, SectionWithOnlyThePathListWritesNothing) {
    Bytes data = Section({});
    EXPECT_EQ(1u, ReadLe32(&data[11]));
    EXPECT_EQ(0u, ReadLe32(&data[3]));
    data.push_back('N');  // the next section's first byte
    Tree t = NewTree("n1");
    int after = 0;
    EXPECT_EQ(kSectionOk, ExtractBytes(data, t.target, kModePlain, &after));
    EXPECT_EQ('N', after);
    EXPECT_EQ(std::vector<std::string>{}, ListTree(t.target));
}

TEST(Extract, ChecksumPastTwoToThe32Matches) {
    Bytes ones(17u << 20, 0xFF);
    Bytes data = Section({{"ones.bin", "", ones}});
    uint32_t stored = ReadLe32(&data[3]);
    uint64_t total = 255ull * ones.size() + 10;  // "ones.bin\r\n" is 10 bytes
    uint64_t listSum = ChecksumAdd(0, reinterpret_cast<const unsigned char*>("ones.bin\r\n"), 10);
    EXPECT_EQ((255ull * ones.size() + listSum) % 0xFFFFFFFFull, stored);
    EXPECT_NE(static_cast<uint32_t>(total), stored);
    Tree t = NewTree("big");
    ASSERT_EQ(kSectionOk, ExtractBytes(data, t.target));
    Bytes got;
    ASSERT_TRUE(ReadBytes(t.target + "\\ones.bin", &got));
    EXPECT_TRUE(got == ones);
}

TEST(Extract, ExistingFileIsOverwritten) {
    Tree t = NewTree("overwrite");
    ASSERT_TRUE(WriteBytes(t.target + "\\readme.txt", Noise(10000, 1)));
    ASSERT_EQ(kSectionOk, ExtractBytes(Section({{"readme.txt", "", FromText("new")}}), t.target));
    Bytes got;
    ASSERT_TRUE(ReadBytes(t.target + "\\readme.txt", &got));
    EXPECT_EQ(FromText("new"), got);
}

TEST(Extract, TruncatedPackageIsNeverTakenAsWhole) {
    std::vector<SectionFile> lang = {{"English.lng", "", FromText("[lng]\r\n2=Finish\r\n")}};
    std::vector<SectionFile> program = {{"a.txt", "", Noise(700, 2)}, {"b\\c.txt", "", FromText("c")}};
    Bytes sections = Section(lang);
    Bytes install = Section({{"init.cfg", "", FromText("[cfg]\r\n1=P\r\n")}}, true);
    Bytes third = Section(program);
    sections.insert(sections.end(), install.begin(), install.end());
    sections.insert(sections.end(), third.begin(), third.end());
    Bytes whole = Installer(sections);

    std::string folder = NewFolder("sweep");
    std::string setup = folder + "\\setup.exe";
    size_t packageStart = whole.size() - sections.size();
    std::vector<size_t> cuts;
    for (size_t cut = packageStart - 3; cut < whole.size(); cut += (cut + 64 >= whole.size() ? 1 : 13))
        cuts.push_back(cut);
    for (size_t cut : cuts) {
        Bytes part(whole.begin(), whole.begin() + static_cast<long>(cut));
        ASSERT_TRUE(WriteBytes(setup, part));
        HANDLE h = nullptr;
        bool whole3 = FindPackageIn(setup.c_str(), &h);
        for (int s = 0; s < 3 && whole3; ++s) {
            std::string target = folder + "\\t" + std::to_string(s);
            CreateDirectoryA(target.c_str(), nullptr);
            whole3 = ExtractSection(target.c_str(), s == 1 ? kModeScrambled : kModePlain, h) == kSectionOk;
            if (!whole3) {
                EXPECT_EQ(std::vector<std::string>{}, ListTree(target)) << "cut at " << cut << ", section " << s;
            }
        }
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        EXPECT_FALSE(whole3) << "a package cut at " << cut << " of " << whole.size() << " passed as whole";
    }
}

TEST(Extract, DamagedStreamsAreRefused) {
    Bytes content = Noise(4000, 9);
    Bytes list = FromText("file.bin\r\n");
    uint32_t sum = Sum({list, content});
    Bytes good = Gzip(content);
    Bytes other = Gzip(FromText("tail"));
    struct Row {
        const char* label;
        Bytes member;
    };
    auto with = [&](size_t at, unsigned char x) {
        Bytes m = good;
        m[at] ^= x;
        return m;
    };
    Bytes trailing = good;
    trailing.insert(trailing.end(), {0, 0, 0, 0});
    Bytes concatenated = good;
    concatenated.insert(concatenated.end(), other.begin(), other.end());
    Bytes premature(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
    Bytes shortLength = good;  // ISIZE too small and trailer still in place
    WriteLe32(&shortLength[shortLength.size() - 4], static_cast<uint32_t>(content.size() - 1));
    Bytes notGzip = content;
    notGzip.resize(200);

    std::vector<Row> rows = {
        {"flipped byte in the compressed data", with(good.size() / 2, 0x10)},
        {"wrong CRC-32 in the trailer", with(good.size() - 6, 0x01)},
        {"wrong ISIZE in the trailer", shortLength},
        {"bytes after the stream inside the member", trailing},
        {"a second stream inside the member", concatenated},
        {"stream ends before its end", premature},
        {"member too short to be gzip", Bytes(good.begin(), good.begin() + 12)},
        {"not gzip at all", notGzip},
        {"wrong gzip magic", with(0, 0xFF)},
    };
    for (const Row& r : rows) {
        Tree t = NewTree("stream");
        Bytes section = RawSection(sum, {Gzip(list), r.member});
        EXPECT_EQ(kSectionDamaged, ExtractBytes(section, t.target)) << r.label;
        ExpectUntouched(t, r.label);
        EXPECT_EQ(std::vector<std::string>{}, ListTree(t.target)) << r.label;
    }
    // The same section with the good member passes, so the rows above fail
    // for their damage alone.
    Tree t = NewTree("stream-good");
    EXPECT_EQ(kSectionOk, ExtractBytes(RawSection(sum, {Gzip(list), good}), t.target));
}

TEST(Extract, WrongStoredChecksumIsRefused) {
    Bytes section = Section({{"a.txt", "", FromText("abc")}});
    WriteLe32(&section[3], ReadLe32(&section[3]) + 1);
    Tree t = NewTree("sum");
    EXPECT_EQ(kSectionDamaged, ExtractBytes(section, t.target));
    EXPECT_EQ(std::vector<std::string>{}, ListTree(t.target));
}

TEST(Extract, MalformedHeadersAreRefused) {
    Bytes good = PlainSection("a.txt\r\n", {FromText("a")});
    struct Row {
        const char* label;
        size_t at;       // where a 32-bit value is put, or SIZE_MAX for magic
        uint32_t value;
    };
    const size_t table = kSectionHeaderSize;
    std::vector<Row> rows = {
        {"magic", SIZE_MAX, 0},
        {"member count 0", 11, 0},
        {"member count past the file", 11, 0x3FFFFFFF},
        {"member count whose table overflows", 11, 0xFFFFFFFF},
        {"first offset not after the table", table, 20},
        {"offsets going backwards", table + 4, 10},
        {"last offset past the file", table + 8, 0x7FFFFFFF},
        {"member shorter than any gzip stream", table + 4, ReadLe32(&good[table]) + 5},
    };
    for (const Row& r : rows) {
        Bytes bad = good;
        if (r.at == SIZE_MAX)
            bad[2] = 'X';
        else
            WriteLe32(&bad[r.at], r.value);
        Tree t = NewTree("header");
        EXPECT_EQ(kSectionDamaged, ExtractBytes(bad, t.target)) << r.label;
        ExpectUntouched(t, r.label);
        EXPECT_EQ(std::vector<std::string>{}, ListTree(t.target)) << r.label;
    }
    Bytes cut(good.begin(), good.begin() + 10);
    Tree t = NewTree("header-short");
    EXPECT_EQ(kSectionDamaged, ExtractBytes(cut, t.target)) << "header cut short";
}

TEST(Extract, HostilePathsAreRefusedAndNothingLeavesTheTarget) {
    const char* lines[] = {
        "..\\escape.txt", "a\\..\\..\\escape.txt", "..", ".", "a\\.\\b.txt", "C:\\escape.txt", "C:escape.txt",
        "\\escape.txt", "\\\\server\\share\\x.txt", "a/b.txt", "../escape.txt", "file.txt:stream", "a\\\\b.txt",
        "a\\", "dot.\\b.txt", "trailing.", "blank \\b.txt", "trailing ", "CON", "con.txt", "a\\NUL\\b.txt",
        "LPT1.log", "com9", "aux .txt", "Prn.tar.gz", "CONOUT$", "a<b", "a|b", "a?b", "a*b", "a\"b",
    };
    for (const char* line : lines) {
        Tree t = NewTree("hostile");
        std::string list = std::string("first.txt\r\n") + line + "\r\nlast.txt\r\n";
        Bytes section = PlainSection(list, {FromText("1"), FromText("2"), FromText("3")});
        EXPECT_EQ(kSectionDamaged, ExtractBytes(section, t.target)) << line;
        ExpectUntouched(t, line);
        EXPECT_EQ(std::vector<std::string>{}, ListTree(t.target)) << line;
    }
}

TEST(Extract, BrokenPathListsAreRefused) {
    struct Row {
        const char* label;
        std::string list;
    } rows[] = {
        {"fewer lines than members", "one.txt\r\n"},
        {"empty line", "one.txt\r\n\r\n"},
        {"zero byte", std::string("one.txt\r\nt\0o.txt\r\n", 19)},
        {"CR alone", "one.txt\rtwo.txt\r\n"},
        {"Ctrl-Z", "one.txt\r\n\x1Atwo.txt\r\n"},
        {"tab", "one.txt\r\ntwo\t.txt\r\n"},
        {"line over 259 characters", "one.txt\r\n" + std::string(260, 'a') + "\r\n"},
    };
    for (const Row& r : rows) {
        Tree t = NewTree("list");
        Bytes section = PlainSection(r.list, {FromText("1"), FromText("2")});
        EXPECT_EQ(kSectionDamaged, ExtractBytes(section, t.target)) << r.label;
        ExpectUntouched(t, r.label);
        EXPECT_EQ(std::vector<std::string>{}, ListTree(t.target)) << r.label;
    }
    // Bare LF line ends and a last line without an end read as lines.
    Tree t = NewTree("list-lf");
    ASSERT_EQ(kSectionOk, ExtractBytes(PlainSection("one.txt\ntwo.txt", {FromText("1"), FromText("2")}), t.target));
    std::vector<std::string> expected = {"one.txt", "two.txt"};
    EXPECT_EQ(expected, ListTree(t.target));
}

TEST(Extract, OutputPathOver259CharactersIsRefused) {
    Tree t = NewTree("long");
    size_t room = kMaxPath - t.target.size() - 1;  // line length that still fits
    size_t folder = room / 2;
    std::string fits = std::string(folder, 'd') + "\\" + std::string(room - folder - 1, 'f');
    ASSERT_EQ(kMaxPath, t.target.size() + 1 + fits.size());
    EXPECT_EQ(kSectionOk, ExtractBytes(PlainSection(fits + "\r\n", {FromText("x")}), t.target));
    EXPECT_TRUE(Exists(t.target + "\\" + fits));

    Tree u = NewTree("long");
    ASSERT_EQ(t.target.size(), u.target.size());
    EXPECT_EQ(kSectionDamaged, ExtractBytes(PlainSection(fits + "x\r\n", {FromText("x")}), u.target));
    ExpectUntouched(u, "one character over");
    EXPECT_EQ(std::vector<std::string>{}, ListTree(u.target));
}

TEST(Extract, FolderPathOver247CharactersIsRefused) {
    Tree t = NewTree("deep");
    size_t folder = kMaxFolderPath - t.target.size() - 1;  // the longest folder part of a line
    std::string fits = std::string(folder / 2, 'a') + "\\" + std::string(folder - folder / 2 - 1, 'b') + "\\f";
    ASSERT_EQ(kMaxFolderPath, t.target.size() + 1 + fits.size() - 2);
    EXPECT_EQ(kSectionOk, ExtractBytes(PlainSection(fits + "\r\n", {FromText("x")}), t.target));
    Tree u = NewTree("deep");
    std::string over = std::string(folder / 2, 'a') + "\\" + std::string(folder - folder / 2, 'b') + "\\f";
    EXPECT_EQ(kSectionDamaged, ExtractBytes(PlainSection(over + "\r\n", {FromText("x")}), u.target));
    EXPECT_EQ(std::vector<std::string>{}, ListTree(u.target));
}

TEST(Extract, DamagedLastMemberTakesBackOnlyWhatTheSectionWrote) {
    Tree t = NewTree("undo");
    ASSERT_TRUE(WriteBytes(t.target + "\\keep.txt", FromText("was here")));
    ASSERT_TRUE(CreateDirectoryA((t.target + "\\sub").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(t.target + "\\sub\\mine.txt", FromText("mine")));

    Bytes list = FromText("a.txt\r\nsub\\b.txt\r\nnew\\deep\\c.txt\r\n");
    Bytes a = FromText("aaa"), b = Noise(100000, 5), c = Noise(50000, 6);
    Bytes lastMember = Gzip(c);
    lastMember[lastMember.size() / 2] ^= 0x55;
    Bytes section = RawSection(Sum({list, a, b, c}), {Gzip(list), Gzip(a), Gzip(b), lastMember});
    EXPECT_EQ(kSectionDamaged, ExtractBytes(section, t.target));
    std::vector<std::string> expected = {"keep.txt", "sub\\", "sub\\mine.txt"};
    EXPECT_EQ(expected, ListTree(t.target));
    ExpectUntouched(t, "undo");
}


namespace {

// A target holding an earlier version: a plain file, a read-only one and a
// hidden system one, all a day old, and a file of the user's.
struct Earlier {
    Tree tree;
    std::map<std::string, FileState> files;
};

Earlier EarlierVersion(const char* label) {
    Earlier e{NewTree(label), {}};
    const std::string& t = e.tree.target;
    EXPECT_TRUE(CreateDirectoryA((t + "\\bin").c_str(), nullptr));
    struct {
        const char* name;
        DWORD attributes;
    } files[] = {{"readme.txt", 0},
                 {"bin\\app.exe", FILE_ATTRIBUTE_READONLY},
                 {"bin\\state.dat", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
                 {"mine.txt", 0}};
    unsigned seed = 1;
    for (const auto& f : files) {
        EXPECT_TRUE(WriteBytes(t + "\\" + f.name, Noise(1000 + seed * 300, seed)));
        ++seed;
        MakeOld(t + "\\" + f.name);
        if (f.attributes) {
            EXPECT_TRUE(SetFileAttributesA((t + "\\" + f.name).c_str(), f.attributes));
        }
    }
    for (const auto& f : files)
        e.files[f.name] = StateOf(t + "\\" + f.name);
    return e;
}

void ExpectAsBefore(const Earlier& e, const std::string& label) {
    for (const auto& f : e.files)
        EXPECT_TRUE(StateOf(e.tree.target + "\\" + f.first) == f.second)
            << label << ": " << f.first << " lost its bytes, attributes or time";
    EXPECT_EQ(std::vector<std::string>{}, KeptNames(e.tree.target)) << label;
    EXPECT_FALSE(Exists(e.tree.target + "\\new\\added.txt")) << label;
    ExpectUntouched(e.tree, label);
}

void ClearAttributes(const Earlier& e) {
    for (const std::string& name : ListTree(e.tree.target))
        SetFileAttributesA((e.tree.target + "\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The next version: replaces the three product files, adds one, and ends
// with a member that is whole or damaged.
Bytes NextVersion(bool damagedLast) {
    Bytes list = FromText("bin\\app.exe\r\nbin\\state.dat\r\nnew\\added.txt\r\nreadme.txt\r\nz.bin\r\n");
    std::vector<Bytes> plain = {list, FromText("app 2"), FromText("state 2"), FromText("added"), FromText("readme 2"),
                                Noise(60000, 9)};
    std::vector<Bytes> members;
    for (const Bytes& p : plain)
        members.push_back(Gzip(p));
    if (damagedLast)
        members.back()[members.back().size() / 2] ^= 0x55;
    return RawSection(Sum(plain), members);
}

} // namespace

// Every way a section over an earlier version can be taken back gives the
// earlier files back exactly, and leaves no kept copy.
TEST(Extract, ReplacedFilesComeBackWithBytesAttributesAndTime) {
    struct Row {
        const char* label;
        bool damaged;
        SectionResult expected;
        bool takeBackAfter;  // the section completes; a later cancel takes it back
    } rows[] = {
        {"damaged last member", true, kSectionDamaged, false},
        {"cancel after the section completed", false, kSectionOk, true},
    };
    for (const Row& row : rows) {
        Earlier e = EarlierVersion("replace");
        EXPECT_EQ(row.expected, ExtractBytes(NextVersion(row.damaged), e.tree.target)) << row.label;
        if (row.takeBackAfter) {
            Bytes got;
            ASSERT_TRUE(ReadBytes(e.tree.target + "\\bin\\state.dat", &got));
            EXPECT_EQ(FromText("state 2"), got) << "a hidden system file is replaced like any other";
            EXPECT_EQ(3u, KeptNames(e.tree.target).size()) << "one kept copy per replaced file";
            WrittenTakeBack();
        }
        ExpectAsBefore(e, row.label);
        ClearAttributes(e);
    }
}

TEST(Extract, CommitDeletesKeptCopiesAndRecordsOnlyWhatWasWritten) {
    Earlier e = EarlierVersion("commit");
#ifndef _WIN32
    // Windows (and the stand-in, unlike Wine) refuses to open a hidden or
    // system file with CREATE_ALWAYS and plain attributes: replacing it must
    // not depend on that open.
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA((e.tree.target + "\\bin\\state.dat").c_str(), GENERIC_WRITE, 0,
                                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
#endif
    ASSERT_EQ(kSectionOk, ExtractBytes(NextVersion(false), e.tree.target));
    std::vector<std::string> written;
    for (size_t i = 0; i < WrittenCount(); ++i) {
        bool folder;
        if (WrittenKind(i) == kEntryFile)
            written.push_back(WrittenEntry(i, &folder) + e.tree.target.size() + 1);
    }
    std::vector<std::string> expected = {"bin\\app.exe", "bin\\state.dat", "new\\added.txt", "readme.txt", "z.bin"};
    EXPECT_EQ(expected, written);
    WrittenCommit();
    EXPECT_EQ(0u, WrittenCount());
    EXPECT_EQ(std::vector<std::string>{}, KeptNames(e.tree.target));
    FileState app = StateOf(e.tree.target + "\\bin\\app.exe");
    EXPECT_EQ(FromText("app 2"), app.bytes);
    EXPECT_EQ(0u, app.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)) << "the new file is plain";
    EXPECT_TRUE(StateOf(e.tree.target + "\\mine.txt") == e.files["mine.txt"]);
    ClearAttributes(e);
}

// The kept name a copy of name gets at its attempt (a run's first is 0).
std::string KeptNameOf(const char* name, uint32_t attempt) {
    char kept[16];
    snprintf(kept, sizeof kept, "%s%07X", kKeptPrefix, (KeptDigitsFor(name) + attempt) & 0x0FFFFFFFu);
    return kept;
}

// Kept copies that a killed run left behind: removed by the next run's
// commit once the name they stand for holds a file again, kept through its
// take-back; one whose name is empty is the only copy of that file and
// stays, and a look-alike that is not hidden is the user's and stays.
TEST(Extract, KeptCopiesOfAnInterruptedRunGoWithTheNextCommit) {
    for (bool commit : {true, false}) {
        Earlier e = EarlierVersion("stale");
        std::string bin = e.tree.target + "\\bin\\";
        std::string stale = bin + KeptNameOf("APP.exe", 3);
        std::string alone = bin + KeptNameOf("gone.dll", 0);
        std::string lookalike = bin + KeptNameOf("state.dat", 0);
        ASSERT_TRUE(WriteBytes(stale, FromText("old app")));
        ASSERT_TRUE(SetFileAttributesA(stale.c_str(), FILE_ATTRIBUTE_HIDDEN));
        ASSERT_TRUE(WriteBytes(alone, FromText("the only gone.dll")));
        ASSERT_TRUE(SetFileAttributesA(alone.c_str(), FILE_ATTRIBUTE_HIDDEN));
        ASSERT_TRUE(WriteBytes(lookalike, FromText("the user's")));
        ASSERT_EQ(kSectionOk, ExtractBytes(NextVersion(false), e.tree.target));
        commit ? WrittenCommit() : WrittenTakeBack();
        EXPECT_EQ(!commit, Exists(stale)) << commit;
        EXPECT_TRUE(Exists(alone)) << commit << ": its name holds no file";
        EXPECT_TRUE(Exists(lookalike)) << commit;
        for (const std::string& f : {lookalike, stale, alone}) {
            SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(f.c_str());
        }
        ClearAttributes(e);
    }
}

// Which destinations take a section's paths and the uninstall record.
TEST(Extract, DestinationMustLeaveRoomForEveryPath) {
    struct Row {
        const char* label;
        size_t destination, longestPath, longestFolder;
        bool fits;
    } rows[] = {
        {"short", 20, 30, 10, true},
        {"record file at 259", 259 - kRecordSuffixLongest, 10, 0, true},
        {"record file at 260", 260 - kRecordSuffixLongest, 10, 0, false},
        {"240 characters", 240, 10, 0, false},
        {"member at 259", 100, 158, 0, true},
        {"member at 260", 100, 159, 0, false},
        {"member folder at 247", 100, 150, 146, true},
        {"member folder at 248", 100, 150, 147, false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.fits, RoomForPaths(r.destination, r.longestPath, r.longestFolder)) << r.label;
}

TEST(Extract, LongestPathsAreReadWithoutMovingThePackage) {
    Bytes section = PlainSection("a.txt\r\nsub\\deeper\\long-name.txt\r\nsubfolder\\b.txt\r\n",
                                 {FromText("1"), FromText("2"), FromText("3")});
    section.push_back('N');
    std::string file = NewFolder("longest") + "\\section.bin";
    ASSERT_TRUE(WriteBytes(file, section));
    HANDLE h = OpenForReading(file);
    size_t path = 0, folder = 0;
    EXPECT_EQ(kSectionOk, LongestPaths(h, &path, &folder));
    EXPECT_EQ(strlen("sub\\deeper\\long-name.txt"), path);
    EXPECT_EQ(strlen("sub\\deeper"), folder);
    Tree t = NewTree("longest");
    EXPECT_EQ(kSectionOk, ExtractSection(t.target.c_str(), kModePlain, h)) << "the section is still there to read";
    unsigned char b = 0;
    EXPECT_TRUE(winfread(&b, h));
    EXPECT_EQ('N', b);
    CloseHandle(h);
}

#ifndef _WIN32
// A link planted below the target, to a folder or a file outside it, is
// never followed: the section is refused naming it, nothing outside changes.
TEST(Extract, LinksBelowTheTargetAreNotFollowed) {
    struct Row {
        const char* label;
        const char* link;      // below the target
        const char* pointsTo;  // below the root, beside the target
        bool folder;
    } rows[] = {
        {"link to a folder", "bin", "outside", true},
        {"link to a folder, deeper", "bin\\sub", "outside", true},
        {"link to a file", "readme.txt", "outside.txt", false},
    };
    for (const Row& r : rows) {
        Tree t = NewTree("link");
        std::string unixRoot = t.root;
        std::replace(unixRoot.begin(), unixRoot.end(), '\\', '/');
        std::string link = std::string(r.link);
        std::replace(link.begin(), link.end(), '\\', '/');
        if (link.find('/') != std::string::npos) {
            ASSERT_TRUE(CreateDirectoryA((t.target + "\\bin").c_str(), nullptr));
        }
        std::string target = unixRoot + "/" + r.pointsTo;
        if (r.folder)
            ASSERT_EQ(0, mkdir(target.c_str(), 0755));
        else
            ASSERT_TRUE(WriteBytes(t.root + "\\" + r.pointsTo, FromText("outside")));
        ASSERT_EQ(0, symlink(target.c_str(), (unixRoot + "/target/" + link).c_str())) << r.label;
        std::vector<std::string> outsideBefore = ListTree(t.root + "\\" + r.pointsTo);

        SectionResult result = ExtractBytes(
            PlainSection("a.txt\r\nbin\\sub\\app.exe\r\nreadme.txt\r\n", {FromText("a"), FromText("app"), FromText("r")}),
            t.target);
        EXPECT_EQ(kSectionLink, result) << r.label;
        EXPECT_EQ(t.target + "\\" + r.link, RefusedPath()) << r.label;
        EXPECT_EQ(outsideBefore, ListTree(t.root + "\\" + r.pointsTo)) << r.label;
        Bytes got;
        if (!r.folder) {
            ASSERT_TRUE(ReadBytes(t.root + "\\" + r.pointsTo, &got));
            EXPECT_EQ(FromText("outside"), got) << r.label;
        }
        EXPECT_FALSE(Exists(t.target + "\\a.txt")) << r.label << ": taken back";
        unlink((unixRoot + "/target/" + link).c_str());
    }
}

// Each failure is told once, in its own words, and ends the wizard; a stop
// and a cancel at a file in use show nothing.
TEST(Extract, EachFailureIsReportedInItsOwnWords) {
    struct Row {
        SectionResult result;
        const char* text;  // null: no message box
    } rows[] = {
        {kSectionDamaged, "File is corupted."},
        {kSectionWriteFailed, kWriteFailureText},
        {kSectionNoMemory, DefaultText(19)},
        {kSectionLink, nullptr},
        {kSectionCancelled, nullptr},
        {kSectionStopped, nullptr},
        {kSectionOk, nullptr},
    };
    snprintf(RefusedPath(), MAX_PATH, "%s", "C:\\Dest\\bin");
    for (const Row& r : rows) {
        PosixUiLog* ui = PosixUi();
        int boxes = ui->messageBoxes, sent = ui->messagesSent;
        *Error_2() = 0;
        ReportResult(r.result);
        bool ends = r.result != kSectionOk && r.result != kSectionStopped;
        bool box = r.text != nullptr || r.result == kSectionLink;
        EXPECT_EQ(box ? 1 : 0, ui->messageBoxes - boxes) << r.result;
        if (r.text) {
            EXPECT_STREQ(r.text, ui->text) << r.result;
        }
        if (r.result == kSectionLink) {
            EXPECT_EQ(std::string(DefaultText(21)) + "\n\nC:\\Dest\\bin", ui->text);
        }
        EXPECT_EQ(ends ? 1 : 0, *Error_2()) << r.result;
        EXPECT_EQ(ends ? 1 : 0, ui->messagesSent - sent) << r.result;
        if (ends) {
            EXPECT_EQ(static_cast<UINT>(WM_CLOSE), ui->lastMessage) << r.result;
        }
    }
    *Error_2() = 0;
}

// Another program holds a file without delete sharing: the user is asked,
// Retry goes on once it is free, Cancel takes the whole section back.
TEST(Extract, FileInUseAsksRetryOrCancel) {
    struct Row {
        const char* label;
        int refusals;
        int answers[3];
        SectionResult expected;
        int boxes;
    } rows[] = {
        {"Retry after it was closed", 1, {IDRETRY}, kSectionOk, 1},
        {"Retry while still held, then Retry", 2, {IDRETRY, IDRETRY}, kSectionOk, 2},
        {"Cancel", 5, {IDCANCEL}, kSectionCancelled, 1},
    };
    for (const Row& r : rows) {
        Earlier e = EarlierVersion("held");
        std::string held = e.tree.target + "\\readme.txt";
        PosixUiLog* ui = PosixUi();
        memset(ui->retryAnswers, 0, sizeof ui->retryAnswers);
        memcpy(ui->retryAnswers, r.answers, sizeof r.answers);
        int boxes = ui->messageBoxes;
        PosixHoldOpen(held.c_str(), r.refusals);
        EXPECT_EQ(r.expected, ExtractBytes(NextVersion(false), e.tree.target)) << r.label;
        PosixHoldOpen(nullptr, 0);
        EXPECT_EQ(r.boxes, ui->messageBoxes - boxes) << r.label;
        EXPECT_NE(nullptr, strstr(ui->text, held.c_str())) << r.label << ": the box names the file";
        EXPECT_EQ(static_cast<UINT>(MB_RETRYCANCEL), ui->style & 0xFu) << r.label;
        if (r.expected == kSectionOk)
            WrittenTakeBack();
        ExpectAsBefore(e, r.label);
        ClearAttributes(e);
    }
}
#endif

#ifndef _WIN32
// Every file, folder and profile call of an extraction failing in turn: each
// run ends in a clean refusal or a complete section, with no handle left open
// and nothing left behind.
TEST(Extract, EveryFailingCallEndsCleanly) {
    std::vector<SectionFile> files = {{"a.txt", "", Noise(300000, 1)}, {"s\\b.txt", "", FromText("b")},
                                      {"s\\t\\c.txt", "", {}}};
    Bytes section = Section(files);
    std::string file = NewFolder("faults") + "\\section.bin";
    ASSERT_TRUE(WriteBytes(file, section));
    unsigned long handles = PosixOpenHandles();
    for (unsigned long n = 1;; ++n) {
        Tree t = NewTree("fault");
        HANDLE h = OpenForReading(file);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        PosixFailCallNumber(n);
        SectionResult r = ExtractSection(t.target.c_str(), kModePlain, h);
        unsigned long calls = PosixCallCount();
        PosixFailCallNumber(0);
        CloseHandle(h);
        // The folders written into stay held until the run lets them go.
        TreeRelease();
        EXPECT_EQ(handles, PosixOpenHandles()) << "call " << n;
        ExpectUntouched(t, "call " + std::to_string(n));
        if (r == kSectionOk) {
            std::vector<std::string> expected = {"a.txt", "s\\", "s\\b.txt", "s\\t\\", "s\\t\\c.txt"};
            EXPECT_EQ(expected, ListTree(t.target)) << "call " << n;
        } else {
            EXPECT_EQ(std::vector<std::string>{}, ListTree(t.target)) << "call " << n;
        }
        if (calls < n) {
            EXPECT_EQ(kSectionOk, r) << "no call failed, yet the section was refused";
            EXPECT_GT(n, 10u);
            break;
        }
    }
}
#endif
