// How a program draws its frames, chosen once at start-up: the one place
// that turns a thread choice into the function called for each frame.
//
//   DrawingChoice drawing = DrawingForThreadOption(threads); // --threads N
//   InitGraphics(window);                                   // size first
//   FrameStep step = StartDrawing(drawing, error);          // null: refused
//   ... step() once per frame, where RenderFrame would be called ...
//
// Every way draws the same frames bit for bit; they differ in speed only.
#pragma once
#include <string>

// The ways of drawing, each named, so that no thread count stands for a way.
enum class DrawingWay {
    // RenderFrame as the program has always drawn: one thread, the target
    // cleared with the streaming clear.
    AsShipped,
    // The frame's rows in bands (app/frame_bands.h) on exactly `threads`
    // threads, the caller's included; one thread draws band by band too.
    Bands,
    // Bands on every hardware thread of this machine; where it has only one,
    // the frame as shipped.
    EveryHardwareThread,
};

struct DrawingChoice {
    DrawingWay way;
    int threads; // Bands only: 1 to MaxBandThreads (render/bands.h)
};

constexpr DrawingChoice DrawAsShipped = {DrawingWay::AsShipped, 1};
constexpr DrawingChoice DrawOnEveryHardwareThread = {DrawingWay::EveryHardwareThread, 0};
constexpr DrawingChoice DrawInBands(int threads) { return {DrawingWay::Bands, threads}; }

// The reading of a thread count on the command lines and the page: 1 (the
// default) as shipped, 0 every hardware thread, N > 1 bands on N threads.
DrawingChoice DrawingForThreadOption(int threads);

// The threads a choice draws on here: 1 as shipped, the count for bands,
// ProcessorThreads() for every hardware thread.
int DrawingThreads(const DrawingChoice &choice);

// A whole frame, drawn and shown: RenderFrame or RenderFrameInBands.
using FrameStep = void (*)();

// Starts drawing as chosen and returns the frame step. Call it after
// InitGraphics, and again after RestartGraphicsAtSize (the bands are cut for
// the frame's size) or to change the way between frames (the bench's
// modes): the band threads of the earlier choice are stopped first, and the
// way as shipped runs none. Null, with the reason in error and no threads
// left running, when the threads cannot start or the count is out of range.
FrameStep StartDrawing(const DrawingChoice &choice, std::string &error);

// Stops the band threads (also done at exit). Only the way as shipped may
// draw afterwards, until StartDrawing is called again.
void StopDrawing();
