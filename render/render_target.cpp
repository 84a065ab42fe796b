#include "render/render_target.h"

#include <cstring>
#include <emmintrin.h>

RenderTarget Target;

void ClearRenderTarget(int32_t pixelCount, uint32_t *colour, float *depth) {
    const __m128i zero = _mm_setzero_si128();
    __m128i *c = (__m128i *)colour;
    __m128i *d = (__m128i *)depth;
    for (int32_t i = 0, blocks = pixelCount / 4; i < blocks; i++) {
        _mm_stream_si128(c + i, zero);
        _mm_stream_si128(d + i, zero);
    }
    _mm_sfence(); // make the streamed zeros visible before the first span reads depth
}

void ClearRenderTargetCached(int32_t pixelCount, uint32_t *colour, float *depth) {
    std::memset(colour, 0, (size_t)pixelCount * sizeof *colour);
    std::memset(depth, 0, (size_t)pixelCount * sizeof *depth);
}
