// The signing command and the certificate table. A signature is an
// attribute certificate table that the signing tool appends to the file and
// names in the headers' security directory (data directory 4); everything
// before it, package included, is what it signs.
#include "pack/sign.h"

#include <cstdio>
#include <filesystem>

#include "base/format.h"
#include "pack/platform.h"

std::string SigningCommand(const std::string& command, const std::string& path) {
    std::string out, quoted = ShellQuoted(path);
    for (size_t at = 0; at < command.size();) {
        if (command.compare(at, 2, "{}") == 0) {
            out += quoted;
            at += 2;
        } else {
            out += command[at++];
        }
    }
    return out;
}

bool SignFile(const std::string& command, const std::string& path, std::string* error) {
    int code = RunShell(SigningCommand(command, path));
    std::error_code ec;
    if (code != 0) {
        *error = "the signing command failed on " + path +
                 (code < 0 ? std::string(" (it could not be run)") : " (exit code " + std::to_string(code) + ")");
        return false;
    }
    if (!std::filesystem::is_regular_file(std::filesystem::u8path(path), ec)) {
        *error = "the signing command left no file " + path + " (it must sign the file in place)";
        return false;
    }
    return true;
}

bool CertificateTable(const std::vector<unsigned char>& headers, uint32_t* offset, uint32_t* size) {
    if (headers.size() < 0x40 || headers[0] != 'M' || headers[1] != 'Z')
        return false;
    uint32_t pe = ReadLe32(&headers[0x3C]);
    if (pe > headers.size() || headers.size() - pe < 24 + 2 || headers[pe] != 'P' || headers[pe + 1] != 'E' ||
        headers[pe + 2] != 0 || headers[pe + 3] != 0)
        return false;
    size_t optional = pe + 24;
    unsigned magic = ReadLe16(&headers[optional]);
    // The data directories start at 96 (PE32) or 112 (PE32+); entry 4 is
    // the security directory: a file offset, not an address, and a size.
    size_t security = optional + (magic == 0x20B ? 112 : 96) + 4 * 8;
    if (security + 8 > headers.size())
        return false;
    *offset = ReadLe32(&headers[security]);
    *size = ReadLe32(&headers[security + 4]);
    return *size != 0;
}

bool FileIsSigned(const std::string& path, uint32_t* offset, uint32_t* size) {
    FILE* f = OpenInput(path);
    if (!f)
        return false;
    std::vector<unsigned char> headers(1 << 16);
    headers.resize(fread(headers.data(), 1, headers.size(), f));
    fclose(f);
    return CertificateTable(headers, offset, size);
}
