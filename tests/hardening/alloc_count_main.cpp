// No heap allocation per frame: counts every operator new (and, outside the
// sanitizer build, every malloc, calloc and realloc) made while 1,000 frames
// with keys held and varying frame times run through the frame cycle and the
// in-memory presentation, after start-up. Exit status 0 only when the count
// is 0 and the counting itself is shown to work.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "app/camera.h"
#include "app/frame_cycle.h"
#include "app/frame_step.h"
#include "app/platform.h"
#include "app/size_choice.h"
#include "platform/headless/headless.h"

namespace {
bool Counting;
unsigned long NewCalls, MallocCalls;
} // namespace

// --- operator new/delete, every form, through malloc/aligned_alloc. These
// replace the library's own, so free() on their pointers is the matching
// release, which GCC cannot see.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
static void *CountedNew(std::size_t size, std::size_t align) {
    if (Counting) NewCalls++;
    if (size == 0) size = 1;
    void *p = align > alignof(std::max_align_t)
                  ? std::aligned_alloc(align, (size + align - 1) / align * align)
                  : std::malloc(size);
    return p;
}
void *operator new(std::size_t n) {
    if (void *p = CountedNew(n, 0)) return p;
    throw std::bad_alloc();
}
void *operator new[](std::size_t n) { return operator new(n); }
void *operator new(std::size_t n, std::align_val_t a) {
    if (void *p = CountedNew(n, (std::size_t)a)) return p;
    throw std::bad_alloc();
}
void *operator new[](std::size_t n, std::align_val_t a) { return operator new(n, a); }
void *operator new(std::size_t n, const std::nothrow_t &) noexcept { return CountedNew(n, 0); }
void *operator new[](std::size_t n, const std::nothrow_t &) noexcept { return CountedNew(n, 0); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }
void operator delete(void *p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void *p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void *p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t, std::align_val_t) noexcept { std::free(p); }

// --- malloc and friends, by glibc's own entry points. The sanitizers
// install their own malloc, so this layer is left out under them.
#if defined(__SANITIZE_ADDRESS__)
#define COUNT_MALLOC 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define COUNT_MALLOC 0
#endif
#endif
#ifndef COUNT_MALLOC
#define COUNT_MALLOC 1
#endif

#if COUNT_MALLOC
extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
void *malloc(size_t n) {
    if (Counting) MallocCalls++;
    return __libc_malloc(n);
}
void *calloc(size_t n, size_t k) {
    if (Counting) MallocCalls++;
    return __libc_calloc(n, k);
}
void *realloc(void *p, size_t n) {
    if (Counting) MallocCalls++;
    return __libc_realloc(p, n);
}
}
#endif

int main(int argc, char **argv) {
    // alloc_count [--threads T] [--size WxH]: the tools' all-cores mode, its
    // threads started before counting begins; a frame of another size.
    int threads = 1;
    FrameSize size = {DefaultFrameWidth, DefaultFrameHeight};
    std::string error;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--threads") == 0) {
            threads = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--size") != 0 ||
                   !ParseFrameSize(argv[i + 1], size, error)) {
            std::fprintf(stderr, "alloc_count: bad arguments %s %s %s\n", argv[i], argv[i + 1],
                         error.c_str());
            return 2;
        }
    }
    InstallHeadlessCounter();
    InitGraphics(nullptr, size);
    const FrameStep step = StartDrawing(DrawingForThreadOption(threads), error);
    if (step == nullptr) {
        std::fprintf(stderr, "alloc_count: %s\n", error.c_str());
        return 2;
    }

    // Held keys change every few frames; frame times run from none to a
    // whole second, so every branch of the camera advance is taken.
    static const uint32_t keys[] = {KeyLeft, KeyUp, KeyRight, KeyDown, KeyA, KeyZ};
    uint32_t state = 12345;
    Counting = true;
    for (int frame = 0; frame < 1000; frame++) {
        state = state * 1103515245u + 12345u;
        uint32_t key = keys[(state >> 16) % 6];
        if (state & 0x100)
            OnKeyDown(key);
        else
            OnKeyUp(key);
        if (frame % 97 == 0) Camera = StartCamera;
        FeedFrameTime(frame % 50 == 0 ? 1000000 : (state >> 8) % 40000);
        step();
    }
    Counting = false;
    const unsigned long newCalls = NewCalls, mallocCalls = MallocCalls;

    // Prove the counters are live, so a 0 above means something.
    Counting = true;
    delete new int(1);
    void *m = std::malloc(8);
    std::free(m);
    Counting = false;
    const bool newLive = NewCalls == newCalls + 1;
    const bool mallocLive = !COUNT_MALLOC || MallocCalls > mallocCalls;

    std::printf("alloc_count: 1000 frames: %lu operator new, %lu malloc/calloc/realloc%s\n",
                newCalls, mallocCalls,
                COUNT_MALLOC ? "" : " (malloc not counted under the sanitizers)");
    if (!newLive || !mallocLive) {
        std::fprintf(stderr, "alloc_count: the allocation counters are not being called\n");
        return 1;
    }
    return newCalls == 0 && mallocCalls == 0 ? 0 : 1;
}
