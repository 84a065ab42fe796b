// The benchmark's JSON writer: every string escaped, commas where JSON wants
// them, no number JSON cannot carry.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "tools/bench_json.h"

namespace {

TEST(BenchJsonQuote, EscapesWhatJsonCannotCarryRaw) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", "\"llvmpipe (LLVM 15.0.6, 256 bits)\""},
        {"a \"quoted\" name", "\"a \\\"quoted\\\" name\""},
        {"C:\\path\\", "\"C:\\\\path\\\\\""},
        {"two\nlines\r\tend", "\"two\\nlines\\r\\tend\""},
        {std::string("nul\0x", 5), "\"nul\\u0000x\""},
        {"\x01\x1f\x7f", "\"\\u0001\\u001f\\u007f\""},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
         "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},
        {"bad \xff byte", "\"bad \\ufffd byte\""},
        {"overlong \xc0\xaf", "\"overlong \\ufffd\\ufffd\""},
        {"surrogate \xed\xa0\x80", "\"surrogate \\ufffd\\ufffd\\ufffd\""},
        {"cut \xe2\x82", "\"cut \\ufffd\\ufffd\""},
        {"", "\"\""},
    };
    for (const auto &c : cases) EXPECT_EQ(JsonQuote(c.in), c.out) << c.in;
}

// Any bytes at all: the quoted form has no raw control character, and every
// quote inside it is escaped.
TEST(BenchJsonQuote, RandomBytesComeOutAsOneStringLiteral) {
    std::mt19937 random(25);
    for (int trial = 0; trial < 2000; trial++) {
        std::string in(random() % 24, ' ');
        for (char &c : in) c = (char)(random() & 0xff);
        const std::string out = JsonQuote(in);
        ASSERT_GE(out.size(), 2u);
        EXPECT_EQ(out.front(), '"');
        EXPECT_EQ(out.back(), '"');
        bool escaped = false;
        for (size_t i = 1; i + 1 < out.size(); i++) {
            const unsigned char c = (unsigned char)out[i];
            EXPECT_GE(c, 0x20) << trial;
            EXPECT_NE(c, 0x7f) << trial;
            if (!escaped) {
                EXPECT_NE(c, '"') << trial;
            }
            escaped = !escaped && c == '\\';
        }
        EXPECT_FALSE(escaped) << "ends inside an escape";
    }
}

TEST(BenchJsonWriter, NestsWithCommasAndEscapedKeys) {
    Json j;
    JsonBeginObject(j);
    JsonKey(j, "views"), JsonBeginArray(j);
    JsonInteger(j, -3), JsonString(j, "x\"y"), JsonNull(j);
    JsonBeginObject(j), JsonEnd(j);
    JsonBeginArray(j), JsonEnd(j);
    JsonEnd(j);
    JsonKey(j, "odd\nkey"), JsonBool(j, true);
    JsonKey(j, "n"), JsonNumber(j, 1.25, 1);
    JsonKey(j, "m"), JsonNumber(j, 2.5, 0);
    JsonKey(j, "inner"), JsonBeginObject(j);
    JsonKey(j, "a"), JsonBool(j, false);
    JsonEnd(j);
    JsonEnd(j);
    EXPECT_EQ(j.text, "{\"views\":[-3,\"x\\\"y\",null,{},[]],\"odd\\nkey\":true,\"n\":1.2,"
                      "\"m\":2,\"inner\":{\"a\":false}}");
    EXPECT_TRUE(j.closers.empty());
}

TEST(BenchJsonWriter, NumbersJsonCannotCarryBecomeNull) {
    Json j;
    JsonBeginArray(j);
    JsonNumber(j, std::nan(""), 3);
    JsonNumber(j, std::numeric_limits<double>::infinity(), 0);
    JsonNumber(j, -std::numeric_limits<double>::infinity(), 1);
    JsonNumber(j, 1.0 / 3.0, 3);
    JsonEnd(j);
    EXPECT_EQ(j.text, "[null,null,null,0.333]");
}

} // namespace
