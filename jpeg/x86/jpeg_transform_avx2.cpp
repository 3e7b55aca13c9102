// JpegInverseTransform with AVX2: eight columns, then eight rows, at once in
// 32-bit lanes, so every sum, product and shift is the scalar one exactly.
// The shortcuts for all-zero AC columns and rows are not needed: the
// butterfly gives the same values for them.
#include <immintrin.h>

#include "jpeg/x86/jpeg_x86.h"
#include "jpeg/jpeg_state.h"

JPEG_NAMESPACE_BEGIN

namespace {

using Lanes = __m256i;  // eight signed 32-bit values

JPEG_AVX2 Lanes Add(Lanes a, Lanes b) { return _mm256_add_epi32(a, b); }
JPEG_AVX2 Lanes Sub(Lanes a, Lanes b) { return _mm256_sub_epi32(a, b); }

// a * k >> 8, wrapping at 32 bits, the shift arithmetic.
JPEG_AVX2 Lanes MulShift8(Lanes a, std::int32_t k)
{
    return _mm256_srai_epi32(_mm256_mullo_epi32(a, _mm256_set1_epi32(k)), 8);
}

// The Arai-Agui-Nakajima butterfly on eight values per lane.
JPEG_AVX2 JPEG_INLINE void Butterfly(const Lanes p[8], Lanes o[8])
{
    Lanes t10 = Add(p[0], p[4]);
    Lanes t11 = Sub(p[0], p[4]);
    Lanes t13 = Add(p[2], p[6]);
    Lanes t12 = Sub(MulShift8(Sub(p[2], p[6]), 362), t13);
    Lanes e0 = Add(t10, t13);
    Lanes e3 = Sub(t10, t13);
    Lanes e1 = Add(t11, t12);
    Lanes e2 = Sub(t11, t12);

    Lanes z13 = Add(p[5], p[3]);
    Lanes z10 = Sub(p[5], p[3]);
    Lanes z11 = Add(p[1], p[7]);
    Lanes z12 = Sub(p[1], p[7]);
    Lanes f7 = Add(z11, z13);
    Lanes z5 = MulShift8(Add(z10, z12), 473);
    Lanes f6 = Sub(Add(MulShift8(z10, -669), z5), f7);
    Lanes f5 = Sub(MulShift8(Sub(z11, z13), 362), f6);
    Lanes f4 = Add(Sub(MulShift8(z12, 277), z5), f5);

    o[0] = Add(e0, f7);
    o[7] = Sub(e0, f7);
    o[1] = Add(e1, f6);
    o[6] = Sub(e1, f6);
    o[2] = Add(e2, f5);
    o[5] = Sub(e2, f5);
    o[4] = Add(e3, f4);
    o[3] = Sub(e3, f4);
}

// Rows to columns of an 8 x 8 block of 32-bit values.
JPEG_AVX2 JPEG_INLINE void Transpose(Lanes m[8])
{
    Lanes t[8], u[8];
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm256_unpacklo_epi32(m[i], m[i + 1]);
        t[i + 1] = _mm256_unpackhi_epi32(m[i], m[i + 1]);
    }
    for (int i = 0; i < 8; i += 4) {
        u[i] = _mm256_unpacklo_epi64(t[i], t[i + 2]);
        u[i + 1] = _mm256_unpackhi_epi64(t[i], t[i + 2]);
        u[i + 2] = _mm256_unpacklo_epi64(t[i + 1], t[i + 3]);
        u[i + 3] = _mm256_unpackhi_epi64(t[i + 1], t[i + 3]);
    }
    for (int i = 0; i < 4; ++i) {
        m[i] = _mm256_permute2x128_si256(u[i], u[i + 4], 0x20);
        m[i + 4] = _mm256_permute2x128_si256(u[i], u[i + 4], 0x31);
    }
}

// Stores the block from o[c], column c with row r in lane r: saturated to
// 16 bits, which keeps the clamp to 0..255 the same, and transposed as 16-bit
// values, 16 shuffles against 32 for a transpose of the 32-bit lanes first.
JPEG_AVX2 JPEG_INLINE void StoreSamples(const Lanes o[8], std::int16_t* samples)
{
    // Each 128-bit half holds rows 0..3 (low) or 4..7 (high) of two columns.
    Lanes c01 = _mm256_packs_epi32(o[0], o[1]);
    Lanes c23 = _mm256_packs_epi32(o[2], o[3]);
    Lanes c45 = _mm256_packs_epi32(o[4], o[5]);
    Lanes c67 = _mm256_packs_epi32(o[6], o[7]);
    // Columns 0, 2 interleaved by row; 1, 3; 4, 6; 5, 7.
    Lanes c02 = _mm256_unpacklo_epi16(c01, c23), c13 = _mm256_unpackhi_epi16(c01, c23);
    Lanes c46 = _mm256_unpacklo_epi16(c45, c67), c57 = _mm256_unpackhi_epi16(c45, c67);
    // Rows 0, 1 (and 4, 5) of columns 0..3; rows 2, 3 (6, 7); the same of columns 4..7.
    Lanes left01 = _mm256_unpacklo_epi16(c02, c13), left23 = _mm256_unpackhi_epi16(c02, c13);
    Lanes right01 = _mm256_unpacklo_epi16(c46, c57), right23 = _mm256_unpackhi_epi16(c46, c57);
    // Row r in the low half, row r + 4 in the high half.
    Lanes rows[4] = {_mm256_unpacklo_epi64(left01, right01), _mm256_unpackhi_epi64(left01, right01),
                     _mm256_unpacklo_epi64(left23, right23), _mm256_unpackhi_epi64(left23, right23)};
    const Lanes low = _mm256_setzero_si256();
    const Lanes high = _mm256_set1_epi16(255);
    for (int r = 0; r < 4; ++r) {
        Lanes row = _mm256_min_epi16(_mm256_max_epi16(rows[r], low), high);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + 8 * r), _mm256_castsi256_si128(row));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + 8 * (r + 4)), _mm256_extracti128_si256(row, 1));
    }
}

}  // namespace

JPEG_AVX2 void JpegInverseTransformAvx2(const std::int16_t* coefficients, std::int16_t* samples,
                              std::uint16_t quantSelector)
{
    const std::uint16_t* q = jpegState.quantTables[quantSelector != 0].multipliers;
    Lanes p[8], o[8];

    // Columns: lane c holds column c; row r of the block is p[r].
    for (int r = 0; r < 8; ++r) {
        Lanes c = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + 8 * r)));
        Lanes m = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q + 8 * r)));
        p[r] = _mm256_mullo_epi32(c, m);
    }
    Butterfly(p, o);
    // The workspace keeps the low 16 bits, read back as signed.
    for (int r = 0; r < 8; ++r)
        p[r] = _mm256_srai_epi32(_mm256_slli_epi32(o[r], 16), 16);

    // Rows: lane r holds row r; column c of the workspace is p[c].
    Transpose(p);
    Butterfly(p, o);
    const Lanes bias = _mm256_set1_epi32(128);
    for (int c = 0; c < 8; ++c)
        o[c] = _mm256_add_epi32(_mm256_srai_epi32(o[c], 5), bias);
    StoreSamples(o, samples);
}

JPEG_NAMESPACE_END
