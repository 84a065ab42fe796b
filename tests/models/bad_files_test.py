#!/usr/bin/python3
"""Every kind of bad model file, each refused the same way: exit status 2,
one line on standard error naming the file and the reason, no output file.
Also the option errors of the model options.

  bad_files_test.py SCANVANE_RENDER WORKDIR"""
import base64, json, os, struct, subprocess, sys

render, work = sys.argv[1], sys.argv[2]
os.makedirs(work, exist_ok=True)

def ply_ascii(vertices, faces, extra_header="", vertex_props="property float x\nproperty float y\nproperty float z\n"):
    head = (f"ply\nformat ascii 1.0\n{extra_header}element vertex {len(vertices)}\n{vertex_props}"
            f"element face {len(faces)}\nproperty list uchar int vertex_indices\nend_header\n")
    return (head + "".join(v + "\n" for v in vertices) + "".join(f + "\n" for f in faces)).encode()

def ply_binary(nv, faces, declared_v=None, declared_f=None, cut=0):
    head = (f"ply\nformat binary_little_endian 1.0\nelement vertex {declared_v if declared_v is not None else nv}\n"
            "property float x\nproperty float y\nproperty float z\n"
            f"element face {declared_f if declared_f is not None else len(faces)}\n"
            "property list uchar int vertex_indices\nend_header\n").encode()
    body = b"".join(struct.pack("<3f", i, i * 2 % 3, i % 5) for i in range(nv))
    body += b"".join(struct.pack("<B", len(f)) + struct.pack("<%di" % len(f), *f) for f in faces)
    data = head + body
    return data[:len(data) - cut] if cut else data

def gltf(buffer_uri, length, indices=(0, 1, 2), count=3):
    pos = struct.pack("<9f", 0, 0, 0, 1, 0, 0, 0, 1, 0)
    idx = struct.pack("<%dI" % len(indices), *indices)
    data = pos + idx
    buf = {"byteLength": length if length else len(data)}
    if buffer_uri == "embedded":
        buf["uri"] = "data:application/octet-stream;base64," + base64.b64encode(data).decode()
    elif buffer_uri:
        buf["uri"] = buffer_uri
    doc = {"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"mesh": 0}],
           "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "indices": 1, "mode": 4}]}],
           "buffers": [buf],
           "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 36},
                           {"buffer": 0, "byteOffset": 36, "byteLength": len(idx)}],
           "accessors": [{"bufferView": 0, "componentType": 5126, "count": count, "type": "VEC3",
                          "min": [0, 0, 0], "max": [1, 1, 0]},
                         {"bufferView": 1, "componentType": 5125, "count": len(indices), "type": "SCALAR"}]}
    return json.dumps(doc).encode()

def gltf_skinned():
    # A skin may leave out its inverse bind matrices (identities).
    doc = json.loads(gltf("embedded", 0))
    doc["nodes"] = [{"mesh": 0, "skin": 0}, {"name": "joint"}]
    doc["scenes"] = [{"nodes": [0, 1]}]
    doc["skins"] = [{"joints": [1]}]
    return json.dumps(doc).encode()

def stl_binary(count, facets):
    return b"x" * 80 + struct.pack("<I", count) + b"".join(struct.pack("<12fH", *([0] * 3), *f, 0) for f in facets)

tri = ["0 0 0", "1 0 0", "0 1 0"]
good_facet = [0, 0, 0, 1, 0, 0, 0, 1, 0]
# name, file name, bytes, words the reason must contain
cases = [
    ("index out of range (ASCII PLY)", "index.ply", ply_ascii(tri, ["3 0 1 4000"]), "face 0 refers to vertex 4000 of 3"),
    ("index out of range (binary PLY)", "index-bin.ply", ply_binary(3, [(0, 1, 2), (0, 2, 7)]), "face 1 refers to vertex 7 of 3"),
    ("index out of range (OBJ)", "index.obj", b"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 9\n", "index"),
    ("index out of range (OFF)", "index.off", b"OFF\n3 2 0\n# a comment\n0 0 0\n1 0 0\n\n0 1 0\n3 0 1 2\n3 0 1 5\n", "face 1 refers to vertex 5 of 3"),
    ("OFF index of thirty digits", "digits.off", b"OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 " + b"5" * 30 + b"\n", "face 0 refers to vertex " + "5" * 30 + " of 3"),
    ("index out of range (glTF)", "index.gltf", gltf("embedded", 0, (0, 1, 9)), "has no faces"),
    ("NaN coordinate", "nan.ply", ply_ascii(["0 0 0", "nan 0 0", "0 1 0"], ["3 0 1 2"]), "vertex 1 has a coordinate that is not a finite number"),
    ("infinite coordinate", "inf.obj", b"v 0 0 0\nv 1e39 0 0\nv 0 1 0\nf 1 2 3\n", "not a finite number"),
    ("NaN colour", "nan-colour.ply", ply_ascii(["0 0 0 nan 0 0", "1 0 0 0 0 0", "0 1 0 0 0 0"], ["3 0 1 2"],
        vertex_props="property float x\nproperty float y\nproperty float z\nproperty float red\nproperty float green\nproperty float blue\n"),
        "colour that is not a finite number"),
    ("empty file", "empty.ply", b"", "is empty"),
    ("no faces (PLY)", "nofaces.ply", ply_ascii(tri, []), ""),
    ("no faces (OBJ)", "nofaces.obj", b"v 0 0 0\nv 1 0 0\nv 0 1 0\n", ""),
    ("no faces (OFF)", "nofaces.off", b"OFF\n3 0 0\n0 0 0\n1 0 0\n0 1 0\n", ""),
    ("two-corner face (PLY)", "line.ply", ply_ascii(tri, ["2 0 1"]), "face 0 has 2 corners; a face needs at least 3"),
    ("two-corner face (OBJ)", "line.obj", b"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2\n", ""),
    ("one-corner face (OFF)", "point.off", b"OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n1 0\n", "face 0 has 1 corner; a face needs at least 3"),
    ("all at one point", "point.ply", ply_ascii(["1 1 1"] * 3, ["3 0 1 2"]), "all its vertices are at one point"),
    ("truncated binary PLY", "cut.ply", ply_binary(30, [(0, 1, 2)] * 20, cut=7), "truncated or damaged"),
    ("counts past the file (PLY)", "short.ply", ply_binary(3, [(0, 1, 2)], declared_v=1000), "truncated or damaged: 1000 vertices and 1 face need at least 12001 bytes, the file holds 49"),
    ("huge vertex count (PLY)", "huge.ply", ply_binary(3, [(0, 1, 2)], declared_v=4000000000), "declares 4000000000 vertices, more than the 16777216 a model may have"),
    ("huge face count (PLY)", "huge-faces.ply", ply_binary(3, [(0, 1, 2)], declared_f=99999999999), "declares 99999999999 faces, more than"),
    ("huge count (OFF)", "huge.off", b"OFF\n1350000000 1 0\n0 0 0\n3 0 0 0\n", "declares 1350000000 vertices, more than"),
    ("counts past the file (OFF)", "short.off", b"OFF\n300 100 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n", "truncated or damaged: 300 vertices and 100 faces"),
    ("huge facet count (binary STL)", "huge.stl", stl_binary(0x7fffffff, [good_facet]), "declares 2147483647 facets, more than"),
    ("truncated binary STL", "cut.stl", stl_binary(5, [good_facet] * 4), "truncated or damaged: 5 facets need at least 334 bytes"),
    ("PLY without a header end", "nohead.ply", b"ply\nformat ascii 1.0\nelement vertex 3\n", "no end_header"),
    ("not a PLY", "text.ply", b"hello\n", "is not a PLY file"),
    ("glTF buffer missing beside it", "missing.gltf", gltf("missing.bin", 48), "missing.bin"),
    ("glTF buffer outside its folder", "outside.gltf", gltf("../outside.bin", 48), "outside.bin"),
    ("glTF buffer shorter than declared", "short.gltf", gltf("embedded", 4000), ""),
    ("glb length not the file's", "cut.glb", struct.pack("<III", 0x46546C67, 2, 9999) + struct.pack("<II", 4, 0x4E4F534A) + b"{}  ", "its header says 9999 bytes, the file holds 24"),
    ("glb version 1", "old.glb", struct.pack("<III", 0x46546C67, 1, 24) + struct.pack("<II", 4, 0x4E4F534A) + b"{}  ", "binary glTF version 1, not 2"),
    ("not a glb", "text.glb", b"{\"asset\":{}}", "is not a binary glTF file"),
    ("glTF that is not JSON", "junk.gltf", b"\x00\x01\x02junk", ""),
    # Files that lead assimp's own readers astray (a count run below zero, a
    # line past its buffer, arrays written past their end), refused first.
    ("OFF bad face lines outnumbering its faces", "underflow.off", b"OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n# one\n# two\n3 0 1 2\n", "more face lines with a corner count of 0 or over 9 than the 1 faces it declares"),
    ("OFF line past its reader's buffer", "long.off", b"OFF\n3 1 0\n0 0 0" + b" " * 5000 + b"\n1 0 0\n0 1 0\n3 0 1 2\n", "line 3 is longer than the 4095 characters"),
    ("OFF counts as its reader reads them", "misread.off", b"4 2 999999999\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n3 0 1 2\n3 1 2 3\n", "declares 999999999 faces, more than"),
    ("STL read as UTF-32", "utf32.stl", b"\xfe\xff\x00\x00" + b"A\x00\x00\x00" * 19 + struct.pack("<I", 1) + b"\x00" * 50, "FE FF 00 00"),
    ("PLY with two vertex elements", "twice.ply", ply_ascii(tri, ["3 0 1 2"]).replace(b"element face", b"element vertex 40\nproperty float x\nproperty float y\nproperty float z\nelement face").replace(b"3 0 1 2\n", b"1 1 1\n" * 40 + b"3 0 1 2\n"), "more than one vertex element"),
    ("PLY texture coordinates without corners", "texcoord.ply", ply_ascii(tri, ["6 0 0 1 0 0 1"]).replace(b"int vertex_indices", b"float texcoord"), "6 texture coordinates for no corner list"),
    ("PLY list longer than its line", "biglist.ply", ply_ascii(tri, ["4000000000 0 1 2"]), "lists 4000000000 values, more than the line holds"),
    ("PLY comment its reader reads past", "leftover.ply", ply_ascii(tri, ["3 0 1 2"], extra_header="comment   element vertex 99999999\ncomment a\n"), "line 4 is a comment shorter than an earlier line"),
    ("PLY text with a bare carriage return", "cr.ply", ply_ascii(tri, ["3 0 1 2"])[:-1] + b"\r", "carriage return without a newline"),
    ("glTF skin without inverse bind matrices", "skin.gltf", gltf_skinned(), "skin 0 has fewer inverse bind matrices than joints (1)"),
    ("OBJ line elements", "polyline.obj", b"v 0 0 0\nv 1 0 0\nv 0 1 0\nl 1\nl 1\nl 1 2 3\n", "line 4 is a line element ('l')"),
    ("unknown format", "model.3ds", b"MM\x00\x00", "format '.3ds' is not one this program reads"),
    ("no extension", "model", b"ply\n", "has no extension"),
]

failed = 0
def check(name, argv, want, path_shown=None):
    global failed
    out = os.path.join(work, "out.png")
    if os.path.exists(out):
        os.remove(out)
    try:
        r = subprocess.run([render] + argv + ["--png", out], capture_output=True, timeout=60)
    except subprocess.TimeoutExpired:
        print(f"FAIL {name}: still running after 60 s")
        failed += 1
        return
    err = r.stderr.decode(errors="replace")
    lines = err.splitlines()
    problems = []
    if r.returncode != 2: problems.append(f"exit {r.returncode}, not 2")
    if len(lines) != 1: problems.append(f"{len(lines)} lines on stderr")
    prefix = "scanvane-render: " + (path_shown + ": " if path_shown else "")
    if not err.startswith(prefix): problems.append(f"does not start with {prefix!r}")
    if want not in err: problems.append(f"no {want!r}")
    if r.stdout: problems.append("wrote to stdout")
    if os.path.exists(out): problems.append("left an output file")
    if problems:
        print(f"FAIL {name}: {'; '.join(problems)}: {err.strip()!r}")
        failed += 1
    else:
        print(f"ok   {name}: {err.strip()}")

for name, file, data, want in cases:
    path = os.path.join(work, file)
    open(path, "wb").write(data)
    check(name, ["--model", path], want, path)
check("no such file", ["--model", os.path.join(work, "nothing.ply")], "cannot be opened", os.path.join(work, "nothing.ply"))
check("a folder", ["--model", work + "/"], "", work + "/")
ok = os.path.join(work, "ok.ply")
open(ok, "wb").write(ply_ascii(tri, ["3 0 1 2"]))
check("--as-is without --model", ["--as-is"], "--as-is places or lights a model: give it with --model FILE")
check("--up without --model", ["--up", "z"], "--up places or lights a model")
check("--up x", ["--model", ok, "--up", "x"], "--up wants y or z")
check("--shading maybe", ["--model", ok, "--shading", "maybe"], "--shading wants on or off")
check("--as-is with a value", ["--model", ok, "--as-is=yes"], "--as-is")
print(f"{len(cases) + 7 - failed} of {len(cases) + 7} refusals as they should be")
sys.exit(1 if failed else 0)
