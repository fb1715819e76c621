// Registry value texts: the hexadecimal text of binary and double-word values,
// the root name of a key path, and the dynamic path substitution.
#ifndef BRONDALE_FINISH_VALUES_H
#define BRONDALE_FINISH_VALUES_H

// The value of one hexadecimal digit: '0'..'9' give 0..9, any other c gives
// c - 55 (so 'A'..'F' give 10..15).
int hextoi(char c);
// Converts hexadecimal text in place into its bytes, least significant byte
// first; the caller keeps the first strlen/2 bytes.
void convertvalue(unsigned char* text);

// Root index of a key path: 0 HKEY_CURRENT_USER, 1 HKEY_LOCAL_MACHINE,
// 2 HKEY_CLASSES_ROOT, 3 HKEY_USERS, found anywhere in the path; the path's
// first component is then removed in place. 4 when no root name occurs, or
// when the path has no backslash to end its first component (path unchanged).
short FindKeyType(char* path);

// Replaces every occurrence of pattern in text (a 260-byte buffer) by
// replacement, searching on after each inserted replacement, and sets marker
// to "3" at each one. work is a 260-byte buffer. Returns false, with text
// unchanged, when the result would not fit.
bool replacestr(const char* pattern, char* text, char* work, char* marker, const char* replacement);

// The dynamic path substitution: "%ProgramFiles%\<product>" (NazwaProgramu)
// in value becomes destination, less one trailing backslash; each
// replacement sets type to "3". Returns false when the result would not fit.
bool SciezkaDynamicznie(char* value, char* type, const char* destination);

#endif
