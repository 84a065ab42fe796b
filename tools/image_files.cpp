#include "tools/image_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

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
        if (staged)
            error = WhyNoStagedFile(path, errno ? errno : EACCES);
        else
            error = errno ? std::strerror(errno) : "cannot open it for writing";
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

// Whether an open device takes bytes, asked with a write of none: no byte
// goes out, and a device that takes none (/dev/full) says so at once.
static bool TakesBytes(FILE *f) {
    errno = 0;
#ifdef _WIN32
    return _write(_fileno(f), "", 0) == 0;
#else
    return write(fileno(f), "", 0) == 0;
#endif
}

bool CheckOutputPath(const std::string &path, std::string &error) {
#ifdef S_ISFIFO
    // Opening a pipe waits for its reader, and closing it ends the reading:
    // a pipe is opened only when written.
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) return true;
#endif
    OpenOutputs probe; // its empty PATH.part goes with it
    return OpenOutputFiles({path}, probe, error);
}

#ifndef _WIN32
// The .part files of the open outputs, for a signal that ends the program
// (Ctrl-C during a long script, a closed pipe on standard output) to take
// away: fixed storage, since only unlink may be called from the handler.
static const int MaxParts = 16;
static char PartNames[MaxParts][4096];
static volatile sig_atomic_t PartCount = 0;

static void RemovePartsAndEnd(int signal) {
    for (int i = 0; i < PartCount; i++) unlink(PartNames[i]);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

static void WatchParts(const OpenOutputs &outputs) {
    static bool handled = false;
    if (!handled) {
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
            std::signal(signal, RemovePartsAndEnd);
        handled = true;
    }
    PartCount = 0;
    int count = 0;
    for (const OutputStream &s : outputs.streams)
        if (!s.part.empty() && count < MaxParts && s.part.size() < sizeof PartNames[0])
            std::memcpy(PartNames[count++], s.part.c_str(), s.part.size() + 1);
    PartCount = count;
}

static void ForgetParts() { PartCount = 0; }
#else
static void WatchParts(const OpenOutputs &) {}
static void ForgetParts() {}
#endif

OpenOutputs::~OpenOutputs() {
    ForgetParts(); // removed below
    for (OutputStream &s : streams) {
        if (s.file) std::fclose(s.file);
        if (!s.part.empty()) std::remove(s.part.c_str());
    }
}

bool OpenOutputFiles(const std::vector<std::string> &paths, OpenOutputs &outputs,
                     std::string &error) {
    auto fail = [&](const std::string &path, const std::string &why) {
        for (OutputStream &s : outputs.streams) {
            if (s.file) std::fclose(s.file);
            if (!s.part.empty()) std::remove(s.part.c_str());
        }
        outputs.streams.clear();
        error = "cannot write '" + path + "': " + why;
        return false;
    };
    for (const std::string &path : paths) {
        Target target = Classify(path);
        if (target == Target::Directory) return fail(path, "it is a directory");
        OutputStream s;
        s.path = path;
        if (target != Target::Special) s.part = path + ".part";
        const std::string &name = s.part.empty() ? path : s.part;
        errno = 0;
        s.file = std::fopen(name.c_str(), "wb");
        if (!s.file) {
            // Some C runtimes fail without setting errno (Wine on a Unix fifo).
            if (!s.part.empty()) return fail(path, WhyNoStagedFile(path, errno ? errno : EACCES));
            return fail(path, errno ? std::strerror(errno) : "cannot open it for writing");
        }
        outputs.streams.push_back(s);
        WatchParts(outputs);
        if (s.part.empty() && !TakesBytes(s.file))
            return fail(path, errno ? std::strerror(errno) : "it takes no bytes");
    }
    return true;
}

bool WriteOutput(OutputStream &output, const void *data, size_t size, std::string &error) {
    errno = 0;
    if (std::fwrite(data, 1, size, output.file) == size) return true;
    error =
        "cannot write '" + output.path + "': " + (errno ? std::strerror(errno) : "write failed");
    return false;
}

bool CloseOutput(OutputStream &output, std::string &error) {
    if (!output.file) return true;
    errno = 0;
    bool ok = std::fflush(output.file) == 0 && !std::ferror(output.file);
    int savedErrno = errno;
    ok = std::fclose(output.file) == 0 && ok;
    if (!savedErrno) savedErrno = errno ? errno : EIO;
    output.file = nullptr;
    if (!ok) error = "cannot write '" + output.path + "': " + std::strerror(savedErrno);
    return ok;
}

bool CommitOutputs(OpenOutputs &outputs, std::string &error) {
    for (OutputStream &s : outputs.streams)
        if (!CloseOutput(s, error)) return false;
    for (OutputStream &s : outputs.streams) {
        if (s.part.empty()) continue;
        if (!ReplaceFile(s.part, s.path)) {
            error = "cannot write '" + s.path + "': " + std::strerror(errno);
            return false;
        }
        s.part.clear();
        WatchParts(outputs);
    }
    return true;
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
