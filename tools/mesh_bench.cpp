// scanvane-meshbench: the cost per triangle of drawing a model, through the
// render library alone. For each binary PLY model given (float x, y, z and
// uchar red, green, blue per vertex; triangles as a uchar count and three
// int indices, as tools make them), times at one size and pose:
//   records   every triangle as its own record through DrawTriangle (w 1,
//             flag word 0), the streaming clear, one thread;
//   mesh      DrawMesh, the streaming clear, one thread;
//   records/N the records collected and drawn in bands on N threads;
//   mesh/N    DrawMeshInBands on N threads;
//   llvmpipe  Mesa's llvmpipe drawing the same indexed triangles from the
//             same pose in one draw call (OSMesa), on 1 and on N threads;
//   llvm-list the same as a flat list of triangles (glDrawArrays, three
//             vertices each, no vertex shared).
// Prints the median and fastest frame of each, ns per triangle, and each
// path's frame CRC (the paths of this renderer must agree). --only mesh
// leaves out everything but the mesh paths, for a reading of the peak
// resident set that drawing a model takes.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <new>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "app/options.h"

#include "render/bands.h"
#include "render/crc32.h"
#include "render/fill_path.h"
#include "render/frame_size.h"
#include "render/frustum.h"
#include "render/matrix.h"
#include "render/mesh.h"
#include "render/mesh_draw.h"
#include "render/pipeline.h"
#include "render/render_target.h"
#include "render/setup.h"

#ifdef SCANVANE_HAVE_OSMESA
#include <GL/gl.h>
#include <GL/osmesa.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {
struct Pose {
    float x = 40, z = -20, height = 20, heading = 0; // in front of the sample bunnies
};

struct Options {
    int32_t width = 1920, height = 1080;
    int threads = 2, frames = 0; // 0: by the model's size
    bool onlyMesh = false, llvmpipe = true;
    Pose pose;
    std::vector<std::string> models;
};

[[noreturn]] void Fail(const std::string &message) {
    std::fprintf(stderr, "scanvane-meshbench: %s\n", message.c_str());
    std::exit(2);
}

// A binary little-endian PLY with exactly the layout above; anything else
// is refused with the reason.
bool ReadPly(const std::string &path, Mesh &mesh, std::string &error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return error = "cannot open " + path, false;
    std::string line, header;
    uint64_t vertices = 0, faces = 0;
    for (int lines = 0; std::getline(in, line) && lines < 100; lines++) {
        header += line + "\n";
        std::sscanf(line.c_str(), "element vertex %llu", (unsigned long long *)&vertices);
        std::sscanf(line.c_str(), "element face %llu", (unsigned long long *)&faces);
        if (line == "end_header") break;
    }
    const char *layout = "property float x\nproperty float y\nproperty float z\n"
                         "property uchar red\nproperty uchar green\nproperty uchar blue\n";
    if (header.rfind("ply\nformat binary_little_endian 1.0\n", 0) != 0 ||
        header.find(layout) == std::string::npos ||
        header.find("property list uchar int vertex_indices") == std::string::npos ||
        line != "end_header")
        return error = path + ": not a binary PLY of float positions and uchar colours", false;
    if (vertices == 0 || vertices > (1u << 28) || faces > (1u << 28))
        return error = path + ": vertex or face count out of range", false;
    mesh.positions.resize(3 * vertices);
    mesh.colours.resize(3 * vertices);
    mesh.indices.resize(3 * faces);
    for (uint64_t i = 0; i < vertices; i++) {
        unsigned char v[15];
        if (!in.read((char *)v, sizeof v)) return error = path + ": vertices cut short", false;
        std::memcpy(&mesh.positions[3 * i], v, 12);
        for (int k = 0; k < 3; k++) mesh.colours[3 * i + k] = (float)v[12 + k];
    }
    for (uint64_t i = 0; i < faces; i++) {
        unsigned char f[13];
        if (!in.read((char *)f, sizeof f)) return error = path + ": faces cut short", false;
        if (f[0] != 3) return error = path + ": a face that is not a triangle", false;
        int32_t index[3];
        std::memcpy(index, f + 1, 12);
        for (int k = 0; k < 3; k++) {
            if (index[k] < 0 || (uint64_t)index[k] >= vertices)
                return error = path + ": an index names no vertex", false;
            mesh.indices[3 * i + k] = (uint32_t)index[k];
        }
    }
    return true;
}

// The frame cycle's view matrix: the translation, then the turn.
void LookFrom(const Pose &p) {
    ResetMatrix(CurrentMatrix);
    CurrentMatrix.m[3] = -p.x, CurrentMatrix.m[7] = -p.height, CurrentMatrix.m[11] = -p.z;
    Matrix4 turn;
    ResetMatrix(turn);
    const float a = p.heading * 0.017453292f;
    const float c = (float)std::cos((double)a), s = (float)std::sin((double)a);
    turn.m[0] = c, turn.m[2] = s, turn.m[8] = -s, turn.m[10] = c;
    PremultiplyCurrentMatrix(turn);
}

void DrawRecords(const Mesh &m) {
    const uint32_t triangles = MeshTriangleCount(m);
    for (uint32_t i = 0; i < triangles; i++) {
        TriangleRecord t;
        for (int k = 0; k < 3; k++) {
            const uint32_t v = m.indices[3 * i + k];
            t.v[k] = {m.positions[3 * v], m.positions[3 * v + 1], m.positions[3 * v + 2], 1.0f,
                      m.colours[3 * v],   m.colours[3 * v + 1],   m.colours[3 * v + 2]};
        }
        t.clipFlags = 0;
        DrawTriangle(t, true);
    }
}

struct Result {
    double median = 0, fastest = 0; // ms
    double cpu = 0; // ms of processor time (every thread's) in the median frame's place
    uint32_t crc = 0;
    bool done = false;
};

// Processor time of the whole process: on a machine shared with other work,
// what a one-thread path itself took, however often it was preempted.
double ProcessorMs() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

template <typename Draw> Result Time(int frames, Draw draw) {
    using Clock = std::chrono::steady_clock;
    std::vector<double> ms, cpu;
    for (int i = 0; i < frames + 2; i++) { // two frames to warm up
        const double cpuStart = ProcessorMs();
        auto start = Clock::now();
        draw();
        auto end = Clock::now();
        if (i < 2) continue;
        ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        cpu.push_back(ProcessorMs() - cpuStart);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    Result r;
    r.median = ms[ms.size() / 2], r.fastest = ms[0], r.cpu = cpu[cpu.size() / 2], r.done = true;
    const size_t pixels = (size_t)Target.width * Target.height;
    r.crc = Crc32(Crc32(0, Target.colour, pixels * 4), Target.depth, pixels * 4);
    return r;
}

#ifdef SCANVANE_HAVE_OSMESA
// llvmpipe in a child process of its own (it reads LP_NUM_THREADS once).
// indexed: one glDrawElements over the shared vertices; otherwise the
// triangles as a flat list (three vertices each) through one glDrawArrays.
Result TimeLlvmpipe(const Mesh &m, const Options &o, int threads, int frames, bool indexed) {
    Result r;
    int fds[2];
    if (pipe(fds) != 0) return r;
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        setenv("LP_NUM_THREADS", threads <= 1 ? "0" : std::to_string(threads).c_str(), 1);
        setenv("GALLIUM_DRIVER", "llvmpipe", 0);
        OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
        std::vector<unsigned char> pixels((size_t)o.width * o.height * 4);
        if (!context ||
            !OSMesaMakeCurrent(context, pixels.data(), GL_UNSIGNED_BYTE, o.width, o.height))
            _exit(1);
        std::vector<unsigned char> colours(m.colours.size());
        for (size_t i = 0; i < colours.size(); i++) colours[i] = (unsigned char)m.colours[i];
        glViewport(0, 0, o.width, o.height);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        glShadeModel(GL_SMOOTH);
        glClearColor(0, 0, 0, 0);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        const double aspect = (double)o.height / o.width;
        glFrustum(-1.0, 1.0, -aspect, aspect, 1.0, 500.0);
        glMatrixMode(GL_MODELVIEW);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        std::vector<float> flatPositions;
        std::vector<unsigned char> flatColours;
        if (!indexed) {
            for (uint32_t i : m.indices) {
                flatPositions.insert(flatPositions.end(), &m.positions[3 * i],
                                     &m.positions[3 * i + 3]);
                flatColours.insert(flatColours.end(), &colours[3 * i], &colours[3 * i + 3]);
            }
        }
        glVertexPointer(3, GL_FLOAT, 0, indexed ? m.positions.data() : flatPositions.data());
        glColorPointer(3, GL_UNSIGNED_BYTE, 0, indexed ? colours.data() : flatColours.data());
        Result got = Time(frames, [&] {
            glLoadIdentity();
            glRotatef(o.pose.heading, 0.0f, 1.0f, 0.0f);
            glTranslatef(-o.pose.x, -o.pose.height, -o.pose.z);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            if (indexed)
                glDrawElements(GL_TRIANGLES, (GLsizei)m.indices.size(), GL_UNSIGNED_INT,
                               m.indices.data());
            else
                glDrawArrays(GL_TRIANGLES, 0, (GLsizei)m.indices.size());
            glFinish();
        });
        const bool ok = glGetError() == GL_NO_ERROR;
        size_t lit = 0;
        for (size_t i = 0; i < pixels.size(); i += 4)
            lit += pixels[i] | pixels[i + 1] | pixels[i + 2];
        got.crc = (uint32_t)(lit != 0);
        OSMesaDestroyContext(context);
        _exit(ok && write(fds[1], &got, sizeof got) == (ssize_t)sizeof got ? 0 : 1);
    }
    close(fds[1]);
    if (child > 0) {
        if (read(fds[0], &r, sizeof r) != (ssize_t)sizeof r) r = Result();
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) r = Result();
    }
    close(fds[0]);
    return r;
}
#endif

void Print(const char *name, const Result &r, uint32_t triangles, bool crc = true) {
    if (!r.done) return (void)std::printf("  %-12s not measured\n", name);
    std::printf("  %-12s %9.2f ms  (fastest %8.2f, processor %8.2f)  %7.1f ns/triangle", name,
                r.median, r.fastest, r.cpu, r.median * 1e6 / triangles);
    if (crc) std::printf("  frame %08x", (unsigned)r.crc);
    std::printf("\n");
}

long PeakResidentKiB() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

Options Read(int argc, char **argv) {
    Options o;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        auto value = [&]() -> const char * {
            if (i + 1 >= argc) Fail(a + " needs a value");
            return argv[++i];
        };
        if (a == "--size") {
            if (std::sscanf(value(), "%dx%d", &o.width, &o.height) != 2 ||
                o.width < MinFrameWidth || o.width > MaxFrameWidth || o.height < MinFrameHeight ||
                o.height > MaxFrameHeight)
                Fail("--size takes WIDTHxHEIGHT within 16x16..7680x4320");
        } else if (a == "--threads") {
            std::string error;
            if (!ReadThreadsValue(value(), o.threads, error)) Fail("--threads " + error);
            if (o.threads == 0) o.threads = ProcessorThreads();
        } else if (a == "--frames") {
            o.frames = std::atoi(value());
            if (o.frames < 1 || o.frames > 10000) Fail("--frames takes 1 to 10000");
        } else if (a == "--camera") {
            Pose &p = o.pose;
            if (std::sscanf(value(), "%f,%f,%f,%f", &p.x, &p.z, &p.height, &p.heading) != 4)
                Fail("--camera takes X,Z,HEIGHT,HEADING");
        } else if (a == "--only") {
            if (std::string(value()) != "mesh") Fail("--only takes mesh");
            o.onlyMesh = true;
        } else if (a == "--no-llvmpipe") {
            o.llvmpipe = false;
        } else if (a == "--help" || a == "-h") {
            std::printf("usage: scanvane-meshbench [--size WxH] [--threads N] [--frames N]\n"
                        "         [--camera X,Z,HEIGHT,HEADING] [--only mesh] [--no-llvmpipe] "
                        "MODEL.ply...\n");
            std::exit(0);
        } else if (!a.empty() && a[0] == '-') {
            Fail("unknown option " + a + " (see --help)");
        } else {
            o.models.push_back(a);
        }
    }
    if (o.models.empty()) Fail("no model given (see --help)");
    return o;
}
} // namespace

int main(int argc, char **argv) {
    const Options o = Read(argc, argv);
    if (const char *error = ChooseFillPath(std::getenv(FillPathVariable))) Fail(error);
    const int32_t pixels = FrameBufferPixels(o.width, o.height);
    uint32_t *colour = new (std::align_val_t(16)) uint32_t[pixels]();
    float *depth = new (std::align_val_t(16)) float[pixels]();
    SetUpRenderer(o.width, o.height, colour, depth);
    std::printf("%dx%d, %d threads, fill %s, camera %g,%g,%g,%g\n", o.width, o.height, o.threads,
                FillPathName(ActiveFillPath()), o.pose.x, o.pose.z, o.pose.height, o.pose.heading);
    for (const std::string &path : o.models) {
        Mesh mesh;
        std::string error;
        if (!ReadPly(path, mesh, error)) Fail(error);
        const uint32_t triangles = MeshTriangleCount(mesh);
        const int frames = o.frames              ? o.frames
                           : triangles > 2000000 ? 5
                           : triangles > 500000  ? 9
                                                 : 21;
        std::printf("%s: %u vertices, %u triangles, %d frames\n", path.c_str(),
                    MeshVertexCount(mesh), triangles, frames);
        if (!PrepareMeshDrawing(mesh)) Fail(path + ": cannot prepare the mesh");
        LookFrom(o.pose);
        std::string name = "mesh/" + std::to_string(o.threads);
        std::string threadError;
        if (o.onlyMesh) {
            Print("mesh",
                  Time(frames,
                       [&] {
                           ClearRenderTarget(pixels, colour, depth);
                           DrawMesh(mesh);
                       }),
                  triangles);
            if (!StartBandThreads(o.threads, threadError)) Fail(threadError);
            Print(name.c_str(), Time(frames, [&] { DrawMeshInBands(mesh); }), triangles);
            StopBandThreads();
            std::printf("  peak resident set %.1f MB (%.0f bytes per triangle)\n",
                        PeakResidentKiB() / 1024.0, PeakResidentKiB() * 1024.0 / triangles);
            continue;
        }
        StartBandThreads(1, threadError);
        Print("records",
              Time(frames,
                   [&] {
                       ClearRenderTarget(pixels, colour, depth);
                       DrawRecords(mesh);
                   }),
              triangles);
        Print("mesh",
              Time(frames,
                   [&] {
                       ClearRenderTarget(pixels, colour, depth);
                       DrawMesh(mesh);
                   }),
              triangles);
        if (!StartBandThreads(o.threads, threadError)) Fail(threadError);
        {
            // Room for the pose's projected triangles (few are cut).
            std::vector<TriangleRecord> room((size_t)triangles + 65536);
            Print(("records/" + std::to_string(o.threads)).c_str(),
                  Time(frames,
                       [&] {
                           BeginCollectingTriangles(room.data(), (int)room.size());
                           DrawRecords(mesh);
                           EndCollectingTriangles();
                           DrawCollectedInBands();
                       }),
                  triangles);
        }
        Print(name.c_str(), Time(frames, [&] { DrawMeshInBands(mesh); }), triangles);
        StopBandThreads();
#ifdef SCANVANE_HAVE_OSMESA
        if (o.llvmpipe) {
            const std::string n = "/" + std::to_string(o.threads);
            Print("llvmpipe", TimeLlvmpipe(mesh, o, 1, frames, true), triangles, false);
            Print(("llvmpipe" + n).c_str(), TimeLlvmpipe(mesh, o, o.threads, frames, true),
                  triangles, false);
            Print("llvm-list", TimeLlvmpipe(mesh, o, 1, frames, false), triangles, false);
            Print(("llvm-list" + n).c_str(), TimeLlvmpipe(mesh, o, o.threads, frames, false),
                  triangles, false);
        }
#endif
    }
    return 0;
}
