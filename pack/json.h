// The packing tool's machine-readable output (--json): one JSON document a
// command, built as text. Strings are UTF-8 with JSON's escapes; a byte
// that is not part of a UTF-8 character becomes U+FFFD, so the document is
// always valid UTF-8 whatever a package holds.
#ifndef BRONDALE_PACK_JSON_H
#define BRONDALE_PACK_JSON_H

#include <cstdint>
#include <string>
#include <vector>

#include "pack/finding.h"

// utf8 as a JSON string, quotes included.
std::string JsonString(const std::string& utf8);

// An object from members already written as JSON: {"a": 1, ...}.
// Each member is a name and the JSON of its value.
using JsonMembers = std::vector<std::pair<std::string, std::string>>;
std::string JsonObject(const JsonMembers& members);

// An array of values already written as JSON.
std::string JsonArray(const std::vector<std::string>& values);

std::string JsonNumber(uint64_t n);
std::string JsonBool(bool b);

// The findings of lint or build as an array of objects with file, section,
// key, line (0: none), severity ("error" or "warning") and message.
std::string JsonFindings(const std::vector<Finding>& findings);

#endif
