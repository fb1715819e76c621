// verify, list, plan and extract. A package is sound only when every check
// the installer makes passes and no two of a section's names are one file
// on Windows. Every name taken from a package is printed through Printable.
#include "pack/cli/read.h"

#include <cstdio>
#include <string>

#include "pack/casefold.h"
#include "pack/extract.h"
#include "pack/finding.h"
#include "pack/inspect.h"
#include "pack/plan.h"

namespace {

// Reports the names of a sound section that Windows would take for one;
// returns whether there are none.
bool NoCaseClashes(const std::string& file, int index, const SectionReport& r, int codePage) {
    std::vector<std::string> names;
    for (size_t i = 1; i < r.members.size(); ++i)
        names.push_back(r.members[i].name);
    bool none = true;
    for (const auto& clash : CaseClashes(names, codePage)) {
        fprintf(stderr, "%s: %s section: \"%s\" and \"%s\" are one file on Windows, whose names differ only in case\n",
                Printable(file).c_str(), kSectionNames[index], Printable(clash.first).c_str(),
                Printable(clash.second).c_str());
        none = false;
    }
    return none;
}

}  // namespace

int VerifyCommand(const Args& a, bool list) {
    if (a.positional.size() != 1)
        return Usage("list and verify take SETUP.exe");
    PackageReport report;
    std::string error, file = Printable(a.positional[0]);
    if (!InspectPackage(a.positional[0], &report, &error)) {
        fprintf(stderr, "brondale-pack: %s\n", Printable(error).c_str());
        return 1;
    }
    if (!report.found) {
        fprintf(stderr, "%s: no package (no signature at or after byte 135300)\n", file.c_str());
        return 1;
    }
    printf("%s: package at byte %llu\n", file.c_str(), static_cast<unsigned long long>(report.signatureAt));
    bool ok = true, distinct = true;
    for (int s = 0; s < 3; ++s) {
        const SectionReport& r = report.sections[s];
        if (!r.ok) {
            fprintf(stderr, "%s: %s\n", file.c_str(),
                    Printable(r.error.empty() ? "a section is missing" : r.error).c_str());
            ok = false;
            break;
        }
        printf("%s section: %zu files, %llu bytes, checksum %u\n", kSectionNames[s], r.members.size() - 1,
               static_cast<unsigned long long>(r.length), r.checksum);
        if (list) {
            for (const MemberInfo& m : r.members)
                printf("  %10u %10u  %08x  %s\n", m.size, m.compressed, m.crc,
                       m.name.empty() ? "(path list)" : Printable(m.name).c_str());
        }
        distinct = NoCaseClashes(a.positional[0], s, r, a.codePage) && distinct;
    }
    ok = ok && distinct;
    if (ok && report.trailing)
        printf("%llu bytes after the package (a signature?) are not read by the installer\n",
               static_cast<unsigned long long>(report.trailing));
    if (ok)
        printf("%s: sound\n", file.c_str());
    return ok ? 0 : 1;
}

int ExtractCommand(const Args& a) {
    if (a.positional.size() != 2)
        return Usage("extract takes SETUP.exe DIR");
    std::string error;
    if (!ExtractPackage(a.positional[0], a.positional[1], a.codePage, &error)) {
        fprintf(stderr, "brondale-pack: %s\n", Printable(error).c_str());
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
                Printable(error.empty() ? "the package is not sound (see verify)" : error).c_str());
        return 1;
    }
    std::vector<std::pair<std::string, uint32_t>> program;
    for (size_t i = 1; i < report.sections[2].members.size(); ++i)
        program.push_back({report.sections[2].members[i].name, report.sections[2].members[i].size});
    // The plan's lines end in line feeds; everything between comes from the
    // package and is escaped line by line.
    std::string plan = DescribePlan(install, program);
    for (size_t at = 0; at < plan.size();) {
        size_t end = plan.find('\n', at);
        std::string line = plan.substr(at, end == std::string::npos ? std::string::npos : end - at);
        printf("%s\n", Printable(line).c_str());
        at = end == std::string::npos ? plan.size() : end + 1;
    }
    return 0;
}
