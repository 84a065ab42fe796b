// The all-cores mode of the tools: a frame's rows split into bands that a
// fixed set of threads claim one at a time. The projected triangles are
// collected once per frame on the calling thread; each band is then cleared
// with ordinary stores (the buffers fit in cache) and every triangle is
// rasterised into its rows in scene order, so each pixel comes out exactly as
// in the one-thread frame. Threads are created at start-up, never per frame,
// and nothing is allocated per frame.
#pragma once
#include <string>

constexpr int MaxBandThreads = 64;

// Starts threads - 1 helpers (the caller is the other thread). One thread
// draws the whole frame as one band. False with a message for a count out of
// range or a thread that cannot start (those started are stopped again).
bool StartBandThreads(int threads, std::string &error);

// Stops and joins the helpers. Safe when none run and when called again;
// also registered to run at exit.
void StopBandThreads();

// Threads drawing, the caller included; 0 before StartBandThreads.
int BandThreadCount();

// Hardware threads of this machine (1 where the build has no threads).
int ProcessorThreads();

// DrawTriangle collects projected triangles instead of rasterising them
// between these two calls.
void BeginCollectingTriangles();
void EndCollectingTriangles();

// Clears Target and draws the collected triangles into it, band by band on
// every thread; returns when every band is done.
void DrawCollectedInBands();

// RenderFrame's steps with the target cleared and drawn in bands on the
// started threads (with one thread: the one-thread frame with the ordinary
// clear).
void RenderFrameInBands();
