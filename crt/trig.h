// Sine, cosine and tangent in double precision, correctly rounded for every
// argument short of a few astronomically rare ties. The Windows and
// WebAssembly builds use them in place of the C runtime's (crt_trig.cpp);
// glibc's agree with them after the conversion to float that the camera and
// view matrix make.
#pragma once

double TrigSin(double x);
double TrigCos(double x);
double TrigTan(double x);
void TrigSinCos(double x, double *s, double *c);
