// A model kept indexed: each vertex stored once, triangles as index triples
// in the order they are drawn. The loader (app/) fills one; the renderer
// draws it with the same arithmetic per triangle as a TriangleRecord whose
// three corners are the indexed vertices (w = 1, flag word 0).
#pragma once
#include <cstdint>
#include <vector>

struct Mesh {
    std::vector<float> positions;  // x, y, z per vertex, world space
    std::vector<float> colours;    // r, g, b per vertex, each 0..255
    std::vector<uint32_t> indices; // three per triangle, each < vertex count
};

inline uint32_t MeshVertexCount(const Mesh &m) { return (uint32_t)(m.positions.size() / 3); }
inline uint32_t MeshTriangleCount(const Mesh &m) { return (uint32_t)(m.indices.size() / 3); }
