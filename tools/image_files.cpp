#include "tools/image_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include "render/crc32.h"

void AppendLittleEndian(std::string &out, const uint32_t *words, size_t count) {
    for (size_t i = 0; i < count; i++) {
        uint32_t w = words[i];
        char b[4] = {(char)w, (char)(w >> 8), (char)(w >> 16), (char)(w >> 24)};
        out.append(b, 4);
    }
}

enum class Target { Missing, Regular, Directory, Special };

static Target Classify(const std::string &path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return Target::Missing;
    if (S_ISDIR(st.st_mode)) return Target::Directory;
    return S_ISREG(st.st_mode) ? Target::Regular : Target::Special;
}

// Replaces an existing file in one step. Never deletes the target first:
// a failed rename must not lose what was there.
static bool ReplaceFile(const std::string &from, const std::string &to) {
#ifdef _WIN32
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

// The folder a new file at path goes into.
static std::string FolderOf(const std::string &path) {
    size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

// Why the staged copy of path could not be created, in the user's terms:
// the errno of creating PATH.part names neither the folder nor the file.
static std::string WhyNoStagedFile(const std::string &path, int error) {
    std::string folder = FolderOf(path);
    if (Classify(folder) != Target::Directory) return "no folder '" + folder + "'";
    // A folder that exists but takes no new files (/proc) answers ENOENT.
    std::string why = error == ENOENT ? "it takes no new files" : std::strerror(error);
    return "cannot create a file in '" + folder + "': " + why;
}

// A staged file that could not be completed is removed again; a device
// written directly is left alone.
static bool WriteBytes(const std::string &path, const std::string &bytes, bool staged,
                       std::string &error) {
    errno = 0;
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) {
        // Some C runtimes fail without setting errno (Wine on a Unix fifo).
        if (staged) error = WhyNoStagedFile(path, errno ? errno : EACCES);
        else error = errno ? std::strerror(errno) : "cannot open it for writing";
        return false;
    }
    errno = 0;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int savedErrno = errno;
    ok = (std::fclose(f) == 0) && ok;
    if (!savedErrno) savedErrno = errno ? errno : EIO;
    if (!ok) {
        error = std::strerror(savedErrno);
        if (staged) std::remove(path.c_str());
    }
    return ok;
}

StagedFiles::~StagedFiles() {
    for (const std::string &part : parts) std::remove(part.c_str());
}

bool StageFiles(const std::vector<OutputFile> &files, StagedFiles &staged, std::string &error) {
    auto fail = [&](const std::string &path, const std::string &why) {
        for (const std::string &part : staged.parts) std::remove(part.c_str());
        staged.parts.clear(), staged.targets.clear();
        error = "cannot write '" + path + "': " + why;
        return false;
    };
    std::vector<bool> direct(files.size());
    for (size_t i = 0; i < files.size(); i++) {
        const OutputFile &f = files[i];
        Target target = Classify(f.path);
        if (target == Target::Directory) return fail(f.path, "it is a directory");
        direct[i] = target == Target::Special;
        if (direct[i]) continue;
        std::string part = f.path + ".part", why;
        if (!WriteBytes(part, f.bytes, true, why)) return fail(f.path, why);
        staged.parts.push_back(part);
        staged.targets.push_back(f.path);
    }
    // Devices and pipes cannot be renamed onto; they get the bytes directly,
    // last, so that a failure before this point has touched none of them.
    for (size_t i = 0; i < files.size(); i++) {
        std::string why;
        if (direct[i] && !WriteBytes(files[i].path, files[i].bytes, false, why))
            return fail(files[i].path, why);
    }
    return true;
}

bool CheckOutputPath(const std::string &path, std::string &error) {
    if (Classify(path) == Target::Special) return true; // opened only when written
    StagedFiles probe; // its empty PATH.part goes with it
    return StageFiles({{path, ""}}, probe, error);
}

bool CommitFiles(StagedFiles &staged, std::string &error) {
    for (size_t i = 0; i < staged.parts.size(); i++) {
        if (!ReplaceFile(staged.parts[i], staged.targets[i])) {
            error = "cannot write '" + staged.targets[i] + "': " + std::strerror(errno);
            staged.parts.erase(staged.parts.begin(), staged.parts.begin() + (long)i);
            return false; // the rest go with staged
        }
    }
    staged.parts.clear(), staged.targets.clear();
    return true;
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

std::string EncodePng(const uint32_t *colour, int width, int height) {
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
    return png;
}
