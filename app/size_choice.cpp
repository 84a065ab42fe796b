#include "app/size_choice.h"

// Digits only: no sign, blank, exponent or hex. Long runs of digits stop at
// a value past every limit, so nothing overflows.
static bool ReadDimension(const char *&p, const char *stop, int64_t &value) {
    const char *start = p;
    value = 0;
    for (; p < stop && *p >= '0' && *p <= '9'; p++)
        if (value <= MaxFrameWidth) value = value * 10 + (*p - '0');
    return p > start;
}

bool ParseFrameSize(const std::string &text, FrameSize &size, std::string &error) {
    const char *p = text.data(), *stop = p + text.size(); // embedded NULs count as text
    int64_t width = 0, height = 0;
    bool wellFormed = ReadDimension(p, stop, width) && p < stop && (*p == 'x' || *p == 'X') &&
                      ReadDimension(++p, stop, height) && p == stop;
    if (!wellFormed) {
        error = "is not a size: want WIDTHxHEIGHT, two whole numbers such as 1920x1080";
        return false;
    }
    auto range = [](const char *what, int32_t low, int32_t high) {
        return std::string(what) + " from " + std::to_string(low) + " to " + std::to_string(high);
    };
    if (width < MinFrameWidth || width > MaxFrameWidth || height < MinFrameHeight ||
        height > MaxFrameHeight) {
        error = "is outside the sizes drawn: " + range("width", MinFrameWidth, MaxFrameWidth) +
                ", " + range("height", MinFrameHeight, MaxFrameHeight);
        return false;
    }
    size = {(int32_t)width, (int32_t)height};
    return true;
}
