#!/usr/bin/python3
"""Writes one mesh (a binary little-endian PLY of float x,y,z and triangle
faces, as samples/make_bunny.js makes) in every format and variant the
loader reads, for the format-equivalence test: the same triangles in the
same order, coordinates on a 1/1024 grid so that text formats read back the
same floats.

  write_formats.py MESH.ply OUTDIR

OUTDIR/plain/: no colours (PLY binary both byte orders and ASCII, OBJ, STL
binary and ASCII with zero normals, OFF, glTF with embedded and side-by-side
buffers, .glb). OUTDIR/normals/: STL with its facet normals. OUTDIR/coloured/:
per-vertex colours (PLY uchar binary, PLY float ASCII, OBJ v x y z r g b,
COFF as 0..255 and as 0..1, glTF COLOR_0 as float and as normalised bytes).
OUTDIR/material/: one material colour (OBJ mtl Kd, glTF baseColorFactor)."""
import base64, json, os, struct, sys

def read_ply(path):
    data = open(path, "rb").read()
    end = data.index(b"end_header\n") + len(b"end_header\n")
    header = data[:end].decode().split("\n")
    nv = int(next(l for l in header if l.startswith("element vertex")).split()[2])
    nf = int(next(l for l in header if l.startswith("element face")).split()[2])
    v = [struct.unpack_from("<3f", data, end + 12 * i) for i in range(nv)]
    at = end + 12 * nv
    f = []
    for _ in range(nf):
        assert data[at] == 3
        f.append(struct.unpack_from("<3i", data, at + 1))
        at += 13
    return v, f

def colours_of(nv):
    return [((i * 53) % 256, (i * 101 + 40) % 256, (i * 197 + 90) % 256) for i in range(nv)]

def num(x):
    return repr(float(x))

def ply(path, v, f, c=None, fmt="binary_little_endian", float_colour=False):
    head = f"ply\nformat {fmt} 1.0\nelement vertex {len(v)}\nproperty float x\nproperty float y\nproperty float z\n"
    if c:
        t = "float" if float_colour else "uchar"
        head += f"property {t} red\nproperty {t} green\nproperty {t} blue\n"
    head += f"element face {len(f)}\nproperty list uchar int vertex_indices\nend_header\n"
    with open(path, "wb") as o:
        o.write(head.encode())
        if fmt == "ascii":
            for i, p in enumerate(v):
                cols = ""
                if c:
                    cols = " " + " ".join(num(k / 255) if float_colour else str(k) for k in c[i])
                o.write((" ".join(num(x) for x in p) + cols + "\n").encode())
            for t in f:
                o.write(("3 %d %d %d\n" % t).encode())
        else:
            e = "<" if fmt == "binary_little_endian" else ">"
            for i, p in enumerate(v):
                o.write(struct.pack(e + "3f", *p))
                if c:
                    o.write(struct.pack(e + "3f", *(k / 255 for k in c[i])) if float_colour else bytes(c[i]))
            for t in f:
                o.write(struct.pack(e + "B3i", 3, *t))

def obj(path, v, f, c=None, material=None):
    with open(path, "w") as o:
        if material:
            mtl = os.path.splitext(path)[0] + ".mtl"
            open(mtl, "w").write("newmtl paint\nKd %s\n" % " ".join(repr(x) for x in material))
            o.write("mtllib %s\nusemtl paint\n" % os.path.basename(mtl))
        for i, p in enumerate(v):
            o.write("v " + " ".join(num(x) for x in p))
            if c:
                o.write(" " + " ".join("%.9g" % (k / 255) for k in c[i]))
            o.write("\n")
        for a, b, d in f:
            o.write(f"f {a + 1} {b + 1} {d + 1}\n")

def normal(a, b, c):
    u = [b[k] - a[k] for k in range(3)]
    w = [c[k] - a[k] for k in range(3)]
    n = [u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]]
    length = sum(x * x for x in n) ** 0.5 or 1
    return [x / length for x in n]

def stl(path, v, f, binary, normals):
    tris = [(v[a], v[b], v[c]) for a, b, c in f]
    ns = [normal(*t) if normals else [0.0, 0.0, 0.0] for t in tris]
    if binary:
        with open(path, "wb") as o:
            o.write(b"binary STL from write_formats.py".ljust(80, b" "))
            o.write(struct.pack("<I", len(tris)))
            for t, n in zip(tris, ns):
                o.write(struct.pack("<12fH", *n, *t[0], *t[1], *t[2], 0))
    else:
        with open(path, "w") as o:
            o.write("solid bunny\n")
            for t, n in zip(tris, ns):
                o.write("facet normal %s\nouter loop\n" % " ".join(num(x) for x in n))
                for p in t:
                    o.write("vertex %s\n" % " ".join(num(x) for x in p))
                o.write("endloop\nendfacet\n")
            o.write("endsolid bunny\n")

def off(path, v, f, c=None, unit=False):
    with open(path, "w") as o:
        o.write(("COFF" if c else "OFF") + "\n%d %d 0\n" % (len(v), len(f)))
        for i, p in enumerate(v):
            o.write(" ".join(num(x) for x in p))
            if c:
                o.write(" " + (" ".join("%.9g" % (k / 255) for k in c[i]) + " 1" if unit else
                               " ".join(str(k) for k in c[i]) + " 255"))
            o.write("\n")
        for t in f:
            o.write("3 %d %d %d\n" % t)

def gltf_parts(v, f, c=None, colour="float"):
    pos = b"".join(struct.pack("<3f", *p) for p in v)
    blobs = [pos]
    accessors = [{"bufferView": 0, "componentType": 5126, "count": len(v), "type": "VEC3",
                  "min": [min(p[k] for p in v) for k in range(3)], "max": [max(p[k] for p in v) for k in range(3)]}]
    attributes = {"POSITION": 0}
    if c:
        if colour == "float":
            blobs.append(b"".join(struct.pack("<3f", *(k / 255 for k in col)) for col in c))
            accessors.append({"bufferView": 1, "componentType": 5126, "count": len(v), "type": "VEC3"})
        else:
            blobs.append(b"".join(bytes(col) + b"\xff" for col in c))
            accessors.append({"bufferView": 1, "componentType": 5121, "normalized": True, "count": len(v), "type": "VEC4"})
        attributes["COLOR_0"] = 1
    blobs.append(b"".join(struct.pack("<3I", *t) for t in f))
    accessors.append({"bufferView": len(blobs) - 1, "componentType": 5125, "count": 3 * len(f), "type": "SCALAR"})
    views, at = [], 0
    for b in blobs:
        views.append({"buffer": 0, "byteOffset": at, "byteLength": len(b)})
        at += len(b)
    data = b"".join(blobs)
    doc = {"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"mesh": 0}],
           "meshes": [{"primitives": [{"attributes": attributes, "indices": len(accessors) - 1, "mode": 4}]}],
           "buffers": [{"byteLength": len(data)}], "bufferViews": views, "accessors": accessors}
    return doc, data

def gltf(path, v, f, c=None, colour="float", side=False, material=None):
    doc, data = gltf_parts(v, f, c, colour)
    if material:
        doc["materials"] = [{"name": "paint", "pbrMetallicRoughness": {"baseColorFactor": material + [1.0]}}]
        doc["meshes"][0]["primitives"][0]["material"] = 0
    if side:
        name = os.path.splitext(os.path.basename(path))[0] + ".bin"
        open(os.path.join(os.path.dirname(path), name), "wb").write(data)
        doc["buffers"][0]["uri"] = name
    else:
        doc["buffers"][0]["uri"] = "data:application/octet-stream;base64," + base64.b64encode(data).decode()
    open(path, "w").write(json.dumps(doc))

def glb(path, v, f, c=None, colour="bytes"):
    doc, data = gltf_parts(v, f, c, colour)
    data += b"\0" * (-len(data) % 4)
    js = json.dumps(doc, separators=(",", ":")).encode()
    js += b" " * (-len(js) % 4)
    with open(path, "wb") as o:
        o.write(struct.pack("<III", 0x46546C67, 2, 12 + 8 + len(js) + 8 + len(data)))
        o.write(struct.pack("<II", len(js), 0x4E4F534A) + js)
        o.write(struct.pack("<II", len(data), 0x004E4942) + data)

def main():
    src, out = sys.argv[1], sys.argv[2]
    v, f = read_ply(src)
    c = colours_of(len(v))
    for d in ("plain", "normals", "coloured", "material"):
        os.makedirs(os.path.join(out, d), exist_ok=True)
    P = lambda *p: os.path.join(out, *p)
    ply(P("plain", "binle.ply"), v, f)
    ply(P("plain", "binbe.ply"), v, f, fmt="binary_big_endian")
    ply(P("plain", "ascii.ply"), v, f, fmt="ascii")
    obj(P("plain", "plain.obj"), v, f)
    stl(P("plain", "binary.stl"), v, f, True, False)
    stl(P("plain", "ascii.stl"), v, f, False, False)
    off(P("plain", "plain.off"), v, f)
    gltf(P("plain", "embedded.gltf"), v, f)
    gltf(P("plain", "side.gltf"), v, f, side=True)
    glb(P("plain", "plain.glb"), v, f)
    stl(P("normals", "binary.stl"), v, f, True, True)
    stl(P("normals", "ascii.stl"), v, f, False, True)
    ply(P("coloured", "uchar.ply"), v, f, c)
    ply(P("coloured", "float-ascii.ply"), v, f, c, fmt="ascii", float_colour=True)
    ply(P("coloured", "float-be.ply"), v, f, c, fmt="binary_big_endian", float_colour=True)
    obj(P("coloured", "rgb.obj"), v, f, c)
    off(P("coloured", "coff.off"), v, f, c)
    gltf(P("coloured", "float.gltf"), v, f, c, "float")
    glb(P("coloured", "bytes.glb"), v, f, c, "bytes")
    off(P("coloured", "coff-unit.off"), v, f, c, unit=True)
    # Material colours whose channels are whole numbers / 255: 51, 153, 204.
    paint = [0.2, 0.6, 0.8]
    obj(P("material", "kd.obj"), v, f, material=paint)
    gltf(P("material", "base.gltf"), v, f, material=paint)

main()
