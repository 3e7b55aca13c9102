// The warning table.
#include "warning_table.h"

#include <iterator>

namespace splash {
namespace {

constexpr const char* kResave = "re-save the picture with a standard encoder (cjpeg, ImageMagick, Pillow)";
constexpr const char* kSampling = "use 4:2:0 (2x2), 4:2:2 (2x1) or 4:4:4 (1x1) chroma subsampling";
constexpr const char* kStrip = "strip embedded thumbnails and metadata (exiftool -all= prelude.jpg)";
constexpr const char* kTwoPairs = "use two quantisation tables and two Huffman table pairs (luma, chroma), the "
                                  "default of libjpeg, cjpeg, ImageMagick and Pillow";
constexpr const char* kNoFill =
    "re-save the file with a standard encoder (cjpeg, ImageMagick, Pillow) so no fill bytes stand before markers";

constexpr Verdict W = Verdict::Wrong, B = Verdict::Blank, N = Verdict::None;

constexpr WarningKind kKinds[] = {
    {Warn::NotJpeg, "not-jpeg", N, "no FF D8 at the start", "save the picture as a JPEG file"},
    {Warn::NoFrame, "no-frame", B, "no frame header", "export the picture again as a baseline JPEG"},
    {Warn::Progressive, "progressive", W, "progressive frame",
     "save as baseline JPEG: turn off \"progressive\" (cjpeg without -progressive, "
     "ImageMagick -interlace none, Pillow progressive=False)"},
    {Warn::Arithmetic, "arithmetic", W, "arithmetic coding",
     "save with Huffman coding: turn off \"arithmetic coding\" (cjpeg without -arithmetic)"},
    {Warn::Lossless, "lossless", W, "lossless frame", "save as an ordinary (lossy) baseline JPEG"},
    {Warn::Hierarchical, "hierarchical", W, "hierarchical frames", "save as an ordinary baseline JPEG"},
    {Warn::Precision, "precision", W, "not 8-bit samples", "save with 8 bits per sample (8-bit colour depth)"},
    {Warn::ZeroSizeNoFrame, "zero-size", B, "no usable frame, or a 0 side",
     "save as baseline JPEG with 8-bit samples"},
    {Warn::ZeroSize, "zero-size", B, "no usable frame, or a 0 side",
     "save the picture with its real size in the frame header (no DNL height)"},
    {Warn::OtherFrame, "other-frame", W, "size taken from another frame header",
     "strip embedded thumbnails and metadata (exiftool -all= prelude.jpg, or cjpeg without -copy)"},
    {Warn::TooLarge, "too-large", N, "beyond the decoder's pixel limit",
     "scale the picture down, at most to the screen size"},
    {Warn::ScreenSize, "screen-size", W, "the screen cuts the window's client area",
     "scale the artwork to fit the screen and add two columns and rows on the right and bottom "
     "(splash-check --make --screen WxH does both)"},
    {Warn::ComponentCount, "component-count", W, "CMYK, YCCK", "save in RGB/YCbCr colour or greyscale, not CMYK"},
    {Warn::ComponentIds, "component-ids", W, "not 1, 2, 3",
     "use an encoder that numbers the components 1, 2, 3 (libjpeg, cjpeg, ImageMagick, Pillow do)"},
    {Warn::RgbColour, "rgb-colour", W, "Adobe RGB without JFIF",
     "save in YCbCr (the default of cjpeg, ImageMagick and Pillow), not \"RGB JPEG\""},
    {Warn::Luma1x2, "luma-1x2", W, "4:4:0, laid out as 16x8", kSampling},
    {Warn::LumaSampling, "luma-sampling", W, "luma sampling not laid out", kSampling},
    {Warn::ChromaSampling, "chroma-sampling", W, "chroma sampled above 1x1",
     "give the chroma components sampling 1x1 (any of 4:2:0, 4:2:2, 4:4:4 does)"},
    {Warn::Quant16Bit, "quant-16bit", W, "16-bit quantisation table",
     "raise the quality above the lowest settings and force baseline tables "
     "(cjpeg -baseline; libjpeg force_baseline=TRUE)"},
    {Warn::ThirdQuantTable, "third-quant-table", W, "more than two quantisation tables",
     "use one table for luma and one shared by both chroma components (the default of libjpeg and cjpeg)"},
    {Warn::ThirdHuffmanTable, "third-huffman-table", W, "more than two tables of a class",
     "use one Huffman table pair for luma and one shared by both chroma components"},
    {Warn::TableIndex, "table-index", W, "above 1", "use tables 0 (luma) and 1 (chroma) only"},
    {Warn::DhtPassedOver, "dht-passed-over", W, "a DHT the decoder passes over",
     "define at most two DC and two AC Huffman tables, all before the scan"},
    {Warn::DqtPassedOver, "dqt-passed-over", W, "a DQT the decoder passes over",
     "define at most two quantisation tables"},
    {Warn::SosBeforeTables, "sos-before-tables", W, "a scan before its tables",
     "write a complete JPEG file with its DQT and DHT tables before the scan "
     "(re-save it with cjpeg, ImageMagick or Pillow)"},
    {Warn::NoScan, "no-scan", B, "no scan", "export the picture again"},
    {Warn::ScanNeverStarts, "scan-never-starts", B, "a colour scan needs exactly two tables of each kind", kTwoPairs},
    {Warn::ScanNeverStartsNoise, "scan-never-starts", W, "a colour scan needs exactly two tables of each kind",
     kTwoPairs},
    {Warn::ScanComponents, "scan-components", B, "no component count the decoder decodes",
     "save in YCbCr colour or greyscale"},
    {Warn::OtherScan, "other-scan", W, "another scan decoded", kStrip},
    {Warn::MultipleScans, "multiple-scans", W, "only the first scan shows",
     "save as baseline JPEG with all components in one interleaved scan (no scan script, not progressive)"},
    {Warn::NoTables, "no-tables", B, "no luma tables", "write the DQT and DHT tables before the scan"},
    {Warn::TablesDiffer, "tables-differ", W, "other tables than the scan names",
     "use two quantisation tables and two Huffman table pairs, indexes 0 (luma) and 1 (chroma), "
     "defined once before the scan"},
    {Warn::RestartPlacement, "restart-placement", W, "restart markers not exactly at each MCU row's end",
     "turn restart markers off, or put one at the end of every MCU row (cjpeg -restart 1, "
     "libjpeg restart_in_rows = 1)"},
    {Warn::Thumbnail, "thumbnail", W, "a JPEG thumbnail in an APP segment",
     "save without a thumbnail or strip it (exiftool -all= prelude.jpg; cjpeg writes none)"},
    {Warn::HiddenMarker, "hidden-marker", W, "a marker inside segment data",
     "strip metadata and comments from the file (exiftool -all= prelude.jpg)"},
    {Warn::FillByte, "fill-byte", W, "0xFF before a marker hides it", kNoFill},
    {Warn::Orientation, "orientation", W, "EXIF orientation other than 1",
     "rotate the pixels and reset the orientation (ImageMagick -auto-orient, "
     "Pillow ImageOps.exif_transpose, jpegtran with exiftool -Orientation=1 -n)"},
    {Warn::Damaged, "damaged", W, "entropy-coded data that does not decode", "export the picture again from the original"},
    {Warn::Truncated, "truncated", W, "data cut short", "copy the whole file again; it is cut short"},
    {Warn::Malformed, "malformed", W, "segments that break the layout", kResave},
    {Warn::DecodeFailed, "decode-failed", N, "the decoder refused the file", "make the picture smaller"},
};

// Rows stand in the order of Warn, so an id indexes the table.
constexpr bool InIdOrder()
{
    for (std::size_t i = 0; i < std::size(kKinds); ++i)
        if (static_cast<std::size_t>(kKinds[i].id) != i)
            return false;
    return true;
}
static_assert(InIdOrder() && std::size(kKinds) == std::size_t(Warn::DecodeFailed) + 1);

}  // namespace

// The row of `id`.
const WarningKind& KindOf(Warn id)
{
    return kKinds[static_cast<std::size_t>(id)];
}

// Each code once, in table order.
std::vector<std::string> WarningCodes()
{
    std::vector<std::string> codes;
    for (const WarningKind& kind : kKinds)
        if (codes.empty() || codes.back() != kind.code)
            codes.push_back(kind.code);
    return codes;
}

}  // namespace splash
