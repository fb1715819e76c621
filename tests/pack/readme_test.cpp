// The README as a vendor and a fleet administrator read it: its
// configuration examples lint clean and pack, its winget manifest follows
// the schema's rules, and its table names every text ID.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include "files.h"
#include "lang/english.h"
#include "pack/extract.h"
#include "pack/ini.h"
#include "pack/lint.h"
#include "pack/plantext.h"
#include "pack/product.h"
#include "pack/writer.h"

using namespace packtest;

namespace {

// The indented blocks of the README that follow a line "`install/NAME`:".
std::map<std::string, std::string> ReadmeExamples() {
    std::ifstream in(BRONDALE_README);
    std::map<std::string, std::string> blocks;
    std::string line, current;
    while (std::getline(in, line)) {
        if (line.size() > 4 && line.compare(0, 9, "`install/") == 0 && line.compare(line.size() - 2, 2, "`:") == 0) {
            current = line.substr(9, line.size() - 11);
            blocks[current];
        } else if (!current.empty() && line.compare(0, 4, "    ") == 0) {
            blocks[current] += line.substr(4) + "\r\n";
        } else if (!current.empty() && !line.empty() && !blocks[current].empty()) {
            current.clear();
        }
    }
    return blocks;
}

} // namespace

TEST(PackTool, TheReadmeConfigurationExamplesLintClean) {
    std::map<std::string, std::string> examples = ReadmeExamples();
    for (const char* name : {"init.cfg", "lnk.cfg", "reg.cfg"})
        ASSERT_FALSE(examples[name].empty()) << "the vendor guide has no example of install/" << name;
    fs::path p = Folder("readme");
    for (const auto& e : examples)
        Put(p / "install" / e.first, e.second);
    // The files the examples name.
    Put(p / "install/licence.txt", "terms");
    Put(p / "install/UnInst.dat", "MZ");
    Put(p / "program/MyApp.exe", "MZ");
    Put(p / "program/Tools/Setup.exe", "MZ");
    Put(p / "program/readme.txt", "read me");
    std::vector<SectionFile> sections[3];
    std::vector<Finding> read;
    std::string error;
    ASSERT_TRUE(ReadProduct(p.string(), 1250, sections, &read, &error)) << error;
    EXPECT_EQ(0u, read.size()) << read[0].where << ": " << read[0].message;
    for (const Finding& f : LintProduct(sections, 1250))
        ADD_FAILURE() << f.where << ": " << f.message;
    fs::path out = Folder("readme-out");
    ASSERT_TRUE(WriteInstaller(Stub(), sections, (out / "setup.exe").string(), PackOptions(), &error)) << error;
    std::vector<std::pair<std::string, std::string>> install;
    ASSERT_TRUE(ReadInstallSection((out / "setup.exe").string(), &install, &error)) << error;
    std::string plan = DescribePlan(install, {{"MyApp.exe", 2}, {"Tools\\Setup.exe", 2}, {"readme.txt", 7}});
    EXPECT_NE(std::string::npos, plan.find("Product: My Product\n")) << plan;
    fs::remove_all(p);
    fs::remove_all(out);
}

namespace {

// The README's winget manifest: the indented block after the line that
// introduces it, as lines without the block's indentation.
std::vector<std::string> ReadmeManifest() {
    std::ifstream in(BRONDALE_README);
    std::vector<std::string> lines;
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line.compare(0, 31, "A package manager's manifest (w") == 0)
            inside = true;
        else if (inside && line.compare(0, 4, "    ") == 0)
            lines.push_back(line.substr(4));
        else if (inside && !lines.empty() && !line.empty())
            break;
    }
    return lines;
}

// "Key: value" of a manifest line (after its indentation and "- ").
std::pair<std::string, std::string> KeyValue(std::string line) {
    size_t start = line.find_first_not_of(" -");
    line = start == std::string::npos ? "" : line.substr(start);
    size_t colon = line.find(':');
    if (colon == std::string::npos)
        return {line, ""};
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    return {line.substr(0, colon), value};
}

// The exit codes of a silent run, from the README's table.
std::set<long> ReadmeExitCodes() {
    std::ifstream in(BRONDALE_README);
    std::set<long> codes;
    std::string line;
    bool table = false;
    while (std::getline(in, line)) {
        if (line.compare(0, 26, "Exit codes of a silent run") == 0)
            table = true;
        else if (table && line.compare(0, 2, "| ") == 0 && isdigit(static_cast<unsigned char>(line[2])))
            codes.insert(atol(line.c_str() + 2));
        else if (table && !codes.empty() && line.empty())
            break;
    }
    return codes;
}

} // namespace

// The manifest as winget's installer manifest schema (1.10) takes it: known
// root keys, the required ones, only non-zero return codes, each with a
// response the schema names, one for every exit code a silent run has, and
// the entry the installer registers for the README's configuration example.
TEST(PackTool, TheReadmeManifestFollowsTheSchemasRules) {
    static const std::set<std::string> kRootKeys = {
        "PackageIdentifier", "PackageVersion", "Channel", "InstallerLocale", "Platform", "MinimumOSVersion",
        "InstallerType", "NestedInstallerType", "NestedInstallerFiles", "Scope", "InstallModes", "InstallerSwitches",
        "InstallerSuccessCodes", "ExpectedReturnCodes", "UpgradeBehavior", "Commands", "Protocols", "FileExtensions",
        "Dependencies", "PackageFamilyName", "ProductCode", "Capabilities", "RestrictedCapabilities", "Markets",
        "InstallerAbortsTerminal", "ReleaseDate", "InstallLocationRequired", "RequireExplicitUpgrade",
        "DisplayInstallWarnings", "UnsupportedOSArchitectures", "UnsupportedArguments", "AppsAndFeaturesEntries",
        "ElevationRequirement", "InstallationMetadata", "DownloadCommandProhibited", "RepairBehavior",
        "ArchiveBinariesDependOnPath", "Authentication", "Installers", "ManifestType", "ManifestVersion"};
    static const std::set<std::string> kResponses = {
        "packageInUse", "packageInUseByApplication", "installInProgress", "fileInUse", "missingDependency",
        "diskFull", "insufficientMemory", "invalidParameter", "noNetwork", "contactSupport", "rebootRequiredToFinish",
        "rebootRequiredForInstall", "rebootInitiated", "cancelledByUser", "alreadyInstalled", "downgrade",
        "blockedByPolicy", "systemNotSupported", "custom"};
    std::vector<std::string> lines = ReadmeManifest();
    ASSERT_FALSE(lines.empty()) << "no manifest in the README";
    std::map<std::string, std::string> root, entry;
    std::vector<std::string> scopes, customs;  // each installer entry's Scope and Custom switch
    std::set<long> returned;
    std::string section;
    for (const std::string& line : lines) {
        auto kv = KeyValue(line);
        if (line[0] != ' ' && line[0] != '-') {
            section = kv.first;
            root[kv.first] = kv.second;
            EXPECT_TRUE(kRootKeys.count(kv.first)) << "not a root key of the schema: " << kv.first;
        } else if (section == "InstallerSuccessCodes") {
            EXPECT_NE(0, atol(kv.first.c_str())) << "0 is always success and must not be listed";
        } else if (section == "ExpectedReturnCodes" && kv.first == "InstallerReturnCode") {
            EXPECT_NE(0, atol(kv.second.c_str())) << line;
            returned.insert(atol(kv.second.c_str()));
        } else if (section == "ExpectedReturnCodes" && kv.first == "ReturnResponse") {
            EXPECT_TRUE(kResponses.count(kv.second)) << "not a response the schema names: " << kv.second;
        } else if (section == "AppsAndFeaturesEntries") {
            entry[kv.first] = kv.second;
        } else if (section == "Installers") {
            if (line.compare(0, 4, "  - ") == 0)
                scopes.emplace_back(), customs.emplace_back();
            if (kv.first == "Scope" && !scopes.empty())
                scopes.back() = kv.second;
            if (kv.first == "Custom" && !customs.empty())
                customs.back() = kv.second;
        }
    }
    // An inline list: [3010, 1641].
    std::string inlineCodes = root["InstallerSuccessCodes"];
    for (size_t at = inlineCodes.find_first_of("-0123456789"); at != std::string::npos;
         at = inlineCodes.find_first_of("-0123456789", inlineCodes.find_first_not_of("-0123456789", at)))
        EXPECT_NE(0, atol(inlineCodes.c_str() + at)) << "0 is always success and must not be listed";
    for (const char* required : {"PackageIdentifier", "PackageVersion", "Installers", "ManifestType", "ManifestVersion"})
        EXPECT_TRUE(root.count(required)) << required;
    EXPECT_EQ("installer", root["ManifestType"]);
    EXPECT_EQ("1.10.0", root["ManifestVersion"]);
    std::set<long> codes = ReadmeExitCodes();
    codes.erase(0);
    EXPECT_FALSE(codes.empty());
    EXPECT_EQ(codes, returned) << "every failure of a silent run, and only those";

    Ini init(ReadmeExamples()["init.cfg"]);
    EXPECT_EQ(init.Get("product", "Version"), root["PackageVersion"]);
    EXPECT_EQ(init.Get("cfg", "1"), entry["DisplayName"]);
    EXPECT_EQ(init.Get("product", "Publisher"), entry["Publisher"]);
    EXPECT_EQ(init.Get("product", "Version"), entry["DisplayVersion"]);
    // One installer entry for each scope the product's Scope allows, each
    // with the switch that picks it.
    EXPECT_FALSE(root.count("Scope")) << "the scope belongs to each installer entry";
    std::string scope = init.Get("product", "Scope");
    std::vector<std::string> expected = scope == "choose" ? std::vector<std::string>{"machine", "user"}
                                        : scope == "user" ? std::vector<std::string>{"user"}
                                                          : std::vector<std::string>{"machine"};
    EXPECT_EQ(expected, scopes);
    if (scope == "choose") {
        EXPECT_EQ((std::vector<std::string>{"/ALLUSERS", "/CURRENTUSER"}), customs);
    }
}

// Every text ID the installer and the uninstaller show is in the README's
// table, with the English text a new product gets.
TEST(PackTool, TheReadmeListsEveryTextId) {
    std::ifstream in(BRONDALE_README);
    std::string readme((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const EnglishText& t : kEnglishTexts) {
        std::string id = std::to_string(t.id);
        EXPECT_NE(std::string::npos, readme.find("\n| " + id + " | ")) << "text " << id;
        EXPECT_NE(std::string::npos, readme.find(t.text)) << "text " << id;
    }
}

namespace {

// The indented block after the line that starts with intro, as lines
// without the block's indentation.
std::vector<std::string> ReadmeBlockAfter(const std::string& intro) {
    std::ifstream in(BRONDALE_README);
    std::vector<std::string> lines;
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line.compare(0, intro.size(), intro) == 0)
            inside = true;
        else if (inside && line.compare(0, 4, "    ") == 0)
            lines.push_back(line.substr(4));
        else if (inside && !lines.empty() && !line.empty())
            break;
    }
    return lines;
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

} // namespace

// The signing example as a vendor pastes it, with the tool on the PATH:
// osslsigncode verifies the installer it builds and the uninstaller
// extracted from its package, and verify finds the package sound and signed.
TEST(PackTool, TheReadmeSigningExampleSignsTheInstallerAndItsUninstaller) {
    if (!fs::exists(BRONDALE_INSTALLER_PROGRAM))
        GTEST_SKIP() << "the Windows build folder is not built";
    std::vector<std::string> example = ReadmeBlockAfter("A complete example with a certificate of your own");
    ASSERT_EQ(4u, example.size()) << "the README's signing example";
    fs::path work = Folder("readme-sign");
    std::string script = "set -e\ncd " + Quoted(work.string()) + "\nPATH=" +
                         Quoted(fs::path(BRONDALE_PACK_TOOL).parent_path().string()) + ":$PATH\n" +
                         "brondale-pack new MyProduct --name 'My Product' >/dev/null\n";
    for (const std::string& line : example)
        script += line + " >>out.txt 2>&1\n";
    script += "brondale-pack extract MyProductSetup.exe x >/dev/null\n"
              "osslsigncode verify -CAfile sign.crt -in x/install/UnInst.dat >>out.txt 2>&1\n";
    Put(work / "example.sh", script);
    int status = system(("bash " + Quoted((work / "example.sh").string())).c_str());
    std::ifstream in(work / "out.txt");
    std::string out((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(0, status) << out;
    size_t first = out.find("Signature verification: ok");
    EXPECT_NE(std::string::npos, first) << out;
    EXPECT_NE(std::string::npos, out.find("Signature verification: ok", first + 1)) << "the uninstaller: " << out;
    EXPECT_NE(std::string::npos, out.find("MyProductSetup.exe: sound")) << out;
    EXPECT_NE(std::string::npos, out.find("\nsigned: a signature of ")) << out;
    fs::remove_all(work);
}

// The README's example of lint --json is a JSON document with the fields
// the tool writes.
TEST(PackTool, TheReadmeJsonExampleParses) {
    std::vector<std::string> example = ReadmeBlockAfter("For example, `brondale-pack lint MyProduct --json");
    ASSERT_FALSE(example.empty());
    fs::path work = Folder("readme-json");
    std::string text;
    for (const std::string& line : example)
        text += line + "\n";
    Put(work / "example.json", text);
    std::string command = "python3 -c 'import json, sys; d = json.load(open(sys.argv[1])); "
                          "assert set(d) == {\"product\", \"findings\", \"errors\", \"warnings\"}; "
                          "assert all(set(f) == {\"file\", \"section\", \"key\", \"line\", \"severity\", \"message\"} "
                          "for f in d[\"findings\"])' " +
                          Quoted((work / "example.json").string());
    EXPECT_EQ(0, system(command.c_str())) << text;
    fs::remove_all(work);
}
