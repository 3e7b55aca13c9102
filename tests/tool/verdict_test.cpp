// Each warning with a picture that triggers it, and the verdict held against
// what the splash decoder really returns, run as the shipped program.
#include <functional>

#include <gtest/gtest.h>

#include "decoder_record.h"
#include "tests/support/test_pictures.h"
#include "tool_runner.h"

namespace testsupport {
namespace {

// A picture declared fine must decode this close to libjpeg-turbo's fast
// integer transform without fancy upsampling. Measured: the fine cases below
// give 46 dB or more, except quality 100 at 35.8 dB (the prescaled multipliers
// of a quantiser of 1 truncate); the wrong pictures that change pixels give
// 25.4 dB at most. 32 dB sits between with margin on both sides.
constexpr double kFineDb = 32.0;

enum class Outcome {
    Reference,  // decodes like libjpeg-turbo
    Differs,    // decodes, but not like libjpeg-turbo
    Flat,       // one colour everywhere
    Nothing,    // result 0: no window
    OnePixel,   // a 0x0 picture: a one-pixel window with no client area
};

struct VerdictCase {
    const char* name;
    std::function<Bytes()> make;
    std::vector<std::string> warnings;  // each must be reported; "code: text": its message holds text
    const char* verdict;
    Outcome outcome;
    std::function<Bytes()> original = nullptr;  // the reference's input, when not the picture itself
};

void PrintTo(const VerdictCase& c, std::ostream* os) { *os << c.name; }

// --- pictures ---------------------------------------------------------------

// The frame header's marker, precision and size changed; its data stays 64x48.
Bytes WithFrame(std::uint8_t code, int precision = 8, int width = 64, int height = 48)
{
    Bytes jpeg = Encode({});
    std::size_t sof = FindMarker(jpeg, 0xC0);
    jpeg[sof + 1] = code;
    jpeg[sof + 4] = static_cast<std::uint8_t>(precision);
    jpeg[sof + 5] = static_cast<std::uint8_t>(height >> 8);
    jpeg[sof + 6] = static_cast<std::uint8_t>(height);
    jpeg[sof + 7] = static_cast<std::uint8_t>(width >> 8);
    jpeg[sof + 8] = static_cast<std::uint8_t>(width);
    return jpeg;
}

// An optimised picture with libjpeg's standard tables defined in front of its
// own: a T.81 decoder uses the later ones, the splash decoder the first four.
Bytes WithEarlierStandardTables()
{
    EncodeOptions optimised;
    optimised.optimize = true;
    Bytes jpeg = Encode(optimised);
    Bytes standard = Encode({});
    Bytes tables;
    for (std::size_t at = FindMarker(standard, 0xC4); standard[at + 1] == 0xC4;) {
        Bytes segment = SegmentAt(standard, at);
        tables.insert(tables.end(), segment.begin(), segment.end());
        at += segment.size();
    }
    return Insert(jpeg, FindMarker(jpeg, 0xC4), tables);
}

// DQT with the luma table, then one DQT holding the chroma table twice; 600
// bytes behind the end marker.
Bytes WithThreeQuantTablesInTwoSegments()
{
    Bytes jpeg = Encode({});
    std::size_t second = FindMarker(jpeg, 0xDB, FindMarker(jpeg, 0xDB) + 2);
    Bytes table = SegmentAt(jpeg, second);
    Bytes payload(table.begin() + 4, table.end());
    payload.insert(payload.end(), table.begin() + 4, table.end());
    jpeg.insert(jpeg.end(), 600, 0x5A);
    return Insert(Erase(jpeg, second, table.size()), second, Segment(0xDB, payload));
}

Bytes WithExif(int orientation, bool thumbnail)
{
    EncodeOptions o;
    Bytes small = thumbnail ? Encode(Sized(16, 8)) : Bytes{};
    o.markers = {{0xE1, ExifPayload(orientation, small)}};
    return Encode(o);
}

Bytes WithFillBytes(int count)
{
    Bytes jpeg = Encode({});
    return Insert(jpeg, FindMarker(jpeg, 0xC4), Bytes(count, 0xFF));
}

Bytes CutInTheScan()
{
    Bytes jpeg = Encode({});
    std::size_t sos = FindMarker(jpeg, 0xDA);
    jpeg.resize(sos + (jpeg.size() - sos) / 2);
    return jpeg;
}

Bytes WithoutScan(const EncodeOptions& o)
{
    Bytes jpeg = Encode(o);
    std::size_t sos = FindMarker(jpeg, 0xDA);
    return Insert(Erase(jpeg, sos, jpeg.size() - sos), sos, {0xFF, 0xD9});
}

// The grey picture without its `code` segment.
std::function<Bytes()> Without(std::uint8_t code)
{
    return [code] {
        Bytes jpeg = Encode(Sized(64, 48, 1));
        std::size_t at = FindMarker(jpeg, code);
        return Erase(jpeg, at, SegmentAt(jpeg, at).size());
    };
}

// Sixteen 1-bits at the start of the scan: no code of libjpeg's tables.
Bytes WithUndecodableData()
{
    Bytes jpeg = Encode({});
    std::size_t sos = FindMarker(jpeg, 0xDA);
    return Insert(jpeg, sos + SegmentAt(jpeg, sos).size(), {0xFF, 0x00, 0xFF, 0x00});
}

std::function<Bytes()> WithApp0Length(int length)
{
    return [length] {
        Bytes jpeg = Encode(Sized(64, 48, 1));
        jpeg[4] = static_cast<std::uint8_t>(length >> 8);
        jpeg[5] = static_cast<std::uint8_t>(length);
        return jpeg;
    };
}

// The grey picture, with a restart marker every `restartRows` rows, byte `at`
// of its scan header set to `value` (5: the component's id, 6: its Huffman
// tables, DC << 4 | AC).
std::function<Bytes()> WithScanByte(int at, std::uint8_t value, int restartRows = 0)
{
    return [=] {
        EncodeOptions o = Sized(64, 48, 1);
        o.restartInRows = restartRows;
        Bytes jpeg = Encode(o);
        jpeg[FindMarker(jpeg, 0xDA) + at] = value;
        return jpeg;
    };
}

// A maker of the picture `edit` makes of the options `o`.
std::function<Bytes()> Encoded(std::function<void(EncodeOptions&)> edit, EncodeOptions o = {})
{
    return [=] {
        EncodeOptions edited = o;
        edit(edited);
        return Encode(edited);
    };
}

// A 0xFF fill byte in front of the first restart marker.
Bytes WithFillByteBeforeRestart()
{
    Bytes jpeg = Encoded([](auto& o) { o.restartInRows = 1; })();
    std::size_t rst = FindMarker(jpeg, 0xD0, FindMarker(jpeg, 0xDA));
    return Insert(jpeg, rst, {0xFF});
}

// A copy of the file's first `code` segment in front of the scan.
Bytes WithFirstSegmentRepeated(std::uint8_t code)
{
    Bytes jpeg = Encode({});
    return Insert(jpeg, FindMarker(jpeg, 0xDA), SegmentAt(jpeg, FindMarker(jpeg, code)));
}

// A copy of the first quantisation (DQT) or DC (DHT) table given the index byte
// `index` (class and number for DHT), in front of the scan (number 4) or of the other tables.
Bytes WithTableIndex(std::uint8_t code, std::uint8_t index)
{
    Bytes jpeg = Encode({});
    Bytes segment = SegmentAt(jpeg, FindMarker(jpeg, code));
    segment[4] = index;
    return Insert(jpeg, FindMarker(jpeg, (index & 15) == 4 ? 0xDA : code), segment);
}

// The grey picture's scan, header and data, twice.
Bytes WithScanTwice()
{
    Bytes jpeg = Encode(Sized(64, 48, 1));
    return Insert(jpeg, jpeg.size() - 2, Bytes(jpeg.begin() + FindMarker(jpeg, 0xDA), jpeg.end() - 2));
}

// --- the cases ----------------------------------------------------------------

const VerdictCase kCases[] = {
    {"progressive", Encoded([](auto& o) { o.progressive = true; }),
     {"progressive", "zero-size", "multiple-scans: 10 scans: the decoder shows only the first (3 components)",
      "other-scan"}, "blank", Outcome::OnePixel},
    {"arithmetic", Encoded([](auto& o) { o.arithmetic = true; }),
     {"arithmetic", "zero-size", "scan-never-starts", "sos-before-tables"}, "blank", Outcome::OnePixel},
    {"lossless", [] { return WithFrame(0xC3); }, {"lossless", "zero-size", "tables-differ"}, "blank",
     Outcome::OnePixel},
    {"hierarchical", [] { return WithFrame(0xC5); }, {"hierarchical", "zero-size", "tables-differ"}, "blank",
     Outcome::OnePixel},
    {"twelve_bit", [] { return WithFrame(0xC1, 12); }, {"precision", "zero-size", "tables-differ"}, "blank",
     Outcome::OnePixel},
    {"no_frame", Without(0xC0), {"no-frame"}, "blank", Outcome::OnePixel},
    {"no_quant_table", Without(0xDB), {"sos-before-tables", "no-tables"}, "blank", Outcome::Flat},
    // The decoder has no table 1 for the grey scan to name.
    {"dc_table_missing", WithScanByte(6, 0x20), {"table-index", "sos-before-tables"}, "wrong", Outcome::Differs,
     WithScanByte(6, 0x00)},
    {"ac_table_missing", WithScanByte(6, 0x01), {"sos-before-tables", "no-tables: no luma AC table"}, "blank",
     Outcome::Flat},
    {"scan_component_id_5", WithScanByte(5, 5), {"component-ids"}, "wrong", Outcome::Differs, WithScanByte(5, 1)},
    {"ac_table_missing_with_restarts", WithScanByte(6, 0x01, 1), {"sos-before-tables"}, "wrong",
     Outcome::Differs, WithScanByte(6, 0x00, 1)},
    {"zero_height", [] { return WithFrame(0xC0, 8, 64, 0); }, {"zero-size: the frame is 64x0"}, "blank",
     Outcome::OnePixel},
    {"beyond_decoder_limit", [] { return WithFrame(0xC0, 8, 65535, 65535); }, {"too-large: 65535x65535", "truncated"},
     "none", Outcome::Nothing},
    {"at_decoder_limit", [] { return WithFrame(0xC0, 8, 4096, 2048); }, {"screen-size", "truncated"}, "wrong",
     Outcome::Differs},
    {"sixteen_bit_quant_tables", Encoded([](auto& o) { o.quality = 1; o.forceBaseline = false; }),
     {"quant-16bit", "scan-never-starts"}, "blank", Outcome::Flat},
    {"sixteen_bit_quant_tables_grey",
     Encoded([](auto& o) { o.quality = 1; o.forceBaseline = false; }, Sized(64, 48, 1)),
     {"quant-16bit", "no-tables"}, "blank", Outcome::Flat},
    {"third_quant_table", Encoded([](auto& o) { o.quantTable[2] = 2; }),
     {"third-quant-table", "table-index", "dqt-passed-over", "tables-differ"}, "wrong", Outcome::Differs},
    {"three_quant_tables_in_two_segments", WithThreeQuantTablesInTwoSegments,
     {"third-quant-table", "scan-never-starts: it read 3, 2 and 2, so no scan starts; the decoder decodes the 600 "
                           "bytes behind the end marker at offset 1155"},
     "wrong", Outcome::Differs, [] { return Encode({}); }},
    {"one_quant_table_for_colour", Encoded([](auto& o) { o.quantTable[1] = o.quantTable[2] = 0; }),
     {"scan-never-starts"}, "blank", Outcome::Flat},
    {"third_huffman_table", Encoded([](auto& o) { o.optimize = true; o.huffTable[2] = 2; }),
     {"third-huffman-table", "table-index", "dht-passed-over", "tables-differ"}, "wrong", Outcome::Differs},
    {"later_huffman_tables_passed_over", WithEarlierStandardTables,
     {"third-huffman-table", "dht-passed-over", "tables-differ"}, "wrong", Outcome::Differs},
    {"component_ids_from_zero", Encoded([](auto& o) { o.ids[0] = 0; o.ids[1] = 1; o.ids[2] = 2; }),
     {"component-ids: identifiers 0, 1, 2 (scan: 0 1 2)", "chroma-sampling", "tables-differ"}, "wrong",
     Outcome::Differs},
    {"cmyk", Encoded([](auto& o) { o.components = 4; o.h[0] = o.v[0] = 1; }),
     {"component-count", "component-ids", "scan-components", "tables-differ"}, "blank", Outcome::Flat},
    {"ac_table_index_4", [] { return WithTableIndex(0xC4, 0x14); },
     {"third-huffman-table: 2 DC and 3 AC", "table-index", "dht-passed-over"}, "wrong", Outcome::Reference,
     [] { return Encode({}); }},
    {"dc_table_index_4", [] { return WithTableIndex(0xC4, 4); },
     {"third-huffman-table: 3 DC and 2 AC", "table-index", "dht-passed-over"}, "wrong", Outcome::Reference,
     [] { return Encode({}); }},
    {"later_quant_table_differs_in_its_last_entry",
     [] {
         Bytes jpeg = WithFirstSegmentRepeated(0xDB);
         ++jpeg[FindMarker(jpeg, 0xDA) - 1];  // the copy's last entry
         return jpeg;
     },
     {"third-quant-table", "dqt-passed-over", "tables-differ"}, "wrong", Outcome::Reference},
    {"third_quant_table_repeating_one", [] { return WithFirstSegmentRepeated(0xDB); },
     {"third-quant-table", "dqt-passed-over"}, "wrong", Outcome::Reference},
    {"quant_table_index_2_first", [] { return WithTableIndex(0xDB, 2); },
     {"table-index", "third-quant-table", "dqt-passed-over", "tables-differ"}, "wrong", Outcome::Differs,
     [] { return Encode({}); }},
    {"quant_table_index_4", [] { return WithTableIndex(0xDB, 4); },
     {"table-index", "third-quant-table", "dqt-passed-over"}, "wrong", Outcome::Reference, [] { return Encode({}); }},
    {"short_app0_hides_the_dqt_behind_it", Encoded([](auto& o) { o.markers = {{0xE0, {0, 0}}}; }),
     {"scan-never-starts"}, "blank", Outcome::Flat},
    {"rgb_stored_as_rgb",
     Encoded([](auto& o) {
         o.rgbColourSpace = true;
         o.jfif = false;  // a JFIF header would declare YCbCr
         o.h[0] = o.v[0] = 1;
         o.ids[0] = 1; o.ids[1] = 2; o.ids[2] = 3;
         o.quantTable[1] = o.quantTable[2] = 1;
         o.huffTable[1] = o.huffTable[2] = 1;
     }),
     {"rgb-colour"}, "wrong", Outcome::Differs},
    {"chroma_sampled_2x1", Encoded([](auto& o) { o.v[0] = 1; o.h[1] = o.h[2] = 2; }), {"chroma-sampling"}, "wrong",
     Outcome::Differs},
    {"luma_4x1", Encoded([](auto& o) { o.h[0] = 4; o.v[0] = 1; }), {"luma-sampling"}, "wrong", Outcome::Differs},
    {"luma_4x2", Encoded([](auto& o) { o.h[0] = 4; o.v[0] = 2; }), {"luma-sampling"}, "wrong", Outcome::Differs},
    {"luma_1x2", Encoded([](auto& o) { o.h[0] = 1; o.v[0] = 2; }), {"luma-1x2"}, "wrong", Outcome::Differs},
    // One marker, as the decoder takes, but after MCU 4 of a 3-MCU row.
    {"restart_past_the_row_end",
     Encoded([](auto& o) { o.restartInterval = 4; }, Sized(24, 16, 1)),
     {"restart-placement"}, "wrong", Outcome::Differs},
    {"restart_every_mcu", Encoded([](auto& o) { o.restartInterval = 1; }),
     {"restart-placement: 1 MCUs with 11 restart markers; the decoder takes one at the end of each of the first 2 "
      "MCU rows (4 MCUs each)"},
     "wrong", Outcome::Differs},
    {"fill_byte_before_restart", WithFillByteBeforeRestart, {"fill-byte"}, "wrong", Outcome::Differs},
    {"separate_scans", Encoded([](auto& o) { o.separateScans = true; o.h[0] = o.v[0] = 1; }), {"multiple-scans"},
     "wrong", Outcome::Reference, [] { return Encode(Sized(64, 48, 1)); }},  // the luma scan alone
    {"scan_twice", WithScanTwice, {"multiple-scans: 2 scans: the decoder shows only the first (1 component)"}, "wrong",
     Outcome::Reference, [] { return Encode(Sized(64, 48, 1)); }},
    {"exif_thumbnail", [] { return WithExif(1, true); },
     {"thumbnail: the decoder reads 9 of its markers", "other-frame: (16x8)", "other-scan: inside APP1 (Exif)"},
     "wrong", Outcome::Reference, [] { return Encode(Sized(16, 8)); }},
    {"fill_byte_before_dht", [] { return WithFillBytes(1); },
     {"fill-byte: before the DHT marker", "scan-never-starts: it read 2, 1 and 2"}, "blank", Outcome::Flat},
    // No tables for the structure reader to walk by: one restart marker, after MCU 4 of a 3-MCU row.
    {"abbreviated_restart_past_the_row_end",
     Encoded([](auto& o) { o.omitTables = true; o.restartInterval = 4; }, Sized(24, 16, 1)),
     {"sos-before-tables", "no-tables", "restart-placement"}, "blank", Outcome::Flat},
    {"exif_orientation", [] { return WithExif(6, false); }, {"orientation"}, "wrong", Outcome::Reference},
    {"larger_than_screen",
     Encoded([](auto& o) { o.width = 2000; o.height = 1100; }, Sized(64, 48, 1)),
     {"screen-size: stands at (-40,-10) on a 1920x1080 screen, which shows only 1920x1080 of its 1998x1098"},
     "wrong", Outcome::Reference},
    // (1920 - 1922) / 2 = -1: the frame just off the screen, the client area on it whole.
    {"screen_plus_frame", Encoded([](auto& o) { o.width = 1922; o.height = 1082; }, Sized(64, 48, 1)),
     {}, "ok", Outcome::Reference},
    {"one_column_beyond", Encoded([](auto& o) { o.width = 1923; o.height = 1082; }, Sized(64, 48, 1)),
     {"screen-size: (-1,-1) on a 1920x1080 screen, which shows only 1920x1080 of its 1921x1080"}, "wrong",
     Outcome::Reference},
    {"end_of_image_inside_comment", Encoded([](auto& o) { o.markers = {{0xFE, {'a', 0xFF, 0xD9, 'b'}}}; }),
     {"hidden-marker: inside the COM segment at offset 20 are taken by the decoder for the marker EOI", "zero-size",
      "scan-never-starts"},
     "blank", Outcome::OnePixel},
    {"end_of_image_inside_app15", Encoded([](auto& o) { o.markers = {{0xEF, {'a', 0xFF, 0xD9}}}; }),
     {"hidden-marker: inside the APP15 segment", "zero-size", "scan-never-starts"}, "blank", Outcome::OnePixel},
    {"end_of_image_first_in_jpg13", Encoded([](auto& o) { o.markers = {{0xFD, {0xFF, 0xD9}}}; }),
     {"hidden-marker", "zero-size", "scan-never-starts"}, "blank", Outcome::OnePixel},
    {"cut_in_the_scan", CutInTheScan, {"truncated: of 12 MCUs"}, "wrong", Outcome::Differs},
    {"no_scan", [] { return WithoutScan(Sized(64, 48, 1)); }, {"no-scan"}, "blank", Outcome::Flat},
    {"cmyk_without_scan", [] { return WithoutScan(Sized(64, 48, 4)); }, {"component-count", "component-ids", "no-scan"},
     "blank", Outcome::Flat},
    {"undecodable_data", WithUndecodableData, {"damaged"}, "wrong", Outcome::Differs},
    {"empty", [] { return Bytes{}; }, {"not-jpeg"}, "none", Outcome::Nothing},
    {"one_byte", [] { return Bytes{0xFF}; }, {"not-jpeg"}, "none", Outcome::Nothing},
    {"gif", [] { return Bytes{'G', 'I', 'F', '8'}; }, {"not-jpeg"}, "none", Outcome::Nothing},
    {"end_before_start", [] { return Bytes{0xFF, 0xD9, 0xFF, 0xD8}; }, {"not-jpeg"}, "none", Outcome::Nothing},
    {"fill_bytes_only", [] { return Bytes(5000, 0xFF); }, {"not-jpeg"}, "none", Outcome::Nothing},
    {"start_only", [] { return Bytes{0xFF, 0xD8}; }, {"no-frame", "no-scan"}, "blank", Outcome::OnePixel},
    {"start_and_end", [] { return Bytes{0xFF, 0xD8, 0xFF, 0xD9}; }, {"no-frame", "no-scan"}, "blank",
     Outcome::OnePixel},
    {"scan_header_cut", [] { return Bytes{0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x08, 0x03, 0x01, 0x00, 0x02, 0x11, 0x03}; },
     {"no-frame", "scan-never-starts", "malformed"}, "blank", Outcome::OnePixel},
    // The decoder's search gets past a bad length and shows the picture, but
    // the file is broken for every other program.
    {"app0_length_past_the_end", WithApp0Length(0x7000),
     {"malformed: the data ends inside the APP0 segment", "hidden-marker"}, "wrong", Outcome::Reference,
     WithApp0Length(16)},
};

// Fine pictures: no warning at all, and the decoder agrees with libjpeg-turbo.
// The plain layouts and sizes are in structure_test's LayoutTest.
const VerdictCase kFineCases[] = {
    {"restart_every_row_422", Encoded([](auto& o) { o.restartInRows = 1; o.width = 100; o.v[0] = 1; }), {}, "ok",
     Outcome::Reference},
    {"restart_every_row_grey", Encoded([](auto& o) { o.restartInRows = 1; }, Sized(64, 72, 1)), {}, "ok",
     Outcome::Reference},
    {"restart_interval_of_one_row", Encoded([](auto& o) { o.restartInterval = 4; }), {}, "ok", Outcome::Reference},
    {"optimised_tables", Encoded([](auto& o) { o.optimize = true; }), {}, "ok", Outcome::Reference},
    {"quality_100", Encoded([](auto& o) { o.quality = 100; }), {}, "ok", Outcome::Reference},
    {"extended_8_bit", [] { return WithFrame(0xC1); }, {}, "ok", Outcome::Reference},
    {"exactly_screen_size", Encoded([](auto& o) { o.width = 1920; o.height = 1080; }, Sized(64, 48, 1)),
     {}, "ok", Outcome::Reference},
    {"exif_orientation_1_no_thumbnail", [] { return WithExif(1, false); }, {}, "ok", Outcome::Reference},
    {"plain_comment", Encoded([](auto& o) { o.markers = {{0xFE, {'m', 'a', 'd', 'e'}}}; }), {}, "ok",
     Outcome::Reference},
    {"two_fill_bytes_before_dht", [] { return WithFillBytes(2); }, {}, "ok", Outcome::Reference},
    {"no_jfif_header", Encoded([](auto& o) { o.jfif = false; }), {}, "ok", Outcome::Reference},
    {"grey_sampled_1x2", Encoded([](auto& o) { o.v[0] = 2; o.h[0] = 1; }, Sized(64, 48, 1)), {}, "ok",
     Outcome::Reference},
};

class VerdictTest : public testing::TestWithParam<VerdictCase> {};

TEST_P(VerdictTest, ReportsTheWarningsAndTheVerdictMatchesTheDecodedPicture)
{
    const VerdictCase& c = GetParam();
    Bytes picture = c.make();
    ToolRun run = RunOnPicture(picture, "--json", true);

    EXPECT_EQ(run.exitStatus, std::string(c.verdict) == "ok" ? 0 : 1) << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err;
    EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << run.out;
    const Json report = ParseReport(run.out);
    ASSERT_TRUE(report.is_object()) << run.out;
    EXPECT_EQ(report["verdict"], c.verdict) << run.out;
    std::vector<std::string> codes, expected;
    for (const Json& w : report["warnings"])
        codes.push_back(w["code"]);
    for (const std::string& w : c.warnings) {  // "code", or "code: words of its message"
        expected.push_back(w.substr(0, w.find(": ")));
        EXPECT_NE(run.out.find(w.substr(std::min(w.size(), expected.back().size() + 2))), std::string::npos) << w;
    }
    std::sort(codes.begin(), codes.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(codes, expected) << run.out;

    const std::string verdict = c.verdict, line = report["verdict_line"];
    const char* prefix = verdict == "ok"      ? "OK: "
                         : verdict == "wrong" ? "WRONG: "
                         : verdict == "none"  ? "NO SPLASH: "
                         : c.outcome == Outcome::Flat ? "BLANK: the splash will show a flat"
                                                      : "BLANK: the splash will be a one-pixel";
    EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
    const Json& window = report["window"];
    const long area = report["decode"]["width"].get<long>() * report["decode"]["height"].get<long>();
    if (c.outcome == Outcome::Reference || c.outcome == Outcome::Differs) {
        ASSERT_TRUE(run.previewWritten);
        const double db = Psnr(run.preview, ReferenceDecode(c.original ? c.original() : picture));
        EXPECT_EQ(db >= kFineDb, c.outcome == Outcome::Reference) << db << " dB";
        EXPECT_FALSE(IsUniform(run.preview));
    } else if (c.outcome == Outcome::Flat) {
        EXPECT_TRUE(run.previewWritten ? IsUniform(run.preview) : area == 0) << run.out;
    } else {  // no picture on the screen: no window, or one of one pixel with no client area
        const bool onePixel = c.outcome == Outcome::OnePixel;
        EXPECT_FALSE(run.previewWritten);
        EXPECT_EQ(report["decode"]["result"], onePixel ? 1 : 0) << run.out;
        EXPECT_EQ(area, 0) << run.out;
        EXPECT_EQ(window["shown"], onePixel) << run.out;
        EXPECT_EQ(window["width"], onePixel ? 1 : 0) << run.out;
        EXPECT_EQ(window["client_width"], 0) << run.out;
        EXPECT_EQ(window["wait_ms"], onePixel ? 3000 : 0) << run.out;  // the splash's timer
        EXPECT_EQ(window["visible"].dump(), R"({"left":0,"top":0,"right":0,"bottom":0})") << run.out;
    }
}

std::string CaseName(const testing::TestParamInfo<VerdictCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Warnings, VerdictTest, testing::ValuesIn(kCases), CaseName);
INSTANTIATE_TEST_SUITE_P(FinePictures, VerdictTest, testing::ValuesIn(kFineCases), CaseName);

}  // namespace
}  // namespace testsupport
