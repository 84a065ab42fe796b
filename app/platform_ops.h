// What the frame cycle needs from the platform, declared here and implemented
// by the window shell (or by a headless tool). Window handles are opaque.
#pragma once
#include <cstdint>

// Gets the window's device context and creates the presentation objects.
// Returns only on success; on failure it reports and ends the process.
void CreatePresentation(void *window);

// Begins the frame on the display side and returns a writable 512 x 384
// colour buffer, rows 2,048 bytes apart, 16-byte aligned. Never returns
// without one.
uint32_t *BeginFrame();

// Ends the use of the colour buffer and shows it over the whole client area.
void EndFrame();

// Draws count single-byte characters, red on an opaque background, with the
// text's top-left corner at client pixel (x, y), over the shown image.
void DrawOverlayText(int x, int y, const char *text, int count);

// Destroys the main window at once (the Escape key).
void DestroyMainWindow();
