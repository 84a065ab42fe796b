#include "app/frame_step.h"

#include "app/frame_bands.h"
#include "app/frame_cycle.h"
#include "render/bands.h"

DrawingChoice DrawingForThreadOption(int threads) {
    if (threads == 0) return DrawOnEveryHardwareThread;
    if (threads == 1) return DrawAsShipped;
    return DrawInBands(threads);
}

int DrawingThreads(const DrawingChoice &choice) {
    switch (choice.way) {
    case DrawingWay::AsShipped:
        return 1;
    case DrawingWay::Bands:
        return choice.threads;
    case DrawingWay::EveryHardwareThread:
        return ProcessorThreads();
    }
    return 1;
}

FrameStep StartDrawing(const DrawingChoice &choice, std::string &error) {
    StopBandThreads();
    const int threads = DrawingThreads(choice);
    if (choice.way == DrawingWay::AsShipped ||
        (choice.way == DrawingWay::EveryHardwareThread && threads == 1))
        return RenderFrame;
    if (!StartBandThreads(threads, error)) return nullptr;
    return RenderFrameInBands;
}

void StopDrawing() { StopBandThreads(); }
