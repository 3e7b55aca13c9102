// Pixel assembly with SSE2: colour conversion and packing eight or sixteen
// pixels at once. Samples are 0..255, so every term and sum fits 16-bit
// lanes exactly (the largest product is 57 x -128), and packus gives the
// clamp to 0..255.
#include <emmintrin.h>

#include "jpeg/x86/jpeg_x86.h"
#include "jpeg/jpeg_state.h"

JPEG_NAMESPACE_BEGIN

namespace {

using Words = __m128i;  // eight signed 16-bit values
using Bytes = __m128i;  // sixteen unsigned bytes

// factor * (sample - 128) >> 5 for eight samples.
JPEG_SSE2 JPEG_INLINE Words ChromaTerm(Words centred, std::int16_t factor)
{
    return _mm_srai_epi16(_mm_mullo_epi16(centred, _mm_set1_epi16(factor)), 5);
}

// What Cb and Cr add to the luma of red, green and blue.
struct Terms {
    Words red, green, blue;
};

JPEG_SSE2 JPEG_INLINE Terms ChromaTerms(const std::int16_t* cb, const std::int16_t* cr)
{
    const Words centre = _mm_set1_epi16(128);
    Words u = _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cb)), centre);
    Words v = _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cr)), centre);
    Words green = _mm_sub_epi16(_mm_sub_epi16(_mm_setzero_si128(), ChromaTerm(u, kCbToGreen)),
                                ChromaTerm(v, kCrToGreen));
    return {ChromaTerm(v, kCrToRed), green, ChromaTerm(u, kCbToBlue)};
}

// Eight packed pixels from eight samples each of blue, green and red (0..255
// after saturation), into out[0..7].
JPEG_SSE2 JPEG_INLINE void StorePixels(Words blue, Words green, Words red, std::uint32_t* out)
{
    const Bytes opaque = _mm_set1_epi8(static_cast<char>(0xFF));
    Bytes b = _mm_packus_epi16(blue, blue);
    Bytes g = _mm_packus_epi16(green, green);
    Bytes r = _mm_packus_epi16(red, red);
    Bytes blueGreen = _mm_unpacklo_epi8(b, g);
    Bytes redAlpha = _mm_unpacklo_epi8(r, opaque);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(blueGreen, redAlpha));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), _mm_unpackhi_epi16(blueGreen, redAlpha));
}

// Eight pixels of luma `y` with the given terms.
JPEG_SSE2 JPEG_INLINE void StoreColour(Words y, const Terms& t, std::uint32_t* out)
{
    StorePixels(_mm_add_epi16(y, t.blue), _mm_add_epi16(y, t.green), _mm_add_epi16(y, t.red), out);
}

// The first (kHalf 0) or last four terms, each repeated for two pixels.
template <int kHalf>
JPEG_SSE2 JPEG_INLINE Terms Widen(const Terms& t)
{
    if constexpr (kHalf == 0)
        return {_mm_unpacklo_epi16(t.red, t.red), _mm_unpacklo_epi16(t.green, t.green),
                _mm_unpacklo_epi16(t.blue, t.blue)};
    else
        return {_mm_unpackhi_epi16(t.red, t.red), _mm_unpackhi_epi16(t.green, t.green),
                _mm_unpackhi_epi16(t.blue, t.blue)};
}

JPEG_SSE2 JPEG_INLINE Words LoadRow(const std::int16_t* samples)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples));
}

// One row of an MCU, kWidth pixels, into `out`; `terms` repeated for two
// pixels each in the 16-pixel-wide layouts.
template <std::uint32_t kWidth>
JPEG_SSE2 JPEG_INLINE void StoreColourRow(const std::int16_t* lumaLeft, const Terms& left, const Terms& right,
                              std::uint32_t columns, std::uint32_t* out)
{
    std::uint32_t edge[kWidth];  // a row that the frame's right edge cuts
    std::uint32_t* target = columns >= kWidth ? out : edge;
    StoreColour(LoadRow(lumaLeft), left, target);
    if constexpr (kWidth == 16)
        StoreColour(LoadRow(lumaLeft + 64), right, target + 8);
    if (target == edge) {
        for (std::uint32_t col = 0; col < columns; ++col)
            out[col] = edge[col];
    }
}

// A colour MCU of kWidth x kHeight pixels, those inside the frame, one
// chroma row (one or two pixel rows) at a time.
template <std::uint32_t kWidth, std::uint32_t kHeight>
JPEG_SSE2 void StoreColourMcu(std::uint32_t rows, std::uint32_t columns, std::uint32_t* out,
                              const std::int16_t* luma, const std::int16_t* cb, const std::int16_t* cr)
{
    const std::uint32_t stride = jpegState.frameWidth;
    constexpr std::uint32_t kRowsPerChroma = kHeight / 8;
    for (std::uint32_t row = 0; row < rows; row += kRowsPerChroma) {
        Terms terms = ChromaTerms(cb + 8 * (row / kRowsPerChroma), cr + 8 * (row / kRowsPerChroma));
        Terms left = terms, right = terms;
        if constexpr (kWidth == 16) {
            left = Widen<0>(terms);
            right = Widen<1>(terms);
        }
        for (std::uint32_t r = row; r < row + kRowsPerChroma && r < rows; ++r) {
            // Blocks are 64 samples apart: Y1 right of Y0, Y2 and Y3 below them.
            const std::int16_t* lumaLeft = luma + (r >> 3) * 128 + 8 * (r & 7);
            StoreColourRow<kWidth>(lumaLeft, left, right, columns, out + r * stride);
        }
    }
}

// A grey MCU: each sample in blue, green and red.
JPEG_SSE2 void StoreGreyMcu(std::uint32_t rows, std::uint32_t columns, std::uint32_t* out,
                            const std::int16_t* luma)
{
    const std::uint32_t stride = jpegState.frameWidth;
    std::uint32_t edge[8];
    for (std::uint32_t row = 0; row < rows; ++row, out += stride) {
        Words grey = LoadRow(luma + 8 * row);
        std::uint32_t* target = columns >= 8 ? out : edge;
        StorePixels(grey, grey, grey, target);
        if (target == edge) {
            for (std::uint32_t col = 0; col < columns; ++col)
                out[col] = edge[col];
        }
    }
}

}  // namespace

JPEG_SSE2 void JpegStoreMcuSse2(const McuLayout& layout, std::uint32_t x, std::uint32_t y,
                                const std::int16_t* luma, const std::int16_t* cb, const std::int16_t* cr)
{
    auto [rows, columns, out] = JpegMcuInFrame(layout, x, y);
    if (!layout.colour)
        StoreGreyMcu(rows, columns, out, luma);
    else if (layout.height == 16)
        StoreColourMcu<16, 16>(rows, columns, out, luma, cb, cr);
    else if (layout.width == 16)
        StoreColourMcu<16, 8>(rows, columns, out, luma, cb, cr);
    else
        StoreColourMcu<8, 8>(rows, columns, out, luma, cb, cr);
}

JPEG_NAMESPACE_END
