// The Windows and WebAssembly builds only: these definitions take the place
// of the C runtime's sin, cos, tan and sincos (MinGW's use x87 instructions
// with a 66-bit pi; Emscripten's differ in the last bit for some angles), so
// the camera and view matrix see the same values as on Linux and every frame
// stays bit-identical across the platforms. The linker takes them from here
// before it would search the runtime's libraries.
#include "crt/trig.h"

extern "C" {
double sin(double x) { return TrigSin(x); }
double cos(double x) { return TrigCos(x); }
double tan(double x) { return TrigTan(x); }
void sincos(double x, double *s, double *c) { TrigSinCos(x, s, c); }
// assimp calls it (GCC joins sinf and cosf of one angle into it); MinGW's
// defines it in the same object as sincos, which would then be defined twice.
void sincosf(float x, float *s, float *c) {
    double sd, cd;
    TrigSinCos(x, &sd, &cd);
    *s = (float)sd;
    *c = (float)cd;
}
}
