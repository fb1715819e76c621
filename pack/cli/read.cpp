// verify, list, plan and extract. A package is sound only when every check
// the installer makes passes and no two of a section's names are one file
// on Windows. Every name taken from a package is converted from its code
// page and printed through Printable, or written as a JSON string.
#include "pack/cli/read.h"

#include <cstdio>
#include <string>

#include "pack/casefold.h"
#include "pack/extract.h"
#include "pack/finding.h"
#include "pack/inspect.h"
#include "pack/json.h"
#include "pack/plantext.h"
#include "pack/sign.h"

namespace {

// What verify and list found beyond the reader's report: the names Windows
// would take for one, and the signature.
struct Verdict {
    std::vector<std::pair<std::string, std::string>> clashes[3];
    bool sound = false, signedFile = false, signatureAfterPackage = false;
    uint32_t signatureAt = 0, signatureBytes = 0;
};

Verdict Judge(const std::string& path, const PackageReport& report, int codePage) {
    Verdict v;
    bool distinct = true;
    for (int s = 0; s < 3 && report.found; ++s) {
        const SectionReport& r = report.sections[s];
        if (!r.ok)
            break;
        std::vector<std::string> names;
        for (size_t i = 1; i < r.members.size(); ++i)
            names.push_back(r.members[i].name);
        v.clashes[s] = CaseClashes(names, codePage);
        distinct = distinct && v.clashes[s].empty();
    }
    v.sound = report.ok() && distinct;
    v.signedFile = FileIsSigned(path, &v.signatureAt, &v.signatureBytes);
    // A signing tool puts the certificate table at the end of the file,
    // after everything it signs (here the package), aligned to 8 bytes.
    uint64_t end = report.fileSize - report.trailing;
    v.signatureAfterPackage = v.signedFile && report.ok() && v.signatureAt >= end && v.signatureAt - end < 8 &&
                              static_cast<uint64_t>(v.signatureAt) + v.signatureBytes <= report.fileSize;
    return v;
}

std::string SignatureText(const PackageReport& report, const Verdict& v) {
    if (v.signatureAfterPackage)
        return "signed: a signature of " + std::to_string(v.signatureBytes) +
               " bytes after the package (osslsigncode verify or signtool verify checks it)";
    if (v.signedFile)
        return "signed, but the signature does not lie after the package (byte " + std::to_string(v.signatureAt) +
               "): it does not cover it as it should";
    if (report.trailing)
        return std::to_string(report.trailing) + " bytes after the package are not read by the installer; not signed";
    return "not signed";
}

int VerifyText(const Args& a, const PackageReport& report, const Verdict& v, bool list) {
    std::string file = Printable(a.positional[0]);
    printf("%s: package at byte %llu\n", file.c_str(), static_cast<unsigned long long>(report.signatureAt));
    for (int s = 0; s < 3; ++s) {
        const SectionReport& r = report.sections[s];
        if (!r.ok) {
            fprintf(stderr, "%s: %s\n", file.c_str(),
                    Printable(r.error.empty() ? "a section is missing" : FromPackage(r.error, a.codePage)).c_str());
            break;
        }
        printf("%s section: %zu files, %llu bytes, checksum %u\n", kSectionNames[s], r.members.size() - 1,
               static_cast<unsigned long long>(r.length), r.checksum);
        if (list) {
            for (const MemberInfo& m : r.members)
                printf("  %10u %10u  %08x  %s\n", m.size, m.compressed, m.crc,
                       m.name.empty() ? "(path list)" : Printable(FromPackage(m.name, a.codePage)).c_str());
        }
        for (const auto& clash : v.clashes[s])
            fprintf(stderr,
                    "%s: %s section: \"%s\" and \"%s\" are one file on Windows, whose names differ only in case\n",
                    file.c_str(), kSectionNames[s], Printable(FromPackage(clash.first, a.codePage)).c_str(),
                    Printable(FromPackage(clash.second, a.codePage)).c_str());
    }
    if (v.sound) {
        printf("%s\n", SignatureText(report, v).c_str());
        printf("%s: sound\n", file.c_str());
    }
    return v.sound ? 0 : 1;
}

std::string SectionJson(const SectionReport& r, int index, const Verdict& v, bool list, int codePage) {
    JsonMembers members = {{"name", JsonString(kSectionNames[index])},
                           {"sound", JsonBool(r.ok)},
                           {"files", JsonNumber(r.members.empty() ? 0 : r.members.size() - 1)},
                           {"bytes", JsonNumber(r.length)},
                           {"checksum", JsonNumber(r.checksum)}};
    if (!r.ok)
        members.push_back({"error", JsonString(FromPackage(r.error, codePage))});
    std::vector<std::string> clashes;
    for (const auto& clash : v.clashes[index])
        clashes.push_back(
            JsonArray({JsonString(FromPackage(clash.first, codePage)), JsonString(FromPackage(clash.second, codePage))}));
    members.push_back({"sameFileOnWindows", JsonArray(clashes)});
    if (list) {
        std::vector<std::string> files;
        char crc[9];
        for (size_t i = 1; i < r.members.size(); ++i) {
            const MemberInfo& m = r.members[i];
            snprintf(crc, sizeof crc, "%08x", m.crc);
            files.push_back(JsonObject({{"name", JsonString(FromPackage(m.name, codePage))},
                                        {"size", JsonNumber(m.size)},
                                        {"compressed", JsonNumber(m.compressed)},
                                        {"crc32", JsonString(crc)}}));
        }
        members.push_back({"members", JsonArray(files)});
    }
    return JsonObject(members);
}

int VerifyJson(const Args& a, const PackageReport& report, const Verdict& v, bool list) {
    std::vector<std::string> sections;
    for (int s = 0; s < 3 && report.found; ++s) {
        sections.push_back(SectionJson(report.sections[s], s, v, list, a.codePage));
        if (!report.sections[s].ok)
            break;
    }
    JsonMembers signature = {{"present", JsonBool(v.signedFile)}, {"afterPackage", JsonBool(v.signatureAfterPackage)}};
    if (v.signedFile) {
        signature.push_back({"offset", JsonNumber(v.signatureAt)});
        signature.push_back({"bytes", JsonNumber(v.signatureBytes)});
    }
    printf("%s\n", JsonObject({{"file", JsonString(a.positional[0])},
                               {"package", JsonBool(report.found)},
                               {"packageAt", JsonNumber(report.signatureAt)},
                               {"sound", JsonBool(v.sound)},
                               {"sections", JsonArray(sections)},
                               {"bytesAfterPackage", JsonNumber(report.trailing)},
                               {"signature", JsonObject(signature)}})
                       .c_str());
    return v.sound ? 0 : 1;
}

}  // namespace

int VerifyCommand(const Args& a, bool list) {
    if (a.positional.size() != 1)
        return Usage("list and verify take SETUP.exe");
    PackageReport report;
    std::string error;
    if (!InspectPackage(a.positional[0], &report, &error)) {
        fprintf(stderr, "brondale-pack: %s\n", Printable(error).c_str());
        return 1;
    }
    Verdict v = Judge(a.positional[0], report, a.codePage);
    if (a.json)
        return VerifyJson(a, report, v, list);
    if (!report.found) {
        fprintf(stderr, "%s: no package (no signature at or after byte 135300)\n",
                Printable(a.positional[0]).c_str());
        return 1;
    }
    return VerifyText(a, report, v, list);
}

int ExtractCommand(const Args& a) {
    if (a.positional.size() != 2)
        return Usage("extract takes SETUP.exe DIR");
    if (a.json)
        return Usage("extract has no --json");
    std::string error;
    if (!ExtractPackage(a.positional[0], a.positional[1], a.codePage, &error)) {
        fprintf(stderr, "brondale-pack: %s\n", Printable(FromPackage(error, a.codePage)).c_str());
        return 1;
    }
    printf("%s: extracted into %s\n", Printable(a.positional[0]).c_str(), Printable(a.positional[1]).c_str());
    return 0;
}

int PlanCommand(const Args& a) {
    if (a.positional.size() != 1)
        return Usage("plan takes SETUP.exe");
    PackageReport report;
    std::string error;
    std::vector<std::pair<std::string, std::string>> install;
    if (!InspectPackage(a.positional[0], &report, &error) || !report.ok() ||
        !ReadInstallSection(a.positional[0], &install, &error)) {
        fprintf(stderr, "brondale-pack: %s\n",
                Printable(error.empty() ? "the package is not sound (see verify)" : FromPackage(error, a.codePage))
                    .c_str());
        return 1;
    }
    std::vector<std::pair<std::string, uint32_t>> program;
    for (size_t i = 1; i < report.sections[2].members.size(); ++i)
        program.push_back({report.sections[2].members[i].name, report.sections[2].members[i].size});
    Plan plan = MakePlan(install, program);
    if (a.json) {
        printf("%s\n", PlanJson(plan, a.codePage).c_str());
        return 0;
    }
    // The plan's lines end in line feeds; everything between comes from the
    // package and is escaped line by line.
    std::string text = FromPackage(PlanText(plan), a.codePage);
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        printf("%s\n", Printable(line).c_str());
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return 0;
}
