// Pixel assembly with AVX2: colour conversion and packing sixteen pixels at
// once, a row of a 16-pixel-wide MCU or two rows of an 8-pixel-wide one.
// Samples are 0..255, so every term and sum fits 16-bit lanes exactly, and
// packus gives the clamp to 0..255.
#include <immintrin.h>

#include "jpeg/x86/jpeg_x86.h"
#include "jpeg/jpeg_state.h"

JPEG_NAMESPACE_BEGIN

namespace {

using Words = __m256i;  // sixteen signed 16-bit values, two halves of eight

// What Cb and Cr add to the luma of red, green and blue, for sixteen samples.
struct Terms {
    Words red, green, blue;
};

// factor * (sample - 128) >> 5.
JPEG_AVX2 JPEG_INLINE Words ChromaTerm(Words centred, std::int16_t factor)
{
    return _mm256_srai_epi16(_mm256_mullo_epi16(centred, _mm256_set1_epi16(factor)), 5);
}

// The terms of sixteen consecutive chroma samples (two rows of a block).
JPEG_AVX2 JPEG_INLINE Terms ChromaTerms(const std::int16_t* cb, const std::int16_t* cr)
{
    const Words centre = _mm256_set1_epi16(128);
    Words u = _mm256_sub_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(cb)), centre);
    Words v = _mm256_sub_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(cr)), centre);
    Words green = _mm256_sub_epi16(_mm256_sub_epi16(_mm256_setzero_si256(), ChromaTerm(u, kCbToGreen)),
                                   ChromaTerm(v, kCrToGreen));
    return {ChromaTerm(v, kCrToRed), green, ChromaTerm(u, kCbToBlue)};
}

// Sixteen packed pixels from sixteen samples each of blue, green and red:
// the first eight to first[0..7], the last eight to second[0..7].
JPEG_AVX2 JPEG_INLINE void StorePixels(Words blue, Words green, Words red, std::uint32_t* first,
                                       std::uint32_t* second)
{
    const Words opaque = _mm256_set1_epi8(static_cast<char>(0xFF));
    Words b = _mm256_packus_epi16(blue, blue);
    Words g = _mm256_packus_epi16(green, green);
    Words r = _mm256_packus_epi16(red, red);
    Words blueGreen = _mm256_unpacklo_epi8(b, g);
    Words redAlpha = _mm256_unpacklo_epi8(r, opaque);
    // Pixels 0..3 and 8..11, then 4..7 and 12..15.
    Words low = _mm256_unpacklo_epi16(blueGreen, redAlpha);
    Words high = _mm256_unpackhi_epi16(blueGreen, redAlpha);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(first), _mm256_permute2x128_si256(low, high, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(second), _mm256_permute2x128_si256(low, high, 0x31));
}

JPEG_AVX2 JPEG_INLINE void StoreColour(Words y, const Terms& t, std::uint32_t* first, std::uint32_t* second)
{
    StorePixels(_mm256_add_epi16(y, t.blue), _mm256_add_epi16(y, t.green), _mm256_add_epi16(y, t.red), first,
                second);
}

// Eight samples from `left`, then eight from `right`.
JPEG_AVX2 JPEG_INLINE Words LoadHalves(const std::int16_t* left, const std::int16_t* right)
{
    return _mm256_set_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(right)),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(left)));
}

// `first` and `second` hold sixteen terms each: the eight of `t`'s first
// half, each twice, and those of its second half.
JPEG_AVX2 JPEG_INLINE void Widen(Words t, Words* first, Words* second)
{
    Words low = _mm256_unpacklo_epi16(t, t);   // first half's 0..3, second half's 0..3
    Words high = _mm256_unpackhi_epi16(t, t);  // their 4..7
    *first = _mm256_permute2x128_si256(low, high, 0x20);
    *second = _mm256_permute2x128_si256(low, high, 0x31);
}

// The colour terms of two chroma rows, each row's eight samples doubled:
// widened[0] for the first row's pixels, widened[1] for the second's.
JPEG_AVX2 JPEG_INLINE void WidenedChromaTerms(const std::int16_t* cb, const std::int16_t* cr, Terms widened[2])
{
    Terms t = ChromaTerms(cb, cr);
    Widen(t.red, &widened[0].red, &widened[1].red);
    Widen(t.green, &widened[0].green, &widened[1].green);
    Widen(t.blue, &widened[0].blue, &widened[1].blue);
}

// Writes `pixels` to `out`, all kWidth or the first `columns` of them.
template <std::uint32_t kWidth>
JPEG_INLINE void CopyEdge(const std::uint32_t* pixels, std::uint32_t columns, std::uint32_t* out)
{
    for (std::uint32_t col = 0; col < columns && col < kWidth; ++col)
        out[col] = pixels[col];
}

// A whole 16-pixel-wide colour MCU (kHeight 8 or 16) inside the frame, every
// loop unrolled: the chroma rows' loop exit cost a simulated misprediction
// per MCU, and the edge tests a fifth of the store's instructions.
template <std::uint32_t kHeight>
JPEG_AVX2 JPEG_INLINE void StoreWholeWideMcu(std::uint32_t* out, const std::int16_t* luma, const std::int16_t* cb,
                                             const std::int16_t* cr)
{
    const std::uint32_t stride = jpegState.frameWidth;
    constexpr std::uint32_t kRowsPerChroma = kHeight / 8;
#pragma GCC unroll 4
    for (std::uint32_t chromaRow = 0; chromaRow < 8; chromaRow += 2) {
        Terms widened[2];
        WidenedChromaTerms(cb + 8 * chromaRow, cr + 8 * chromaRow, widened);
#pragma GCC unroll 4
        for (std::uint32_t i = 0; i < 2 * kRowsPerChroma; ++i) {
            std::uint32_t row = chromaRow * kRowsPerChroma + i;
            const std::int16_t* lumaLeft = luma + (row >> 3) * 128 + 8 * (row & 7);
            std::uint32_t* target = out + row * stride;
            StoreColour(LoadHalves(lumaLeft, lumaLeft + 64), widened[i / kRowsPerChroma], target, target + 8);
        }
    }
}

// A 16-pixel-wide colour MCU (kHeight 8 or 16), those pixels inside the frame.
template <std::uint32_t kHeight>
JPEG_AVX2 void StoreWideMcu(std::uint32_t rows, std::uint32_t columns, std::uint32_t* out,
                            const std::int16_t* luma, const std::int16_t* cb, const std::int16_t* cr)
{
    if (rows == kHeight && columns >= 16) {
        StoreWholeWideMcu<kHeight>(out, luma, cb, cr);
        return;
    }
    const std::uint32_t stride = jpegState.frameWidth;
    constexpr std::uint32_t kRowsPerChroma = kHeight / 8;
    std::uint32_t edge[16];
    // Two chroma rows at a time: their widened terms serve 2 or 4 pixel rows.
    for (std::uint32_t chromaRow = 0; chromaRow < 8 && chromaRow * kRowsPerChroma < rows; chromaRow += 2) {
        Terms widened[2];
        WidenedChromaTerms(cb + 8 * chromaRow, cr + 8 * chromaRow, widened);
        // Unrolled: the inner loop's exit cost a simulated misprediction per
        // chroma row pair, four per 4:2:0 MCU.
#pragma GCC unroll 4
        for (std::uint32_t i = 0; i < 2 * kRowsPerChroma; ++i) {
            std::uint32_t row = chromaRow * kRowsPerChroma + i;
            if (row >= rows)
                break;
            // Blocks are 64 samples apart: Y1 right of Y0, Y2 and Y3 below them.
            const std::int16_t* lumaLeft = luma + (row >> 3) * 128 + 8 * (row & 7);
            Words y = LoadHalves(lumaLeft, lumaLeft + 64);
            std::uint32_t* target = columns >= 16 ? out + row * stride : edge;
            StoreColour(y, widened[i / kRowsPerChroma], target, target + 8);
            if (target == edge)
                CopyEdge<16>(edge, columns, out + row * stride);
        }
    }
}

// An 8 x 8 colour or grey MCU, two rows at a time, those pixels inside the frame.
template <bool kColour>
JPEG_AVX2 void StoreNarrowMcu(std::uint32_t rows, std::uint32_t columns, std::uint32_t* out,
                              const std::int16_t* luma, const std::int16_t* cb, const std::int16_t* cr)
{
    const std::uint32_t stride = jpegState.frameWidth;
    if (rows == 8 && columns >= 8) {
        // The whole MCU inside the frame: no edge tests, no loop exit to mispredict.
#pragma GCC unroll 4
        for (std::uint32_t row = 0; row < 8; row += 2) {
            Words y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(luma + 8 * row));
            std::uint32_t* first = out + row * stride;
            if constexpr (kColour)
                StoreColour(y, ChromaTerms(cb + 8 * row, cr + 8 * row), first, first + stride);
            else
                StorePixels(y, y, y, first, first + stride);
        }
        return;
    }
    std::uint32_t edge[16];
    for (std::uint32_t row = 0; row < rows; row += 2) {
        Words y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(luma + 8 * row));
        bool whole = columns >= 8 && row + 1 < rows;
        std::uint32_t* first = whole ? out + row * stride : edge;
        std::uint32_t* second = whole ? first + stride : edge + 8;
        if constexpr (kColour)
            StoreColour(y, ChromaTerms(cb + 8 * row, cr + 8 * row), first, second);
        else
            StorePixels(y, y, y, first, second);
        if (!whole) {
            CopyEdge<8>(edge, columns, out + row * stride);
            if (row + 1 < rows)
                CopyEdge<8>(edge + 8, columns, out + (row + 1) * stride);
        }
    }
}

}  // namespace

JPEG_AVX2 void JpegStoreMcuAvx2(const McuLayout& layout, std::uint32_t x, std::uint32_t y,
                                const std::int16_t* luma, const std::int16_t* cb, const std::int16_t* cr)
{
    auto [rows, columns, out] = JpegMcuInFrame(layout, x, y);
    if (!layout.colour)
        StoreNarrowMcu<false>(rows, columns, out, luma, cb, cr);
    else if (layout.height == 16)
        StoreWideMcu<16>(rows, columns, out, luma, cb, cr);
    else if (layout.width == 16)
        StoreWideMcu<8>(rows, columns, out, luma, cb, cr);
    else
        StoreNarrowMcu<true>(rows, columns, out, luma, cb, cr);
}

JPEG_NAMESPACE_END
