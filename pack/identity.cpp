// The installer's version resource and icon. Texts are written in UTF-16 as
// the resource format holds them, converted from the package's code page;
// nothing here depends on the time or the machine, so both builds of the
// tool write the same bytes.
#include "pack/identity.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "base/ascii.h"
#include "base/format.h"
#include "base/version.h"
#include "config/config.h"
#include "pack/ini.h"
#include "pack/langid.h"
#include "pack/product.h"
#include "pack/platform.h"

namespace {

// UTF-8 to UTF-16; a broken sequence becomes U+FFFD.
std::u16string Utf16(const std::string& utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char b = static_cast<unsigned char>(utf8[i]);
        size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
        uint32_t c = n == 1 ? b : b & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) {
            if (i + k >= utf8.size() || (static_cast<unsigned char>(utf8[i + k]) & 0xC0) != 0x80)
                n = 0;
            else
                c = c << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        if (n == 0) {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += n;
    }
    return out;
}

void Push16(Bytes* out, uint32_t v) {
    out->resize(out->size() + 2);
    WriteLe16(&(*out)[out->size() - 2], static_cast<uint16_t>(v));
}
void Push32(Bytes* out, uint32_t v) {
    out->resize(out->size() + 4);
    WriteLe32(&(*out)[out->size() - 4], v);
}
void PushText(Bytes* out, const std::u16string& text) {
    for (char16_t c : text)
        Push16(out, c);
    Push16(out, 0);
}
void Align4(Bytes* out) { out->resize((out->size() + 3) & ~size_t(3), 0); }

// Opens a version block: length (set by End), value length, type (0 binary,
// 1 text) and key, aligned for its value.
size_t Begin(Bytes* out, const std::u16string& key, uint32_t valueLength, uint32_t type) {
    Align4(out);
    size_t start = out->size();
    Push16(out, 0);
    Push16(out, valueLength);
    Push16(out, type);
    PushText(out, key);
    Align4(out);
    return start;
}
void End(Bytes* out, size_t start) { WriteLe16(&(*out)[start], static_cast<uint16_t>(out->size() - start)); }

void AddString(Bytes* out, const std::u16string& key, const std::u16string& value) {
    size_t at = Begin(out, key, static_cast<uint32_t>(value.size() + 1), 1);
    PushText(out, value);
    End(out, at);
}

std::u16string FromPage(const std::string& text, int codePage) {
    std::string utf8;
    return FromCodePage(text, codePage, &utf8) ? Utf16(utf8) : Utf16(text);
}

std::u16string Hex4(uint32_t v) {
    static const char kHex[] = "0123456789ABCDEF";
    std::u16string s;
    for (int shift = 12; shift >= 0; shift -= 4)
        s += static_cast<char16_t>(kHex[(v >> shift) & 15]);
    return s;
}

// The icon IDs that an icon group's data names.
std::vector<uint16_t> GroupMembers(const Bytes& group) {
    std::vector<uint16_t> ids;
    size_t count = group.size() >= 6 ? ReadLe16(&group[4]) : 0;
    for (size_t i = 0; i < count && 6 + 14 * i + 14 <= group.size(); ++i)
        ids.push_back(ReadLe16(&group[6 + 14 * i + 12]));
    return ids;
}

bool IsGroupOne(const Resource& r) {
    return !r.type.named && r.type.id == kResourceGroupIcon && !r.name.named && r.name.id == 1;
}

// Replaces icon group 1 and the icons only it uses by images, numbered after
// the highest icon left. False when no numbers are left for them.
bool ReplaceProgramIcon(const std::vector<IconImage>& images, std::vector<Resource>* resources) {
    std::set<uint16_t> own, shared;
    uint16_t language = 0x0409, highest = 0;
    for (const Resource& r : *resources) {
        if (!r.type.named && r.type.id == kResourceGroupIcon)
            for (uint16_t id : GroupMembers(r.data))
                (IsGroupOne(r) ? own : shared).insert(id);
        if (IsGroupOne(r))
            language = r.language;
    }
    resources->erase(std::remove_if(resources->begin(), resources->end(),
                                    [&](const Resource& r) {
                                        bool icon = !r.type.named && r.type.id == kResourceIcon && !r.name.named;
                                        return IsGroupOne(r) ||
                                               (icon && own.count(r.name.id) && !shared.count(r.name.id));
                                    }),
                     resources->end());
    for (const Resource& r : *resources)
        if (!r.type.named && r.type.id == kResourceIcon && !r.name.named)
            highest = std::max(highest, r.name.id);
    if (highest > 0xFFFF - images.size())
        return false;
    Resource group;
    group.type.id = kResourceGroupIcon;
    group.name.id = 1;
    group.language = language;
    Push16(&group.data, 0);
    Push16(&group.data, 1);
    Push16(&group.data, static_cast<uint32_t>(images.size()));
    for (const IconImage& image : images) {
        Resource icon;
        icon.type.id = kResourceIcon;
        icon.name.id = ++highest;
        icon.language = language;
        icon.data = image.data;
        resources->push_back(icon);
        group.data.insert(group.data.end(), {image.width, image.height, image.colours, 0});
        Push16(&group.data, image.planes);
        Push16(&group.data, image.bitCount);
        Push32(&group.data, static_cast<uint32_t>(image.data.size()));
        Push16(&group.data, icon.name.id);
    }
    resources->push_back(group);
    return true;
}

// False with *problem when two of an icon file's images (start, number)
// share a byte.
bool ImagesApart(const unsigned char* data, std::vector<std::pair<size_t, size_t>>* ranges, std::string* problem) {
    std::sort(ranges->begin(), ranges->end());
    for (size_t k = 1; k < ranges->size(); ++k) {
        size_t before = (*ranges)[k - 1].second, after = (*ranges)[k].second;
        if ((*ranges)[k].first < (*ranges)[k - 1].first + ReadLe32(data + 6 + 16 * before + 8)) {
            *problem = "images " + std::to_string(std::min(before, after) + 1) + " and " +
                       std::to_string(std::max(before, after) + 1) + " of the icon file share bytes";
            return false;
        }
    }
    return true;
}

}  // namespace

bool ParseVersion(const std::string& text, uint16_t parts[4]) {
    return ParseVersionText(text.data(), text.size(), parts);
}

bool ParseIcon(const std::string& bytes, std::vector<IconImage>* images, std::string* problem) {
    const unsigned char* data = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() < 6 || ReadLe16(data) != 0 || ReadLe16(data + 2) != 1 || ReadLe16(data + 4) == 0) {
        *problem = "not an icon file (.ico with at least one image)";
        return false;
    }
    size_t count = ReadLe16(data + 4);
    if (6 + 16 * count > bytes.size() || count > 256) {
        *problem = "an icon file cut short: its " + std::to_string(count) + " images are not all there";
        return false;
    }
    // Each image lies in the file after the directory, and no two share a
    // byte: every image is copied once, so the copies stay within the file.
    std::vector<std::pair<size_t, size_t>> ranges;  // start, image number
    for (size_t i = 0; i < count; ++i) {
        size_t entry = 6 + 16 * i;
        uint32_t size = ReadLe32(data + entry + 8), offset = ReadLe32(data + entry + 12);
        std::string image = "image " + std::to_string(i + 1) + " of the icon file";
        if (size < 8 || offset < 6 + 16 * count || offset > bytes.size() || size > bytes.size() - offset) {
            *problem = image + " lies outside the file or in its directory";
            return false;
        }
        if (bytes.compare(offset, 8, "\x89PNG\r\n\x1A\n") != 0 && ReadLe32(data + offset) != 40) {
            *problem = image + " is neither a bitmap nor a PNG image";
            return false;
        }
        ranges.emplace_back(offset, i);
    }
    if (!ImagesApart(data, &ranges, problem))
        return false;
    for (size_t i = 0; images && i < count; ++i) {
        size_t entry = 6 + 16 * i;
        size_t size = ReadLe32(data + entry + 8), offset = ReadLe32(data + entry + 12);
        IconImage image;
        image.width = data[entry];
        image.height = data[entry + 1];
        image.colours = data[entry + 2];
        image.planes = ReadLe16(data + entry + 4);
        image.bitCount = ReadLe16(data + entry + 6);
        image.data.assign(data + offset, data + offset + size);
        images->push_back(std::move(image));
    }
    return true;
}

InstallerIdentity ProductIdentity(const std::vector<SectionFile>& lang, const std::vector<SectionFile>& install,
                                  const std::string& fileName, int codePage) {
    InstallerIdentity identity;
    identity.fileName = fileName;
    identity.codePage = codePage;
    std::vector<std::string> languages;
    for (const SectionFile& f : lang)
        languages.push_back(f.name);
    identity.language = LanguageId(PreselectedLanguage(languages));
    for (const SectionFile& f : install) {
        if (LowerAscii(f.name) == "init.cfg") {
            Ini init(FileContent(f));
            identity.name = init.Get("cfg", "1");
            identity.version = init.Get("product", kProductVersion);
            identity.publisher = init.Get("product", kProductPublisher);
            identity.copyright = init.Get("product", kProductCopyright);
        } else if (LowerAscii(f.name) == kSetupIcon) {
            identity.icon = FileContent(f);
        }
    }
    return identity;
}

Bytes VersionResource(const InstallerIdentity& identity) {
    uint16_t v[4] = {0, 0, 0, 0};
    bool versioned = ParseVersion(identity.version, v);
    Bytes out;
    size_t root = Begin(&out, u"VS_VERSION_INFO", 52, 0);
    const uint32_t ms = static_cast<uint32_t>(v[0]) << 16 | v[1], ls = static_cast<uint32_t>(v[2]) << 16 | v[3];
    // Signature, structure version, file and product version, flags mask,
    // flags, Windows NT 32-bit, an application, no subtype, no date.
    for (uint32_t field : {0xFEEF04BDu, 0x00010000u, ms, ls, ms, ls, 0x3Fu, 0u, 0x00040004u, 1u, 0u, 0u, 0u})
        Push32(&out, field);
    const uint32_t page = static_cast<uint32_t>(identity.codePage) & 0xFFFF;
    size_t strings = Begin(&out, u"StringFileInfo", 0, 1);
    size_t table = Begin(&out, Hex4(identity.language) + Hex4(page), 0, 1);
    std::u16string name = FromPage(identity.name, identity.codePage);
    if (!identity.publisher.empty())
        AddString(&out, u"CompanyName", FromPage(identity.publisher, identity.codePage));
    AddString(&out, u"FileDescription", name + u" Setup");
    if (versioned)
        AddString(&out, u"FileVersion", FromPage(identity.version, identity.codePage));
    if (!identity.copyright.empty())
        AddString(&out, u"LegalCopyright", FromPage(identity.copyright, identity.codePage));
    AddString(&out, u"OriginalFilename", Utf16(identity.fileName));
    AddString(&out, u"ProductName", name);
    if (versioned)
        AddString(&out, u"ProductVersion", FromPage(identity.version, identity.codePage));
    End(&out, table);
    End(&out, strings);
    size_t vars = Begin(&out, u"VarFileInfo", 0, 1);
    size_t translation = Begin(&out, u"Translation", 4, 0);
    Push16(&out, identity.language);
    Push16(&out, page);
    End(&out, translation);
    End(&out, vars);
    End(&out, root);
    return out;
}

bool StampInstaller(const Bytes& stub, const InstallerIdentity& identity, Bytes* out, std::string* error) {
    std::vector<Resource> resources;
    if (!ReadResources(stub, &resources, error))
        return false;
    resources.erase(std::remove_if(resources.begin(), resources.end(),
                                   [](const Resource& r) { return !r.type.named && r.type.id == kResourceVersion; }),
                    resources.end());
    Resource version;
    version.type.id = kResourceVersion;
    version.name.id = 1;
    version.language = identity.language;
    version.data = VersionResource(identity);
    if (version.data.size() > 0xFFFF) {
        *error = "the product's name, version and publisher are too long for a version resource";
        return false;
    }
    resources.push_back(version);
    if (!identity.icon.empty()) {
        std::vector<IconImage> images;
        std::string problem;
        if (!ParseIcon(identity.icon, &images, &problem)) {
            *error = std::string("install/") + kSetupIcon + ": " + problem;
            return false;
        }
        if (!ReplaceProgramIcon(images, &resources)) {
            *error = "the program has no icon numbers left for install/" + std::string(kSetupIcon);
            return false;
        }
    }
    return WriteResources(stub, resources, out, error);
}
