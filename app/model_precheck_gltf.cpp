#include "app/model_precheck_gltf.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace {

// JSON nested deeper than this is left to the reader (glTF goes 5 deep).
constexpr int MaxJsonDepth = 64;
constexpr uint32_t GlbMagic = 0x46546C67, GlbJsonChunk = 0x4E4F534A;
constexpr size_t GlbHeaderBytes = 12, GlbChunkHeaderBytes = 8;

struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    double number = 0;
    std::string text;
    std::vector<Json> items;                          // an array's
    std::vector<std::pair<std::string, Json>> fields; // an object's
    const Json *Field(const char *name) const {
        for (const auto &f : fields)
            if (f.first == name) return &f.second;
        return nullptr;
    }
};

// Strict JSON, as the reader's parser takes it by default.
struct JsonReader {
    const unsigned char *p;
    size_t size, at = 0;

    void Blanks() {
        while (at < size && (p[at] == ' ' || p[at] == '\t' || p[at] == '\n' || p[at] == '\r')) at++;
    }
    bool Literal(const char *word) {
        const size_t n = std::strlen(word);
        if (size - at < n || std::memcmp(p + at, word, n) != 0) return false;
        return at += n, true;
    }
    // keep: false for values, whose text (embedded buffers among them) is not needed.
    bool String(std::string &out, bool keep = true) {
        if (at >= size || p[at] != '"') return false;
        for (at++; at < size && p[at] != '"'; at++) {
            if (p[at] < 0x20) return false;
            if (p[at] == '\\') {
                if (++at >= size) return false;
                if (p[at] == 'u') {
                    if (size - at < 5) return false;
                    at += 4; // names that matter here are plain ASCII
                    if (keep) out += '?';
                    continue;
                }
                if (!std::strchr("\"\\/bfnrt", p[at])) return false;
            }
            if (keep) out += (char)p[at];
        }
        if (at >= size) return false;
        at++;
        return true;
    }
    bool Number(double &out) {
        const size_t from = at;
        if (at < size && p[at] == '-') at++;
        const size_t digits = at;
        while (at < size && ((p[at] >= '0' && p[at] <= '9') || std::strchr(".eE+-", p[at]))) at++;
        if (at == digits) return false;
        const std::string text((const char *)p + from, at - from);
        char *end = nullptr;
        out = std::strtod(text.c_str(), &end);
        return end == text.c_str() + text.size();
    }
    bool Value(Json &out, int depth) {
        if (depth > MaxJsonDepth) return false;
        Blanks();
        if (at >= size) return false;
        const unsigned char c = p[at];
        if (c == '{') {
            out.kind = Json::Object;
            at++;
            Blanks();
            if (at < size && p[at] == '}') return at++, true;
            for (;;) {
                Blanks();
                std::pair<std::string, Json> field;
                if (!String(field.first)) return false;
                Blanks();
                if (at >= size || p[at++] != ':') return false;
                if (!Value(field.second, depth + 1)) return false;
                out.fields.push_back(std::move(field));
                Blanks();
                if (at < size && p[at] == ',') {
                    at++;
                    continue;
                }
                return at < size && p[at++] == '}';
            }
        }
        if (c == '[') {
            out.kind = Json::Array;
            at++;
            Blanks();
            if (at < size && p[at] == ']') return at++, true;
            for (;;) {
                out.items.emplace_back();
                if (!Value(out.items.back(), depth + 1)) return false;
                Blanks();
                if (at < size && p[at] == ',') {
                    at++;
                    continue;
                }
                return at < size && p[at++] == ']';
            }
        }
        if (c == '"') return out.kind = Json::String, String(out.text, false);
        if (Literal("true") || Literal("false")) return out.kind = Json::Bool, true;
        if (Literal("null")) return true;
        return out.kind = Json::Number, Number(out.number);
    }
};

uint32_t ReadLittle32(const unsigned char *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

std::string Count(uint64_t n) { return std::to_string((unsigned long long)n); }

// An index into one of the document's arrays, or -1.
long Index(const Json *value, const Json *array) {
    if (!value || value->kind != Json::Number || !array || array->kind != Json::Array) return -1;
    const double i = value->number;
    return i >= 0 && i < (double)array->items.size() && i == (double)(long)i ? (long)i : -1;
}

double AccessorCount(const Json &root, const Json *index) {
    const Json *accessors = root.Field("accessors");
    const long i = Index(index, accessors);
    if (i < 0) return -1;
    const Json *count = accessors->items[(size_t)i].Field("count");
    return count && count->kind == Json::Number ? count->number : -1;
}

// glTF2Importer.cpp, for a node with a skin and a mesh: it reads the
// skin's inverse bind matrices (optional in glTF) without checking that
// they are there, one per joint; and each primitive's WEIGHTS_n against
// JOINTS_n, as many vertices as WEIGHTS_0 has.
bool CheckSkins(const Json &root, std::string &reason) {
    const Json *nodes = root.Field("nodes"), *skins = root.Field("skins");
    const Json *meshes = root.Field("meshes");
    if (!nodes || nodes->kind != Json::Array) return true;
    for (size_t n = 0; n < nodes->items.size(); n++) {
        const Json &node = nodes->items[n];
        const long skin = Index(node.Field("skin"), skins);
        const long mesh = Index(node.Field("mesh"), meshes);
        if (skin < 0 || mesh < 0) continue;
        const Json &s = skins->items[(size_t)skin];
        const Json *joints = s.Field("joints");
        const size_t jointCount = joints && joints->kind == Json::Array ? joints->items.size() : 0;
        if (AccessorCount(root, s.Field("inverseBindMatrices")) < (double)jointCount)
            return reason = "skin " + Count((uint64_t)skin) +
                            " has fewer inverse bind matrices than joints (" + Count(jointCount) +
                            "), which its reader cannot do without",
                   false;
        const Json *primitives = meshes->items[(size_t)mesh].Field("primitives");
        if (!primitives || primitives->kind != Json::Array) continue;
        for (const Json &primitive : primitives->items) {
            const Json *attributes = primitive.Field("attributes");
            if (!attributes) continue;
            std::vector<double> weights, joints;
            for (int k = 0;; k++) {
                const Json *w = attributes->Field(("WEIGHTS_" + Count((uint64_t)k)).c_str());
                if (!w) break;
                weights.push_back(AccessorCount(root, w));
            }
            for (int k = 0;; k++) {
                const Json *j = attributes->Field(("JOINTS_" + Count((uint64_t)k)).c_str());
                if (!j) break;
                joints.push_back(AccessorCount(root, j));
            }
            if (weights.empty() || joints.empty() || weights[0] != joints[0]) continue;
            bool short_ = weights.size() > joints.size();
            for (double c : weights) short_ = short_ || c < weights[0];
            for (size_t k = 0; k < weights.size() && k < joints.size(); k++)
                short_ = short_ || joints[k] < weights[0];
            if (short_)
                return reason = "mesh " + Count((uint64_t)mesh) +
                                " has skin weights without joints for as many vertices, which its "
                                "reader "
                                "reads past",
                       false;
        }
    }
    return true;
}

} // namespace

bool CheckGltfReaderFaults(const unsigned char *bytes, size_t size, std::string &reason) {
    const unsigned char *json = bytes;
    size_t length = size;
    if (size >= GlbHeaderBytes + GlbChunkHeaderBytes && ReadLittle32(bytes) == GlbMagic) {
        // The first chunk is the JSON (model_format.h has checked the lengths).
        if (ReadLittle32(bytes + GlbHeaderBytes + 4) != GlbJsonChunk) return true;
        json = bytes + GlbHeaderBytes + GlbChunkHeaderBytes;
        length = ReadLittle32(bytes + GlbHeaderBytes);
        if (length > size - GlbHeaderBytes - GlbChunkHeaderBytes) return true;
    }
    JsonReader reader{json, length};
    Json root;
    // What cannot be read here is refused by the reader's own parser.
    if (!reader.Value(root, 0) || root.kind != Json::Object) return true;
    return CheckSkins(root, reason);
}
