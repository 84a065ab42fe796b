// Everything the frame cycle needs from a platform. A port implements these
// functions and nothing else; platform/headless is the smallest example, the
// window shell (platform/shell) and the browser page (platform/web) are the
// real ones. Window handles are opaque here.
#pragma once
#include <cstdint>

// --- presentation ---------------------------------------------------------

// Gets whatever the platform draws through and creates the presentation
// objects. Returns only on success; on failure it reports and ends the process.
void CreatePresentation(void *window);

// Begins the frame on the display side and returns a writable colour buffer
// of the screen constants' width x height pixels (render/frustum.h: set
// before CreatePresentation, never changed), rows width pixels apart with no
// gap, FrameBufferPixels of them (render/frame_size.h), 16-byte aligned.
// Never returns without one.
uint32_t *BeginFrame();

// Ends the use of the colour buffer and shows it over the whole client area.
void EndFrame();

// Draws count single-byte characters, red on an opaque background, with the
// text's top-left corner at client pixel (x, y), over the shown image.
void DrawOverlayText(int x, int y, const char *text, int count);

// Destroys the main window at once (the Escape key).
void DestroyMainWindow();

// --- counter --------------------------------------------------------------

// Ticks per second of CounterReading; only the low 32 bits are used.
int64_t CounterFrequency();
// A reading that grows with time (wrapping modulo 2^32 is allowed).
int64_t CounterReading();

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
