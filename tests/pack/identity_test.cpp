// The installer's identity as the packing tool writes it, read back by a PE
// reader of this test's own (it shares no code with the tool's editor):
// version resource fields, icon group 1 against setup.ico's images, the
// other resources untouched, the headers consistent; and the refusals.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "pack/identity.h"
#include "pack/langid.h"
#include "pack/peimage.h"

namespace {

// --- An independent reader -------------------------------------------------

uint32_t U16(const Bytes& b, size_t at) { return at + 2 <= b.size() ? b[at] | b[at + 1] << 8 : 0xDEAD; }
uint32_t U32(const Bytes& b, size_t at) { return at + 4 <= b.size() ? U16(b, at) | U16(b, at + 2) << 16 : 0xDEADBEEF; }

struct Pe {
    const Bytes& b;
    uint32_t coff, opt, table, sections;
    explicit Pe(const Bytes& bytes) : b(bytes) {
        coff = U32(b, 0x3C) + 4;
        opt = coff + 20;
        sections = U16(b, coff + 2);
        table = opt + U16(b, coff + 16);
    }
    uint32_t Directory(int i, int field) const { return U32(b, opt + 96 + 8 * i + 4 * field); }
    // The file offset of an address, through the section table.
    size_t Offset(uint32_t rva) const {
        for (uint32_t s = 0; s < sections; ++s) {
            uint32_t at = table + 40 * s, va = U32(b, at + 12), raw = U32(b, at + 16);
            if (rva >= va && rva < va + raw)
                return U32(b, at + 20) + (rva - va);
        }
        return b.size();
    }
    std::string SectionName(uint32_t s) const { return std::string(reinterpret_cast<const char*>(&b[table + 40 * s]), 8); }
};

// Every resource as "type/name/language" -> bytes; directories must be in
// ascending order, as the loader searches them.
void Walk(const Pe& pe, uint32_t base, uint32_t offset, const std::string& path, int depth,
          std::map<std::string, Bytes>* out) {
    size_t at = pe.Offset(base + offset);
    uint32_t count = U16(pe.b, at + 12) + U16(pe.b, at + 14);
    uint32_t previous = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t id = U32(pe.b, at + 16 + 8 * i), target = U32(pe.b, at + 20 + 8 * i);
        EXPECT_EQ(0u, id & 0x80000000u) << "only numbered resources here";
        EXPECT_TRUE(i == 0 || id > previous) << path << ": entries out of order";
        previous = id;
        std::string key = path + (path.empty() ? "" : "/") + std::to_string(id);
        if (depth < 2) {
            ASSERT_NE(0u, target & 0x80000000u) << key;
            Walk(pe, base, target & 0x7FFFFFFFu, key, depth + 1, out);
        } else {
            size_t entry = pe.Offset(base + target);
            size_t data = pe.Offset(U32(pe.b, entry));
            uint32_t size = U32(pe.b, entry + 4);
            ASSERT_LE(data + size, pe.b.size()) << key;
            (*out)[key] = Bytes(pe.b.begin() + static_cast<long>(data), pe.b.begin() + static_cast<long>(data + size));
        }
    }
}

std::map<std::string, Bytes> Resources(const Bytes& file) {
    Pe pe(file);
    std::map<std::string, Bytes> out;
    if (pe.Directory(2, 0) != 0)
        Walk(pe, pe.Directory(2, 0), 0, "", 0, &out);
    return out;
}

// The text of a version block's UTF-16 key or value at at (ASCII only).
std::string Wide(const Bytes& b, size_t at, size_t* end) {
    std::string s;
    for (; U16(b, at) != 0 && at < b.size(); at += 2)
        s += static_cast<char>(U16(b, at) < 0x80 ? U16(b, at) : '?');
    *end = at + 2;
    return s;
}

// The StringFileInfo texts ("041504E2/ProductName" -> value) and the fixed
// part's versions ("#FileVersion" -> "2.1.0.0").
void VersionBlock(const Bytes& b, size_t at, const std::string& path, std::map<std::string, std::string>* out) {
    size_t length = U16(b, at), valueLength = U16(b, at + 2), type = U16(b, at + 4), end = 0;
    std::string key = Wide(b, at + 6, &end);
    size_t value = (end + 3) & ~size_t(3), stop = at + length;
    std::string here = path.empty() ? key : path + "/" + key;
    size_t child = value;
    if (key == "VS_VERSION_INFO") {
        EXPECT_EQ(0xFEEF04BDu, U32(b, value));
        auto version = [&](size_t o) {
            return std::to_string(U32(b, o) >> 16) + "." + std::to_string(U32(b, o) & 0xFFFF) + "." +
                   std::to_string(U32(b, o + 4) >> 16) + "." + std::to_string(U32(b, o + 4) & 0xFFFF);
        };
        (*out)["#FileVersion"] = version(value + 8);
        (*out)["#ProductVersion"] = version(value + 16);
        child = (value + valueLength + 3) & ~size_t(3);
    } else if (type == 1 && valueLength > 0) {
        size_t ignored = 0;
        (*out)[here] = Wide(b, value, &ignored);
        return;
    } else if (key == "Translation") {
        (*out)[here] = std::to_string(U16(b, value)) + "," + std::to_string(U16(b, value + 2));
        return;
    }
    while (child + 6 < stop) {
        VersionBlock(b, child, key == "VS_VERSION_INFO" ? "" : here, out);
        child = (child + U16(b, child) + 3) & ~size_t(3);
    }
}

// --- Inputs ---------------------------------------------------------------

void Put16(Bytes* b, size_t at, uint32_t v) {
    (*b)[at] = static_cast<unsigned char>(v);
    (*b)[at + 1] = static_cast<unsigned char>(v >> 8);
}
void Put32(Bytes* b, size_t at, uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

// A PE32 program of two sections (.text, .data) and no resources, with
// headers of 0x400 bytes: room for four section headers.
Bytes BarePe() {
    Bytes b(0x800, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(&b, 0x3C, 0x80);
    memcpy(&b[0x80], "PE\0\0", 4);
    Put16(&b, 0x84, 0x14C);
    Put16(&b, 0x86, 2);
    Put16(&b, 0x94, 224);
    size_t opt = 0x98;
    Put16(&b, opt, 0x10B);
    Put32(&b, opt + 32, 0x1000);
    Put32(&b, opt + 36, 0x200);
    Put32(&b, opt + 56, 0x3000);
    Put32(&b, opt + 60, 0x400);
    Put32(&b, opt + 92, 16);
    const char* names[2] = {".text", ".data"};
    for (int s = 0; s < 2; ++s) {
        size_t at = opt + 224 + 40 * s;
        memcpy(&b[at], names[s], strlen(names[s]));
        Put32(&b, at + 8, 0x100);
        Put32(&b, at + 12, 0x1000 * (s + 1));
        Put32(&b, at + 16, 0x200);
        Put32(&b, at + 20, 0x400 + 0x200 * s);
        for (size_t i = 0; i < 0x200; ++i)
            b[0x400 + 0x200 * s + i] = static_cast<unsigned char>(s * 100 + i);
    }
    return b;
}

Resource Res(uint16_t type, uint16_t name, const std::string& data) {
    Resource r;
    r.type.id = type;
    r.name.id = name;
    r.language = 0x409;
    r.data.assign(data.begin(), data.end());
    return r;
}

// An icon group naming the given icon IDs (one 32x32 image each).
std::string Group(std::initializer_list<uint16_t> ids) {
    std::string g("\0\0\1\0", 4);
    g += static_cast<char>(ids.size());
    g += '\0';
    for (uint16_t id : ids)
        g += std::string("\x20\x20\0\0\1\0\x20\0\x10\0\0\0", 12) + static_cast<char>(id) + '\0';
    return g;
}

// A stub like the installer: icon group 1 (icon 1) the program's, group 2
// (icon 2) a page's, and a manifest.
Bytes StubWithResources() {
    std::vector<Resource> resources = {Res(3, 1, "the old program icon"), Res(3, 2, "a page's icon"),
                                       Res(14, 1, Group({1})), Res(14, 2, Group({2})),
                                       Res(24, 1, "<assembly/>")};
    Bytes stub;
    std::string error;
    EXPECT_TRUE(WriteResources(BarePe(), resources, &stub, &error)) << error;
    return stub;
}

// BarePe with a third section, .rsrc at 0x3000 (file offset 0x800), whose
// bytes tree (offsets relative to the section) are the resource directory.
Bytes WithResourceSection(const Bytes& tree) {
    Bytes b = BarePe();
    size_t opt = 0x98, at = opt + 224 + 80;
    uint32_t raw = static_cast<uint32_t>((tree.size() + 0x1FF) & ~size_t(0x1FF));
    Put16(&b, 0x86, 3);
    memcpy(&b[at], ".rsrc", 5);
    Put32(&b, at + 8, static_cast<uint32_t>(tree.size()));
    Put32(&b, at + 12, 0x3000);
    Put32(&b, at + 16, raw);
    Put32(&b, at + 20, 0x800);
    Put32(&b, opt + 56, 0x3000 + ((raw + 0xFFF) & ~0xFFFu));
    Put32(&b, opt + 96 + 16, 0x3000);
    Put32(&b, opt + 96 + 20, static_cast<uint32_t>(tree.size()));
    b.resize(0x800 + raw, 0);
    std::copy(tree.begin(), tree.end(), b.begin() + 0x800);
    return b;
}

// A hostile resource tree: count resources of type 10 (or of a type named by
// nameLength letters, which a reader copies into each), names 1 to count,
// all leading to one language directory and one data entry of blob bytes.
Bytes SharedTree(uint32_t count, uint32_t blob, uint16_t nameLength = 0) {
    uint32_t typeDir = 24, langDir = typeDir + 16 + 8 * count, entry = langDir + 24, nameAt = entry + 16;
    uint32_t blobAt = (nameAt + 2 + 2 * nameLength + 7) & ~7u;
    Bytes t(blobAt + blob, 'z');
    std::fill(t.begin(), t.begin() + blobAt, 0);
    Put16(&t, nameLength ? 12 : 14, 1);
    Put32(&t, 16, nameLength ? 0x80000000u | nameAt : 10);
    Put32(&t, 20, 0x80000000u | typeDir);
    Put16(&t, typeDir + 14, static_cast<uint16_t>(count));
    for (uint32_t i = 0; i < count; ++i) {
        Put32(&t, typeDir + 16 + 8 * i, i + 1);
        Put32(&t, typeDir + 20 + 8 * i, 0x80000000u | langDir);
    }
    Put16(&t, langDir + 14, 1);
    Put32(&t, langDir + 16, 0x409);
    Put32(&t, langDir + 20, entry);
    Put32(&t, entry, 0x3000 + blobAt);
    Put32(&t, entry + 4, blob);
    Put16(&t, nameAt, nameLength);
    for (uint32_t i = 0; i < nameLength; ++i)
        Put16(&t, nameAt + 2 + 2 * i, 'A');
    return WithResourceSection(t);
}

// An .ico file of a 16x16 bitmap image and a 256x256 PNG one.
std::string IconFile() {
    std::string bitmap = std::string("\x28\0\0\0", 4) + std::string(60, 'b');
    std::string png = "\x89PNG\r\n\x1A\n" + std::string(100, 'p');
    std::string ico("\0\0\1\0\2\0", 6);
    auto entry = [](unsigned char w, uint16_t bits, size_t size, size_t offset) {
        std::string e = {static_cast<char>(w), static_cast<char>(w), 0, 0, 1, 0, static_cast<char>(bits), 0};
        for (size_t v : {size, offset})
            for (int i = 0; i < 4; ++i)
                e += static_cast<char>((v >> (8 * i)) & 0xFF);
        return e;
    };
    ico += entry(16, 32, bitmap.size(), 6 + 32) + entry(0, 32, png.size(), 6 + 32 + bitmap.size());
    return ico + bitmap + png;
}

InstallerIdentity Identity() {
    InstallerIdentity id;
    id.name = "\xAF\xF3\xB3w Tools";  // Żółw Tools in code page 1250
    id.version = "2.1.0";
    id.publisher = "Example Ltd";
    id.copyright = "(c) 2024 Example Ltd";
    id.fileName = "ZolwSetup.exe";
    id.codePage = 1250;
    return id;
}

} // namespace

TEST(Identity, VersionResourceAndIconReadBackIndependently) {
    Bytes stub = StubWithResources();
    InstallerIdentity identity = Identity();
    identity.icon = IconFile();
    Bytes out;
    std::string error;
    ASSERT_TRUE(StampInstaller(stub, identity, &out, &error)) << error;

    std::map<std::string, Bytes> resources = Resources(out);
    ASSERT_EQ(1u, resources.count("16/1/1045")) << "a version resource";
    std::map<std::string, std::string> version;
    VersionBlock(resources["16/1/1045"], 0, "", &version);
    std::map<std::string, std::string> expected = {
        {"#FileVersion", "2.1.0.0"},
        {"#ProductVersion", "2.1.0.0"},
        {"StringFileInfo/041504E2/CompanyName", "Example Ltd"},
        {"StringFileInfo/041504E2/FileDescription", "???w Tools Setup"},
        {"StringFileInfo/041504E2/FileVersion", "2.1.0"},
        {"StringFileInfo/041504E2/LegalCopyright", "(c) 2024 Example Ltd"},
        {"StringFileInfo/041504E2/OriginalFilename", "ZolwSetup.exe"},
        {"StringFileInfo/041504E2/ProductName", "???w Tools"},
        {"StringFileInfo/041504E2/ProductVersion", "2.1.0"},
        {"VarFileInfo/Translation", "1045,1250"},
    };
    EXPECT_EQ(expected, version);
    // Ż ó ł as UTF-16, not as code page bytes.
    const Bytes& raw = resources["16/1/1045"];
    const unsigned char zolw[] = {0x7B, 0x01, 0xF3, 0x00, 0x42, 0x01, 'w', 0};
    EXPECT_NE(raw.end(), std::search(raw.begin(), raw.end(), zolw, zolw + sizeof zolw));

    // Icon group 1 holds setup.ico's images, in order, with their fields.
    std::vector<IconImage> images;
    ASSERT_TRUE(ParseIcon(identity.icon, &images, &error)) << error;
    const Bytes& group = resources["14/1/1033"];
    ASSERT_EQ(6u + 14 * images.size(), group.size());
    EXPECT_EQ(images.size(), U16(group, 4));
    for (size_t i = 0; i < images.size(); ++i) {
        size_t e = 6 + 14 * i;
        EXPECT_EQ(images[i].width, group[e]) << i;
        EXPECT_EQ(images[i].bitCount, U16(group, e + 6)) << i;
        EXPECT_EQ(images[i].data.size(), U32(group, e + 8)) << i;
        EXPECT_TRUE(resources["3/" + std::to_string(U16(group, e + 12)) + "/1033"] == images[i].data) << i;
    }
    EXPECT_EQ(0u, resources.count("3/1/1033")) << "the old program icon is gone";
    EXPECT_TRUE(resources["3/2/1033"] == Res(3, 2, "a page's icon").data) << "the pages keep theirs";
    EXPECT_TRUE(resources["14/2/1033"] == Res(14, 2, Group({2})).data);
    EXPECT_TRUE(resources["24/1/1033"] == Res(24, 1, "<assembly/>").data) << "the manifest stays";
    EXPECT_EQ(7u, resources.size()) << "two icons, two groups, a manifest and the version";
}

// An empty resource written last lies at the very end of its section
// (here 512 bytes of tree and data, one file alignment): it reads back.
TEST(Identity, AnEmptyResourceAtTheEndOfItsSectionReadsBack) {
    Bytes out;
    std::string error;
    ASSERT_TRUE(WriteResources(BarePe(), {Res(1, 1, std::string(352, 'd')), Res(2, 1, "")}, &out, &error)) << error;
    Pe pe(out);
    ASSERT_EQ(512u, U32(out, pe.table + 40 * (pe.sections - 1) + 16)) << "the tree fills its section";
    std::vector<Resource> back;
    ASSERT_TRUE(ReadResources(out, &back, &error)) << error;
    ASSERT_EQ(2u, back.size());
    EXPECT_EQ(352u, back[0].data.size() + back[1].data.size());
    EXPECT_TRUE(back[0].data.empty() || back[1].data.empty());
}

TEST(Identity, OnlyTheHeadersChangeAndTheNewSectionComesLast) {
    Bytes stub = StubWithResources();
    Bytes out;
    std::string error;
    ASSERT_TRUE(StampInstaller(stub, Identity(), &out, &error)) << error;
    Pe before(stub), after(out);
    ASSERT_EQ(before.sections + 1, after.sections);
    uint32_t last = after.table + 40 * before.sections;
    EXPECT_EQ(std::string(".rsrc\0\0\0", 8), after.SectionName(before.sections));
    EXPECT_EQ(".oldrsrc", after.SectionName(before.sections - 1)) << "the old tree keeps its bytes, renamed";
    uint32_t va = U32(out, last + 12), size = U32(out, last + 8), rawAt = U32(out, last + 20);
    EXPECT_EQ(va, after.Directory(2, 0));
    EXPECT_EQ(size, after.Directory(2, 1));
    EXPECT_EQ(0u, va % 0x1000);
    EXPECT_EQ(0u, rawAt % 0x200);
    EXPECT_GE(rawAt, stub.size());
    EXPECT_EQ(out.size(), rawAt + U32(out, last + 16));
    EXPECT_EQ((va + size + 0xFFF) / 0x1000 * 0x1000, U32(out, after.opt + 56)) << "SizeOfImage";
    EXPECT_EQ(0u, U32(out, after.opt + 64)) << "checksum";
    EXPECT_TRUE(std::equal(stub.begin() + 0x400, stub.end(), out.begin() + 0x400)) << "code and data stay put";

    Bytes again;
    ASSERT_TRUE(StampInstaller(stub, Identity(), &again, &error));
    EXPECT_TRUE(out == again) << "the same bytes every time";
    InstallerIdentity bare = Identity();
    bare.version.clear();
    bare.publisher.clear();
    ASSERT_TRUE(StampInstaller(stub, bare, &again, &error));
    std::map<std::string, std::string> version;
    VersionBlock(Resources(again)["16/1/1045"], 0, "", &version);
    EXPECT_EQ(0u, version.count("StringFileInfo/041504E2/ProductVersion")) << "no version given, none written";
    EXPECT_EQ(0u, version.count("StringFileInfo/041504E2/CompanyName"));
    bare.copyright.clear();
    ASSERT_TRUE(StampInstaller(stub, bare, &again, &error));
    version.clear();
    VersionBlock(Resources(again)["16/1/1045"], 0, "", &version);
    EXPECT_EQ(0u, version.count("StringFileInfo/041504E2/LegalCopyright")) << "no copyright given, none written";
    EXPECT_EQ("0.0.0.0", version["#FileVersion"]);
}

TEST(Identity, TheInstallerProgramKeepsEveryResourceItHad) {
    Bytes stub;
    {
        std::ifstream in(BRONDALE_INSTALLER_PROGRAM, std::ios::binary);
        stub.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (stub.empty())
        GTEST_SKIP() << "no " << BRONDALE_INSTALLER_PROGRAM << " (the Windows build folder is not built)";
    std::map<std::string, Bytes> before = Resources(stub);
    ASSERT_EQ(1u, before.count("14/1/1033")) << "the program's icon group";
    InstallerIdentity identity = Identity();
    identity.icon = IconFile();
    Bytes out;
    std::string error;
    ASSERT_TRUE(StampInstaller(stub, identity, &out, &error)) << error;
    std::map<std::string, Bytes> after = Resources(out);
    std::vector<uint16_t> ownIcons;
    for (size_t e = 6; e + 14 <= before["14/1/1033"].size(); e += 14)
        ownIcons.push_back(static_cast<uint16_t>(U16(before["14/1/1033"], e + 12)));
    for (const auto& r : before) {
        bool replaced = r.first == "14/1/1033" || r.first.compare(0, 3, "16/") == 0;
        for (uint16_t id : ownIcons)
            replaced = replaced || r.first == "3/" + std::to_string(id) + "/1033";
        if (!replaced) {
            EXPECT_TRUE(after[r.first] == r.second) << r.first << " is not what it was";
        }
    }
    EXPECT_EQ(1u, after.count("16/1/1045"));
}

// Stubs and icons that are damaged, or built to make a reader copy one
// byte many times, are refused with a reason and nothing written (out keeps
// its pattern); AddressSanitizer watches every row.
TEST(Identity, WhatCannotBeStampedIsRefusedWithAReason) {
    Bytes stub = StubWithResources();
    Bytes signedStub = stub, crowded = BarePe(), damaged = stub, truncated(stub.begin(), stub.begin() + 0x90);
    Put32(&signedStub, 0x98 + 96 + 4 * 8 + 4, 0x800);  // a security directory
    memset(&crowded[0x98 + 224 + 80], 'x', 40);          // where the next section header would go
    Put32(&crowded, 0x98 + 60, 0x1F0);                   // and the headers end before a fourth
    Pe pe(damaged);
    Put16(&damaged, pe.Offset(pe.Directory(2, 0)) + 14, 0x7FFF);  // entries past the section
    Bytes bare = BarePe(), afterTable(bare.begin(), bare.begin() + 0x98 + 224 + 80), manySections = bare;
    Bytes tableInData = bare, wideAlignment = bare, highIcon;
    Put32(&tableInData, 0x98 + 60, 0x100);
    manySections.resize(0x1400, 0);
    Put16(&manySections, 0x86, 97);
    Put32(&manySections, 0x98 + 60, 0x1200);
    Put32(&wideAlignment, 0x98 + 32, 0x80000000u);
    Put32(&wideAlignment, 0x98 + 36, 0x80000000u);
    std::string error;
    ASSERT_TRUE(WriteResources(BarePe(), {Res(3, 0xFFFF, "icon"), Res(14, 1, Group({0xFFFF}))}, &highIcon, &error));
    std::string icon = IconFile(), sharedImages = icon, inDirectory = icon;
    sharedImages.replace(6 + 16 + 12, 4, std::string("\x26\0\0\0", 4));  // image 2 where image 1 is
    inDirectory.replace(6 + 12, 4, std::string("\x06\0\0\0", 4));       // image 1 over the directory
    struct Row {
        const char* label;
        Bytes stub;
        std::string icon;
        const char* says;
        std::string publisher = "Example Ltd";
    } rows[] = {
        {"no program", Bytes(4096, 0), "", "not a Windows program"},
        {"cut within its headers", truncated, "", "its headers are cut short"},
        {"cut after its section table", afterTable, "", "run past the end of the file"},
        {"cut within a section", Bytes(bare.begin(), bare.begin() + 0x700), "", "section 2 (.data) lies past the end"},
        {"section table past the headers", tableInData, "", "section table runs past its headers"},
        {"97 sections", manySections, "", "more than the 96"},
        {"2 GiB alignment", wideAlignment, "", "powers of two up to 64 KiB"},
        {"signed", signedStub, "", "signed"},
        {"no room for a section header", crowded, "", "no room"},
        {"damaged resources", damaged, "", "damaged"},
        {"resources sharing one blob", SharedTree(32000, 1 << 20), "", "share their data"},
        {"a long type name over many resources", SharedTree(30000, 0, 0xFFFF), "", "damaged"},
        {"no icon number left", highIcon, icon, "no icon numbers left"},
        {"not an icon", stub, "GIF89a", "not an icon file"},
        {"icon image outside the file", stub, icon.substr(0, 60), "outside the file"},
        {"icon images sharing bytes", stub, sharedImages, "images 1 and 2 of the icon file share bytes"},
        {"icon image over its directory", stub, inDirectory, "in its directory"},
        {"version texts too long", stub, "", "too long for a version resource", std::string(40000, 'x')},
    };
    for (const Row& r : rows) {
        InstallerIdentity identity = Identity();
        identity.icon = r.icon;
        identity.publisher = r.publisher;
        Bytes out = {'u', 'n', 't', 'o', 'u', 'c', 'h', 'e', 'd'};
        error.clear();
        EXPECT_FALSE(StampInstaller(r.stub, identity, &out, &error)) << r.label;
        EXPECT_NE(std::string::npos, error.find(r.says)) << r.label << ": " << error;
        EXPECT_EQ(9u, out.size()) << r.label << ": nothing written";
    }
}

namespace {

// Runs the native tool (AddressSanitizer build) in folder; *output gets its
// standard output and error together. Returns the exit code.
int RunTool(const std::filesystem::path& folder, const std::string& arguments, std::string* output) {
    std::string command = "cd '" + folder.string() + "' && '" BRONDALE_PACK_TOOL "' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    output->clear();
    if (!pipe)
        return -1;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output->append(buffer, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Save(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

// The packing tool itself refuses a hostile stub or icon with a message, no
// sanitizer report, nothing at -o and under 1 GB of memory.
TEST(Identity, TheToolRefusesHostileStubsAndIconsWithNothingWritten) {
    namespace fs = std::filesystem;
    fs::path work = fs::temp_directory_path() / ("brondale-hostile-stub-" + std::to_string(getpid()));
    fs::remove_all(work);
    fs::create_directories(work / "out");
    fs::copy(BRONDALE_EXAMPLE, work / "P", fs::copy_options::recursive);
    Save(work / "UnInst.exe", "MZ");
    Bytes bare = BarePe(), installer;
    {
        std::ifstream in(BRONDALE_INSTALLER_PROGRAM, std::ios::binary);
        installer.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string icon = IconFile();
    icon.replace(6 + 16 + 12, 4, std::string("\x26\0\0\0", 4));
    struct Row {
        const char* label;
        Bytes stub;
        std::string icon;
        const char* says;
    } rows[] = {
        {"a program cut after its section table", Bytes(bare.begin(), bare.begin() + 0x98 + 224 + 80), "",
         "run past the end of the file"},
        {"resources sharing one blob", SharedTree(32000, 1400 * 1024), "", "share their data"},
        {"icon images sharing bytes", StubWithResources(), icon, "share bytes"},
        {"the installer program cut after its section table", installer, "", "run past the end of the file"},
    };
    for (Row& r : rows) {
        if (r.stub.empty())
            continue;  // the Windows build folder is not built
        if (r.stub == installer) {
            Pe pe(installer);
            r.stub.resize(pe.table + 40 * pe.sections);
            Put32(&r.stub, pe.opt + 96 + 16, 0);  // no resources, so that only the headers are read
            Put32(&r.stub, pe.opt + 96 + 20, 0);
        }
        Save(work / "stub.exe", std::string(r.stub.begin(), r.stub.end()));
        fs::remove(work / "P/install/setup.ico");
        if (!r.icon.empty())
            Save(work / "P/install/setup.ico", r.icon);
        std::string out;
        EXPECT_EQ(1, RunTool(work, "build P -o out/Setup.exe --stub stub.exe --uninstaller UnInst.exe", &out))
            << r.label << ": " << out;
        EXPECT_NE(std::string::npos, out.find(r.says)) << r.label << ": " << out;
        EXPECT_NE(std::string::npos, out.find("nothing written")) << r.label << ": " << out;
        EXPECT_EQ(std::string::npos, out.find("Sanitizer")) << r.label << ": " << out;
        EXPECT_TRUE(fs::is_empty(work / "out")) << r.label;
        // The largest resident set of any tool run so far (kilobytes): a
        // reader that copied each shared blob again took gigabytes.
        struct rusage usage;
        ASSERT_EQ(0, getrusage(RUSAGE_CHILDREN, &usage));
        EXPECT_LT(usage.ru_maxrss, 1024L * 1024) << r.label << ": peak memory of the tool, KiB";
    }
    fs::remove_all(work);
}

TEST(Identity, VersionsAreOneToFourNumbersUpTo65535) {
    struct Row {
        const char* text;
        bool ok;
        uint16_t parts[4];
    } rows[] = {
        {"2.1.0", true, {2, 1, 0, 0}},      {"7", true, {7, 0, 0, 0}},
        {"1.2.3.65535", true, {1, 2, 3, 65535}}, {"1.2.3.4.5", false, {}},
        {"1.65536", false, {}},             {"", false, {}},
        {"2.", false, {}},                  {".2", false, {}},
        {"2..1", false, {}},                {"2.1-beta", false, {}},
        {"v2", false, {}},                  {"-1", false, {}},
    };
    for (const Row& r : rows) {
        uint16_t parts[4] = {9, 9, 9, 9};
        EXPECT_EQ(r.ok, ParseVersion(r.text, parts)) << r.text;
        if (r.ok) {
            EXPECT_TRUE(std::equal(parts, parts + 4, r.parts)) << r.text;
        }
    }
}

// The version resource speaks the language the installer starts in: the
// language page's preselected entry, Polski when the package has fewer than
// three language files.
TEST(Identity, TheVersionResourcesLanguageIsThePreselectedOne) {
    struct Row {
        std::vector<std::string> files;
        const char* preselected;
        uint16_t id;
    } rows[] = {
        {{}, "Polski", 0x0415},
        {{"English.lng"}, "Polski", 0x0415},
        {{"Czech.lng", "Deutsch.lng", "English.lng"}, "Polski", 0x0415},
        {{"English.lng", "Deutsch.lng", "Czech.lng", "Ukrainian.lng"}, "Polski", 0x0415},
        {{"Czech.lng", "Deutsch.lng", "English.lng", "Francais.lng"}, "Francais", 0x040C},
        {{"a.lng", "b.lng", "ENGLISH.lng", "readme.txt"}, "Polski", 0x0415},
        {{"a.lng", "b.lng", "c.lng", "English.lng"}, "English", 0x0409},
        {{"a.lng", "b.lng", "C.lng", "deutsch.LNG"}, "deutsch", 0x0407},
        {{"a.lng", "b.lng", "c.lng", "Klingon.lng"}, "Klingon", 0x0000},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.preselected, PreselectedLanguage(r.files)) << r.files.size();
        EXPECT_EQ(r.id, LanguageId(PreselectedLanguage(r.files))) << r.preselected;
    }
    EXPECT_EQ(0x0405, LanguageId("czech"));
    InstallerIdentity identity = Identity();
    identity.language = 0x0407;
    std::map<std::string, std::string> version;
    VersionBlock(VersionResource(identity), 0, "", &version);
    EXPECT_EQ("Example Ltd", version["StringFileInfo/040704E2/CompanyName"]);
    EXPECT_EQ("1031,1250", version["VarFileInfo/Translation"]);
}
