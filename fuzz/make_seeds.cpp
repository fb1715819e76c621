// Writes the seed corpus of the fuzz targets into a folder: good sections
// from the package writer and one file per kind of damage the unit tests use;
// and from the programs and icons named after it, shrunk programs, their
// resource lists and the icons. The seeds in fuzz/corpus were written by it
// (fuzz_make_seeds fuzz/corpus build/windows/brondale.exe
// build/windows/UnInst.exe build/windows/resources/icon1.ico), except
// deep-folders-near-259, an input the path-list target found.
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "pack/writer.h"
#include "base/format.h"
#include "program.h"

namespace {

Bytes Of(const std::string& text) { return Bytes(text.begin(), text.end()); }

bool Save(const std::string& folder, const std::string& name, const Bytes& data) {
    mkdir(folder.c_str(), 0755);
    std::string path = folder + "/" + name;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    return fclose(f) == 0 && ok;
}

Bytes Built(const std::vector<SectionFile>& files, bool scrambled) {
    Bytes out;
    std::string error;
    if (!BuildSection(files, scrambled, 9, &out, &error)) {
        fprintf(stderr, "make_seeds: %s\n", error.c_str());
        exit(1);
    }
    return out;
}

// Parts separated by zero bytes.
Bytes Joined(const std::vector<std::string>& parts) {
    Bytes b;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i)
            b.push_back(0);
        b.insert(b.end(), parts[i].begin(), parts[i].end());
    }
    return b;
}

// A section assembled by hand, for a path list the writer refuses.
Bytes Raw(const std::vector<Bytes>& plain) {
    uint64_t sum = 0;
    std::vector<Bytes> members;
    for (const Bytes& p : plain) {
        sum = ChecksumAdd(sum, p.data(), p.size());
        Bytes m;
        GzipMember(p.data(), p.size(), 9, &m);
        members.push_back(m);
    }
    uint32_t count = static_cast<uint32_t>(members.size());
    Bytes out(kSectionFixedSize + 4 * count);
    memcpy(out.data(), kSectionMagic, 3);
    WriteLe32(&out[3], static_cast<uint32_t>(sum));
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

Bytes Load(const std::string& path) {
    Bytes data;
    FILE* f = fopen(path.c_str(), "rb");
    for (int c; f && (c = fgetc(f)) != EOF;)
        data.push_back(static_cast<unsigned char>(c));
    if (f)
        fclose(f);
    return data;
}

// Seeds of the PE and icon targets: each program shrunk, with its resource
// list, and each icon as it is; and a sound program of every kind.
bool SaveIdentitySeeds(const std::string& out, int count, char** paths) {
    bool ok = true;
    for (unsigned shape : {0u, 1u, 0x1Bu})
        ok &= Save(out + "/fuzz_peimage", "sound-" + std::to_string(shape), SoundProgram(shape));
    ok &= Save(out + "/fuzz_resources", "empty", Bytes{0x0B});
    // One 256x256 PNG image: the directory entry, then the image's signature.
    Bytes png = {0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 32, 0, 24, 0, 0, 0, 22, 0, 0, 0};
    for (char c : std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\1\0\0\0\1\0", 24))
        png.push_back(static_cast<unsigned char>(c));
    ok &= Save(out + "/fuzz_icon", "png-image.ico", png);
    for (int i = 0; i < count; ++i) {
        std::string path = paths[i], name = path.substr(path.find_last_of('/') + 1);
        Bytes data = Load(path);
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ico") == 0) {
            ok &= !data.empty() && Save(out + "/fuzz_icon", name, data);
            continue;
        }
        Bytes shrunk = ShrunkProgram(data);
        std::vector<Resource> resources;
        std::string error;
        ok &= !shrunk.empty() && ReadResources(shrunk, &resources, &error);
        ok &= Save(out + "/fuzz_peimage", name + "-shrunk", shrunk);
        ok &= Save(out + "/fuzz_resources", name, EncodeResources(static_cast<unsigned>(i), resources));
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: fuzz_make_seeds FOLDER [PROGRAM.exe | ICON.ico]...\n");
        return 2;
    }
    std::string out = argv[1];
    mkdir(out.c_str(), 0755);
    bool ok = true;

    // Sections.
    std::string sections = out + "/fuzz_section";
    Bytes program = Built({{"readme.txt", "", Of("Read me.\r\n")},
                           {"bin\\app.exe", "", Of("MZ program bytes")},
                           {"bin\\empty.dat", "", {}},
                           {"doc\\pl\\instrukcja.txt", "", Of("Instrukcja")}},
                          false);
    Bytes install = Built({{"init.cfg", "", Of("[cfg]\r\n1=Product\r\n")}, {"UnInst.dat", "", Of("uninstaller")}},
                          true);
    Bytes flipped = program;
    flipped[flipped.size() / 2] ^= 0x10;
    Bytes magic = program;
    magic[2] = 'X';
    Bytes zero = program;
    WriteLe32(&zero[11], 0);
    ok &= Save(sections, "program", program);
    ok &= Save(sections, "install-scrambled", install);
    ok &= Save(sections, "path-list-only", Built({}, false));
    ok &= Save(sections, "truncated", Bytes(program.begin(), program.begin() + static_cast<long>(program.size() / 2)));
    ok &= Save(sections, "flipped-byte", flipped);
    ok &= Save(sections, "bad-magic", magic);
    ok &= Save(sections, "member-count-0", zero);
    ok &= Save(sections, "hostile-path", Raw({Of("first.txt\r\n..\\escape.txt\r\n"), Of("1"), Of("2")}));

    // Path lists and file contents, separated by zero bytes.
    std::string pathlists = out + "/fuzz_pathlist";
    ok &= Save(pathlists, "folders",
               Joined({"readme.txt\r\nbin\\app.exe\r\nbin\\lib\\x.dll\r\ndoc\\a.txt\r\n", "Read me", "MZ", "", "a"}));
    ok &= Save(pathlists, "hostile", Joined({"first.txt\r\na\\..\\..\\escape.txt\r\n", "1", "2"}));
    ok &= Save(pathlists, "devices-and-dots",
               Joined({"ok.txt\r\ncon.txt\r\ndot.\\b.txt\r\nC:x\r\n", "1", "2", "3", "4"}));
    ok &= Save(pathlists, "lf-and-no-end", Joined({"one.txt\ntwo\\three.txt", "1", "2"}));
    ok &= Save(pathlists, "same-file-twice", Joined({"a\\b.txt\r\na\\b.txt\r\na\r\n", "1", "2", "3"}));

    // The locator's input follows 135300 zero bytes.
    std::string locator = out + "/fuzz_locator";
    Bytes signature;
    for (size_t j = 0; j < kSignatureSize; ++j)
        signature.push_back(SignatureByte(j));
    Bytes package = signature;
    package.insert(package.end(), install.begin(), install.end());
    Bytes partial(signature.begin(), signature.begin() + 4);
    partial.insert(partial.end(), signature.begin(), signature.end());
    ok &= Save(locator, "signature-and-section", package);
    ok &= Save(locator, "restarted-signature", partial);
    ok &= Save(locator, "truncated-signature", Bytes(signature.begin(), signature.begin() + 5));
    ok &= Save(locator, "no-signature", Of("MZ nothing here"));

    // Whole packages for the packing tool's verify and extract: what follows
    // the 135300 zero bytes.
    Bytes lang = Built({{"English.lng", "", Of("[lng]\r\n3=Install\r\n")}}, false);
    Bytes whole = signature;
    for (const Bytes* part : {&lang, &install, &program})
        whole.insert(whole.end(), part->begin(), part->end());
    Bytes damaged = whole;
    damaged[damaged.size() - 20] ^= 0x40;
    Bytes hostile = signature;
    Bytes hostileProgram = Raw({Of("first.txt\r\n..\\escape.txt\r\n"), Of("1"), Of("2")});
    for (const Bytes* part : {&lang, &install, &hostileProgram})
        hostile.insert(hostile.end(), part->begin(), part->end());
    for (const char* target : {"/fuzz_inspect", "/fuzz_unpack"}) {
        std::string folder = out + target;
        ok &= Save(folder, "whole-package", whole);
        ok &= Save(folder, "damaged-program", damaged);
        ok &= Save(folder, "hostile-path", hostile);
        ok &= Save(folder, "truncated", Bytes(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2)));
    }

    // Value texts: parts separated by zero bytes.
    std::string values = out + "/fuzz_values";
    ok &= Save(values, "typical",
               Joined({"0a1B2c", "HKEY_LOCAL_MACHINE\\Software\\Product", "%ProgramFiles%\\P",
                       "%ProgramFiles%\\P\\app.exe", "C:\\Apps\\P", "C:\\Apps\\P\\", "P",
                       "\"%ProgramFiles%\\P\\app.exe\" %ProgramFiles%\\P"}));
    ok &= Save(values, "odd-hex-and-no-root",
               Joined({"fff", "HKEY_USERS", "a", "aaaa", "bb", "", "", "%ProgramFiles%\\"}));
    ok &= Save(values, "growing-replacement",
               Joined({"", "Software\\HKEY_CLASSES_ROOT", "x", std::string(200, 'x'), "yy", std::string(250, 'd'),
                       "Long Product Name", "%ProgramFiles%\\Long Product Name\\bin"}));

    // INI files: ID, section, file and key bytes, then the content.
    std::string profile = out + "/fuzz_profile";
    auto ini = [](unsigned char id, unsigned char section, unsigned char file, unsigned char key,
                  const std::string& text) {
        Bytes b = {id, section, file, key};
        b.insert(b.end(), text.begin(), text.end());
        return b;
    };
    ok &= Save(profile, "language", ini(3, 2, 1, 0, "[lng]\r\n1=Do you want to install\r\n3=Install\r\n"));
    ok &= Save(profile, "quoted-value",
               ini(1, 11, 3, 0, "[value]\r\n1=C:\\Program Files\\P\\app.exe\r\n[line]\r\n1=1\r\n"));
    ok &= Save(profile, "list-count", ini(0, 3, 2, 4, "[index]\r\nmax=99999999999\r\n[Run]\r\n1=a.exe\r\n"));
    ok &= Save(profile, "long-value",
               ini(5, 11, 3, 0, "[value]\r\n1=" + std::string(300, 'v') + "\r\n[line]\r\n1=7\r\n"));
    ok &= Save(profile, "no-sections", ini(2, 0, 0, 2, "key=value\nmax\n;comment\n[unterminated\n"));

    // Command lines of the installer and the uninstaller.
    std::string switches = out + "/fuzz_switches";
    ok &= Save(switches, "silent-destination", Of("/S /NODESKTOP /LOG=\"C:\\a b\\x.log\" /D=C:\\Some Folder\\App"));
    ok &= Save(switches, "quoted-and-unknown", Of("-s \"/LANG=English\" /X /D=\"C:\\q\""));
    ok &= Save(switches, "long-values", Of("/LOG=" + std::string(300, 'l') + " /D=" + std::string(300, 'd')));
    ok &= SaveIdentitySeeds(out, argc - 2, argv + 2);
    return ok ? 0 : 1;
}
