// The frame cycle drawn on every core (render/bands.h): a program starts the
// threads once with StartBandThreads, then calls this in place of RenderFrame.
// The frames are the same bit for bit.
#pragma once

// RenderFrame's steps with the target cleared and drawn in bands on the
// started threads (with one thread: the one-thread frame with the ordinary
// clear).
void RenderFrameInBands();
