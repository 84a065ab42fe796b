// A colour buffer as an 8-bit RGB PNG, written to a file a band of rows at a
// time: the frame is never copied whole, and each row is read once.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

struct PngDeflate; // the compressor's state, behind the build's deflate

struct PngWriter {
    FILE *file = nullptr;
    int width = 0, height = 0, rowsWritten = 0;
    PngDeflate *deflate = nullptr;
    std::string error; // set once something failed; nothing more is written
};

// Writes the signature and header of a width x height image to file.
bool BeginPng(PngWriter &png, FILE *file, int width, int height);
// Adds the next rows of 0x00RRGGBB pixels, width apart.
bool AddPngRows(PngWriter &png, const uint32_t *colour, int rows);
// Ends the image once every row is in; also frees the state after a failure.
bool EndPng(PngWriter &png);
