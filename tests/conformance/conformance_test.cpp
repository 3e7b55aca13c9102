// Conformance against libjpeg-turbo: pictures made at test time by its
// encoder, decoded by DecodeJpeg (every path and the reference build) and by
// libjpeg-turbo's fast integer transform without fancy upsampling, compared
// by PSNR and largest difference, and by an exact model of the arithmetic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

#include <jpeglib.h>

#include "tests/support/stream_builder.h"
#include "tests/support/test_pictures.h"

using testsupport::Bytes;
using testsupport::Rgb;

namespace {

// A component layout: luma sampling factors, and the test name's part.
struct Sampling {
    const char* name;
    int components, h, v;
};
void PrintTo(const Sampling& sampling, std::ostream* out) { *out << sampling.name; }

using Samples = std::vector<std::uint8_t>;  // interleaved, top row first

// Smooth shapes and gradients, like a drawn splash picture; or (noisy) every
// sample independent.
Samples MakeImage(int width, int height, int components, bool noisy)
{
    Samples samples;
    std::uint32_t random = 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < components; ++c) {
                double v;
                if (noisy) {
                    random = random * 1664525u + 1013904223u;
                    v = random >> 24;
                } else {
                    double ring = std::hypot(x - width * 0.4, y - height * 0.6) / (6.0 + 3 * c);
                    v = 128 + 60 * std::sin(ring) + 50 * std::cos((x + 2.0 * y) / (40.0 + 25 * c)) +
                        (x * 40.0 / (width + 1)) - (y * 30.0 / (height + 1));
                }
                samples.push_back(static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0)));
            }
        }
    }
    return samples;
}

// The decoder's fixed-point arithmetic, written out again from its rules
// and fed with libjpeg-turbo's own entropy decoding (jpeg_read_coefficients):
// a second, independent route to the exact pixels DecodeJpeg must give.
namespace model {

std::int32_t Truncate16(std::int32_t v)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(v & 0xFFFF));
}

std::uint8_t Clamp(std::int32_t v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

void Butterfly(const std::int32_t p[8], std::int32_t o[8])
{
    std::int32_t t10 = p[0] + p[4], t11 = p[0] - p[4], t13 = p[2] + p[6];
    std::int32_t t12 = (((p[2] - p[6]) * 362) >> 8) - t13;
    std::int32_t e0 = t10 + t13, e3 = t10 - t13, e1 = t11 + t12, e2 = t11 - t12;
    std::int32_t z13 = p[5] + p[3], z10 = p[5] - p[3], z11 = p[1] + p[7], z12 = p[1] - p[7];
    std::int32_t f7 = z11 + z13;
    std::int32_t z5 = ((z10 + z12) * 473) >> 8;
    std::int32_t f6 = ((z10 * -669) >> 8) + z5 - f7;
    std::int32_t f5 = (((z11 - z13) * 362) >> 8) - f6;
    std::int32_t f4 = ((z12 * 277) >> 8) - z5 + f5;
    const std::int32_t out[8] = {e0 + f7, e1 + f6, e2 + f5, e3 - f4, e3 + f4, e2 - f5, e1 - f6, e0 - f7};
    std::copy(out, out + 8, o);
}

// One block of quantised coefficients (natural order) to 64 samples; a
// column or row whose AC terms are 0 comes out flat with no shortcut.
void InverseTransform(const JCOEF* c, const std::int32_t* q, std::uint8_t* samples)
{
    std::int32_t w[64];
    for (int col = 0; col < 8; ++col) {
        std::int32_t p[8], o[8];
        for (int r = 0; r < 8; ++r)
            p[r] = c[8 * r + col] * q[8 * r + col];
        Butterfly(p, o);
        for (int r = 0; r < 8; ++r)
            w[8 * r + col] = Truncate16(o[r]);
    }
    for (int r = 0; r < 8; ++r) {
        std::int32_t o[8];
        Butterfly(w + 8 * r, o);
        for (int col = 0; col < 8; ++col)
            samples[8 * r + col] = Clamp((o[col] >> 5) + 128);
    }
}

// The last bit in front of EOI reads as 0 in this decoder: taking it loads
// the marker. libjpeg-turbo reads it as it is, so the model clears it. In an
// encoder's stream that bit ends an EOB code (read as EOB either way) or the
// magnitude of coefficient 63, so clearing it is exactly the same thing.
Bytes ClearLastBitBeforeEoi(Bytes stream)
{
    const std::size_t n = stream.size();
    if (n >= 4 && stream[n - 2] == 0xFF && stream[n - 1] == 0xD9) {
        if (stream[n - 4] == 0xFF && stream[n - 3] == 0x00)
            stream.erase(stream.begin() + std::ptrdiff_t(n - 3));  // stuffed FF: FE needs no stuffing
        stream[stream.size() - 3] &= 0xFE;
    }
    return stream;
}

Rgb Decode(const Bytes& original)
{
    const Bytes stream = ClearLastBitBeforeEoi(original);
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, stream.data(), stream.size());
    jpeg_read_header(&cinfo, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&cinfo);
    const int components = cinfo.num_components;
    const int mcuWidth = 8 * cinfo.comp_info[0].h_samp_factor;
    const int mcuHeight = 8 * cinfo.comp_info[0].v_samp_factor;
    Rgb image{static_cast<int>(cinfo.image_width), static_cast<int>(cinfo.image_height), {}};
    image.data.resize(std::size_t(image.width) * image.height * 3);

    // Samples of each component's whole plane, MCU-padded.
    auto scale = [](int k) { return k == 0 ? 1.0 : std::sqrt(2.0) * std::cos(k * std::numbers::pi / 16); };
    std::vector<std::vector<std::uint8_t>> planes(components);
    std::vector<int> planeWidths(components);
    for (int ci = 0; ci < components; ++ci) {
        jpeg_component_info& comp = cinfo.comp_info[ci];
        std::int32_t q[64];  // prescaled, truncated multipliers
        for (int i = 0; i < 64; ++i)
            q[i] = (comp.quant_table->quantval[i] * std::lround(16384 * scale(i / 8) * scale(i % 8))) >> 12;
        const int across = int(comp.width_in_blocks + comp.h_samp_factor - 1) / comp.h_samp_factor * comp.h_samp_factor;
        const int down = int(comp.height_in_blocks + comp.v_samp_factor - 1) / comp.v_samp_factor * comp.v_samp_factor;
        planeWidths[ci] = 8 * across;
        planes[ci].resize(std::size_t(64) * across * down);
        for (int by = 0; by < down; ++by) {
            JBLOCKARRAY row = cinfo.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&cinfo),
                                                            arrays[ci], JDIMENSION(by), 1, FALSE);
            for (int bx = 0; bx < across; ++bx) {
                std::uint8_t block[64];
                InverseTransform(row[0][bx], q, block);
                for (int i = 0; i < 64; ++i)
                    planes[ci][std::size_t(8 * by + i / 8) * planeWidths[ci] + 8 * bx + i % 8] = block[i];
            }
        }
    }
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            std::uint8_t* out = &image.data[(std::size_t(y) * image.width + x) * 3];
            const std::int32_t luma = planes[0][std::size_t(y) * planeWidths[0] + x];
            if (components == 1) {
                out[0] = out[1] = out[2] = static_cast<std::uint8_t>(luma);
                continue;
            }
            // The MCU's chroma sample for this pixel: one per 1, 2 or 2 x 2 luma pixels.
            const int cx = x / mcuWidth * 8 + (x % mcuWidth) * 8 / mcuWidth;
            const int cy = y / mcuHeight * 8 + (y % mcuHeight) * 8 / mcuHeight;
            const std::int32_t cb = planes[1][std::size_t(cy) * planeWidths[1] + cx] - 128;
            const std::int32_t cr = planes[2][std::size_t(cy) * planeWidths[2] + cx] - 128;
            out[0] = Clamp(luma + ((45 * cr) >> 5));
            out[1] = Clamp(luma - ((11 * cb) >> 5) - ((23 * cr) >> 5));
            out[2] = Clamp(luma + ((57 * cb) >> 5));
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return image;
}

}  // namespace model

// What a test varies: libjpeg-turbo's quality, its optimised Huffman tables or
// its standard ones, a restart marker behind every MCU row or none.
struct Encoding {
    int quality;
    bool optimise, restartRows;
};

// `samples` as libjpeg-turbo encodes them, decoded by DecodeJpeg (every path
// and the reference build), which must give the model's samples exactly and
// come within `minPsnr` dB and `maxDifference` of libjpeg-turbo's.
void Conform(Sampling sampling, const Samples& samples, int width, int height, Encoding e, double minPsnr,
              int maxDifference)
{
    SCOPED_TRACE(testing::Message() << sampling.name << " " << width << "x" << height << " q" << e.quality
                                    << (e.optimise ? " optimised" : "") << (e.restartRows ? " restart rows" : ""));
    testsupport::EncodeOptions o = testsupport::Sized(width, height, sampling.components);
    o.h[0] = sampling.h;
    o.v[0] = sampling.v;
    o.quality = e.quality;
    o.optimize = e.optimise;
    o.restartInRows = e.restartRows;
    o.samples = &samples;
    const Bytes stream = testsupport::Encode(o);
    const Rgb reference = testsupport::ReferenceDecode(stream), exact = model::Decode(stream);
    const testsupport::Outcome d = testsupport::Decode(stream);
    Rgb ours{static_cast<int>(d.width), static_cast<int>(d.height), {}};
    for (std::uint32_t p : d.pixels)
        ours.data.insert(ours.data.end(), {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)});
    EXPECT_EQ(ours.width, reference.width);
    EXPECT_EQ(ours.height, reference.height);
    ASSERT_EQ(ours.data.size(), reference.data.size()) << "sample counts";
    std::size_t offModel = 0;
    int largest = 0;
    for (std::size_t i = 0; i < ours.data.size(); ++i) {
        offModel += ours.data[i] != exact.data[i];
        largest = std::max(largest, std::abs(int(ours.data[i]) - int(reference.data[i])));
    }
    EXPECT_EQ(offModel, 0u) << "samples off the model";
    EXPECT_GE(testsupport::Psnr(ours, reference), minPsnr);
    EXPECT_LE(largest, maxDifference);
}

class Conformance : public ::testing::TestWithParam<Sampling> {};

// Bounds from measurement (worst case over every size, table kind and
// restart setting; all four samplings), with a margin. The two decoders
// differ by design: 5-bit colour factors against libjpeg-turbo's exact
// ones, truncated prescaled multipliers and floored shifts against its
// rounded ones. At quality 95 and above quantisers of 1 become multipliers
// of 0 to 2 at high frequencies, which drops those terms: a real loss that
// lowers smooth pictures to the high 30s dB.
//   quality 5..90:   worst 47.7 dB, largest difference 4  -> 45 dB, 6
//   quality 95, 100: worst 36.6 dB, largest difference 19 -> 34 dB, 25
TEST_P(Conformance, SmoothPicturesMatchTheReferenceDecoder)
{
    const Sampling sampling = GetParam();
    for (auto [w, h] : {std::pair<int, int>{1, 1}, {8, 8}, {17, 9}, {33, 47}, {640, 480}}) {
        const Samples image = MakeImage(w, h, sampling.components, false);
        for (int quality : {5, 10, 25, 50, 75, 90, 95, 100})
            for (bool optimise : {false, true})
                for (bool restartRows : {false, true})
                    Conform(sampling, image, w, h, {quality, optimise, restartRows}, quality <= 90 ? 45.0 : 34.0,
                            quality <= 90 ? 6 : 25);
    }
}

// Noise puts energy in every coefficient, so the loss at quantisers of 1
// shows fully. Measured worst (PSNR, largest difference) -> bound:
//   quality 50..90: 40.1 dB, 12  -> 38 dB, 16
//   quality 95, 98: 29.9 dB, 41  -> 27 dB, 55
//   quality 100:    17.9 dB, 166 -> 16 dB, no bound on the difference
// With a restart marker behind every row, rows end padded, with data that
// fills their last byte exactly (the marker then in the bit reader's hands)
// and in a stuffed 0xFF (measured: 18 to 33 of each kind); the rows behind
// must decode exactly.
TEST_P(Conformance, NoisyPicturesWithRestartRowsMatchTheReferenceDecoder)
{
    const Sampling sampling = GetParam();
    for (auto [w, h] : {std::pair<int, int>{33, 47}, {640, 480}}) {
        const Samples image = MakeImage(w, h, sampling.components, true);
        for (int quality : {50, 75, 90, 95, 98, 100})
            Conform(sampling, image, w, h, {quality, true, true}, quality <= 90 ? 38.0 : quality < 100 ? 27.0 : 16.0,
                    quality <= 90 ? 16 : quality < 100 ? 55 : 255);
    }
}

INSTANTIATE_TEST_SUITE_P(Samplings, Conformance,
                         ::testing::Values(Sampling{"Grey", 1, 1, 1}, Sampling{"Full", 3, 1, 1},
                                           Sampling{"HalfWidth", 3, 2, 1}, Sampling{"HalfBoth", 3, 2, 2}),
                         [](const ::testing::TestParamInfo<Sampling>& info) { return info.param.name; });

}  // namespace
