// INI text in memory. Every read goes through IniReadLine, which never looks
// past the span it is given; IniSet changes the text only once it knows the
// result fits.
#include "base/ini.h"

#include <climits>

#include "base/ascii.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

IniSpan Trim(const char* begin, const char* end) {
    while (begin < end && IsBlank(*begin))
        ++begin;
    while (end > begin && IsBlank(end[-1]))
        --end;
    return IniSpan{begin, static_cast<size_t>(end - begin)};
}

IniSpan Unquote(IniSpan value) {
    const char* t = value.text;
    if (value.length >= 2 && (t[0] == '"' || t[0] == '\'') && t[value.length - 1] == t[0])
        return IniSpan{t + 1, value.length - 2};
    return value;
}

bool Same(IniSpan a, IniSpan b) { return SameAscii(a.text, a.length, b.text, b.length); }

// False when the line at offset at cannot name key, which lets a lookup pass
// over a long section without reading each line whole: after the line's
// blanks the key must follow in full.
bool MayName(IniSpan text, size_t at, IniSpan key) {
    const char* p = text.text + at;
    const char* last = text.text + text.length;
    while (p < last && IsBlank(*p))
        ++p;
    return static_cast<size_t>(last - p) >= key.length && SameAscii(p, key.length, key.text, key.length);
}

// Replaces the bytes [from, to) of the text by the pieces, in order.
void Splice(char* buffer, size_t* size, size_t from, size_t to, const IniSpan* pieces, size_t count) {
    size_t added = 0;
    for (size_t i = 0; i < count; ++i)
        added += pieces[i].length;
    memmove(buffer + from + added, buffer + to, *size - to);
    *size = *size - (to - from) + added;
    for (size_t i = 0; i < count; ++i) {
        memcpy(buffer + from, pieces[i].text, pieces[i].length);
        from += pieces[i].length;
    }
}

}  // namespace

void IniReadLine(IniSpan text, size_t* at, IniLine* line) {
    const char* begin = text.text + *at;
    const char* last = text.text + text.length;
    const char* lf = static_cast<const char*>(memchr(begin, '\n', static_cast<size_t>(last - begin)));
    const char* stop = lf ? lf : last;
    line->start = *at;
    line->end = static_cast<size_t>(stop - text.text);
    *at = lf ? line->end + 1 : text.length;
    IniSpan t = Trim(begin, stop);
    const char* tEnd = t.text + t.length;
    line->name = line->value = IniSpan{t.text, 0};
    if (t.length == 0 || t.text[0] == ';') {
        line->kind = kIniComment;
    } else if (t.text[0] == '[') {
        const char* close = static_cast<const char*>(memchr(t.text + 1, ']', t.length - 1));
        line->kind = kIniSection;
        line->name = Trim(t.text + 1, close ? close : tEnd);
    } else if (const char* equals = static_cast<const char*>(memchr(t.text, '=', t.length))) {
        line->kind = kIniEntry;
        line->name = Trim(t.text, equals);
        line->value = Unquote(Trim(equals + 1, tEnd));
    } else {
        line->kind = kIniKeyOnly;
        line->name = t;
    }
}

bool IniFindSection(IniSpan text, IniSpan section, IniSpan* body) {
    bool inside = false;
    IniLine line;
    for (size_t at = 0; at < text.length;) {
        size_t start = at;
        IniReadLine(text, &at, &line);
        if (line.kind != kIniSection)
            continue;
        if (inside) {
            body->length = start - static_cast<size_t>(body->text - text.text);
            return true;
        }
        if (Same(line.name, section)) {
            inside = true;
            *body = IniSpan{text.text + at, 0};
        }
    }
    if (inside)
        body->length = text.length - static_cast<size_t>(body->text - text.text);
    return inside;
}

IniVerdict IniFindKey(IniSpan body, IniSpan key, IniSpan* value) {
    IniLine line;
    for (size_t at = 0; at < body.length;) {
        if (!MayName(body, at, key)) {
            const char* lf = static_cast<const char*>(memchr(body.text + at, '\n', body.length - at));
            at = lf ? static_cast<size_t>(lf - body.text) + 1 : body.length;
            continue;
        }
        IniReadLine(body, &at, &line);
        if ((line.kind == kIniEntry || line.kind == kIniKeyOnly) && Same(line.name, key)) {
            *value = line.value;
            return line.kind == kIniEntry ? kIniFound : kIniNoValue;
        }
    }
    return kIniMissing;
}

IniVerdict IniFind(IniSpan text, IniSpan section, IniSpan key, IniSpan* value) {
    IniSpan body;
    if (!IniFindSection(text, section, &body))
        return kIniMissing;
    return IniFindKey(body, key, value);
}

size_t IniCopy(IniSpan value, char* out, size_t size) {
    size_t n = value.length < size - 1 ? value.length : size - 1;
    memcpy(out, value.text, n);
    out[n] = '\0';
    return n;
}

long IniInteger(IniSpan value, long def) {
    if (value.length == 0)
        return def;
    const char* p = value.text;
    const char* end = p + value.length;
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
        ++p;
    bool negative = p < end && *p == '-';
    if (p < end && (*p == '+' || *p == '-'))
        ++p;
    unsigned long magnitude = 0;
    const unsigned long limit = negative ? 0ul - static_cast<unsigned long>(LONG_MIN) : LONG_MAX;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        unsigned long digit = static_cast<unsigned long>(*p - '0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }
    if (negative)
        return magnitude == limit ? LONG_MIN : -static_cast<long>(magnitude);
    return static_cast<long>(magnitude);
}

size_t IniSetRoom(const char* section, const char* key, const char* value) {
    // CR LF to end an unterminated last line, "[section]" CR LF, "key=value" CR LF.
    return 2 + strlen(section) + 4 + strlen(key) + strlen(value) + 3;
}

bool IniSet(char* buffer, size_t* size, size_t capacity, const char* section, const char* key, const char* value) {
    if (*size + IniSetRoom(section, key, value) > capacity)
        return false;
    IniSpan text{buffer, *size}, sectionName = IniSpanOf(section), keyName = IniSpanOf(key);
    IniSpan equals{"=", 1}, lineEnd{"\r\n", 2}, newValue = IniSpanOf(value);
    bool inside = false, found = false;
    size_t insertAt = 0;  // after the section's last line that is not empty
    IniLine line;
    for (size_t at = 0; at < text.length;) {
        IniReadLine(text, &at, &line);
        if (line.kind == kIniSection) {
            if (inside)
                break;
            inside = found = Same(line.name, sectionName);
        } else if (inside && (line.kind == kIniEntry || line.kind == kIniKeyOnly) && Same(line.name, keyName)) {
            // The line keeps its name as written and its own line end.
            size_t nameEnd = static_cast<size_t>(line.name.text + line.name.length - buffer);
            size_t contentEnd = line.end;
            while (contentEnd > nameEnd && buffer[contentEnd - 1] == '\r')
                --contentEnd;
            IniSpan pieces[] = {equals, newValue};
            Splice(buffer, size, nameEnd, contentEnd, pieces, 2);
            return true;
        }
        if (inside && Trim(buffer + line.start, buffer + line.end).length > 0)
            insertAt = at;
    }
    // A last line without its LF gets a line end before anything follows it.
    bool open = found ? buffer[insertAt - 1] != '\n' : *size > 0 && buffer[*size - 1] != '\n';
    if (found) {
        IniSpan pieces[] = {lineEnd, keyName, equals, newValue, lineEnd};
        Splice(buffer, size, insertAt, insertAt, pieces + (open ? 0 : 1), open ? 5 : 4);
        return true;
    }
    IniSpan pieces[] = {lineEnd, IniSpan{"[", 1}, sectionName, IniSpan{"]", 1}, lineEnd,
                        keyName, equals,          newValue,    lineEnd};
    Splice(buffer, size, *size, *size, pieces + (open ? 0 : 1), open ? 9 : 8);
    return true;
}
