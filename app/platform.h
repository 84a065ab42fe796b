// Everything the frame cycle needs from a platform. A port implements these
// functions and nothing else; platform/headless is the smallest example, the
// window shell (platform/shell) and the browser page (platform/web) are the
// real ones. Window handles are opaque here.
#pragma once
#include <cstdint>

#include "render/frame_size.h"

// --- presentation ---------------------------------------------------------

// Gets whatever the platform draws through and creates the presentation
// objects for frames of the given size. Returns only on success; on failure
// it reports and ends the process.
void CreatePresentation(void *window, FrameSize size);

// Between frames, when the frame's size changes (RestartGraphicsAtSize):
// the presentation objects again, for the new size. Fails as
// CreatePresentation does.
void ResizePresentation(FrameSize size);

// Begins the frame on the display side and returns a writable colour buffer
// of the presentation's size (the latest given to CreatePresentation or
// ResizePresentation), rows width pixels apart with no gap, FrameBufferPixels
// of them (render/frame_size.h), 16-byte aligned. Never returns without one.
uint32_t *BeginFrame();

// Ends the use of the colour buffer and shows it over the whole client area.
void EndFrame();

// Draws count single-byte characters, red on an opaque background, with the
// text's top-left corner at client pixel (x, y), over the shown image.
void DrawOverlayText(int x, int y, const char *text, int count);

// After each frame the frame cycle draws two texts on the top row: the label
// at x OverlayLabelX, then the clock count at x OverlayNumberX. A platform
// that keeps them apart (the headless one records both) tells them by x.
constexpr int OverlayTextY = 0;
constexpr int OverlayLabelX = 0;
constexpr int OverlayNumberX = 90;
constexpr char OverlayLabel[] = "Clock Count: ";
constexpr int OverlayLabelLength = sizeof OverlayLabel - 1; // 13, no terminator

// Destroys the main window at once (the Escape key).
void DestroyMainWindow();

// --- counter --------------------------------------------------------------

// Ticks per second of CounterReading; only the low 32 bits are used.
int64_t CounterFrequency();
// A reading that grows with time (wrapping modulo 2^32 is allowed).
int64_t CounterReading();

// The frame cycle reads the counter this many times a frame, always in this
// order: the frame start (the difference between two frames' starts is the
// frame time), then the start and the end of the timed drawing (the clock
// count). A counter fed with frame times relies on it: app/fed_counter.h.
constexpr int CounterReadingsPerFrame = 3;

// --- keys -----------------------------------------------------------------

// The codes OnKeyDown and OnKeyUp understand: the Windows virtual-key values,
// so the window shell passes its messages' codes on unchanged and other
// platforms translate theirs to these.
enum : uint32_t {
    KeyEscape = 27,
    KeyLeft = 37,
    KeyUp = 38,
    KeyRight = 39,
    KeyDown = 40,
    KeyA = 65,
    KeyZ = 90,
};
