// The all-cores way of drawing a frame: its rows split into bands that a
// fixed set of threads claim one at a time. The projected triangles are
// collected once per frame (on the calling thread, or by each thread for its
// own bands); each band is then cleared with ordinary stores (the buffers fit
// in cache) and every triangle is rasterised into its rows in scene order, so
// each pixel comes out exactly as in the one-thread frame. Threads are
// created at start-up, never per frame, and nothing is allocated per frame.
#pragma once
#include <cstdint>
#include <string>

#include "render/types.h"

constexpr int MaxBandThreads = 256;

// A band's colour and depth rows should stay in a core's own cache between
// the clear and the last triangle: at most this many bytes of both buffers.
constexpr int64_t BandCacheBytes = 512 * 1024;
constexpr int BandBytesPerPixel = 8; // a colour word and a depth float
// Enough bands that a thread delayed by the machine leaves little for the
// others to wait on, and no more: each band sets up again every triangle it
// meets, which for a small frame's few large triangles made four bands per
// thread slower than two.
constexpr int BandsPerThread = 2;
// Each band sets up every triangle it meets, so bands much thinner than
// this spend more on set-up than on filling.
constexpr int MinBandRows = 8;
// Whole groups of rows for the widest span fill (render/span_fill.h).
constexpr int BandRowAlign = 8;

// Rows per band for a frame of that size on that many threads.
int ChooseBandRows(int32_t width, int32_t height, int threads);

// Starts threads - 1 helpers (the caller is the other thread) and sizes the
// bands for Target's size (ChooseBandRows): a lone thread draws the frame
// band by band too, each while it is in the cache. False with a message for
// a count out of range or a thread that cannot start (those started are
// stopped again).
bool StartBandThreads(int threads, std::string &error);

// Stops and joins the helpers. Safe when none run and when called again;
// also registered to run at exit.
void StopBandThreads();

// Hardware threads of this machine (1 where the build has no threads).
int ProcessorThreads();

// Work shared by the band threads: called once for each unit 0..units-1,
// with the number of the thread that runs it (0 is the caller). Units are
// claimed in rising order, one at a time, by whichever thread is free.
typedef void (*BandWork)(int unit, int thread);

// Runs work for every unit on the started threads and returns when every
// unit is done; with no helpers, on the caller alone. Nothing is allocated.
void RunOnBandThreads(int units, BandWork work);

// The threads started (the caller and its helpers), the frame's bands and
// the rows of each (the last band takes what is left).
int BandThreadCount();
int BandCount();
int BandRows();

// Clears the band's rows of Target with ordinary stores and gives them as
// first..end-1.
void ClearBand(int band, int32_t &first, int32_t &end);

// A triangle record can come out of the clipper as at most seven triangles
// (a triangle cut by six planes has at most nine corners); room for eight
// each is what a frame's collection needs per record sent.
constexpr int CollectedPerRecord = 8;

// DrawTriangle collects projected triangles into room (capacity records,
// kept by the caller for as long as the frame is drawn) instead of
// rasterising them between these two calls. More than capacity ends the
// process: losing triangles silently would draw a wrong frame.
void BeginCollectingTriangles(TriangleRecord *room, int capacity);
void EndCollectingTriangles();

// Clears Target and draws the collected triangles into it, band by band on
// every thread; returns when every band is done.
void DrawCollectedInBands();

// Clears Target and draws count records as DrawTriangle(record, true) does
// each in turn (the flag word cleared first, as a scene sends them), with
// their transform, clipping and projection done on the band threads too:
// each thread projects the records for its own bands, so the calling thread
// does not project them all alone while the others wait. The same frame as
// the one-thread one after a clear. For scenes of at most MaxBandRecords
// records (each thread projects them all; the room is made at start-up);
// more ends the process rather than drawing a wrong frame.
constexpr int MaxBandRecords = 256;
void DrawRecordsInBands(TriangleRecord *records, int count);
