#include "app/model_weld.h"

#include <cstring>

namespace {

constexpr uint32_t Empty = 0xffffffffu;

uint64_t Mix(uint64_t h, uint32_t word) {
    h ^= word;
    h *= 0x100000001b3ull; // FNV-1a's prime over whole words
    return h;
}

// An open-addressed table of vertex numbers keyed by `floats` floats per
// vertex, read from up to two arrays (position, then colour).
template <int Floats>
size_t Group(const float *a, const float *b, size_t count, std::vector<uint32_t> &group) {
    size_t size = 16;
    while (size < count * 2) size *= 2;
    std::vector<uint32_t> slots(size, Empty);
    group.assign(count, 0);
    std::vector<uint32_t> firsts; // vertex number of each group's first
    auto key = [&](size_t v, uint32_t words[Floats]) {
        std::memcpy(words, a + 3 * v, 12);
        if (Floats == 6) std::memcpy(words + 3, b + 3 * v, 12);
    };
    for (size_t v = 0; v < count; v++) {
        uint32_t words[Floats], other[Floats];
        key(v, words);
        uint64_t h = 0xcbf29ce484222325ull;
        for (int k = 0; k < Floats; k++) h = Mix(h, words[k]);
        size_t at = (size_t)(h ^ (h >> 29)) & (size - 1);
        for (;;) {
            const uint32_t g = slots[at];
            if (g == Empty) {
                slots[at] = (uint32_t)firsts.size();
                group[v] = (uint32_t)firsts.size();
                firsts.push_back((uint32_t)v);
                break;
            }
            key(firsts[g], other);
            if (std::memcmp(words, other, sizeof words) == 0) {
                group[v] = g;
                break;
            }
            at = (at + 1) & (size - 1);
        }
    }
    return firsts.size();
}

} // namespace

size_t GroupEqualPositions(const std::vector<float> &positions, std::vector<uint32_t> &group) {
    return Group<3>(positions.data(), nullptr, positions.size() / 3, group);
}

void WeldMesh(Mesh &mesh) {
    std::vector<uint32_t> group;
    const size_t count = MeshVertexCount(mesh);
    const size_t kept = Group<6>(mesh.positions.data(), mesh.colours.data(), count, group);
    if (kept == count) return;
    std::vector<float> positions(kept * 3), colours(kept * 3);
    std::vector<bool> placed(kept, false);
    for (size_t v = 0; v < count; v++) {
        const uint32_t g = group[v];
        if (placed[g]) continue;
        placed[g] = true;
        std::memcpy(&positions[3 * (size_t)g], &mesh.positions[3 * v], 12);
        std::memcpy(&colours[3 * (size_t)g], &mesh.colours[3 * v], 12);
    }
    for (uint32_t &i : mesh.indices) i = group[i];
    mesh.positions.swap(positions);
    mesh.colours.swap(colours);
}
