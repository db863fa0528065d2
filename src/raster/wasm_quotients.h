// The texture span's per-pixel quotients in WebAssembly SIMD, four lanes at a
// time, giving the low 32 bits of the one-pixel loop's trunc(a / b) for every
// pair of 32-bit integers: 0 for a zero divisor, 2^31 for INT_MIN / -1.
#pragma once
#if defined(__wasm_simd128__)
#include <wasm_simd128.h>

// One division per lane pair serves both of a pixel's quotients: r = K / b
// with K = 1 + 2^-50, then a * r truncated. The nudge K and two roundings of
// at most 2^-53 each put a * r between 6 and 10 times 2^-53 of a / b above
// it in magnitude, never below, which is less than 2^-21 / |b| for
// |a| <= 2^31. An exact quotient n then lands just past n, never short of it
// (a plain a * (1 / b) can fall to n - 1); an inexact one is at least 1 / |b|
// from the next integer, so the nudge cannot carry it there. A zero divisor
// gives an infinity or NaN.
inline v128_t wasm_nudged_reciprocals(v128_t b_f64)
{
    return wasm_f64x2_div(wasm_f64x2_splat(1.0 + 0x1p-50), b_f64);
}

// The low 32 bits of the truncated products, without a saturating conversion:
// a truncated quotient (at most 2^31 in magnitude) plus 1.5 * 2^52 holds it in
// the low 32 bits of its mantissa, as two's complement. An infinity or NaN
// keeps 0 there (the canonical NaN's payload lies above them).
inline v128_t wasm_truncated_low_words(v128_t low_pair, v128_t high_pair)
{
    const v128_t magic = wasm_f64x2_splat(0x1.8p52);
    low_pair = wasm_f64x2_add(wasm_f64x2_trunc(low_pair), magic);
    high_pair = wasm_f64x2_add(wasm_f64x2_trunc(high_pair), magic);
    return wasm_i32x4_shuffle(low_pair, high_pair, 0, 2, 4, 6);
}

// The lanes of a as two pairs of doubles.
inline v128_t wasm_low_pair(v128_t a) { return wasm_f64x2_convert_low_i32x4(a); }
inline v128_t wasm_high_pair(v128_t a) { return wasm_f64x2_convert_low_i32x4(wasm_i32x4_shuffle(a, a, 2, 3, 0, 1)); }

// trunc(a / b) and trunc(c / b) of every lane, low 32 bits.
inline void wasm_quotients(v128_t a, v128_t c, v128_t b, v128_t &a_over_b, v128_t &c_over_b)
{
    const v128_t r_low = wasm_nudged_reciprocals(wasm_low_pair(b));
    const v128_t r_high = wasm_nudged_reciprocals(wasm_high_pair(b));
    a_over_b = wasm_truncated_low_words(wasm_f64x2_mul(wasm_low_pair(a), r_low),
                                        wasm_f64x2_mul(wasm_high_pair(a), r_high));
    c_over_b = wasm_truncated_low_words(wasm_f64x2_mul(wasm_low_pair(c), r_low),
                                        wasm_f64x2_mul(wasm_high_pair(c), r_high));
}

#endif
