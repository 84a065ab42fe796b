// Vertices that are the same, found by exact equality (bit for bit) through
// a hash: OBJ and STL arrive with a vertex per face corner, and a vertex
// stored once is transformed once.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/mesh.h"

// Numbers the distinct positions (x, y, z per vertex) in order of first
// appearance; group[v] is vertex v's number. Returns how many there are.
size_t GroupEqualPositions(const std::vector<float> &positions, std::vector<uint32_t> &group);

// Merges the vertices of mesh equal in position and colour, keeping the
// first of each and the triangles' order.
void WeldMesh(Mesh &mesh);
