// Double-double (about 106-bit) evaluation of sin, cos and tan, rounded to
// double only at the end, so the result is the double nearest to the true
// value. Arguments are reduced by an exact multiple-precision product with
// the bits of 2/pi, so even huge arguments keep their full accuracy: MinGW's
// runtime uses the x87 fsin/fcos/fptan instructions, whose reduction carries
// only 66 bits of pi and so drifts from the true value for large angles.
//
// Only plain double additions and multiplications are used (no FMA, which
// the build forbids from being contracted anyway), so the result is the same
// on every IEEE machine.
#include "crt/trig.h"

#include <stdint.h>
#include <string.h>

namespace {

struct DD {
    double hi, lo;
};

DD TwoSum(double a, double b) {
    double s = a + b;
    double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

DD QuickTwoSum(double a, double b) { // |a| >= |b|
    double s = a + b;
    return {s, b - (s - a)};
}

// Dekker's exact product through 26-bit halves.
DD TwoProd(double a, double b) {
    const double splitter = 134217729.0; // 2^27 + 1
    double t = splitter * a;
    double ah = t - (t - a), al = a - ah;
    t = splitter * b;
    double bh = t - (t - b), bl = b - bh;
    double p = a * b;
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

DD Add(DD a, DD b) {
    DD s = TwoSum(a.hi, b.hi);
    DD t = TwoSum(a.lo, b.lo);
    s.lo += t.hi;
    s = QuickTwoSum(s.hi, s.lo);
    s.lo += t.lo;
    return QuickTwoSum(s.hi, s.lo);
}

DD Mul(DD a, DD b) {
    DD p = TwoProd(a.hi, b.hi);
    p.lo += a.hi * b.lo + a.lo * b.hi;
    return QuickTwoSum(p.hi, p.lo);
}

DD Div(DD a, DD b) {
    double q1 = a.hi / b.hi;
    DD r = Add(a, Mul(b, DD{-q1, 0.0}));
    double q2 = r.hi / b.hi;
    r = Add(r, Mul(b, DD{-q2, 0.0}));
    double q3 = r.hi / b.hi;
    DD q = QuickTwoSum(q1, q2);
    return Add(q, DD{q3, 0.0});
}

DD Negate(DD a) { return {-a.hi, -a.lo}; }

double Bits(uint64_t u) {
    double d;
    memcpy(&d, &u, sizeof d);
    return d;
}

uint64_t BitsOf(double d) {
    uint64_t u;
    memcpy(&u, &d, sizeof u);
    return u;
}

// 2^e for -1022 <= e <= 1023, built directly.
double PowerOfTwo(int e) { return Bits((uint64_t)(e + 1023) << 52); }

// 1/n! as double-double pairs, n = 0 .. 30.
const DD inverseFactorial[31] = {
    {0x1.0000000000000p+0, 0.0},
    {0x1.0000000000000p+0, 0.0},
    {0x1.0000000000000p-1, 0.0},
    {0x1.5555555555555p-3, 0x1.5555555555555p-57},
    {0x1.5555555555555p-5, 0x1.5555555555555p-59},
    {0x1.1111111111111p-7, 0x1.1111111111111p-63},
    {0x1.6c16c16c16c17p-10, -0x1.f49f49f49f49fp-65},
    {0x1.a01a01a01a01ap-13, 0x1.a01a01a01a01ap-73},
    {0x1.a01a01a01a01ap-16, 0x1.a01a01a01a01ap-76},
    {0x1.71de3a556c734p-19, -0x1.c154f8ddc6c00p-73},
    {0x1.27e4fb7789f5cp-22, 0x1.cbbc05b4fa99ap-76},
    {0x1.ae64567f544e4p-26, -0x1.c062e06d1f209p-80},
    {0x1.1eed8eff8d898p-29, -0x1.2aec959e14c06p-83},
    {0x1.6124613a86d09p-33, 0x1.f28e0cc748ebep-87},
    {0x1.93974a8c07c9dp-37, 0x1.05d6f8a2efd1fp-92},
    {0x1.ae7f3e733b81fp-41, 0x1.1d8656b0ee8cbp-97},
    {0x1.ae7f3e733b81fp-45, 0x1.1d8656b0ee8cbp-101},
    {0x1.952c77030ad4ap-49, 0x1.ac981465ddc6cp-103},
    {0x1.6827863b97d97p-53, 0x1.eec01221a8b0bp-107},
    {0x1.2f49b46814157p-57, 0x1.2650f61dbdcb4p-112},
    {0x1.e542ba4020225p-62, 0x1.ea72b4afe3c2fp-120},
    {0x1.71b8ef6dcf572p-66, -0x1.d043ae40c4647p-120},
    {0x1.0ce396db7f853p-70, -0x1.aebcdbd20331cp-124},
    {0x1.761b41316381ap-75, -0x1.3423c7d91404fp-130},
    {0x1.f2cf01972f578p-80, -0x1.9ada5fcc1ab14p-135},
    {0x1.3f3ccdd165fa9p-84, -0x1.58ddadf344487p-139},
    {0x1.88e85fc6a4e5ap-89, -0x1.71c37ebd16540p-143},
    {0x1.d1ab1c2dccea3p-94, 0x1.054d0c78aea14p-149},
    {0x1.0a18a2635085dp-98, 0x1.b9e2e28e1aa54p-153},
    {0x1.259f98b4358adp-103, 0x1.eaf8c39dd9bc5p-157},
    {0x1.3932c5047d60ep-108, 0x1.832b7b530a627p-162},
};

const DD halfPi = {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54};

// The first 1,280 bits of 2/pi after the binary point, enough for any
// finite double argument.
const uint32_t twoOverPi[40] = {
    0xa2f9836e, 0x4e441529, 0xfc2757d1, 0xf534ddc0, 0xdb629599, 0x3c439041, 0xfe5163ab,
    0xdebbc561, 0xb7246e3a, 0x424dd2e0, 0x06492eea, 0x09d1921c, 0xfe1deb1c, 0xb129a73e,
    0xe88235f5, 0x2ebb4484, 0xe99c7026, 0xb45f7e41, 0x3991d639, 0x835339f4, 0x9c845f8b,
    0xbdf9283b, 0x1ff897ff, 0xde05980f, 0xef2f118b, 0x5a0a6d1f, 0x6d367ecf, 0x27cb09b7,
    0x4f463f66, 0x9e5fea2d, 0x7527bac7, 0xebe5f17b, 0x3d0739f7, 0x8a5292ea, 0x6bfb5fb1,
    0x1f8d5d08, 0x56033046, 0xfc7b6bab, 0xf0cfbc20, 0x9af4361d,
};

uint32_t TwoOverPiWord(int64_t q) { return q >= 0 && q < 40 ? twoOverPi[q] : 0; }

// The 32 bits of 2/pi at positions p .. p+31 after the binary point (the
// bit at position p is the most significant); positions before the point
// and beyond the table read as 0.
uint32_t TwoOverPiBitsAt(int64_t p) {
    int64_t index = p - 1;
    int64_t q = index >= 0 ? index / 32 : -((31 - index) / 32);
    int s = (int)(index - 32 * q);
    uint64_t pair = ((uint64_t)TwoOverPiWord(q) << 32) | TwoOverPiWord(q + 1);
    return (uint32_t)((pair << s) >> 32);
}

// Fraction bits kept after the quadrant; 192 leaves more than 100
// significant bits even for the double closest to a multiple of pi/2.
const int fractionBits = 192;
const int limbs = 7; // 224 bits hold the 2 quadrant bits and the fraction

// For finite |x| >= pi/4: |x| = (quadrant + r / (pi/2)) * pi/2 with
// |r| <= pi/4, r as a double-double. Returns quadrant mod 4.
int ReduceLarge(double ax, DD &r) {
    uint64_t bits = BitsOf(ax);
    int exponent = (int)(bits >> 52);
    uint64_t m = bits & ((1ull << 52) - 1);
    if (exponent == 0) exponent = 1; // subnormal (never reached: ax >= pi/4)
    else m |= 1ull << 52;
    int e = exponent - 1075; // ax = m * 2^e

    // ax * (2/pi) * 2^192 = m * floor(2/pi * 2^T) + (below 2^-139 quadrants),
    // T = e + 192. Only its value mod 2^194 matters (whole turns drop out),
    // and that needs only the low 194 bits of floor(2/pi * 2^T).
    int64_t t = (int64_t)e + fractionBits;
    uint32_t w[limbs];
    for (int j = 0; j < limbs; j++) w[j] = TwoOverPiBitsAt(t - 32 * j - 31);

    uint32_t product[limbs] = {};
    const uint32_t mParts[2] = {(uint32_t)m, (uint32_t)(m >> 32)};
    for (int i = 0; i < 2; i++) {
        uint64_t carry = 0;
        for (int j = 0; i + j < limbs; j++) {
            uint64_t v = (uint64_t)mParts[i] * w[j] + product[i + j] + carry;
            product[i + j] = (uint32_t)v;
            carry = v >> 32;
        }
    }
    int quadrant = (int)(product[6] >> 0) & 3; // bits 192 and 193
    product[6] = 0;

    // Round to the nearest quadrant: a fraction of one half or more
    // becomes a negative remainder from the next quadrant.
    bool negative = (product[5] >> 31) != 0;
    if (negative) {
        quadrant = (quadrant + 1) & 3;
        uint64_t borrow = 0; // product := 2^192 - product
        for (int j = 0; j < 6; j++) {
            uint64_t v = 0 - (uint64_t)product[j] - borrow;
            product[j] = (uint32_t)v;
            borrow = (v >> 32) & 1;
        }
    }

    // The fraction as a double-double: its first 53 significant bits and
    // the 53 after them, each converted exactly.
    int top = 5;
    while (top > 0 && product[top] == 0) top--;
    if (product[top] == 0) {
        r = {0.0, 0.0};
        return quadrant;
    }
    int lead = 31;
    while (!((product[top] >> lead) & 1)) lead--;
    int leadBit = 32 * top + lead; // weight 2^(leadBit - 192)
    auto bitsFrom = [&](int high, int count) { // count <= 53 bits ending at bit `high`
        uint64_t v = 0;
        for (int b = high; b > high - count; b--) {
            v <<= 1;
            if (b >= 0) v |= (product[b / 32] >> (b % 32)) & 1;
        }
        return v;
    };
    double hi = (double)bitsFrom(leadBit, 53) * PowerOfTwo(leadBit - 52 - fractionBits);
    double lo = (double)bitsFrom(leadBit - 53, 53) * PowerOfTwo(leadBit - 105 - fractionBits);
    r = Mul(QuickTwoSum(hi, lo), halfPi);
    if (negative) r = {-r.hi, -r.lo};
    return quadrant;
}

// sin r and cos r for |r| <= pi/4 by their Taylor series, to about 2^-110.
DD SinKernel(DD r) {
    DD z = Mul(r, r);
    DD sum = inverseFactorial[29];
    for (int n = 27; n >= 1; n -= 2) {
        DD c = (n / 2) % 2 ? Negate(inverseFactorial[n]) : inverseFactorial[n];
        sum = Add(c, Mul(z, sum));
    }
    return Mul(r, sum);
}

DD CosKernel(DD r) {
    DD z = Mul(r, r);
    DD sum = Negate(inverseFactorial[30]);
    for (int n = 28; n >= 0; n -= 2) {
        DD c = (n / 2) % 2 ? Negate(inverseFactorial[n]) : inverseFactorial[n];
        sum = Add(c, Mul(z, sum));
    }
    return sum;
}

// The remainder and quadrant of |x|; false for infinities and NaN.
bool Reduce(double x, DD &r, int &quadrant) {
    double ax = x < 0 ? -x : x;
    if (!(ax <= 1.7976931348623157e308)) return false;
    if (ax < 0.78539816339744828) { // below pi/4 (rounded down)
        r = {ax, 0.0};
        quadrant = 0;
    } else {
        quadrant = ReduceLarge(ax, r);
    }
    return true;
}

// sin and cos of |x| from the reduced argument.
void SinCosOfAbs(DD r, int quadrant, DD &s, DD &c) {
    DD sr = SinKernel(r), cr = CosKernel(r);
    switch (quadrant) {
    case 0: s = sr, c = cr; break;
    case 1: s = cr, c = Negate(sr); break;
    case 2: s = Negate(sr), c = Negate(cr); break;
    default: s = Negate(cr), c = sr; break;
    }
}

} // namespace

void TrigSinCos(double x, double *sine, double *cosine) {
    DD r;
    int quadrant;
    if (!Reduce(x, r, quadrant)) {
        *sine = *cosine = x - x; // NaN for infinities, NaN stays NaN
        return;
    }
    if (x == 0) { // keeps the sign of zero
        *sine = x;
        *cosine = 1.0;
        return;
    }
    DD s, c;
    SinCosOfAbs(r, quadrant, s, c);
    *sine = x < 0 ? -s.hi : s.hi;
    *cosine = c.hi;
}

double TrigSin(double x) {
    double s, c;
    TrigSinCos(x, &s, &c);
    return s;
}

double TrigCos(double x) {
    double s, c;
    TrigSinCos(x, &s, &c);
    return c;
}

double TrigTan(double x) {
    DD r;
    int quadrant;
    if (!Reduce(x, r, quadrant)) return x - x;
    if (x == 0) return x;
    DD s, c;
    SinCosOfAbs(r, quadrant, s, c);
    double t = Div(s, c).hi;
    return x < 0 ? -t : t;
}
