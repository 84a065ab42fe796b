#include "tools/bench_json.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

// Length of the well-formed UTF-8 sequence at s[at], or 0 if there is none
// (stray continuation, overlong form, surrogate, beyond U+10FFFF, cut short).
static size_t Utf8Length(const std::string &s, size_t at) {
    const unsigned char c = (unsigned char)s[at];
    size_t n;
    uint32_t code, least;
    if (c >= 0xc0 && c < 0xe0)
        n = 2, code = c & 0x1f, least = 0x80;
    else if (c >= 0xe0 && c < 0xf0)
        n = 3, code = c & 0x0f, least = 0x800;
    else if (c >= 0xf0 && c < 0xf8)
        n = 4, code = c & 0x07, least = 0x10000;
    else
        return 0;
    if (at + n > s.size()) return 0;
    for (size_t i = 1; i < n; i++) {
        const unsigned char k = (unsigned char)s[at + i];
        if ((k & 0xc0) != 0x80) return 0;
        code = code << 6 | (k & 0x3f);
    }
    if (code < least || code > 0x10ffff || (code >= 0xd800 && code < 0xe000)) return 0;
    return n;
}

std::string JsonQuote(const std::string &s) {
    std::string out = "\"";
    for (size_t at = 0; at < s.size();) {
        const unsigned char c = (unsigned char)s[at];
        if (c >= 0x80) {
            const size_t n = Utf8Length(s, at);
            if (n)
                out.append(s, at, n), at += n;
            else
                out += "\\ufffd", at++; // the replacement character
            continue;
        }
        at++;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7f) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += (char)c;
            }
        }
    }
    return out + "\"";
}

// Before any value: the comma after a sibling (none after a key).
static void Separate(Json &json) {
    if (json.afterKey) {
        json.afterKey = false;
        return;
    }
    if (json.empty.empty()) return;
    if (!json.empty.back()) json.text += ',';
    json.empty.back() = false;
}

void JsonBeginObject(Json &json) {
    Separate(json);
    json.text += '{';
    json.closers += '}';
    json.empty.push_back(true);
}

void JsonBeginArray(Json &json) {
    Separate(json);
    json.text += '[';
    json.closers += ']';
    json.empty.push_back(true);
}

void JsonEnd(Json &json) {
    json.text += json.closers.back();
    json.closers.pop_back();
    json.empty.pop_back();
    json.afterKey = false;
}

void JsonKey(Json &json, const std::string &key) {
    Separate(json);
    json.text += JsonQuote(key);
    json.text += ':';
    json.afterKey = true;
}

void JsonString(Json &json, const std::string &value) {
    Separate(json);
    json.text += JsonQuote(value);
}

void JsonNumber(Json &json, double value, int decimals) {
    if (!std::isfinite(value)) return JsonNull(json);
    Separate(json);
    char number[64];
    std::snprintf(number, sizeof number, "%.*f", decimals, value);
    json.text += number;
}

void JsonInteger(Json &json, int64_t value) {
    Separate(json);
    json.text += std::to_string(value);
}

void JsonBool(Json &json, bool value) {
    Separate(json);
    json.text += value ? "true" : "false";
}

void JsonNull(Json &json) {
    Separate(json);
    json.text += "null";
}
