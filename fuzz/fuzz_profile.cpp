// Fuzz target: the text lookup (GetLang) and the configuration accessor
// (GetFromCfg, CfgListEnd) on arbitrary INI files. The first four input bytes
// choose the text ID, the section number, the file number and the key; the
// rest is the content of the language file and of the configuration file.
// The destination buffer is exactly as large as the accessor's contract says.
// The same text is also read and changed in memory (base/ini.h), into
// buffers exactly as large as its contract says.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "common.h"
#include "base/ini.h"
#include "config/config.h"
#include "lang/texts.h"
#include "platform/win32api.h"
#include "base/scratch.h"

namespace {

struct Files {
    std::string language, install;
};

const Files& Setup() {
    static Files f;
    if (f.language.empty()) {
        const std::string& work = WorkFolder();
        snprintf(tmp_dir(), MAX_PATH, "%s", work.c_str());
        f.language = work + "\\English.lng";
        f.install = work + "\\Install";
        Check(CreateDirectoryA(f.install.c_str(), nullptr), "cannot create", f.install);
        ScratchWrite(kScratchLanguage, f.language.c_str());
        ScratchWrite(kScratchInstall, f.install.c_str());
    }
    return f;
}

const char* const kKeys[] = {"1", "2", "3", "4", "max", "0", "10", "", "line", "1 "};
const char* const kFileNames[] = {"\\init.cfg", "\\lnk.cfg", "\\reg.cfg"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    const Files& f = Setup();
    unsigned int id = data[0];
    short section = static_cast<short>(data[1] % 18) - 2;  // -2 .. 15: the table and past both ends
    short file = static_cast<short>(data[2] % 5) - 1;      // -1 .. 3
    const char* key = kKeys[data[3] % (sizeof kKeys / sizeof kKeys[0])];
    const unsigned char* content = data + 4;
    size_t length = size - 4;

    WriteWhole(f.language, content, length);
    (void)GetLang(id, DefaultText(id));

    std::string cfg = f.install + kFileNames[file >= 0 && file <= 2 ? file : 0];
    WriteWhole(cfg, content, length);
    size_t room = section == kSecValue ? kCfgQuotedSize : kCfgValueSize;
    std::unique_ptr<char[]> dest(new char[room]);
    GetFromCfg(key, dest.get(), section, file);
    (void)CfgListEnd(section, file);

    static const char* const kSectionNames[] = {"cfg", "Run", "index", "lng", "value", ""};
    const char* sectionName = kSectionNames[data[1] % (sizeof kSectionNames / sizeof kSectionNames[0])];
    IniSpan text{reinterpret_cast<const char*>(content), length}, value;
    if (IniFind(text, IniSpanOf(sectionName), IniSpanOf(key), &value) == kIniFound) {
        std::unique_ptr<char[]> copy(new char[kCfgValueSize]);
        IniCopy(value, copy.get(), kCfgValueSize);
        (void)IniInteger(value, 0);
    }
    size_t capacity = length + IniSetRoom(sectionName, key, "value");
    std::unique_ptr<char[]> changed(new char[capacity]);
    memcpy(changed.get(), content, length);
    size_t changedSize = length;
    IniSet(changed.get(), &changedSize, capacity, sectionName, key, "value");
    return 0;
}
