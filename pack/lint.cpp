// The configuration checks. The limits are those of the installer's fields:
// 63 characters for names and paths held in 64-byte fields, one character of
// [silent], 255 for a translated text, 27 for a language name.
#include "pack/lint.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "base/ascii.h"
#include "base/format.h"
#include "base/installed.h"
#include "config/config.h"
#include "config/scope.h"
#include "pack/ini.h"
#include "pack/product.h"
#include "pack/identity.h"
#include "pack/lintfiles.h"

namespace {

bool IsNumber(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

class Linter {
public:
    Linter(const std::vector<SectionFile> sections[3], int codePage) : codePage_(codePage) {
        for (const SectionFile& f : sections[1])
            install_[LowerAscii(f.name)] = &f;
        for (const SectionFile& f : sections[2])
            program_.insert(LowerAscii(f.name));
        for (const SectionFile& f : sections[0])
            languages_.push_back(&f);
        init_ = Load("init.cfg");
        lnk_ = Load("lnk.cfg");
        reg_ = Load("reg.cfg");
    }

    std::vector<Finding> Run() {
        Product();
        Identity();
        RunList();
        Shortcuts();
        Registry();
        SameLineComments(init_, "init.cfg");
        SameLineComments(lnk_, "lnk.cfg");
        SameLineComments(reg_, "reg.cfg");
        TextFiles();
        if (!install_.count(LowerAscii(kUninstallerInPackage)))
            Error(std::string("install/") + kUninstallerInPackage,
                  "missing: the installer copies it as the uninstaller");
        return findings_;
    }

private:
    Ini Load(const std::string& name) {
        auto it = install_.find(name);
        return it == install_.end() ? Ini() : Ini(FileContent(*it->second));
    }
    void Error(const std::string& where, const std::string& message) { findings_.push_back({true, where, message}); }
    void Warn(const std::string& where, const std::string& message) { findings_.push_back({false, where, message}); }

    void Long(const std::string& where, const std::string& value, size_t limit) {
        if (value.size() > limit)
            Warn(where, std::to_string(value.size()) + " characters; the installer holds " + std::to_string(limit));
    }
    void InProgram(const std::string& where, const std::string& path) {
        if (!path.empty() && !program_.count(LowerAscii(path)))
            Warn(where, "\"" + path + "\" is not in program/");
    }

    // A list: its count key and its entries; returns the count key (0 when
    // there is no list).
    long List(const Ini& ini, const std::string& file, const std::string& index, const std::string& countKey,
              const std::vector<std::string>& sections) {
        bool found = false;
        std::string count = ini.Get(index, countKey, &found);
        std::string where = file + " [" + index + "] " + countKey;
        if (found && !IsNumber(count)) {
            Warn(where, "\"" + count + "\" is not a number: the installer takes the list as absent");
            return 0;
        }
        long end = found ? atol(count.c_str()) : 0;
        long highest = 0;
        for (const std::string& section : sections) {
            for (const std::string& key : ini.Keys(section)) {
                if (!IsNumber(key))
                    continue;
                long n = atol(key.c_str());
                highest = std::max(highest, n);
                if (n >= end)
                    Warn(file + " [" + section + "] " + key,
                         end == 0 ? "no count key " + countKey + " in [" + index + "]: the entry is never read"
                                  : "past the count key (" + std::to_string(end) + "): never read");
            }
        }
        if (end > 0 && highest > 0 && end != highest + 1 && highest < end)
            Warn(where, std::to_string(end) + " where the entries end at " + std::to_string(highest) +
                            " (the count key is one more than the last entry)");
        return end;
    }

    void Product() {
        std::string name = init_.Get("cfg", "1");
        if (name.empty())
            Error("init.cfg [cfg] 1", "no product name: page captions, the Uninstall key and the folder need one");
        Long("init.cfg [cfg] 1", name, 63);
        // The name becomes a folder below Program Files and the last part
        // of the Uninstall key: one Windows name, no key separator.
        if (!name.empty() && (name.find('\\') != std::string::npos || !IsSafeMemberPath(name.c_str(), name.size())))
            Error("init.cfg [cfg] 1", "\"" + name +
                                          "\" cannot be a folder name and a registry key name on Windows "
                                          "(no \\ / : * ? \" < > |, no control character, no device name, no dot or "
                                          "blank at the end)");
        std::string licence = init_.Get("cfg", "2");
        if (!licence.empty() && !install_.count(LowerAscii(licence)))
            Error("init.cfg [cfg] 2", "the licence file \"" + licence + "\" is not in install/");
        std::string info = init_.Get("cfg", "3");
        Long("init.cfg [cfg] 3", info, 63);
        InProgram("init.cfg [cfg] 3", info);
    }

    void RunList() {
        long end = List(init_, "init.cfg", "index", "max", {"Run", "silent"});
        for (long i = 1; i < end && i <= 10000; ++i) {
            std::string k = std::to_string(i);
            std::string run = init_.Get("Run", k), silent = init_.Get("silent", k);
            Long("init.cfg [Run] " + k, run, 63);
            InProgram("init.cfg [Run] " + k, run);
            if (!run.empty() && silent != "0" && silent != "1")
                Warn("init.cfg [silent] " + k, "\"" + silent + "\": only \"1\" or \"0\" is ever launched");
        }
        long endU = List(init_, "init.cfg", "index", "maxU", {"RunU"});
        for (long i = 1; i < endU && i <= 10000; ++i) {
            std::string k = std::to_string(i), runU = init_.Get("RunU", k);
            Long("init.cfg [RunU] " + k, runU, 63);
            InProgram("init.cfg [RunU] " + k, runU);
        }
    }

    void Shortcuts() {
        const char* const kIndex[2] = {"index1", "index2"};
        const char* const kList[2] = {"desktop", "menu"};
        for (int kind = 0; kind < 2; ++kind) {
            long end = List(lnk_, "lnk.cfg", kIndex[kind], "max", {kList[kind]});
            for (long i = 1; i < end && i <= 10000; ++i) {
                std::string k = std::to_string(i), target = lnk_.Get(kList[kind], k);
                std::string where = std::string("lnk.cfg [") + kList[kind] + "] " + k;
                Long(where, target, 63);
                if (LowerAscii(target) != LowerAscii(kUninstallerMenuEntry))
                    InProgram(where, target);
            }
        }
    }

    void Registry() {
        long end = List(reg_, "reg.cfg", "index", "max", {"key", "name", "value", "type", "dynam", "line"});
        for (long i = 1; i < end && i <= 10000; ++i) {
            std::string k = std::to_string(i);
            std::string type = reg_.Get("type", k), key = reg_.Get("key", k), value = reg_.Get("value", k);
            std::string name = reg_.Get("name", k);
            Long("reg.cfg [name] " + k, name, 63);
            long t = type.empty() ? 0 : (IsNumber(type) ? atol(type.c_str()) : -1);
            if (t < 0 || t > 3) {
                Warn("reg.cfg [type] " + k, "\"" + type + "\" is not 0 to 3: the value is never written");
                continue;
            }
            short root = RegistryRootOf(key.c_str());
            if (root == kNoRegistryRoot)
                Warn("reg.cfg [key] " + k, "\"" + key + "\" has no root key name and subkey: never written");
            if (root == kLocalMachineRoot && ForOneUser())
                Error("reg.cfg [key] " + k, "\"" + key + "\" is under HKEY_LOCAL_MACHINE, which an installation for "
                      "one user (init.cfg [product] Scope=" + init_.Get("product", kProductScope) +
                      ") cannot write: use HKEY_CURRENT_USER");
            if (t <= 1) {
                bool hex = std::all_of(value.begin(), value.end(),
                                       [](char c) { return isxdigit(static_cast<unsigned char>(c)); });
                if (!hex)
                    Warn("reg.cfg [value] " + k, "\"" + value + "\" has characters that are not hexadecimal digits");
                else if (value.size() % 2 != 0)
                    Warn("reg.cfg [value] " + k, "an odd number of digits: the first digit is dropped");
                if (t == 1 && value.size() != 8)
                    Warn("reg.cfg [value] " + k, "a double word takes exactly eight hexadecimal digits");
            }
            Long("reg.cfg [value] " + k, value, 259);
        }
    }

    // Whether the product may be installed for one user (Scope user or
    // choose): without administrator rights, so nothing under
    // HKEY_LOCAL_MACHINE.
    bool ForOneUser() {
        ScopeSetting scope = ParseScopeSetting(init_.Get("product", kProductScope).c_str());
        return scope == kSettingUser || scope == kSettingChoose;
    }

    // init.cfg [product]: a version the installer's version resource can
    // hold, an address of the usual form, a readable icon, a known Scope.
    void Identity() {
        std::string scope = init_.Get("product", kProductScope);
        if (ParseScopeSetting(scope.c_str()) == kSettingUnknown)
            Error(std::string("init.cfg [product] ") + kProductScope,
                  "\"" + scope + "\" is not machine, user or choose");
        std::string version = init_.Get("product", kProductVersion);
        uint16_t parts[4];
        if (!version.empty() && !ParseVersion(version, parts))
            Error(std::string("init.cfg [product] ") + kProductVersion,
                  "\"" + version + "\" is not a version: one to four numbers from 0 to 65535 joined by dots (2.1.0)");
        Long(std::string("init.cfg [product] ") + kProductPublisher, init_.Get("product", kProductPublisher), 259);
        std::string url = init_.Get("product", kProductUrl);
        Long(std::string("init.cfg [product] ") + kProductUrl, url, 259);
        if (!url.empty() && url.compare(0, 7, "http://") != 0 && url.compare(0, 8, "https://") != 0)
            Warn(std::string("init.cfg [product] ") + kProductUrl, "\"" + url +
                                                                       "\" is not a web address "
                                                                       "(http://... or https://...)");
        std::string where = std::string("init.cfg [product] ");
        Long(where + kProductCopyright, init_.Get("product", kProductCopyright), 259);
        std::string program = init_.Get("product", kProductProgram);
        if (!program.empty() && !IsSafeMemberPath(program.c_str(), program.size()))
            Error(where + kProductProgram, "\"" + program +
                                               "\" is not a path inside the product (relative to the folder, no "
                                               "drive, no .., no forbidden character)");
        else
            InProgram(where + kProductProgram, program);
        auto icon = install_.find(LowerAscii(kSetupIcon));
        std::string problem;
        if (icon != install_.end() && !ParseIcon(FileContent(*icon->second), nullptr, &problem))
            Error(std::string("install/") + kSetupIcon, problem);
    }

    // Names, encoding and completeness of the configuration and language
    // files, and the limits of a language file.
    void TextFiles() {
        CheckNames(init_, kInitFile, "init.cfg", &findings_);
        CheckNames(lnk_, kLnkFile, "lnk.cfg", &findings_);
        CheckNames(reg_, kRegFile, "reg.cfg", &findings_);
        std::string licence = LowerAscii(init_.Get("cfg", "2"));
        for (const auto& f : install_) {
            bool config = f.first.size() > 4 && f.first.compare(f.first.size() - 4, 4, ".cfg") == 0;
            if (config || f.first == licence)
                CheckEncoding(FileContent(*f.second), "install/" + f.second->name, codePage_, config, &findings_);
        }
        for (const SectionFile* f : languages_) {
            std::string name = f->name, file = "lang/" + name;
            if (name.size() < 4 || LowerAscii(name.substr(name.size() - 4)) != ".lng")
                continue;
            Long(file, name.substr(0, name.size() - 4), 27);
            std::string text = FileContent(*f);
            Ini lng(text);
            for (const std::string& key : lng.Keys("lng"))
                Long(file + " [lng] " + key, lng.Get("lng", key), 255);
            CheckNames(lng, kLanguageFile, file, &findings_);
            CheckEncoding(text, file, codePage_, false, &findings_);
            CheckLanguageTexts(lng, file, &findings_);
        }
    }

    // The installer's profile reader takes everything after "=" as the
    // value: a comment after it on the same line becomes part of it.
    void SameLineComments(const Ini& ini, const std::string& file) {
        for (const std::string& section : ini.Sections()) {
            for (const std::string& key : ini.Keys(section)) {
                std::string value = ini.Get(section, key);
                size_t at = value.find(';');
                while (at != std::string::npos && at > 0 && value[at - 1] != ' ' && value[at - 1] != '\t')
                    at = value.find(';', at + 1);
                if (at == std::string::npos)
                    continue;
                Warn(file + " [" + section + "] " + key,
                     "\"" + value +
                         "\" ends in what looks like a comment; the installer keeps it as part of "
                         "the value: put comments on lines of their own, starting with \";\"");
            }
        }
    }

    std::map<std::string, const SectionFile*> install_;
    std::set<std::string> program_;
    std::vector<const SectionFile*> languages_;
    Ini init_, lnk_, reg_;
    int codePage_;
    std::vector<Finding> findings_;
};

}  // namespace

std::vector<Finding> LintProduct(const std::vector<SectionFile> sections[3], int codePage) {
    std::vector<Finding> findings = Linter(sections, codePage).Run();
    FindingsFromPackage(&findings, codePage);
    return findings;
}
