#include "tools/bench_floors.h"

#include <chrono>
#include <cstring>
#include <emmintrin.h>

#include "app/frame_cycle.h"
#include "platform/headless/headless.h"
#include "render/frustum.h"
#include "render/render_target.h"
#include "tools/bench_views.h"

// The best a 16-byte streaming write can do: one buffer after the other,
// four stores per step, no interleaving.
static void StreamBuffer(void *buffer, size_t bytes) {
    const __m128i zero = _mm_setzero_si128();
    __m128i *p = (__m128i *)buffer;
    for (size_t i = 0, n = bytes / 16; i < n; i += 4) {
        _mm_stream_si128(p + i, zero);
        _mm_stream_si128(p + i + 1, zero);
        _mm_stream_si128(p + i + 2, zero);
        _mm_stream_si128(p + i + 3, zero);
    }
}

template <typename Write> static Timing TimeRounds(int rounds, Write write) {
    using Clock = std::chrono::steady_clock;
    std::vector<double> samples;
    for (int i = 0; i < BenchWarmFrames + rounds; i++) {
        auto start = Clock::now();
        write();
        auto end = Clock::now();
        if (i >= BenchWarmFrames)
            samples.push_back(std::chrono::duration<double, std::nano>(end - start).count());
    }
    return Summarise(samples);
}

static size_t BufferBytes() { return (size_t)Screen.width * Screen.height * 4; }

Timing TimeStreamFloor(int rounds) {
    return TimeRounds(rounds, [] {
        StreamBuffer(Headless.colour, BufferBytes());
        StreamBuffer(DepthBuffer, BufferBytes());
        _mm_sfence();
    });
}

Timing TimeMemsetFloor(int rounds) {
    return TimeRounds(rounds, [] {
        std::memset(Headless.colour, 0, BufferBytes());
        std::memset(DepthBuffer, 0, BufferBytes());
        // Keep the compiler from treating the stores as dead.
        __asm__ __volatile__("" ::"r"(Headless.colour), "r"(DepthBuffer) : "memory");
    });
}

Timing TimeClearRenderTarget(int rounds) {
    return TimeRounds(rounds, [] {
        ClearRenderTarget(Screen.width * Screen.height, Headless.colour, DepthBuffer);
    });
}
