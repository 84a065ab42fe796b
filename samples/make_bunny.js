// Writes the Stanford bunny of the npm package `bunny` (public domain) as a
// binary little-endian PLY: float x, y, z per vertex (no colours, so the
// renderer's baked light shows its shape), faces as uchar count + int
// indices, in the package's own face order and coordinates (y up).
// Coordinates are rounded to a 1/1024 grid, which every text format writes
// and reads back exactly, so the same mesh in each format is the same
// floats.
//   node make_bunny.js NODE_MODULES_DIR OUT.ply
'use strict';
const fs = require('fs');
const path = require('path');

const GridSteps = 1024;
const [modules, out] = process.argv.slice(2);
if (!modules || !out) {
    console.error('usage: node make_bunny.js NODE_MODULES_DIR OUT.ply');
    process.exit(2);
}
const bunny = require(path.resolve(modules, 'bunny'));
const { positions, cells } = bunny;
const header =
    'ply\nformat binary_little_endian 1.0\n' +
    'comment Stanford bunny from the npm package bunny (public domain)\n' +
    `element vertex ${positions.length}\nproperty float x\nproperty float y\nproperty float z\n` +
    `element face ${cells.length}\nproperty list uchar int vertex_indices\nend_header\n`;
const body = Buffer.alloc(positions.length * 12 + cells.length * 13);
let at = 0;
for (const p of positions)
    for (const x of p) at = body.writeFloatLE(Math.round(x * GridSteps) / GridSteps, at);
for (const c of cells) {
    at = body.writeUInt8(3, at);
    for (const i of c) at = body.writeInt32LE(i, at);
}
const tmp = out + '.tmp';
fs.writeFileSync(tmp, Buffer.concat([Buffer.from(header, 'ascii'), body]));
fs.renameSync(tmp, out);
console.log(`make_bunny: ${positions.length} vertices, ${cells.length} triangles -> ${out}`);
