// JpegInverseTransform with SSE2, exact. Columns run in 16-bit lanes: sums
// wrap as the 16-bit workspace does, and a * k >> 8 is exact with pmulhw once
// k is split into a multiple of 256 and a remainder, provided a fits 16 bits;
// so a block whose dequantised coefficients exceed 8191 in size (then a
// multiplier's input might not fit) goes to the scalar transform. Rows run in
// 32-bit lanes, each product and sum made by pmaddwd from pairs of 16-bit
// workspace values, so they need no guard.
#include <emmintrin.h>

#include "jpeg/x86/jpeg_x86.h"
#include "jpeg/jpeg_state.h"

JPEG_NAMESPACE_BEGIN

namespace {

using Words = __m128i;  // eight signed 16-bit values
using Longs = __m128i;  // four signed 32-bit values

// floor(a * k / 256) for k = 256 * whole + part, exact for every 16-bit a; wraps at 16 bits.
template <int kWhole, int kPart>
JPEG_SSE2 Words MulShift8(Words a)
{
    Words scaled = _mm_mulhi_epi16(a, _mm_set1_epi16(static_cast<std::int16_t>(kPart * 256)));
    Words whole = _mm_mullo_epi16(a, _mm_set1_epi16(static_cast<std::int16_t>(kWhole)));
    return _mm_add_epi16(whole, scaled);
}

// The column pass's butterfly in 16-bit lanes.
JPEG_SSE2 JPEG_INLINE void ColumnButterfly(const Words p[8], Words o[8])
{
    Words t10 = _mm_add_epi16(p[0], p[4]);
    Words t11 = _mm_sub_epi16(p[0], p[4]);
    Words t13 = _mm_add_epi16(p[2], p[6]);
    Words t12 = _mm_sub_epi16(MulShift8<1, 106>(_mm_sub_epi16(p[2], p[6])), t13);  // 362
    Words e0 = _mm_add_epi16(t10, t13);
    Words e3 = _mm_sub_epi16(t10, t13);
    Words e1 = _mm_add_epi16(t11, t12);
    Words e2 = _mm_sub_epi16(t11, t12);

    Words z13 = _mm_add_epi16(p[5], p[3]);
    Words z10 = _mm_sub_epi16(p[5], p[3]);
    Words z11 = _mm_add_epi16(p[1], p[7]);
    Words z12 = _mm_sub_epi16(p[1], p[7]);
    Words f7 = _mm_add_epi16(z11, z13);
    Words z5 = MulShift8<2, -39>(_mm_add_epi16(z10, z12));                             // 473
    Words f6 = _mm_sub_epi16(_mm_add_epi16(MulShift8<-3, 99>(z10), z5), f7);           // -669
    Words f5 = _mm_sub_epi16(MulShift8<1, 106>(_mm_sub_epi16(z11, z13)), f6);           // 362
    Words f4 = _mm_add_epi16(_mm_sub_epi16(MulShift8<1, 21>(z12), z5), f5);             // 277

    o[0] = _mm_add_epi16(e0, f7);
    o[7] = _mm_sub_epi16(e0, f7);
    o[1] = _mm_add_epi16(e1, f6);
    o[6] = _mm_sub_epi16(e1, f6);
    o[2] = _mm_add_epi16(e2, f5);
    o[5] = _mm_sub_epi16(e2, f5);
    o[4] = _mm_add_epi16(e3, f4);
    o[3] = _mm_sub_epi16(e3, f4);
}

// a * k0 + b * k1 in 32 bits, for the four rows of one half.
JPEG_SSE2 Longs Madd(Words pairs, std::int16_t k0, std::int16_t k1)
{
    return _mm_madd_epi16(pairs, _mm_set_epi16(k1, k0, k1, k0, k1, k0, k1, k0));
}

// The row pass's butterfly on four rows, from its columns interleaved in
// pairs: (0, 4), (2, 6), (5, 3), (1, 7). Outputs are 32-bit.
JPEG_SSE2 JPEG_INLINE void RowButterfly(Words c04, Words c26, Words c53, Words c17, Longs o[8])
{
    Longs t10 = Madd(c04, 1, 1);
    Longs t11 = Madd(c04, 1, -1);
    Longs t13 = Madd(c26, 1, 1);
    Longs t12 = _mm_sub_epi32(_mm_srai_epi32(Madd(c26, 362, -362), 8), t13);
    Longs e0 = _mm_add_epi32(t10, t13);
    Longs e3 = _mm_sub_epi32(t10, t13);
    Longs e1 = _mm_add_epi32(t11, t12);
    Longs e2 = _mm_sub_epi32(t11, t12);

    // z13 = p5 + p3, z10 = p5 - p3, z11 = p1 + p7, z12 = p1 - p7.
    Longs f7 = _mm_add_epi32(Madd(c17, 1, 1), Madd(c53, 1, 1));
    Longs z5 = _mm_srai_epi32(_mm_add_epi32(Madd(c53, 473, -473), Madd(c17, 473, -473)), 8);
    Longs f6 = _mm_sub_epi32(_mm_add_epi32(_mm_srai_epi32(Madd(c53, -669, 669), 8), z5), f7);
    Longs f5 = _mm_sub_epi32(_mm_srai_epi32(_mm_add_epi32(Madd(c17, 362, 362), Madd(c53, -362, -362)), 8), f6);
    Longs f4 = _mm_add_epi32(_mm_sub_epi32(_mm_srai_epi32(Madd(c17, 277, -277), 8), z5), f5);

    o[0] = _mm_add_epi32(e0, f7);
    o[7] = _mm_sub_epi32(e0, f7);
    o[1] = _mm_add_epi32(e1, f6);
    o[6] = _mm_sub_epi32(e1, f6);
    o[2] = _mm_add_epi32(e2, f5);
    o[5] = _mm_sub_epi32(e2, f5);
    o[4] = _mm_add_epi32(e3, f4);
    o[3] = _mm_sub_epi32(e3, f4);
}

// Rows to columns of an 8 x 8 block of 16-bit values.
JPEG_SSE2 JPEG_INLINE void Transpose(Words m[8])
{
    Words a = _mm_unpacklo_epi16(m[0], m[1]), b = _mm_unpackhi_epi16(m[0], m[1]);
    Words c = _mm_unpacklo_epi16(m[2], m[3]), d = _mm_unpackhi_epi16(m[2], m[3]);
    Words e = _mm_unpacklo_epi16(m[4], m[5]), f = _mm_unpackhi_epi16(m[4], m[5]);
    Words g = _mm_unpacklo_epi16(m[6], m[7]), h = _mm_unpackhi_epi16(m[6], m[7]);
    Words ac0 = _mm_unpacklo_epi32(a, c), ac1 = _mm_unpackhi_epi32(a, c);
    Words bd0 = _mm_unpacklo_epi32(b, d), bd1 = _mm_unpackhi_epi32(b, d);
    Words eg0 = _mm_unpacklo_epi32(e, g), eg1 = _mm_unpackhi_epi32(e, g);
    Words fh0 = _mm_unpacklo_epi32(f, h), fh1 = _mm_unpackhi_epi32(f, h);
    m[0] = _mm_unpacklo_epi64(ac0, eg0);
    m[1] = _mm_unpackhi_epi64(ac0, eg0);
    m[2] = _mm_unpacklo_epi64(ac1, eg1);
    m[3] = _mm_unpackhi_epi64(ac1, eg1);
    m[4] = _mm_unpacklo_epi64(bd0, fh0);
    m[5] = _mm_unpackhi_epi64(bd0, fh0);
    m[6] = _mm_unpacklo_epi64(bd1, fh1);
    m[7] = _mm_unpackhi_epi64(bd1, fh1);
}

}  // namespace

JPEG_SSE2 void JpegInverseTransformSse2(const std::int16_t* coefficients, std::int16_t* samples,
                                        std::uint16_t quantSelector)
{
    const std::uint16_t* q = jpegState.quantTables[quantSelector != 0].multipliers;
    Words p[8], o[8];

    // Dequantise. Each product must lie in -8192..8191 (its high half the
    // sign of its low half, its low half within range) and each multiplier
    // below 32768, or the block takes the scalar way.
    Words outOfRange = _mm_setzero_si128();
    const Words offset = _mm_set1_epi16(8192);
    const Words tooLarge = _mm_set1_epi16(static_cast<std::int16_t>(0xC000));
    const Words signBit = _mm_set1_epi16(static_cast<std::int16_t>(0x8000));
    for (int r = 0; r < 8; ++r) {
        Words c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + 8 * r));
        Words m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + 8 * r));
        Words low = _mm_mullo_epi16(c, m);
        Words high = _mm_mulhi_epi16(c, m);
        Words bad = _mm_or_si128(_mm_xor_si128(high, _mm_srai_epi16(low, 15)),
                                 _mm_and_si128(_mm_add_epi16(low, offset), tooLarge));
        outOfRange = _mm_or_si128(outOfRange, _mm_or_si128(bad, _mm_and_si128(m, signBit)));
        p[r] = low;
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(outOfRange, _mm_setzero_si128())) != 0xFFFF) {
        JpegInverseTransform(coefficients, samples, quantSelector);
        return;
    }

    ColumnButterfly(p, o);  // the workspace, rows
    Transpose(o);           // its columns

    // Rows 0..3 from the low halves of the interleaved columns, 4..7 from the high.
    Longs top[8], bottom[8];
    RowButterfly(_mm_unpacklo_epi16(o[0], o[4]), _mm_unpacklo_epi16(o[2], o[6]),
                 _mm_unpacklo_epi16(o[5], o[3]), _mm_unpacklo_epi16(o[1], o[7]), top);
    RowButterfly(_mm_unpackhi_epi16(o[0], o[4]), _mm_unpackhi_epi16(o[2], o[6]),
                 _mm_unpackhi_epi16(o[5], o[3]), _mm_unpackhi_epi16(o[1], o[7]), bottom);

    // (o >> 5) + 128, saturated to 16 bits (the clamp to 0..255 stays the same), then clamped.
    const Longs bias = _mm_set1_epi32(128);
    const Words low = _mm_setzero_si128();
    const Words high = _mm_set1_epi16(255);
    for (int c = 0; c < 8; ++c) {
        Longs t = _mm_add_epi32(_mm_srai_epi32(top[c], 5), bias);
        Longs b = _mm_add_epi32(_mm_srai_epi32(bottom[c], 5), bias);
        o[c] = _mm_min_epi16(_mm_max_epi16(_mm_packs_epi32(t, b), low), high);
    }
    Transpose(o);
    for (int r = 0; r < 8; ++r)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + 8 * r), o[r]);
}

JPEG_NAMESPACE_END
