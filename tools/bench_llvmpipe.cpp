#include "tools/bench_llvmpipe.h"

#include "tools/bench_views.h"

#ifdef SCANVANE_HAVE_OSMESA
#include <GL/osmesa.h>

#include <GL/gl.h>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/model_scene.h"
#include "app/scene.h"
#include "render/frustum.h"
#include "tools/bench_views.h"

const bool LlvmpipeBuiltIn = true;

// In this process: llvmpipe reads LP_NUM_THREADS once, when its first
// context is made, so each thread count needs a process of its own.
static bool TimeLlvmpipeHere(const std::vector<CameraState> &cameras, int warmFrames, int frames,
                             int threads, std::vector<double> &samples, std::string &renderer,
                             std::string &error) {
    // 0 rasterises on the calling thread; llvmpipe, not softpipe.
    setenv("LP_NUM_THREADS", threads <= 1 ? "0" : std::to_string(threads).c_str(), 1);
    setenv("GALLIUM_DRIVER", "llvmpipe", 0);
    const int width = Screen.width, height = Screen.height;
    OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
    if (!context) return error = "OSMesaCreateContextExt failed", false;
    std::vector<unsigned char> pixels((size_t)width * height * 4);
    if (!OSMesaMakeCurrent(context, pixels.data(), GL_UNSIGNED_BYTE, width, height)) {
        OSMesaDestroyContext(context);
        return error = "OSMesaMakeCurrent failed", false;
    }
    renderer = (const char *)glGetString(GL_RENDERER);

    // The scene's vertices and colours as arrays, drawn by one call a frame:
    // the built-in records three vertices each, a model indexed as it is kept.
    const Mesh *model = SceneModel();
    std::vector<float> positions, colours;
    if (model) {
        colours.reserve(model->colours.size());
        for (float c : model->colours) colours.push_back(c / 255.0f);
    } else {
        for (const TriangleRecord &t : SceneTriangles)
            for (const Vertex &v : t.v) {
                positions.insert(positions.end(), {v.x, v.y, v.z});
                colours.insert(colours.end(), {v.r / 255.0f, v.g / 255.0f, v.b / 255.0f});
            }
    }

    glViewport(0, 0, width, height);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glShadeModel(GL_SMOOTH);
    glClearColor(0, 0, 0, 0);
    // A 90-degree horizontal field of view, near 1 and far 500, as the
    // renderer's frustum; then the camera's turn and position.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double aspect = (double)height / width;
    glFrustum(-1.0, 1.0, -aspect, aspect, 1.0, 500.0);
    glMatrixMode(GL_MODELVIEW);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, model ? model->positions.data() : positions.data());
    glColorPointer(3, GL_FLOAT, 0, colours.data());

    using Clock = std::chrono::steady_clock;
    for (int i = 0; i < warmFrames + frames; i++) {
        // Frame i of the measured ones sees camera i (the warm-up the first).
        const CameraState &camera = cameras[i < warmFrames ? 0 : (i - warmFrames) % cameras.size()];
        auto start = Clock::now();
        glLoadIdentity();
        glRotatef(camera.heading, 0.0f, 1.0f, 0.0f);
        glTranslatef(-camera.x, -camera.height, -camera.z);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (model)
            glDrawElements(GL_TRIANGLES, (GLsizei)model->indices.size(), GL_UNSIGNED_INT,
                           model->indices.data());
        else
            glDrawArrays(GL_TRIANGLES, 0, (GLsizei)(positions.size() / 3));
        glFinish();
        auto end = Clock::now();
        if (i >= warmFrames)
            samples.push_back(std::chrono::duration<double, std::nano>(end - start).count());
    }
    GLenum glError = glGetError();
    OSMesaDestroyContext(context);
    if (glError != GL_NO_ERROR) return error = "OpenGL error " + std::to_string(glError), false;
    return true;
}

// What a child process sends back: ok, then the text (renderer or error),
// then the samples.
static bool WriteAll(int fd, const void *data, size_t bytes) {
    const char *p = (const char *)data;
    while (bytes > 0) {
        ssize_t n = write(fd, p, bytes);
        if (n <= 0) return false;
        p += n, bytes -= (size_t)n;
    }
    return true;
}

static bool ReadAll(int fd, void *data, size_t bytes) {
    char *p = (char *)data;
    while (bytes > 0) {
        ssize_t n = read(fd, p, bytes);
        if (n <= 0) return false;
        p += n, bytes -= (size_t)n;
    }
    return true;
}

bool TimeLlvmpipe(const CameraState &camera, int frames, int threads, Timing &timing,
                  std::string &renderer, std::string &error, std::vector<double> *samplesOut) {
    return TimeLlvmpipeCameras({camera}, BenchWarmFrames, frames, threads, timing, renderer, error,
                               samplesOut);
}

bool TimeLlvmpipeCameras(const std::vector<CameraState> &cameras, int warmFrames, int frames,
                         int threads, Timing &timing, std::string &renderer, std::string &error,
                         std::vector<double> *samplesOut) {
    if (cameras.empty()) return error = "no camera to draw from", false;
    int fds[2];
    if (pipe(fds) != 0) return error = "pipe failed", false;
    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0) {
        close(fds[0]), close(fds[1]);
        return error = "fork failed", false;
    }
    if (child == 0) {
        close(fds[0]);
        std::vector<double> samples;
        std::string text;
        uint32_t ok =
            TimeLlvmpipeHere(cameras, warmFrames, frames, threads, samples, renderer, error);
        text = ok ? renderer : error;
        uint32_t length = (uint32_t)text.size(), count = (uint32_t)samples.size();
        bool sent = WriteAll(fds[1], &ok, sizeof ok) && WriteAll(fds[1], &length, sizeof length) &&
                    WriteAll(fds[1], text.data(), length) &&
                    WriteAll(fds[1], &count, sizeof count) &&
                    WriteAll(fds[1], samples.data(), count * sizeof(double));
        _exit(sent ? 0 : 1);
    }
    close(fds[1]);
    uint32_t ok = 0, length = 0, count = 0;
    std::string text;
    std::vector<double> samples;
    bool got = ReadAll(fds[0], &ok, sizeof ok) && ReadAll(fds[0], &length, sizeof length) &&
               length < (1u << 20);
    if (got) text.resize(length), got = ReadAll(fds[0], &text[0], length);
    if (got) got = ReadAll(fds[0], &count, sizeof count) && count <= (uint32_t)frames;
    if (got) samples.resize(count), got = ReadAll(fds[0], samples.data(), count * sizeof(double));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return error = "the llvmpipe process failed", false;
    if (!ok) return error = text, false;
    if (samples.empty()) return error = "llvmpipe drew no frames", false;
    renderer = text;
    if (samplesOut) samplesOut->insert(samplesOut->end(), samples.begin(), samples.end());
    timing = Summarise(samples);
    return true;
}

#else

const bool LlvmpipeBuiltIn = false;

bool TimeLlvmpipeCameras(const std::vector<CameraState> &, int, int, int, Timing &, std::string &,
                         std::string &error, std::vector<double> *) {
    error = "this build has no OSMesa (install libosmesa6-dev and reconfigure)";
    return false;
}

bool TimeLlvmpipe(const CameraState &camera, int frames, int threads, Timing &timing,
                  std::string &renderer, std::string &error, std::vector<double> *samplesOut) {
    return TimeLlvmpipeCameras({camera}, BenchWarmFrames, frames, threads, timing, renderer, error,
                               samplesOut);
}

#endif
