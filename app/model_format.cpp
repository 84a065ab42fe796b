#include "app/model_format.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/model_load.h"
#include "app/quote.h"

namespace {

// A PLY or OFF header longer than this is not a header.
constexpr size_t MaxHeaderBytes = 64 * 1024;
// An ASCII value takes at least one character and one separator.
constexpr uint64_t MinTextValueBytes = 2;
constexpr size_t StlHeaderBytes = 80, StlCountBytes = 4, StlFacetBytes = 50;
constexpr size_t GlbHeaderBytes = 12, GlbChunkHeaderBytes = 8;
constexpr uint32_t GlbMagic = 0x46546C67, GlbVersion = 2;

std::string Lower(std::string s) {
    for (char &c : s) c = (char)std::tolower((unsigned char)c);
    return s;
}

std::string Extension(const std::string &name) {
    const size_t slash = name.find_last_of("/\\");
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return Lower(name.substr(dot + 1));
}

bool StartsWith(const unsigned char *bytes, size_t size, const char *text) {
    const size_t n = std::strlen(text);
    return size >= n && std::memcmp(bytes, text, n) == 0;
}

uint32_t ReadLittle32(const unsigned char *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

std::string Count(uint64_t n) { return std::to_string((unsigned long long)n); }

// A declared count against a limit, in the words every format uses.
bool WithinLimit(uint64_t declared, uint64_t limit, const char *what, std::string &reason) {
    if (declared <= limit) return true;
    reason = "declares " + Count(declared) + " " + what + ", more than the " + Count(limit) +
             " a model may have";
    return false;
}

bool Fits(uint64_t needed, uint64_t held, const std::string &what, std::string &reason) {
    if (needed <= held) return true;
    reason = "truncated or damaged: " + what + " need at least " + Count(needed) +
             " bytes, the file holds " + Count(held);
    return false;
}

// Whitespace-separated words of a text header, line by line.
struct HeaderLine {
    std::vector<std::string> words;
};

// Reads lines of the header up to and including the one whose first word is
// last (or, with last null, stops after max lines); sets end past it.
bool ReadHeaderLines(const unsigned char *bytes, size_t size, const char *last,
                     std::vector<HeaderLine> &lines, size_t &end) {
    size_t i = 0;
    const size_t limit = size < MaxHeaderBytes ? size : MaxHeaderBytes;
    while (i < limit) {
        HeaderLine line;
        std::string word;
        while (i < limit && bytes[i] != '\n') {
            const char c = (char)bytes[i++];
            if (c == ' ' || c == '\t' || c == '\r') {
                if (!word.empty()) line.words.push_back(word), word.clear();
            } else {
                word += c;
            }
        }
        if (!word.empty()) line.words.push_back(word);
        if (i < limit)
            i++; // the newline
        else if (i == limit && limit < size)
            return false;
        lines.push_back(line);
        if (!line.words.empty() && line.words[0] == last) {
            end = i;
            return true;
        }
    }
    return false;
}

// A decimal count of at most 19 digits (well past every limit).
bool ReadCount(const std::string &word, uint64_t &n) {
    if (word.empty() || word.size() > 19) return false;
    n = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (uint64_t)(c - '0');
    }
    return true;
}

int PlyTypeBytes(const std::string &type) {
    static const struct {
        const char *name;
        int bytes;
    } types[] = {{"char", 1},  {"uchar", 1},   {"int8", 1},   {"uint8", 1},
                 {"short", 2}, {"ushort", 2},  {"int16", 2},  {"uint16", 2},
                 {"int", 4},   {"uint", 4},    {"int32", 4},  {"uint32", 4},
                 {"float", 4}, {"float32", 4}, {"double", 8}, {"float64", 8}};
    for (const auto &t : types)
        if (type == t.name) return t.bytes;
    return 0;
}

bool CheckPly(const unsigned char *bytes, size_t size, std::string &reason) {
    std::vector<HeaderLine> lines;
    size_t end = 0;
    if (!ReadHeaderLines(bytes, size, "end_header", lines, end))
        return reason = "PLY header has no end_header line in its first " + Count(MaxHeaderBytes) +
                        " bytes",
               false;
    bool ascii = false;
    struct Property {
        int bytes, countBytes; // countBytes > 0: a list of items of `bytes` each
    };
    struct Element {
        std::string name;
        uint64_t count, fixedBytes = 0, values = 0;
        std::vector<Property> properties;
    };
    bool bigEndian = false;
    std::vector<Element> elements;
    for (const HeaderLine &line : lines) {
        const auto &w = line.words;
        if (w.empty()) continue;
        if (w[0] == "format" && w.size() >= 2)
            ascii = w[1] == "ascii", bigEndian = w[1] == "binary_big_endian";
        if (w[0] == "element") {
            uint64_t n;
            if (w.size() < 3 || !ReadCount(w[2], n))
                return reason = "PLY element line has no count it can be held to", false;
            elements.push_back({w[1], n, 0, 0, {}});
        } else if (w[0] == "property" && !elements.empty()) {
            Element &e = elements.back();
            if (w.size() >= 5 && w[1] == "list") {
                // The smallest list is its count alone.
                e.fixedBytes += (uint64_t)PlyTypeBytes(w[2]);
                e.values += 1;
                e.properties.push_back({PlyTypeBytes(w[3]), PlyTypeBytes(w[2])});
            } else if (w.size() >= 3) {
                e.fixedBytes += (uint64_t)PlyTypeBytes(w[1]);
                e.values += 1;
                e.properties.push_back({PlyTypeBytes(w[1]), 0});
            }
        }
    }
    uint64_t needed = 0;
    std::string what;
    for (const Element &e : elements) {
        if (e.name == "vertex" && !WithinLimit(e.count, ModelMaxVertices, "vertices", reason))
            return false;
        if (e.name == "face" && !WithinLimit(e.count, ModelMaxTriangles, "faces", reason))
            return false;
        const uint64_t per = ascii ? e.values * MinTextValueBytes : e.fixedBytes;
        // Saturates rather than wraps: the sum only has to exceed the file.
        const uint64_t room = ~(uint64_t)0 - needed;
        if (per != 0 && e.count > room / per)
            return Fits(~(uint64_t)0, size - end, "its elements", reason);
        needed += e.count * per;
        if (e.count > 0)
            what += (what.empty() ? "" : " and ") + Count(e.count) + " " +
                    (e.count == 1         ? e.name
                     : e.name == "vertex" ? "vertices"
                                          : e.name + "s");
    }
    if (!Fits(needed, size - end, what.empty() ? "its elements" : what, reason)) return false;
    if (ascii) return true;
    // Binary: walked record by record, lists and all, so that a file cut
    // anywhere is refused as cut rather than read past its end.
    uint64_t at = end;
    for (const Element &e : elements) {
        bool lists = false;
        for (const Property &p : e.properties) lists = lists || p.countBytes != 0;
        // Records of one size (within the file, as checked above) need no
        // walk: a billion empty records would take minutes.
        if (!lists) {
            at += e.count * e.fixedBytes;
            continue;
        }
        for (uint64_t r = 0; r < e.count; r++)
            for (const Property &p : e.properties) {
                if (p.countBytes == 0) {
                    at += (uint64_t)p.bytes;
                    continue;
                }
                if (at + (uint64_t)p.countBytes > size)
                    return Fits(at + p.countBytes - end, size - end, what, reason);
                uint64_t items = 0;
                for (int k = 0; k < p.countBytes; k++)
                    items |= (uint64_t)bytes[at + (bigEndian ? p.countBytes - 1 - k : k)]
                             << (8 * k);
                if (p.countBytes >= 4 && (items >> 31))
                    return Fits(~(uint64_t)0, size - end, what, reason);
                at += (uint64_t)p.countBytes + items * (uint64_t)p.bytes;
                if (at > size) return Fits(at - end, size - end, what, reason);
            }
    }
    return Fits(at - end, size - end, what, reason);
}

// Past any count or index a model may hold.
constexpr uint64_t OffNumberHeld = 1ull << 40;

// assimp reads an OFF face's index past the last vertex as the last vertex
// (and a bad corner count as whatever follows): the faces are checked here
// instead, line by line after the vertex lines.
bool CheckOffFaces(const unsigned char *bytes, size_t size, size_t at, uint64_t vertices,
                   uint64_t faces, std::string &reason) {
    // The rest of the counts line, then one line per vertex; blank and # lines skipped.
    auto nextLine = [&](size_t &i) {
        while (i < size && bytes[i] != '\n') i++;
        if (i < size) i++;
    };
    auto contentAt = [&](size_t i) {
        while (i < size && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r')) i++;
        return i < size && bytes[i] != '\n' && bytes[i] != '#';
    };
    size_t i = at;
    nextLine(i);
    for (uint64_t v = 0; v < vertices && i < size;) {
        if (contentAt(i)) v++;
        nextLine(i);
    }
    for (uint64_t f = 0; f < faces && i < size;) {
        if (!contentAt(i)) {
            nextLine(i);
            continue;
        }
        uint64_t corners = 0, seen = 0;
        while (i < size && bytes[i] != '\n' && bytes[i] != '#') {
            if (!std::isdigit(bytes[i])) {
                if (bytes[i] != ' ' && bytes[i] != '\t' && bytes[i] != '\r')
                    break; // left to the importer
                i++;
                continue;
            }
            // Every digit is passed over; the value stops growing once it
            // is past any count a file may hold, and a refusal quotes the
            // number as written.
            const size_t digits = i;
            uint64_t n = 0;
            for (; i < size && std::isdigit(bytes[i]); i++)
                if (n <= OffNumberHeld) n = n * 10 + (uint64_t)(bytes[i] - '0');
            if (seen == 0) {
                corners = n;
                if (corners < 3)
                    return reason = "face " + Count(f) + " has " + Count(corners) +
                                    (corners == 1 ? " corner" : " corners") +
                                    "; a face needs at least 3",
                           false;
            } else if (seen <= corners && n >= vertices) {
                return reason = "face " + Count(f) + " refers to vertex " +
                                std::string((const char *)bytes + digits, i - digits) + " of " +
                                Count(vertices),
                       false;
            }
            seen++;
        }
        nextLine(i);
        f++;
    }
    return true;
}

bool CheckOff(const unsigned char *bytes, size_t size, std::string &reason) {
    // The keyword ("OFF", "COFF", "NOFF", ...), then the counts: vertices
    // faces edges, on the same line or the next, comments skipped.
    uint64_t counts[2];
    bool keyword = true;
    // Reads words across lines, skipping comments, until the two counts.
    size_t i = 0;
    std::vector<std::string> words;
    const size_t limit = size < MaxHeaderBytes ? size : MaxHeaderBytes;
    while (i < limit && words.size() < 3) {
        if (bytes[i] == '#') {
            while (i < limit && bytes[i] != '\n') i++;
            continue;
        }
        if (std::isspace(bytes[i])) {
            i++;
            continue;
        }
        std::string w;
        while (i < limit && !std::isspace(bytes[i]) && bytes[i] != '#') w += (char)bytes[i++];
        if (keyword) {
            keyword = false;
            if (w.size() >= 3 && w.compare(w.size() - 3, 3, "OFF") == 0) continue;
        }
        words.push_back(w);
    }
    if (words.size() < 2 || !ReadCount(words[0], counts[0]) || !ReadCount(words[1], counts[1]))
        return reason = "OFF header has no vertex and face counts", false;
    if (!WithinLimit(counts[0], ModelMaxVertices, "vertices", reason) ||
        !WithinLimit(counts[1], ModelMaxTriangles, "faces", reason))
        return false;
    // Three coordinates per vertex; a corner count per face.
    const uint64_t needed = (counts[0] * 3 + counts[1]) * MinTextValueBytes;
    if (!Fits(needed, size - i, Count(counts[0]) + " vertices and " + Count(counts[1]) + " faces",
              reason))
        return false;
    return CheckOffFaces(bytes, size, i, counts[0], counts[1], reason);
}

bool IsBinaryStl(const unsigned char *bytes, size_t size) {
    if (size < StlHeaderBytes + StlCountBytes) return true; // too short for either: refused below
    const uint64_t facets = ReadLittle32(bytes + StlHeaderBytes);
    // An ASCII file starts with "solid", but so do some binary ones: the size decides.
    return !StartsWith(bytes, size, "solid") ||
           StlHeaderBytes + StlCountBytes + facets * StlFacetBytes == size;
}

bool CheckStl(const unsigned char *bytes, size_t size, std::string &reason) {
    if (!IsBinaryStl(bytes, size)) return true; // text: bounded by the file's size
    if (size < StlHeaderBytes + StlCountBytes)
        return Fits(StlHeaderBytes + StlCountBytes, size, "a binary STL header", reason);
    const uint64_t facets = ReadLittle32(bytes + StlHeaderBytes);
    if (!WithinLimit(facets, ModelMaxTriangles, "facets", reason)) return false;
    const uint64_t needed = StlHeaderBytes + StlCountBytes + facets * StlFacetBytes;
    if (!Fits(needed, size, Count(facets) + " facets", reason)) return false;
    if (facets == 0) return reason = "holds no facets", false;
    return true;
}

bool CheckGlb(const unsigned char *bytes, size_t size, std::string &reason) {
    if (size < GlbHeaderBytes + GlbChunkHeaderBytes)
        return Fits(GlbHeaderBytes + GlbChunkHeaderBytes, size, "a binary glTF header", reason);
    if (ReadLittle32(bytes + 4) != GlbVersion)
        return reason = "binary glTF version " + Count(ReadLittle32(bytes + 4)) + ", not 2", false;
    const uint64_t total = ReadLittle32(bytes + 8);
    if (total != size)
        return reason = "truncated or damaged: its header says " + Count(total) +
                        " bytes, the file holds " + Count(size),
               false;
    // Each chunk's declared length within what is left.
    uint64_t at = GlbHeaderBytes;
    while (at < size) {
        if (size - at < GlbChunkHeaderBytes)
            return Fits(at + GlbChunkHeaderBytes, size, "its chunk headers", reason);
        const uint64_t length = ReadLittle32(bytes + at);
        if (!Fits(at + GlbChunkHeaderBytes + length, size, "its chunks", reason)) return false;
        at += GlbChunkHeaderBytes + length;
    }
    return true;
}

// OBJ declares nothing; its lines are counted instead, so that a file of
// short face lines cannot promise more corners than a model may have.
bool CheckObj(const unsigned char *bytes, size_t size, std::string &reason) {
    uint64_t vertices = 0, corners = 0;
    bool lineStart = true;
    for (size_t i = 0; i < size; i++) {
        const unsigned char c = bytes[i];
        if (c == '\n') {
            lineStart = true;
            continue;
        }
        if (!lineStart) continue;
        lineStart = false;
        if (i + 1 < size && (bytes[i + 1] == ' ' || bytes[i + 1] == '\t')) {
            if (c == 'v') vertices++;
            if (c == 'f') {
                // One corner per word on the line.
                size_t j = i + 1;
                bool inWord = false;
                while (j < size && bytes[j] != '\n') {
                    const bool blank = bytes[j] == ' ' || bytes[j] == '\t' || bytes[j] == '\r';
                    if (!blank && !inWord) corners++;
                    inWord = !blank;
                    j++;
                }
                i = j - 1;
            }
        }
    }
    return WithinLimit(vertices, ModelMaxVertices, "vertices", reason) &&
           WithinLimit(corners, (uint64_t)ModelMaxTriangles * 3, "face corners", reason);
}

} // namespace

const char *ModelFormatName(ModelFormat format) {
    switch (format) {
    case ModelFormat::Ply:
        return "PLY";
    case ModelFormat::Obj:
        return "OBJ";
    case ModelFormat::Stl:
        return "STL";
    case ModelFormat::Off:
        return "OFF";
    case ModelFormat::Gltf:
        return "glTF";
    }
    return "";
}

bool IdentifyModelFormat(const std::string &name, const unsigned char *bytes, size_t size,
                         ModelFormat &format, std::string &reason) {
    const std::string ext = Extension(name);
    if (size == 0) return reason = "is empty", false;
    if (ext == "ply") {
        format = ModelFormat::Ply;
        if (!StartsWith(bytes, size, "ply"))
            return reason = "is not a PLY file (no 'ply' first line)", false;
    } else if (ext == "obj") {
        format = ModelFormat::Obj;
    } else if (ext == "stl") {
        format = ModelFormat::Stl;
    } else if (ext == "off") {
        format = ModelFormat::Off;
    } else if (ext == "gltf" || ext == "glb") {
        format = ModelFormat::Gltf;
        const bool binary = size >= 4 && ReadLittle32(bytes) == GlbMagic;
        if (ext == "glb" && !binary)
            return reason = "is not a binary glTF file (no 'glTF' magic)", false;
    } else {
        reason = ext.empty()
                     ? "has no extension to tell its format (.ply, .obj, .stl, .off, .gltf, .glb)"
                     : "format " + Quote("." + ext) +
                           " is not one this program reads (.ply, .obj, .stl, .off, .gltf, .glb)";
        return false;
    }
    return true;
}

bool CheckDeclaredCounts(ModelFormat format, const unsigned char *bytes, size_t size,
                         std::string &reason) {
    if (size > ModelMaxFileBytes)
        return reason = "is " + Count(size) + " bytes, more than the " + Count(ModelMaxFileBytes) +
                        " a model file may have",
               false;
    switch (format) {
    case ModelFormat::Ply:
        return CheckPly(bytes, size, reason);
    case ModelFormat::Obj:
        return CheckObj(bytes, size, reason);
    case ModelFormat::Stl:
        return CheckStl(bytes, size, reason);
    case ModelFormat::Off:
        return CheckOff(bytes, size, reason);
    case ModelFormat::Gltf:
        return size >= 4 && ReadLittle32(bytes) == GlbMagic ? CheckGlb(bytes, size, reason) : true;
    }
    return true;
}
