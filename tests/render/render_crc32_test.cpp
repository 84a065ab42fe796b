// The frame hash against zlib's crc32, an independent implementation: every
// alignment and tail length the eight-byte steps can meet, and a hash taken
// in pieces equal to one taken at once.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "render/crc32.h"

static std::vector<uint8_t> RandomBytes(size_t count) {
    std::mt19937 random(12345);
    std::vector<uint8_t> bytes(count);
    for (uint8_t &b : bytes) b = (uint8_t)random();
    return bytes;
}

TEST(Crc32, CheckValueOfTheStandard) {
    EXPECT_EQ(Crc32(0, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32(0, "", 0), 0u);
}

TEST(Crc32, EqualsZlibAtEveryAlignmentAndLength) {
    const std::vector<uint8_t> bytes = RandomBytes(4096);
    for (size_t offset = 0; offset < 8; offset++)
        for (size_t length = 0; length <= 80; length++)
            ASSERT_EQ(Crc32(0, bytes.data() + offset, length),
                      crc32(0, bytes.data() + offset, (uInt)length))
                << "offset " << offset << ", length " << length;
    EXPECT_EQ(Crc32(0, bytes.data(), bytes.size()), crc32(0, bytes.data(), (uInt)bytes.size()));
}

TEST(Crc32, InPiecesEqualsAtOnce) {
    const std::vector<uint8_t> bytes = RandomBytes(1 << 20);
    const uint32_t whole = Crc32(0, bytes.data(), bytes.size());
    EXPECT_EQ(whole, crc32(0, bytes.data(), (uInt)bytes.size()));
    for (size_t piece : {1u, 3u, 7u, 8u, 13u, 4096u, 65537u}) {
        uint32_t crc = 0;
        for (size_t at = 0; at < bytes.size(); at += piece)
            crc = Crc32(crc, bytes.data() + at, std::min(piece, bytes.size() - at));
        EXPECT_EQ(crc, whole) << "pieces of " << piece;
    }
}
