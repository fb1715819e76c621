// Delivering a package's members for the packing tool's extract and plan:
// into a product folder (names converted back from the code page) or, for the
// Install section, into memory. Nothing is written from a damaged package.
#include "pack/extract.h"

#include <filesystem>
#include <fstream>
#include <memory>

#include "base/format.h"
#include "pack/inspect.h"
#include "pack/platform.h"

namespace fs = std::filesystem;

namespace {

// Writes members below a folder as files.
class FolderSink : public MemberSink {
public:
    FolderSink(const fs::path& root, int codePage) : root_(root), codePage_(codePage) {}
    bool Begin(int section, const std::string& name, std::string* error) override {
        std::string utf8;
        if (!FromCodePage(name, codePage_, &utf8)) {
            *error = "its name does not convert from code page " + std::to_string(codePage_);
            return false;
        }
        std::string relative = utf8;
        for (char& c : relative)
            if (c == '\\')
                c = '/';
        fs::path target = root_ / kSectionFolders[section] / fs::u8path(relative);
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
        out_.reset(new std::ofstream(target, std::ios::binary | std::ios::trunc));
        if (!*out_) {
            *error = "cannot write " + target.u8string();
            return false;
        }
        return true;
    }
    bool Data(const unsigned char* data, size_t size, std::string* error) override {
        out_->write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!*out_)
            *error = "cannot write (disk full?)";
        return static_cast<bool>(*out_);
    }
    bool End(std::string* error) override {
        out_->close();
        bool ok = static_cast<bool>(*out_);
        out_.reset();
        if (!ok)
            *error = "cannot finish writing";
        return ok;
    }

private:
    fs::path root_;
    int codePage_;
    std::unique_ptr<std::ofstream> out_;
};

// Keeps the Install section's files in memory.
class MemorySink : public MemberSink {
public:
    explicit MemorySink(std::vector<std::pair<std::string, std::string>>* files) : files_(files) {}
    bool Begin(int section, const std::string& name, std::string*) override {
        take_ = section == 1;
        if (take_)
            files_->push_back({name, std::string()});
        return true;
    }
    bool Data(const unsigned char* data, size_t size, std::string*) override {
        if (take_)
            files_->back().second.append(reinterpret_cast<const char*>(data), size);
        return true;
    }
    bool End(std::string*) override { return true; }

private:
    std::vector<std::pair<std::string, std::string>>* files_;
    bool take_ = false;
};

std::string FirstProblem(const PackageReport& report) {
    if (!report.found)
        return "no package in this file (no signature at or after byte " + std::to_string(kPackageStart) + ")";
    for (const SectionReport& s : report.sections)
        if (!s.ok)
            return s.error.empty() ? "a section is missing" : s.error;
    return "";
}

}  // namespace

bool ExtractPackage(const std::string& path, const std::string& folder, int codePage, std::string* error) {
    PackageReport report;
    if (!InspectPackage(path, &report, error))
        return false;
    if (!report.ok()) {
        *error = FirstProblem(report);
        return false;
    }
    std::error_code ec;
    fs::path root = fs::u8path(folder);
    if (fs::exists(root, ec) && !fs::is_empty(root, ec)) {
        *error = folder + " is not empty";
        return false;
    }
    FolderSink sink(root, codePage);
    if (!InspectPackage(path, &report, error, &sink))
        return false;
    if (!report.ok()) {
        *error = FirstProblem(report);
        return false;
    }
    return true;
}

bool ReadInstallSection(const std::string& path, std::vector<std::pair<std::string, std::string>>* files,
                        std::string* error) {
    PackageReport report;
    MemorySink sink(files);
    if (!InspectPackage(path, &report, error, &sink))
        return false;
    if (!report.found || !report.sections[0].ok || !report.sections[1].ok) {
        *error = FirstProblem(report);
        return false;
    }
    return true;
}
