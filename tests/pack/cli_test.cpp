// The native brondale-pack as a vendor runs it from its build folder: the
// README's commands without --stub, unknown commands, every finding in one
// run, names Windows merges refused by build and verify, escaped names and
// a crafted member count from a package.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "base/format.h"
#include "pack/writer.h"

namespace fs = std::filesystem;

namespace {

fs::path Folder(const std::string& label) {
    fs::path p = fs::temp_directory_path() / ("brondale-cli-" + label + "-" + std::to_string(getpid()));
    fs::remove_all(p);
    fs::create_directories(p);
    return p;
}

void Put(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Runs the tool with arguments (already quoted) in folder; *output gets its
// standard output and error together. Returns the exit code.
int Tool(const std::string& arguments, std::string* output, const fs::path& folder = fs::temp_directory_path()) {
    std::string command = "cd " + Quote(folder.string()) + " && " + Quote(BRONDALE_PACK_TOOL) + " " + arguments + " 2>&1";
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

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// An installer file: a plain stub, the signature and the sections given.
void WritePackage(const fs::path& file, const std::vector<unsigned char>& sections) {
    std::vector<unsigned char> stub = {'M', 'Z'};
    stub.resize(4096, 0);
    std::vector<unsigned char> data = PackagePrefix(stub);
    data.insert(data.end(), sections.begin(), sections.end());
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                 static_cast<std::streamsize>(data.size()));
}

// One section of the given names (path-list lines) and contents, built by
// hand so that any name can be put in it; scrambled as the Install section.
std::vector<unsigned char> HandSection(const std::vector<std::pair<std::string, std::string>>& files,
                                       bool scrambled = false) {
    std::string list;
    for (const auto& f : files)
        list += f.first + "\r\n";
    std::vector<std::vector<unsigned char>> members(1);
    uint64_t sum = ChecksumAdd(0, reinterpret_cast<const unsigned char*>(list.data()), list.size());
    GzipMember(reinterpret_cast<const unsigned char*>(list.data()), list.size(), 6, &members[0]);
    for (const auto& f : files) {
        std::string stored = f.second;
        unsigned char key[kScrambleKeySize];
        size_t position = 0;
        ScrambleKey(kVendorRegistryPath, kInstallerName, key);
        if (scrambled)
            ScrambleBlock(reinterpret_cast<unsigned char*>(&stored[0]), stored.size(), key, &position);
        members.emplace_back();
        GzipMember(reinterpret_cast<const unsigned char*>(stored.data()), stored.size(), 6, &members.back());
        sum = ChecksumAdd(sum, reinterpret_cast<const unsigned char*>(f.second.data()), f.second.size());
    }
    uint32_t count = static_cast<uint32_t>(members.size());
    std::vector<unsigned char> s(kSectionFixedSize + 4 * count, 0);
    memcpy(s.data(), kSectionMagic, 3);
    WriteLe32(&s[3], static_cast<uint32_t>(sum));
    WriteLe32(&s[11], count);
    uint32_t offset = static_cast<uint32_t>(s.size());
    for (uint32_t i = 0; i <= count; ++i) {
        WriteLe32(&s[kSectionHeaderSize + 4 * i], offset);
        if (i < count)
            offset += static_cast<uint32_t>(members[i].size());
    }
    for (const auto& m : members)
        s.insert(s.end(), m.begin(), m.end());
    return s;
}

} // namespace

TEST(Cli, TheReadmeCommandsWorkFromTheBuildFolder) {
    if (!fs::exists(BRONDALE_INSTALLER_PROGRAM))
        GTEST_SKIP() << "the Windows build folder is not built";
    fs::path work = Folder("readme");
    std::string out;
    ASSERT_EQ(0, Tool("new P --name P", &out, work)) << out;
    ASSERT_EQ(0, Tool("lint P", &out, work)) << out;
    EXPECT_EQ("0 findings, 0 errors\n", out);
    ASSERT_EQ(0, Tool("build P -o P.exe", &out, work)) << out;
    ASSERT_EQ(0, Tool("verify P.exe", &out, work)) << out;
    EXPECT_TRUE(Has(out, "P.exe: sound")) << out;
    ASSERT_EQ(0, Tool("list P.exe", &out, work)) << out;
    EXPECT_TRUE(Has(out, "UnInst.dat")) << "the uninstaller of the Windows build folder: " << out;
    EXPECT_TRUE(Has(out, "P.exe\n")) << "the placeholder program: " << out;
    ASSERT_EQ(0, Tool("lint " + Quote(BRONDALE_EXAMPLE), &out, work)) << out;
    EXPECT_EQ("0 findings, 0 errors\n", out) << "the example product as it stands";
    fs::remove_all(work);
}

TEST(Cli, UnknownCommandsAreNamedAndLintListsEveryFinding) {
    fs::path work = Folder("findings");
    std::string out;
    EXPECT_EQ(2, Tool("lnit P", &out, work));
    EXPECT_TRUE(Has(out, "unknown command lnit")) << out;
    Put(work / "P/install/init.cfg", "[cfg]\r\n1=a:b\r\n[Runs]\r\n1=x\r\n[product]\r\nVersion=one\r\n");
    Put(work / "P/install/UnInst.dat", "MZ");
    ASSERT_EQ(1, Tool("lint P", &out, work)) << out;
    for (const char* line : {"error: init.cfg [cfg] 1: \"a:b\" cannot be a folder name",
                             "warning: init.cfg [Runs]: not a section the installer reads",
                             "error: init.cfg [product] Version: \"one\" is not a version",
                             "warning: program/: missing: the installer installs no files"})
        EXPECT_TRUE(Has(out, std::string("\n") + line) || out.compare(0, strlen(line), line) == 0) << line << "\n" << out;
    EXPECT_TRUE(Has(out, "\n4 findings, 2 errors\n")) << out;
    fs::remove_all(work);
}

TEST(Cli, BuildAndVerifyRefuseNamesWindowsTakesForOne) {
    fs::path work = Folder("case");
    Put(work / "P/install/init.cfg", "[cfg]\r\n1=Case\r\n");
    Put(work / "P/install/UnInst.dat", "MZ");
    Put(work / "P/program/xt_CONNMARK.h", "a");
    Put(work / "P/program/xt_connmark.h", "b");
    Put(work / "stub.exe", std::string("MZ") + std::string(4094, '\0'));
    std::string out;
    EXPECT_EQ(1, Tool("build P -o Case.exe --stub stub.exe --force", &out, work)) << out;
    EXPECT_TRUE(Has(out, "error: program/xt_connmark.h: one file on Windows with program/xt_CONNMARK.h")) << out;
    EXPECT_TRUE(Has(out, "nothing written")) << out;
    EXPECT_FALSE(fs::exists(work / "Case.exe"));
    EXPECT_FALSE(fs::exists(work / "Case.exe.partial"));

    // A package made elsewhere with such names: not sound, both named.
    std::vector<unsigned char> sections = HandSection({});
    std::vector<unsigned char> install = HandSection({{"init.cfg", "[cfg]\r\n1=Case\r\n"}}, true);
    std::vector<unsigned char> program = HandSection(
        {{"A.txt", "1"}, {"a.txt", "2"}, {"\xAF\xF3\xB3w.txt", "3"}, {"\xBF\xF3\xB3w.txt", "4"}});
    sections.insert(sections.end(), install.begin(), install.end());
    sections.insert(sections.end(), program.begin(), program.end());
    WritePackage(work / "merged.exe", sections);
    EXPECT_EQ(1, Tool("verify merged.exe", &out, work)) << out;
    EXPECT_TRUE(Has(out, "program section: \"A.txt\" and \"a.txt\" are one file on Windows")) << out;
    EXPECT_TRUE(Has(out, "program section: \"\xC5\xBB\xC3\xB3\xC5\x82w.txt\" and \"\xC5\xBC\xC3\xB3\xC5\x82w.txt\" are "
                         "one file"))
        << "in UTF-8: " << out;
    EXPECT_FALSE(Has(out, "sound")) << out;
    fs::remove_all(work);
}

TEST(Cli, NamesFromAPackageArePrintedEscaped) {
    fs::path work = Folder("escape");
    std::vector<unsigned char> sections = HandSection({});
    std::vector<unsigned char> install = HandSection({{"init.cfg", "[cfg]\r\n1=\x1b]0;owned\x07\r\n"}}, true);
    std::vector<unsigned char> program = HandSection({{"\x1b[31mred.txt", "x"}});
    sections.insert(sections.end(), install.begin(), install.end());
    sections.insert(sections.end(), program.begin(), program.end());
    WritePackage(work / "escape.exe", sections);
    std::string out;
    EXPECT_EQ(1, Tool("list escape.exe", &out, work)) << out;
    EXPECT_TRUE(Has(out, "\\x1b[31mred.txt")) << out;
    EXPECT_FALSE(Has(out, "\x1b")) << "no escape character reaches the terminal";

    // The same name in a sound section, and a product name with control
    // characters in the plan.
    sections = HandSection({});
    program = HandSection({{"fine.txt", "x"}});
    sections.insert(sections.end(), install.begin(), install.end());
    sections.insert(sections.end(), program.begin(), program.end());
    WritePackage(work / "plan.exe", sections);
    EXPECT_EQ(0, Tool("plan plan.exe", &out, work)) << out;
    EXPECT_TRUE(Has(out, "Product: \\x1b]0;owned\\x07\n")) << out;
    EXPECT_FALSE(Has(out, "\x1b") || Has(out, "\x07"));
    fs::remove_all(work);
}

TEST(Cli, AMemberCountOf0xFFFFFFFFIsRefused) {
    fs::path work = Folder("count");
    std::vector<unsigned char> section(kSectionFixedSize + 64, 0);
    memcpy(section.data(), kSectionMagic, 3);
    WriteLe32(&section[11], 0xFFFFFFFFu);
    WritePackage(work / "count.exe", section);
    std::string out;
    for (const char* command : {"verify", "list", "plan"}) {
        EXPECT_EQ(1, Tool(std::string(command) + " count.exe", &out, work)) << command;
        EXPECT_TRUE(Has(out, "member count 4294967295 does not fit the file") || Has(out, "not sound"))
            << command << ": " << out;
    }
    fs::remove_all(work);
}

// Signing comes after packing: osslsigncode signs the installer with its
// version resource and icon, verifies the signature, and the package behind
// the program stays sound.
TEST(Cli, ASignedInstallerVerifiesAndItsPackageStaysSound) {
    if (!fs::exists(BRONDALE_INSTALLER_PROGRAM))
        GTEST_SKIP() << "the Windows build folder is not built";
    ASSERT_EQ(0, system("command -v osslsigncode >/dev/null && command -v openssl >/dev/null"))
        << "osslsigncode and openssl are needed (scripts/setup.sh installs them)";
    fs::path work = Folder("sign");
    fs::copy(BRONDALE_EXAMPLE, work / "P", fs::copy_options::recursive);
    // A 16x16 icon of 32-bit pixels: header, colours and mask.
    std::string image = std::string("\x28\0\0\0\x10\0\0\0\x20\0\0\0\1\0\x20\0", 16) + std::string(24, '\0') +
                        std::string(16 * 16 * 4, '\x7F') + std::string(16 * 4, '\0');
    std::string ico = std::string("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0", 14);
    for (size_t v : {image.size(), size_t(22)})
        for (int i = 0; i < 4; ++i)
            ico += static_cast<char>((v >> (8 * i)) & 0xFF);
    Put(work / "P/install/setup.ico", ico + image);
    std::string out;
    ASSERT_EQ(0, Tool("build P -o Demo.exe", &out, work)) << out;
    std::string openssl = "cd " + Quote(work.string()) +
                          " && openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2"
                          " -subj /CN=BrondaleTest >/dev/null 2>&1"
                          " && osslsigncode sign -certs cert.pem -key key.pem -n Demo -in Demo.exe -out Signed.exe"
                          " >/dev/null && osslsigncode verify -CAfile cert.pem -in Signed.exe > verify.txt 2>&1";
    EXPECT_EQ(0, system(openssl.c_str()));
    std::ifstream in(work / "verify.txt");
    std::string verified((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(Has(verified, "Signature verification: ok")) << verified;
    ASSERT_EQ(0, Tool("verify Demo.exe", &out, work)) << out;
    EXPECT_TRUE(Has(out, "\nnot signed\n")) << out;
    ASSERT_EQ(0, Tool("verify Signed.exe", &out, work)) << out;
    EXPECT_TRUE(Has(out, "\nsigned: a signature of ")) << out;
    EXPECT_TRUE(Has(out, "Signed.exe: sound")) << out;
    fs::remove_all(work);
}

namespace {

// Runs python3 on the JSON document in file with a script that reads it as
// d and prints what it checks; returns its output (with any error).
std::string Python(const fs::path& file, const std::string& script) {
    fs::path program = file.string() + ".py";
    Put(program, "import json, sys\nd = json.load(open(sys.argv[1], encoding='utf-8'))\n" + script + "\n");
    std::string command = "python3 " + Quote(program.string()) + " " + Quote(file.string()) + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    size_t n;
    while (pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    if (pipe)
        pclose(pipe);
    return out;
}

// Runs the tool with arguments in folder; its standard output alone goes
// to file. Returns the exit code.
int ToolTo(const std::string& arguments, const fs::path& file, const fs::path& folder) {
    std::string command = "cd " + Quote(folder.string()) + " && " + Quote(BRONDALE_PACK_TOOL) + " " + arguments +
                          " >" + Quote(file.string()) + " 2>/dev/null";
    int status = system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

// --json: one document on standard output that a JSON parser reads, with
// names in UTF-8 (from code page 1250) and controls escaped, for each of
// lint, verify, list and plan.
TEST(Cli, JsonDocumentsParseAndCarryNamesInUtf8) {
    fs::path work = Folder("json");
    Put(work / "P/install/init.cfg", "[cfg]\r\n1=Edytor \xAF\xF3\xB3w\r\n[Run]\r\n1=x\r\n[product]\r\n"
                                     "Publisher=Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87\r\n");
    Put(work / "P/install/UnInst.dat", "MZ");
    Put(work / "P/program/\xC5\xBC\xC3\xB3\xC5\x82w.txt", "x");
    ASSERT_EQ(1, ToolTo("lint P --json", work / "lint.json", work));
    EXPECT_EQ("errors 1\ninstall/init.cfg|Run|1|0|warning\ninstall/init.cfg|||6|error\n",
              Python(work / "lint.json", "print('errors', d['errors'])\n"
                                         "for f in sorted(d['findings'], key=lambda f: f['line']):\n"
                                         "    print(f['file'], f['section'], f['key'], f['line'], f['severity'], sep='|')"));

    std::vector<unsigned char> sections = HandSection({});
    std::vector<unsigned char> install = HandSection(
        {{"init.cfg", "[cfg]\r\n1=Edytor \xAF\xF3\xB3w \x9B\r\n[index]\r\nmax=2\r\n[Run]\r\n1=\x1b[2J.exe\r\n"
                      "[silent]\r\n1=1\r\n"},
         {"UnInst.dat", "MZ"}},
        true);
    std::vector<unsigned char> program = HandSection({{"\xBF\xF3\xB3w.txt", "x"}, {"a\x9B.exe", "y"}});
    sections.insert(sections.end(), install.begin(), install.end());
    sections.insert(sections.end(), program.begin(), program.end());
    WritePackage(work / "setup.exe", sections);
    ASSERT_EQ(0, ToolTo("verify setup.exe --json", work / "verify.json", work));
    EXPECT_EQ("True False 3 False\n", Python(work / "verify.json", "print(d['sound'], d['signature']['present'], "
                                                                   "len(d['sections']), 'members' in d['sections'][2])"));
    ASSERT_EQ(0, ToolTo("list setup.exe --json", work / "list.json", work));
    EXPECT_EQ("['a\xE2\x80\xBA.exe', '\xC5\xBC\xC3\xB3\xC5\x82w.txt'] 2\n",
              Python(work / "list.json", "m = d['sections'][2]['members']\n"
                                         "print(sorted(x['name'] for x in m), d['sections'][2]['files'])"));
    ASSERT_EQ(0, ToolTo("plan setup.exe --json", work / "plan.json", work));
    EXPECT_EQ("Edytor \xC5\xBB\xC3\xB3\xC5\x82w \xE2\x80\xBA|DEST\\\x1b[2J.exe always|6\n",
              Python(work / "plan.json", "print(d['product'], d['launches'][0]['path'] + ' ' + d['launches'][0]['when'],"
                                         " len(d['files']), sep='|')"));
    std::string raw;
    {
        std::ifstream in(work / "plan.json", std::ios::binary);
        raw.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    EXPECT_FALSE(Has(raw, "\x1b")) << "escaped as \\u001b";
    EXPECT_EQ(1u, std::count(raw.begin(), raw.end(), '\n')) << "one document, one line";

    // A damaged package: still one document, not sound.
    WritePackage(work / "count.exe", std::vector<unsigned char>(64, 0));
    EXPECT_EQ(1, ToolTo("verify count.exe --json", work / "damaged.json", work));
    EXPECT_EQ("False False\n", Python(work / "damaged.json", "print(d['sound'], d['sections'][0]['sound'])"));
    fs::remove_all(work);
}

// --sign runs the command once per file, with the path quoted for the
// shell; a command that fails leaves nothing at -o and no temporary file.
TEST(Cli, BuildRunsTheSigningCommandOnBothProgramsAndStopsWhenItFails) {
    fs::path work = Folder("sign-command");
    Put(work / "P/install/init.cfg", "[cfg]\r\n1=P\r\n");
    Put(work / "P/install/UnInst.dat", std::string("MZ uninstaller"));
    Put(work / "P/program/a.txt", "a");
    Put(work / "stub.exe", std::string("MZ") + std::string(4094, '\0'));
    std::string out, output = "It's my setup.exe";
    std::string sign = "--sign 'printf \"%s\\n\" {} >>calls.txt && printf SIGNED >>{}'";
    ASSERT_EQ(0, Tool("build P -o " + Quote("It'\\''s my setup.exe") + " --stub stub.exe " + sign, &out, work)) << out;
    EXPECT_TRUE(Has(out, "the signing command left the installer unsigned")) << "no signature appeared: " << out;
    std::ifstream calls(work / "calls.txt");
    std::string first, second, third;
    std::getline(calls, first);
    std::getline(calls, second);
    EXPECT_FALSE(std::getline(calls, third)) << "once per file";
    EXPECT_EQ((work / (output + ".UnInst.partial")).filename(), fs::path(first).filename());
    EXPECT_EQ((work / (output + ".partial")).filename(), fs::path(second).filename());
    ASSERT_EQ(0, Tool("extract " + Quote("It'\\''s my setup.exe") + " x", &out, work)) << out;
    std::ifstream in(work / "x/install/UnInst.dat", std::ios::binary);
    std::string uninstaller((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ("MZ uninstallerSIGNED", uninstaller) << "the signed copy is packed; the product's stays as it was";
    EXPECT_EQ(0, Tool("verify " + Quote("It'\\''s my setup.exe"), &out, work)) << out;
    EXPECT_TRUE(Has(out, "6 bytes after the package are not read by the installer; not signed")) << out;

    for (const char* failing : {"false", "'case {} in *.UnInst.partial) ;; *) exit 3;; esac'",
                                "'case {} in *.UnInst.partial) ;; *) rm {};; esac'"}) {
        fs::remove(work / "S.exe");
        EXPECT_EQ(1, Tool(std::string("build P -o S.exe --stub stub.exe --sign ") + failing, &out, work)) << failing;
        EXPECT_TRUE(Has(out, "nothing written")) << failing << ": " << out;
        for (const char* left : {"S.exe", "S.exe.partial", "S.exe.UnInst.partial"})
            EXPECT_FALSE(fs::exists(work / left)) << failing << ": " << left;
    }
    fs::remove_all(work);
}

// What deployment tools read of the installer's version resource, read by
// pefile: the string table of the language the installer starts in (Polski,
// code page 1250: block 041504E2) with LegalCopyright from [product].
TEST(Cli, PefileReadsLegalCopyrightInThePolishBlock) {
    if (!fs::exists(BRONDALE_INSTALLER_PROGRAM))
        GTEST_SKIP() << "the Windows build folder is not built";
    // Debian's python3, whose pefile python3-pefile installs (scripts/setup.sh).
    ASSERT_EQ(0, system("/usr/bin/python3 -c 'import pefile' 2>/dev/null")) << "python3-pefile is not installed";
    fs::path work = Folder("pefile");
    Put(work / "P/install/init.cfg", "[cfg]\r\n1=Edytor \xAF\xF3\xB3w\r\n[product]\r\nVersion=2.4.1\r\n"
                                     "Copyright=\xA9 2024 \xAF\xF3\xB3w Sp. z o.o.\r\n");
    Put(work / "P/program/a.txt", "a");
    std::string out;
    ASSERT_EQ(0, Tool("build P -o Setup.exe", &out, work)) << out;
    Put(work / "read.py", "import pefile, sys\n"
                          "pe = pefile.PE(sys.argv[1])\n"
                          "for info in pe.FileInfo[0]:\n"
                          "    if info.Key == b'StringFileInfo':\n"
                          "        for table in info.StringTable:\n"
                          "            e = table.entries\n"
                          "            print(table.LangID.decode().upper(), e[b'LegalCopyright'].decode(),\n"
                          "                  e[b'ProductName'].decode(), e[b'ProductVersion'].decode(), sep='|')\n"
                          "    if info.Key == b'VarFileInfo':\n"
                          "        print(info.Var[0].entry)\n");
    std::string command = "cd " + Quote(work.string()) + " && /usr/bin/python3 read.py Setup.exe > read.txt 2>&1";
    EXPECT_EQ(0, system(command.c_str()));
    std::ifstream in(work / "read.txt", std::ios::binary);
    std::string read((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(Has(read, "041504E2|\xC2\xA9 2024 \xC5\xBB\xC3\xB3\xC5\x82w Sp. z o.o.|Edytor \xC5\xBB\xC3\xB3\xC5\x82w|2.4.1\n"))
        << read;
    EXPECT_TRUE(Has(read, "{b'Translation': '0x0415 0x04e2'}")) << read;
    fs::remove_all(work);
}
