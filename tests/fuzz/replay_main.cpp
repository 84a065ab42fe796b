// Runs the fuzz target without libFuzzer, so the ordinary and sanitizer
// builds check the committed corpus (and any crash file) on every test run:
//   core_fuzz_replay [--random N SEED] FILE|DIR ...
// --random adds N generated inputs whose floats are drawn mostly from the
// troublesome values (NaN, infinities, denormals, huge, on-plane, zero).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace fs = std::filesystem;

static size_t RunFile(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "core_fuzz_replay: cannot read %s\n", path.c_str());
        std::exit(2);
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 1;
}

static float PickFloat(std::mt19937 &rng) {
    static const float special[] = {
        0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 1e-16f, -1e-16f, 512.0f, 384.0f, 256.0f, -500.0f,
        -499.99f, -1.0000001f, 8388608.0f, 2147483648.0f, -2147483904.0f, 1e30f, -1e30f,
        std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
        std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
        std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::denorm_min(),
        std::numeric_limits<float>::min()};
    switch (rng() % 4) {
    case 0: return special[rng() % (sizeof special / sizeof special[0])];
    case 1: { // any bit pattern
        uint32_t bits = (uint32_t)rng();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    default: return std::uniform_real_distribution<float>(-600.0f, 600.0f)(rng);
    }
}

static void RunRandom(unsigned long count, unsigned long seed) {
    std::mt19937 rng((std::mt19937::result_type)seed);
    for (unsigned long n = 0; n < count; n++) {
        std::vector<uint8_t> bytes;
        auto put = [&](const void *p, size_t k) {
            const uint8_t *c = (const uint8_t *)p;
            bytes.insert(bytes.end(), c, c + k);
        };
        uint8_t mode = (uint8_t)(rng() & 7);
        put(&mode, 1);
        if (mode & 4) // a small frame of any size
            for (int i = 0; i < 2; i++) {
                uint8_t side = (uint8_t)rng();
                put(&side, 1);
            }
        if (mode & 2)
            for (int i = 0; i < 16; i++) {
                float f = rng() % 3 ? (float)(int)(rng() % 3) - 1.0f : PickFloat(rng);
                put(&f, 4);
            }
        int records = 1 + (int)(rng() % 4);
        for (int r = 0; r < records; r++) {
            for (int i = 0; i < 21; i++) {
                float f = PickFloat(rng);
                put(&f, 4);
            }
            // Mostly low plane bits, sometimes any word.
            uint32_t flags = rng() % 2 ? (uint32_t)(rng() & 0x3F) : (uint32_t)rng();
            put(&flags, 4);
        }
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
}

int main(int argc, char **argv) {
    size_t files = 0;
    unsigned long randomCount = 0;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--random") == 0 && i + 2 < argc) {
            randomCount = std::strtoul(argv[i + 1], nullptr, 10);
            RunRandom(randomCount, std::strtoul(argv[i + 2], nullptr, 10));
            i += 2;
            continue;
        }
        fs::path p(argv[i]);
        if (fs::is_directory(p)) {
            for (const auto &entry : fs::directory_iterator(p))
                if (entry.is_regular_file()) files += RunFile(entry.path());
        } else {
            files += RunFile(p);
        }
    }
    if (files == 0 && randomCount == 0) {
        std::fprintf(stderr, "core_fuzz_replay: no inputs given\n");
        return 2;
    }
    std::printf("core_fuzz_replay: %zu files and %lu generated inputs, no fault\n", files, randomCount);
    return 0;
}
