// Names that Windows would take for one: paths in a package's code page that
// differ only in case (as Windows compares file names: letter by letter
// through the upper-case table, so "Żółw.txt" and "żółw.txt" too), or a file
// named like another path's folder. The same answer on every build.
#ifndef BRONDALE_PACK_CASEFOLD_H
#define BRONDALE_PACK_CASEFOLD_H

#include <string>
#include <utility>
#include <vector>

// The upper case of one Unicode code point, for the letters of the Windows
// ANSI code pages (Latin, Greek, Cyrillic); every other one unchanged.
unsigned UpperCodePoint(unsigned c);

// names (relative paths in code page codePage, backslashes between folders)
// as Windows compares them: each letter in upper case, as UTF-8.
std::string FoldedName(const std::string& name, int codePage);

// Every pair of names that would name one file on Windows: two paths that
// differ only in case, or a file whose path is, but for case, another
// path's folder. Each pair in the order of names (first, later).
std::vector<std::pair<std::string, std::string>> CaseClashes(const std::vector<std::string>& names, int codePage);

#endif
