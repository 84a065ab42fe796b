// Puts user-supplied text into a one-line error message: quoted, control and
// non-ASCII bytes escaped (a newline would split the message), and cut short
// so that a 10 MB argument does not become a 10 MB message.
#pragma once
#include <cstdio>
#include <string>

inline std::string Quote(const std::string &text, size_t limit = 60) {
    std::string out = "'";
    for (size_t i = 0; i < text.size(); i++) {
        if (i == limit) {
            out += "...";
            break;
        }
        unsigned char c = (unsigned char)text[i];
        if (c >= 0x20 && c < 0x7f && c != '\\' && c != '\'') {
            out += (char)c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out + "'";
}
