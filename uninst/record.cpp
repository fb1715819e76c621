// Whether the uninstall record and the list of installed files are the ones
// the installer sealed: their bytes, as read once into memory (the text is
// read from those same bytes, uninst/recordtext.h), against the digests in
// the product's Uninstall key.
#include "uninst/record.h"

#include <windows.h>

#include "trust/digest.h"

namespace {

// A REG_SZ value of the product's Uninstall key; "" when it is missing or of
// another type.
std::string UninstallValue(const std::string& key, const char* name) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
        return "";
    char data[kDigestTextSize + 1] = "";
    DWORD type = 0, size = sizeof data - 1;
    LONG status = RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(h);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return "";
    data[size < sizeof data ? size : sizeof data - 1] = '\0';
    return data;
}

// True when the digest of bytes is the stored one; a missing value or list
// never matches.
bool Matches(const std::string& stored, const std::string* bytes) {
    char digest[kDigestTextSize];
    return !stored.empty() && bytes && BytesDigest(bytes->data(), bytes->size(), digest) && stored == digest;
}

} // namespace

bool RecordIsSealed(const UninstallRecord& record, const std::string& recordBytes, const std::string* listBytes) {
    std::string product;
    if (!IsProductUninstallKey(record.productKey, &product))
        return false;
    return Matches(UninstallValue(record.productKey, kRecordDigestValue), &recordBytes) &&
           Matches(UninstallValue(record.productKey, kFileListDigestValue), listBytes);
}
