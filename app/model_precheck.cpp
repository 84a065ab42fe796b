#include "app/model_precheck.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "app/model_load.h"
#include "app/model_precheck_gltf.h"

namespace {

// The text readers' line buffer (ParsingUtils.h): a line of this many
// characters or more has its terminating zero written one past the buffer.
constexpr size_t ReaderLineBytes = 4096;
// The OFF reader takes faces of 1 to 9 corners and drops any other line.
constexpr uint32_t OffMaxCorners = 9;
// The smallest a file is that the text readers convert (smaller: refused by them).
constexpr size_t ReaderMinTextBytes = 8;
// An ASCII value takes at least one character and one separator.
constexpr uint64_t MinTextValueBytes = 2;

std::string Count(uint64_t n) { return std::to_string((unsigned long long)n); }

// The bytes as assimp's text readers hold them (TextFileToBuffer and
// ConvertToUTF8, on a little-endian machine): a UTF-8 byte-order mark
// dropped, the byte pairs of a file that starts with FE FF turned round, and
// a zero byte after the end, where every one of their loops stops.
class TextBuffer {
  public:
    // False for a file that starts FE FF 00 00: converted as UTF-32, it is
    // read past its end.
    bool Take(const unsigned char *bytes, size_t size) {
        bytes_ = bytes, size_ = size;
        if (size < ReaderMinTextBytes) return true;
        if (bytes[0] == 0xFE && bytes[1] == 0xFF && bytes[2] == 0 && bytes[3] == 0) return false;
        if (bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
            bytes_ += 3, size_ -= 3;
        } else if (bytes[0] == 0xFE && bytes[1] == 0xFF && size % 2 == 0) {
            turned_.assign((const char *)bytes, size);
            for (size_t i = 0; i < size; i += 2) std::swap(turned_[i], turned_[i + 1]);
            bytes_ = (const unsigned char *)turned_.data();
        }
        return true;
    }
    char operator[](size_t i) const { return i < size_ ? (char)bytes_[i] : '\0'; }
    // With the zero byte.
    size_t Held() const { return size_ + 1; }
    // The line of the file (from 1) that holds offset i.
    uint64_t LineAt(size_t i) const {
        uint64_t line = 1;
        for (size_t k = 0; k < i && k < size_; k++) line += bytes_[k] == '\n';
        return line;
    }

  private:
    const unsigned char *bytes_ = nullptr;
    size_t size_ = 0;
    std::string turned_;
};

const char *const Utf32Mark =
    "starts with the bytes FE FF 00 00, which its reader converts as UTF-32, reading past the end";

// assimp's own tokenising (ParsingUtils.h, fast_atof.h), over a TextBuffer.
struct Cursor {
    const TextBuffer &text;
    size_t at = 0;

    char Here() const { return text[at]; }
    static bool IsLineEnd(char c) { return c == '\r' || c == '\n' || c == '\0' || c == '\f'; }
    void SkipSpaces() {
        while (Here() == ' ' || Here() == '\t') at++;
    }
    void SkipSpacesAndLineEnd() {
        while (Here() == ' ' || Here() == '\t' || Here() == '\r' || Here() == '\n') at++;
    }
    void SkipLine() {
        while (Here() != '\r' && Here() != '\n' && Here() != '\0') at++;
        while (Here() == '\r' || Here() == '\n') at++;
    }
    // Unsigned and wrapping, as strtoul10 is.
    uint32_t ReadUnsigned() {
        uint32_t value = 0;
        while (Here() >= '0' && Here() <= '9') value = value * 10 + (uint32_t)(Here() - '0'), at++;
        return value;
    }
    // GetNextLine: false at the end; else the line's first offset and its
    // length as copied (ReaderLineBytes at most; the rest is the next line).
    bool NextLine(size_t &start, size_t &length) {
        if (Here() == '\0') return false;
        start = at;
        while (!IsLineEnd(Here()) && at - start < ReaderLineBytes) at++;
        length = at - start;
        while (IsLineEnd(Here()) && Here() != '\0') at++;
        return true;
    }
    // Whether fewer than n bytes (the zero among them) are left: the
    // readers' "car < end - n" turned round.
    bool FewerThan(size_t n) const { return at + n >= text.Held(); }
};

std::string LongLine(const TextBuffer &text, size_t start) {
    return "line " + Count(text.LineAt(start)) + " is longer than the " +
           Count(ReaderLineBytes - 1) + " characters a line may have";
}

// OFFLoader.cpp: the header as it reads it (the keyword's prefixes, the
// dimension, the counts), then a line per vertex and per face, dropping
// face lines with a corner count of 0 or over 9 by taking one off the face
// count (which wraps when they outnumber the faces).
bool CheckOff(const unsigned char *bytes, size_t size, std::string &reason) {
    TextBuffer text;
    if (!text.Take(bytes, size)) return reason = Utf32Mark, false;
    if (size < ReaderMinTextBytes) return true;
    Cursor c{text};
    // NextToken: blanks, line ends and comment lines.
    auto nextToken = [&c, &text] {
        c.SkipSpacesAndLineEnd();
        while (c.at < text.Held() && (c.Here() == '#' || c.Here() == '\n' || c.Here() == '\r')) {
            c.SkipLine();
            c.SkipSpacesAndLineEnd();
        }
    };
    auto is = [&c](size_t k, char ch) { return c.text[c.at + k] == ch; };
    nextToken();
    bool dimension = false;
    if (!c.FewerThan(2) && is(0, 'S') && is(1, 'T')) c.at += 2;
    if (!c.FewerThan(1) && is(0, 'C')) c.at++;
    if (!c.FewerThan(1) && is(0, 'N')) c.at++;
    if (!c.FewerThan(1) && is(0, '4')) c.at++;
    if (!c.FewerThan(1) && is(0, 'n')) dimension = true, c.at++;
    if (!c.FewerThan(3) && is(0, 'O') && is(1, 'F') && is(2, 'F')) {
        c.at += 3;
        nextToken();
    } else {
        nextToken();
        if (c.FewerThan(1) || c.Here() < '0' || c.Here() > '9') return true; // refused by it
    }
    uint32_t dimensions = 3;
    if (dimension) {
        dimensions = c.ReadUnsigned();
        nextToken();
    }
    if (dimensions > 3) return true; // refused by it
    nextToken();
    const uint32_t vertices = c.ReadUnsigned();
    nextToken();
    const uint32_t faces = c.ReadUnsigned();
    nextToken();
    c.ReadUnsigned();
    nextToken();
    if (vertices == 0 || faces == 0) return true; // refused by it

    // What it allocates from these counts, checked as model_format.h checks
    // the counts it reads.
    if (vertices > ModelMaxVertices || faces > ModelMaxTriangles) {
        const bool v = vertices > ModelMaxVertices;
        return reason = "declares " + Count(v ? vertices : faces) + (v ? " vertices" : " faces") +
                        ", more than the " + Count(v ? ModelMaxVertices : ModelMaxTriangles) +
                        " a model may have",
               false;
    }
    const uint64_t needed = ((uint64_t)vertices * 3 + faces) * MinTextValueBytes;
    if (needed > text.Held() - 1 - c.at)
        return reason = "truncated or damaged: " + Count(vertices) + " vertices and " +
                        Count(faces) + " faces need at least " + Count(needed) +
                        " bytes, the file holds " + Count(text.Held() - 1 - c.at),
               false;

    size_t start, length;
    for (uint32_t v = 0; v < vertices; v++) {
        if (!c.NextLine(start, length)) return true;
        if (length == ReaderLineBytes) return reason = LongLine(text, start), false;
    }
    uint64_t dropped = 0;
    for (uint32_t f = 0; f < faces;) {
        if (!c.NextLine(start, length)) return true;
        if (length == ReaderLineBytes) return reason = LongLine(text, start), false;
        Cursor line{text, start};
        line.SkipSpaces();
        const uint32_t corners = line.ReadUnsigned();
        if (corners >= 1 && corners <= OffMaxCorners) {
            f++;
        } else if (++dropped > faces) {
            return reason = "has more face lines with a corner count of 0 or over " +
                            Count(OffMaxCorners) + " than the " + Count(faces) +
                            " faces it declares (line " + Count(text.LineAt(start)) + ")",
                   false;
        }
    }
    return true;
}

// STLLoader.cpp reads text and binary files alike through the text
// conversion, and a binary file by its size before the conversion.
bool CheckStl(const unsigned char *bytes, size_t size, std::string &reason) {
    TextBuffer text;
    if (!text.Take(bytes, size)) return reason = Utf32Mark, false;
    return true;
}

// PlyParser.cpp's data types by the names it takes (0 bytes: none of them).
struct PlyType {
    int bytes = 0;
    bool real = false, sign = false;
};

PlyType FindPlyType(const std::string &name) {
    static const struct {
        const char *name;
        PlyType type;
    } types[] = {
        {"char", {1, false, true}},    {"int8", {1, false, true}},    {"uchar", {1, false, false}},
        {"uint8", {1, false, false}},  {"short", {2, false, true}},   {"int16", {2, false, true}},
        {"ushort", {2, false, false}}, {"uint16", {2, false, false}}, {"int32", {4, false, true}},
        {"int", {4, false, true}},     {"uint32", {4, false, false}}, {"uint", {4, false, false}},
        {"float", {4, true, true}},    {"float32", {4, true, true}},  {"double64", {8, true, true}},
        {"double", {8, true, true}},   {"float64", {8, true, true}}};
    for (const auto &t : types)
        if (name == t.name) return t.type;
    return {};
}

struct PlyProperty {
    bool list = false;
    PlyType count, item;
    bool corners = false, texcoords = false; // vertex_index(ices), texcoord
};

struct PlyElement {
    std::string name;
    uint32_t count = 0;
    std::vector<PlyProperty> properties;
    // In a text file, read value by value; any other element's lines are
    // skipped whole.
    bool Parsed() const {
        return !properties.empty() && (name == "vertex" || name == "face" || name == "tristrips" ||
                                       name == "edge" || name == "material");
    }
    bool HasList() const {
        for (const PlyProperty &p : properties)
            if (p.list) return true;
        return false;
    }
};

// IOStreamBuffer::getNextLine: a line ends at \r, \n, \f or a zero byte, and
// one that starts at such a byte first skips to past the next \n. A last
// line without an end is not terminated: the reader parses on into what
// earlier lines left in its buffer.
struct PlyLines {
    const unsigned char *bytes;
    size_t size, at = 0;
    static bool IsLineEnd(unsigned char c) { return c == '\r' || c == '\n' || c == 0 || c == '\f'; }
    bool Next(size_t &start, size_t &length, bool &terminated) {
        if (at < size && IsLineEnd(bytes[at])) {
            while (at < size && bytes[at] != '\n') at++;
            at++;
        }
        if (at >= size) return false;
        start = at;
        while (at < size && !IsLineEnd(bytes[at])) at++;
        length = at - start;
        terminated = at < size;
        at++; // the one byte that ended it
        return true;
    }
};

std::vector<std::string> Words(const unsigned char *bytes, size_t start, size_t length) {
    std::vector<std::string> words;
    std::string word;
    for (size_t i = start; i < start + length; i++) {
        if (bytes[i] == ' ' || bytes[i] == '\t') {
            if (!word.empty()) words.push_back(word), word.clear();
        } else {
            word += (char)bytes[i];
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

// The furthest offset into a header line of a word the reader acts on when
// it meets it in what a longer line left in its buffer (0: none). It meets
// those after a comment line.
size_t StrayWordOffset(const unsigned char *bytes, size_t start, size_t length) {
    static const char *const words[] = {"element", "comment", "property", "end_header"};
    size_t last = 0;
    for (const char *word : words) {
        const size_t n = std::strlen(word);
        for (size_t k = 1; k + n <= length; k++) {
            const unsigned char after = k + n < length ? bytes[start + k + n] : ' ';
            if ((after == ' ' || after == '\t') && std::memcmp(bytes + start + k, word, n) == 0 &&
                k > last)
                last = k;
        }
    }
    return last;
}

std::string PlyLine(const unsigned char *bytes, size_t at) {
    uint64_t line = 1;
    for (size_t k = 0; k < at; k++) line += bytes[k] == '\n';
    return "PLY line " + Count(line);
}

// One line of a text file's values, parsed as PlyParser.cpp parses them
// (strtoul10, strtol10, fast_atoreal_move).
struct PlyValues {
    const unsigned char *p;
    size_t length, at = 0;
    char Here() const { return at < length ? (char)p[at] : '\n'; }
    bool Digit(size_t k = 0) const {
        return at + k < length && p[at + k] >= '0' && p[at + k] <= '9';
    }
    uint32_t Digits() {
        uint32_t v = 0;
        while (Digit()) v = v * 10 + (uint32_t)(Here() - '0'), at++;
        return v;
    }
    bool Word(const char *w) {
        const size_t n = std::strlen(w);
        for (size_t k = 0; k < n; k++)
            if (at + k >= length || std::tolower(p[at + k]) != w[k]) return false;
        return at += n, true;
    }
    void SkipSpaces() {
        while (Here() == ' ' || Here() == '\t') at++;
    }
    // One value; count is what it comes to as a list length (~0u for a real
    // number that is not a plain whole one). False where the reader throws.
    bool Value(const PlyType &type, uint32_t &count) {
        const bool negative = Here() == '-';
        if (!type.real) {
            if (type.sign && (Here() == '-' || Here() == '+')) at++;
            const uint32_t v = Digits();
            count = negative && type.sign ? 0u - v : v;
            return true;
        }
        if (Here() == '-' || Here() == '+') at++;
        count = ~0u;
        if (Word("nan")) return true;
        if (Word("inf")) return Word("inity"), true;
        const bool point = Here() == '.' || Here() == ',';
        if (!Digit() && !(point && Digit(1))) return false; // "Cannot parse string"
        const uint32_t whole = point ? 0 : Digits();
        bool fraction = false, exponent = false;
        if ((Here() == '.' || Here() == ',') && Digit(1)) {
            at++;
            fraction = Digits() != 0;
        } else if (Here() == '.') {
            at++;
        }
        if (Here() == 'e' || Here() == 'E') {
            at++, exponent = true;
            if (Here() == '-' || Here() == '+') at++;
            Digits();
        }
        if (!negative && !fraction && !exponent) count = whole;
        return true;
    }
};

// PlyLoader.cpp reads a face's texture coordinate list of 6 to 8 values
// pairwise against its corner list, whatever that list's length (none at
// all: a null one).
bool TexcoordsOverrun(bool haveCorners, uint64_t corners, uint64_t texcoords) {
    return texcoords / 3 == 2 && (!haveCorners || (texcoords - 1) / 2 >= corners);
}

struct PlyFace {
    bool haveCorners = false, haveTexcoords = false;
    uint64_t corners = 0, texcoordsLow = 0, texcoordsHigh = 0;
    bool Overrun() const {
        return haveTexcoords && (TexcoordsOverrun(haveCorners, corners, texcoordsLow) ||
                                 TexcoordsOverrun(haveCorners, corners, texcoordsHigh));
    }
};

std::string OverrunReason(const std::string &where, const PlyFace &face) {
    return where + " gives a face " + Count(face.texcoordsLow) + " texture coordinates for " +
           (face.haveCorners ? "its " + Count(face.corners) + " corners" : "no corner list");
}

// One instance of a text file's element, on its line (PLY::ElementInstance::
// ParseInstance). False with the reason where the reader would be led
// astray; stop: the reader throws here.
bool PlyTextInstance(const unsigned char *bytes, size_t start, size_t length, bool terminated,
                     const PlyElement &e, bool &stop, std::string &reason) {
    PlyValues v{bytes + start, length};
    const std::string where = PlyLine(bytes, start);
    bool spent = false; // past the line's end: what earlier lines left is read
    PlyFace face;
    for (const PlyProperty &p : e.properties) {
        v.SkipSpaces();
        if (!spent && v.at >= length && !terminated) spent = true;
        if (spent) {
            if (!p.list) continue;
            return reason = where + " holds fewer values than its '" + e.name +
                            "' element has properties",
                   false;
        }
        uint64_t low = 1, high = 1; // the value list's length: one default value
        if (v.at < length) {
            uint32_t n;
            if (!v.Value(p.list ? p.count : p.item, n)) return stop = true, true;
            bool ranOut = false;
            if (p.list) {
                // A count that ends an unterminated line runs on into digits
                // left in the buffer.
                if (!terminated && v.at >= length)
                    return reason = where + " ends in the middle of a list", false;
                if (n > length - v.at)
                    return reason =
                               where + " lists " + Count(n) + " values, more than the line holds",
                           false;
                low = high = n;
                for (uint32_t k = 0; k < n && !ranOut; k++) {
                    v.SkipSpaces();
                    if (v.at >= length) {
                        // Out of values: a default one is added (or, on an
                        // unterminated line, more read from the buffer).
                        ranOut = true, high = (uint64_t)n + 1;
                        if (terminated) low = high;
                    } else {
                        uint32_t item;
                        if (!v.Value(p.item, item)) return stop = true, true;
                    }
                }
            }
            // SkipSpacesAndLineEnd runs on past the end of a spent line.
            v.SkipSpaces();
            spent = ranOut ? !terminated : v.at >= length;
        }
        if (p.list && p.corners) face.haveCorners = true, face.corners = low;
        if (p.list && p.texcoords)
            face.haveTexcoords = true, face.texcoordsLow = low, face.texcoordsHigh = high;
    }
    if (e.name == "face" && face.Overrun()) return reason = OverrunReason(where, face), false;
    return true;
}

// A binary file's instances, value by value (PLY::PropertyInstance::
// ParseInstanceBinary): lists within the file, face texture coordinates
// within their corners.
bool PlyBinaryData(const unsigned char *bytes, size_t size, uint64_t at, bool bigEndian,
                   const std::vector<PlyElement> &elements, std::string &reason) {
    for (const PlyElement &e : elements)
        for (uint32_t i = 0; i < e.count; i++) {
            PlyFace face;
            for (const PlyProperty &p : e.properties) {
                if (!p.list) {
                    at += (uint64_t)p.item.bytes; // may pass the end: lists are checked
                    continue;
                }
                const uint64_t n = (uint64_t)p.count.bytes;
                if (at > size || size - at < n)
                    return reason = "truncated or damaged: its " + e.name +
                                    " lists run past the end of the file",
                           false;
                uint64_t raw = 0;
                for (uint64_t k = 0; k < n; k++)
                    raw |= (uint64_t)bytes[(size_t)(at + (bigEndian ? n - 1 - k : k))] << (8 * k);
                at += n;
                uint64_t items = raw;
                if (p.count.real) {
                    double d;
                    if (n == 4) {
                        float f;
                        const uint32_t bits = (uint32_t)raw;
                        std::memcpy(&f, &bits, sizeof f);
                        d = f;
                    } else {
                        std::memcpy(&d, &raw, sizeof d);
                    }
                    items = d >= 0.0 && d < 4294967296.0 ? (uint64_t)d : ~(uint64_t)0;
                } else if (p.count.sign && (raw >> (8 * n - 1))) {
                    items = ~(uint64_t)0; // negative: a count near 2^32
                }
                if (items > (size - at) / (uint64_t)p.item.bytes)
                    return reason = "truncated or damaged: a " + e.name + " list of " +
                                    Count(items) + " values runs past the end of the file",
                           false;
                at += items * (uint64_t)p.item.bytes;
                if (p.corners) face.haveCorners = true, face.corners = items;
                if (p.texcoords)
                    face.haveTexcoords = true, face.texcoordsLow = face.texcoordsHigh = items;
            }
            if (e.name == "face" && face.Overrun())
                return reason = OverrunReason(e.name + " " + Count(i), face), false;
        }
    return true;
}

// PlyLoader.cpp and PlyParser.cpp: the header as PLY::DOM::ParseHeader reads
// it, then the data as the reader walks it.
bool CheckPly(const unsigned char *bytes, size_t size, std::string &reason) {
    PlyLines lines{bytes, size};
    size_t start, length;
    bool terminated;
    if (!lines.Next(start, length, terminated) || !lines.Next(start, length, terminated))
        return true;
    const std::vector<std::string> format = Words(bytes, start, length);
    if (format.size() < 2 || format[0] != "format") return true; // refused by it
    const bool text = format[1] == "ascii";
    if (!text && format[1].compare(0, 7, "binary_") != 0) return true;
    const bool bigEndian = !text && (format[1][7] == 'b' || format[1][7] == 'B');

    std::vector<PlyElement> elements;
    bool inElement = false, ended = false;
    size_t strayAt = 0;
    while (!ended && lines.Next(start, length, terminated)) {
        const std::vector<std::string> w = Words(bytes, start, length);
        const size_t stray = StrayWordOffset(bytes, start, length);
        const bool comment =
            !w.empty() && w[0] == "comment" && (w.size() < 2 || w[1] != "TextureFile");
        if (comment) {
            // The reader skips the line and parses what is left past it.
            if (strayAt > length)
                return reason = PlyLine(bytes, start) +
                                " is a comment shorter than an earlier line with 'element', "
                                "'property', 'comment' or 'end_header' further in (its reader "
                                "reads on into that)",
                       false;
            inElement = false;
        } else if (inElement && !w.empty() && w[0] == "property") {
            PlyProperty p;
            p.list = w.size() >= 2 && w[1] == "list";
            const size_t name = p.list ? 4 : 2;
            if (p.list && w.size() > 3) p.count = FindPlyType(w[2]), p.item = FindPlyType(w[3]);
            if (!p.list && w.size() > 1) p.item = FindPlyType(w[1]);
            if (w.size() <= name || p.item.bytes == 0 || (p.list && p.count.bytes == 0))
                return reason =
                           PlyLine(bytes, start) + ": a property needs a known type and a name",
                       false;
            p.corners = w[name] == "vertex_index" || w[name] == "vertex_indices";
            p.texcoords = w[name] == "texcoord";
            elements.back().properties.push_back(p);
        } else {
            inElement = false;
            if (!w.empty() && (w[0] == "element" || w[0] == "comment")) {
                PlyElement e;
                e.name = w[0] == "comment" ? "TextureFile" : w.size() > 1 ? w[1] : "";
                const bool known = e.name == "vertex" || e.name == "face" ||
                                   e.name == "tristrips" || e.name == "edge" ||
                                   e.name == "material";
                // An element it does not know gets its count from its name.
                const std::string &count = known ? (w.size() > 2 ? w[2] : "") : e.name;
                if (e.name != "TextureFile") {
                    PlyValues v{(const unsigned char *)count.data(), count.size()};
                    e.count = v.Digits();
                    inElement = true;
                }
                elements.push_back(e);
            } else if (!w.empty() && w[0] == "end_header") {
                ended = true;
            }
        }
        if (stray > strayAt) strayAt = stray;
    }
    if (!ended) return true; // refused by model_format.h's check

    // Its line reader runs past its buffer looking for a newline after \r,
    // \f or a zero byte: none in the lines it reads.
    const size_t lineBytes = text ? size : lines.at < size ? lines.at : size;
    for (size_t i = 0; i < lineBytes; i++)
        if (bytes[i] == 0 || bytes[i] == '\f' ||
            (bytes[i] == '\r' && (i + 1 >= size || bytes[i + 1] != '\n')))
            return reason = PlyLine(bytes, i) +
                            " holds a zero byte, a form feed or a carriage return without a "
                            "newline",
                   false;

    // A second vertex or face element is written into the first one's arrays.
    int vertexElements = 0, faceElements = 0;
    for (const PlyElement &e : elements) {
        vertexElements += e.name == "vertex";
        faceElements += e.name == "face" || e.name == "tristrips";
        if (e.count > ModelMaxTriangles)
            return reason = "declares " + Count(e.count) + " '" + e.name +
                            "' elements, more than the " + Count(ModelMaxTriangles) +
                            " a model may have",
                   false;
    }
    if (vertexElements > 1 || faceElements > 1)
        return reason = std::string("has more than one ") +
                        (vertexElements > 1 ? "vertex" : "face") + " element",
               false;

    if (!text) {
        size_t at = lines.at;
        if (at < size && bytes[at] == '\n') at++; // taken for the end of a \r\n
        return PlyBinaryData(bytes, size, at, bigEndian, elements, reason);
    }
    for (size_t index = 0; index < elements.size(); index++) {
        const PlyElement &e = elements[index];
        for (uint32_t i = 0; i < e.count; i++) {
            if (!lines.Next(start, length, terminated)) {
                // The reader reads what its buffer holds again, lists and all.
                for (size_t later = index; later < elements.size(); later++)
                    if (elements[later].Parsed() && elements[later].HasList() &&
                        elements[later].count > 0)
                        return reason = "truncated or damaged: its data ends before its " +
                                        elements[later].name + " lines do",
                               false;
                return true;
            }
            if (!e.Parsed()) continue;
            bool stop = false;
            if (!PlyTextInstance(bytes, start, length, terminated, e, stop, reason)) return false;
            if (stop) return true;
        }
    }
    return true;
}

// ObjFileImporter.cpp counts a line element ('l') of one vertex as no
// faces and no corners but still stores its vertex, so the corners after it
// are written past the mesh's arrays. A line of any length is no part of a
// model made of faces (one of two or more is refused as a two-corner face
// once read): every statement that starts with 'l' is refused here.
bool CheckObj(const unsigned char *bytes, size_t size, std::string &reason) {
    uint64_t line = 1;
    bool lineStart = true;
    for (size_t i = 0; i < size; i++) {
        const unsigned char c = bytes[i];
        if (lineStart && c == 'l')
            return reason =
                       "line " + Count(line) + " is a line element ('l'); a model is made of faces",
                   false;
        // The reader's data lines end at \r, \n, \f or a zero byte.
        lineStart = c == '\r' || c == '\n' || c == '\f' || c == 0;
        line += c == '\n';
    }
    return true;
}

} // namespace

bool CheckReaderFaults(ModelFormat format, const unsigned char *bytes, size_t size,
                       std::string &reason) {
    switch (format) {
    case ModelFormat::Off:
        return CheckOff(bytes, size, reason);
    case ModelFormat::Stl:
        return CheckStl(bytes, size, reason);
    case ModelFormat::Ply:
        return CheckPly(bytes, size, reason);
    case ModelFormat::Obj:
        return CheckObj(bytes, size, reason);
    case ModelFormat::Gltf:
        return CheckGltfReaderFaults(bytes, size, reason);
    }
    return true;
}
