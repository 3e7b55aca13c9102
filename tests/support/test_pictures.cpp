// libjpeg-turbo at test time: the pictures and the reference decoding.
#include "tests/support/test_pictures.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include <jpeglib.h>

#include "tests/support/stream_builder.h"

namespace testsupport {
namespace {

// The test picture's own pixel at (x, y), as RGB.
void SourcePixel(int x, int y, std::uint8_t rgb[3])
{
    // Smooth ramps with a soft diagonal wave: detail that JPEG keeps well.
    double wave = 40.0 * std::sin((x + 2 * y) * 0.15);
    auto clamp = [](double v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    rgb[0] = clamp(60 + 2.0 * x + wave);
    rgb[1] = clamp(40 + 3.0 * y - wave);
    rgb[2] = clamp(200 - 1.5 * x - y + 0.5 * wave);
}

}  // namespace

Bytes Encode(const EncodeOptions& o)
{
    // Pixels in the input colour space.
    int inComponents = o.components == 1 ? 1 : o.components == 4 ? 4 : 3;
    std::vector<std::uint8_t> pixels(std::size_t(o.width) * o.height * inComponents);
    if (o.samples != nullptr)
        pixels = *o.samples;
    for (int y = 0; y < o.height && o.samples == nullptr; ++y)
        for (int x = 0; x < o.width; ++x) {
            std::uint8_t rgb[3];
            SourcePixel(x, y, rgb);
            std::uint8_t* p = &pixels[(std::size_t(y) * o.width + x) * inComponents];
            if (inComponents == 1)
                p[0] = static_cast<std::uint8_t>((rgb[0] * 77 + rgb[1] * 150 + rgb[2] * 29) >> 8);
            else
                for (int c = 0; c < inComponents; ++c)
                    p[c] = c < 3 ? rgb[c] : 100;
        }
    std::array<unsigned int, 64> flatTable;
    flatTable.fill(10);
    jpeg_scan_info scans[4];
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;  // libjpeg's own: an error prints its message and ends the test program
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = o.width;
    cinfo.image_height = o.height;
    cinfo.input_components = inComponents;
    cinfo.in_color_space = inComponents == 1 ? JCS_GRAYSCALE : inComponents == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    if (o.rgbColourSpace)
        jpeg_set_colorspace(&cinfo, JCS_RGB);
    jpeg_set_quality(&cinfo, o.quality, o.forceBaseline ? TRUE : FALSE);
    cinfo.write_JFIF_header = o.jfif ? TRUE : FALSE;
    cinfo.optimize_coding = o.optimize ? TRUE : FALSE;
    cinfo.arith_code = o.arithmetic ? TRUE : FALSE;
    cinfo.restart_in_rows = o.restartInRows;
    cinfo.restart_interval = static_cast<unsigned int>(o.restartInterval);
    cinfo.dct_method = JDCT_ISLOW;
    bool thirdQuant = false;
    for (int c = 0; c < cinfo.num_components; ++c) {
        cinfo.comp_info[c].h_samp_factor = o.h[c];
        cinfo.comp_info[c].v_samp_factor = o.v[c];
        cinfo.comp_info[c].component_id = o.ids[c];
        cinfo.comp_info[c].quant_tbl_no = o.quantTable[c];
        cinfo.comp_info[c].dc_tbl_no = o.huffTable[c];
        cinfo.comp_info[c].ac_tbl_no = o.huffTable[c];
        thirdQuant |= o.quantTable[c] == 2;
    }
    if (thirdQuant)
        jpeg_add_quant_table(&cinfo, 2, flatTable.data(), 100, TRUE);
    if (o.progressive)
        jpeg_simple_progression(&cinfo);
    if (o.separateScans) {
        for (int c = 0; c < cinfo.num_components; ++c)
            scans[c] = {1, {c, 0, 0, 0}, 0, 63, 0, 0};
        cinfo.scan_info = scans;
        cinfo.num_scans = cinfo.num_components;
    }
    if (o.omitTables)
        jpeg_suppress_tables(&cinfo, TRUE);
    jpeg_start_compress(&cinfo, o.omitTables ? FALSE : TRUE);
    for (const auto& [code, payload] : o.markers)
        jpeg_write_marker(&cinfo, code, payload.data(), static_cast<unsigned int>(payload.size()));
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = &pixels[std::size_t(cinfo.next_scanline) * o.width * inComponents];
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

EncodeOptions Sized(int width, int height, int components)
{
    EncodeOptions o;
    o.width = width;
    o.height = height;
    o.components = components;
    return o;
}

Rgb ReferenceDecode(const Bytes& jpeg)
{
    Rgb out;
    std::vector<std::uint8_t> row;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.dct_method = JDCT_IFAST;
    cinfo.do_fancy_upsampling = FALSE;
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    out.width = static_cast<int>(cinfo.output_width);
    out.height = static_cast<int>(cinfo.output_height);
    out.data.resize(std::size_t(out.width) * out.height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW p = &out.data[std::size_t(cinfo.output_scanline) * out.width * 3];
        jpeg_read_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return out;
}

double Psnr(const Rgb& a, const Rgb& b)
{
    if (a.width != b.width || a.height != b.height || a.data.size() != b.data.size() || a.data.empty())
        return 0;
    double sum = 0;
    for (std::size_t i = 0; i < a.data.size(); ++i) {
        double d = double(a.data[i]) - double(b.data[i]);
        sum += d * d;
    }
    if (sum == 0)
        return 99;
    return 10 * std::log10(255.0 * 255.0 * a.data.size() / sum);
}

bool IsUniform(const Rgb& picture)
{
    for (std::size_t i = 3; i < picture.data.size(); ++i)
        if (picture.data[i] != picture.data[i % 3])
            return false;
    return true;
}

std::size_t FindMarker(const Bytes& jpeg, std::uint8_t code, std::size_t from)
{
    for (std::size_t i = from; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == code)
            return i;
    throw std::runtime_error("marker not found in the test picture");
}

Bytes Segment(std::uint8_t code, const Bytes& payload) { return StreamBuilder().Segment(code, payload).bytes(); }

Bytes SegmentAt(const Bytes& jpeg, std::size_t offset)
{
    std::size_t length = (std::size_t(jpeg.at(offset + 2)) << 8) | jpeg.at(offset + 3);
    return Bytes(jpeg.begin() + offset, jpeg.begin() + offset + 2 + length);
}

Bytes Insert(Bytes jpeg, std::size_t offset, const Bytes& bytes)
{
    jpeg.insert(jpeg.begin() + offset, bytes.begin(), bytes.end());
    return jpeg;
}

Bytes Erase(Bytes jpeg, std::size_t offset, std::size_t count)
{
    jpeg.erase(jpeg.begin() + offset, jpeg.begin() + offset + count);
    return jpeg;
}

Bytes ExifPayload(int orientation, const Bytes& thumbnail, bool motorola)
{
    // "Exif\0\0", then a TIFF: IFD0 at 8 (one entry), IFD1 at 26 (three
    // entries, the compression first, as cameras write them), thumbnail at 68.
    Bytes p = {'E', 'x', 'i', 'f', 0, 0};
    auto put = [&](unsigned value, int size) {  // in the file's byte order
        for (int i = 0; i < size; ++i)
            p.push_back(static_cast<std::uint8_t>(value >> 8 * (motorola ? size - 1 - i : i)));
    };
    put(motorola ? 0x4D4D : 0x4949, 2);
    put(42, 2);
    put(8, 4);
    put(1, 2);
    put(0x0112, 2); put(3, 2); put(1, 4); put(static_cast<unsigned>(orientation), 2); put(0, 2);
    put(thumbnail.empty() ? 0 : 26, 4);
    if (!thumbnail.empty()) {
        put(3, 2);
        put(0x0103, 2); put(3, 2); put(1, 4); put(6, 2); put(0, 2);
        put(0x0201, 2); put(4, 2); put(1, 4); put(68, 4);
        put(0x0202, 2); put(4, 2); put(1, 4); put(static_cast<unsigned>(thumbnail.size()), 4);
        put(0, 4);
        p.insert(p.end(), thumbnail.begin(), thumbnail.end());
    }
    return p;
}

}  // namespace testsupport
