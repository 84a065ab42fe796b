#include "tools/bench_llvmpipe.h"

#ifdef SCANVANE_HAVE_OSMESA
#include <GL/osmesa.h>

#include <GL/gl.h>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "app/scene.h"
#include "render/frame_size.h"
#include "tools/bench_views.h"

bool TimeLlvmpipe(const CameraState &camera, int frames, Timing &timing, std::string &renderer,
                  std::string &error) {
    // One thread, as the renderer it is compared with; llvmpipe, not softpipe.
    setenv("LP_NUM_THREADS", "0", 1);
    setenv("GALLIUM_DRIVER", "llvmpipe", 0);
    const int width = FrameWidth, height = FrameHeight;
    OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
    if (!context) return error = "OSMesaCreateContextExt failed", false;
    std::vector<unsigned char> pixels((size_t)width * height * 4);
    if (!OSMesaMakeCurrent(context, pixels.data(), GL_UNSIGNED_BYTE, width, height)) {
        OSMesaDestroyContext(context);
        return error = "OSMesaMakeCurrent failed", false;
    }
    renderer = (const char *)glGetString(GL_RENDERER);

    // The scene's vertices and colours as arrays, drawn by one call a frame.
    std::vector<float> positions, colours;
    for (const TriangleRecord &t : SceneTriangles)
        for (const Vertex &v : t.v) {
            positions.insert(positions.end(), {v.x, v.y, v.z});
            colours.insert(colours.end(), {v.r / 255.0f, v.g / 255.0f, v.b / 255.0f});
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
    glFrustum(-1.0, 1.0, -0.75, 0.75, 1.0, 500.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(camera.heading, 0.0f, 1.0f, 0.0f);
    glTranslatef(-camera.x, -camera.height, -camera.z);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, positions.data());
    glColorPointer(3, GL_FLOAT, 0, colours.data());

    using Clock = std::chrono::steady_clock;
    std::vector<double> samples;
    for (int i = 0; i < BenchWarmFrames + frames; i++) {
        auto start = Clock::now();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDrawArrays(GL_TRIANGLES, 0, (GLsizei)(positions.size() / 3));
        glFinish();
        auto end = Clock::now();
        if (i >= BenchWarmFrames)
            samples.push_back(std::chrono::duration<double, std::nano>(end - start).count());
    }
    GLenum glError = glGetError();
    OSMesaDestroyContext(context);
    if (glError != GL_NO_ERROR) return error = "OpenGL error " + std::to_string(glError), false;
    timing = Summarise(samples);
    return true;
}

#else

bool TimeLlvmpipe(const CameraState &, int, Timing &, std::string &, std::string &error) {
    error = "this build has no OSMesa (install libosmesa6-dev and reconfigure)";
    return false;
}

#endif
