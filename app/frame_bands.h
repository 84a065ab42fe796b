// The frame cycle drawn on every core (render/bands.h). Programs get it as
// their frame step from StartDrawing (app/frame_step.h), which starts the
// threads. The frames are the same bit for bit.
#pragma once

// RenderFrame's steps with the target cleared and drawn in bands on the
// started threads (with one thread: the one-thread frame with the ordinary
// clear).
void RenderFrameInBands();
