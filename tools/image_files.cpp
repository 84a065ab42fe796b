#include "tools/image_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/crc32.h"

void AppendLittleEndian(std::string &out, const uint32_t *words, size_t count) {
    for (size_t i = 0; i < count; i++) {
        uint32_t w = words[i];
        char b[4] = {(char)w, (char)(w >> 8), (char)(w >> 16), (char)(w >> 24)};
        out.append(b, 4);
    }
}

// Writes beside the target and renames over it only once every byte is out.
static bool WriteWhole(const std::string &path, const std::string &bytes, std::string &error) {
    std::string part = path + ".part";
    FILE *f = std::fopen(part.c_str(), "wb");
    if (!f) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int savedErrno = errno;
    ok = (std::fclose(f) == 0) && ok;
    if (ok) {
        std::remove(path.c_str()); // rename does not replace on every platform
        ok = std::rename(part.c_str(), path.c_str()) == 0;
        savedErrno = errno;
    }
    if (!ok) {
        std::remove(part.c_str());
        error = "cannot write '" + path + "': " + std::strerror(savedErrno);
    }
    return ok;
}

bool WriteRaw(const std::string &path, const void *data, size_t size, std::string &error) {
    return WriteWhole(path, std::string((const char *)data, size), error);
}

static void PutBigEndian(std::string &s, uint32_t v) {
    char b[4] = {(char)(v >> 24), (char)(v >> 16), (char)(v >> 8), (char)v};
    s.append(b, 4);
}

static void PutChunk(std::string &png, const char *type, const std::string &data) {
    PutBigEndian(png, (uint32_t)data.size());
    std::string body = std::string(type, 4) + data;
    png += body;
    PutBigEndian(png, Crc32(0, body.data(), body.size()));
}

// A zlib stream of stored (uncompressed) deflate blocks: no dependency, and
// frames are small enough that size does not matter.
static std::string StoredZlib(const std::string &raw) {
    std::string z = "\x78\x01";
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
    size_t at = 0;
    do {
        size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
        bool last = at + n == raw.size();
        char header[5] = {(char)last, (char)n, (char)(n >> 8), (char)~n, (char)(~n >> 8)};
        z.append(header, 5);
        z.append(raw, at, n);
        at += n;
    } while (at < raw.size());
    PutBigEndian(z, (b << 16) | a);
    return z;
}

bool WritePng(const std::string &path, const uint32_t *colour, int width, int height,
              std::string &error) {
    std::string raw;
    raw.reserve((size_t)height * (1 + 3 * width));
    for (int y = 0; y < height; y++) {
        raw += '\0'; // filter: none
        for (int x = 0; x < width; x++) {
            uint32_t p = colour[(size_t)y * width + x];
            raw += (char)(p >> 16), raw += (char)(p >> 8), raw += (char)p;
        }
    }
    std::string header;
    PutBigEndian(header, (uint32_t)width);
    PutBigEndian(header, (uint32_t)height);
    header += std::string("\x08\x02\x00\x00\x00", 5); // 8-bit RGB
    std::string png = "\x89PNG\r\n\x1a\n";
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", StoredZlib(raw));
    PutChunk(png, "IEND", "");
    return WriteWhole(path, png, error);
}
