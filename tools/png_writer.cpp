#include "tools/png_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "render/crc32.h"

// The deflate stream comes from zlib wherever the build has it (natively,
// and Debian's MinGW zlib for Windows: the same version, so the same bytes).
// The WebAssembly build has no zlib in Emscripten's cache and fetches
// nothing while building: there stb_image_write's compressor (header-only,
// Debian's libstb-dev) makes the stream from the whole image at the end.
#ifdef SCANVANE_STB_DEFLATE
#include <cstdlib>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#else
#include <zlib.h>
#endif

// zlib's default: 54 KB for the 1920 x 1080 start view where the fastest
// level gives 158 KB, in about 20 ms.
static const int CompressionLevel = 6;
// Compressed bytes per IDAT chunk: fixed, so equal input gives equal files.
static const size_t ChunkBytes = 1 << 16;
static const uint8_t FilterNone = 0;

struct PngDeflate {
    std::vector<uint8_t> row, out;
#ifdef SCANVANE_STB_DEFLATE
    std::vector<uint8_t> image; // every filtered row, compressed at the end
#else
    z_stream stream{};
#endif
};

static void PutBigEndian(uint8_t *at, uint32_t v) {
    at[0] = (uint8_t)(v >> 24), at[1] = (uint8_t)(v >> 16), at[2] = (uint8_t)(v >> 8),
    at[3] = (uint8_t)v;
}

static bool Fail(PngWriter &png, const std::string &why) {
    if (png.error.empty()) png.error = why;
    return false;
}

static bool WriteBytes(PngWriter &png, const void *data, size_t size) {
    if (size == 0) return true; // IEND's empty body: fwrite's pointer may not be null
    errno = 0;
    if (std::fwrite(data, 1, size, png.file) == size) return true;
    return Fail(png, errno ? std::strerror(errno) : "write failed");
}

static bool PutChunk(PngWriter &png, const char *type, const uint8_t *data, size_t size) {
    uint8_t head[8], tail[4];
    PutBigEndian(head, (uint32_t)size);
    std::memcpy(head + 4, type, 4);
    PutBigEndian(tail, Crc32(Crc32(0, type, 4), data, size));
    return WriteBytes(png, head, 8) && WriteBytes(png, data, size) && WriteBytes(png, tail, 4);
}

bool BeginPng(PngWriter &png, FILE *file, int width, int height) {
    png.file = file, png.width = width, png.height = height, png.rowsWritten = 0;
    png.deflate = new PngDeflate;
    png.deflate->row.resize(1 + 3 * (size_t)width);
    png.deflate->row[0] = FilterNone;
#ifdef SCANVANE_STB_DEFLATE
    png.deflate->image.reserve(png.deflate->row.size() * (size_t)height);
#else
    png.deflate->out.resize(ChunkBytes);
    if (deflateInit(&png.deflate->stream, CompressionLevel) != Z_OK)
        return Fail(png, "cannot start the compressor");
#endif
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    uint8_t header[13];
    PutBigEndian(header, (uint32_t)width);
    PutBigEndian(header + 4, (uint32_t)height);
    const uint8_t rest[5] = {8, 2, 0, 0, 0}; // 8 bits, RGB, deflate, no filter set, no interlace
    std::memcpy(header + 8, rest, 5);
    return WriteBytes(png, signature, 8) && PutChunk(png, "IHDR", header, 13);
}

#ifndef SCANVANE_STB_DEFLATE
// Compresses what the stream holds, writing every full chunk (and at the
// end, the rest).
static bool Deflate(PngWriter &png, int flush) {
    z_stream &z = png.deflate->stream;
    std::vector<uint8_t> &out = png.deflate->out;
    for (;;) {
        if (z.avail_out == 0) {
            if (z.next_out && !PutChunk(png, "IDAT", out.data(), out.size())) return false;
            z.next_out = out.data(), z.avail_out = (uInt)out.size();
        }
        int status = deflate(&z, flush);
        if (status == Z_STREAM_ERROR) return Fail(png, "the compressor failed");
        if (flush == Z_FINISH && status == Z_STREAM_END)
            return PutChunk(png, "IDAT", out.data(), out.size() - z.avail_out);
        if (flush != Z_FINISH && z.avail_in == 0 && z.avail_out != 0) return true;
    }
}
#endif

bool AddPngRows(PngWriter &png, const uint32_t *colour, int rows) {
    if (!png.error.empty()) return false;
    std::vector<uint8_t> &row = png.deflate->row;
    for (int y = 0; y < rows; y++, colour += png.width) {
        uint8_t *rgb = row.data() + 1;
        for (int x = 0; x < png.width; x++, rgb += 3) {
            uint32_t p = colour[x];
            rgb[0] = (uint8_t)(p >> 16), rgb[1] = (uint8_t)(p >> 8), rgb[2] = (uint8_t)p;
        }
#ifdef SCANVANE_STB_DEFLATE
        png.deflate->image.insert(png.deflate->image.end(), row.begin(), row.end());
#else
        z_stream &z = png.deflate->stream;
        z.next_in = row.data(), z.avail_in = (uInt)row.size();
        if (!Deflate(png, Z_NO_FLUSH)) return false;
#endif
    }
    png.rowsWritten += rows;
    return true;
}

bool EndPng(PngWriter &png) {
    bool ok = png.deflate && png.error.empty(); // never begun: nothing to end
    if (ok && png.rowsWritten != png.height) ok = Fail(png, "not every row was written");
#ifdef SCANVANE_STB_DEFLATE
    if (ok) {
        std::vector<uint8_t> &image = png.deflate->image;
        int size = 0;
        uint8_t *z = stbi_zlib_compress(image.data(), (int)image.size(), &size, CompressionLevel);
        if (!z) ok = Fail(png, "not enough memory to compress it");
        for (size_t at = 0; ok && at < (size_t)size; at += ChunkBytes)
            ok = PutChunk(png, "IDAT", z + at, std::min(ChunkBytes, (size_t)size - at));
        std::free(z);
    }
#else
    if (ok) ok = Deflate(png, Z_FINISH);
    if (png.deflate) deflateEnd(&png.deflate->stream);
#endif
    if (ok) ok = PutChunk(png, "IEND", nullptr, 0);
    delete png.deflate;
    png.deflate = nullptr;
    return ok;
}
