// Signing during a build: the vendor's command (osslsigncode, signtool,
// a script) runs once per file, on the uninstaller before it is packed and
// on the finished installer, and signs the file in place.
#ifndef BRONDALE_PACK_SIGN_H
#define BRONDALE_PACK_SIGN_H

#include <cstdint>
#include <string>
#include <vector>

// command with every "{}" replaced by path, quoted for the shell.
std::string SigningCommand(const std::string& command, const std::string& path);

// Runs the signing command on the file at path; false with *error (naming
// the file and the exit code) when it fails or the file is gone after it.
bool SignFile(const std::string& command, const std::string& path, std::string* error);

// Where a Windows program's certificate table lies (its security
// directory: a file offset and a size); false when headers, the start of
// the file, hold no program headers or an empty directory.
bool CertificateTable(const std::vector<unsigned char>& headers, uint32_t* offset, uint32_t* size);

// Reads the start of the file at path and tells whether it carries an
// Authenticode signature (CertificateTable).
bool FileIsSigned(const std::string& path, uint32_t* offset, uint32_t* size);

#endif
