// The structure reader and the decoder's traced header phase, on pictures libjpeg-turbo wrote
// and on edited and cut ones (random bytes: fuzz/structure_fuzzer.cpp).
#include <algorithm>
#include <sstream>
#include <tuple>

#include <gtest/gtest.h>

#include "decoder_record.h"
#include "jpeg_structure.h"
#include "report.h"
#include "tests/support/stream_builder.h"
#include "tests/support/test_pictures.h"
#include "tool_runner.h"
#include "verdict.h"

namespace testsupport {
namespace {

using splash::FrameKind;
using splash::JpegStructure;
using splash::ReadJpegStructure;

struct SamplingCase {
    const char* name;
    int components;
    int h, v;      // luma; chroma stays 1x1
    int width, height;
    const char* kind;  // in the verdict line
};

class LayoutTest : public testing::TestWithParam<SamplingCase> {};

TEST_P(LayoutTest, WalksTheScanOfAnEncodedPictureAndFindsNothingToSay)
{
    const SamplingCase& c = GetParam();
    EncodeOptions o = Sized(c.width, c.height, c.components);
    o.h[0] = c.h;
    o.v[0] = c.v;
    Bytes jpeg = Encode(o);
    JpegStructure s = ReadJpegStructure(jpeg);

    EXPECT_TRUE(s.problems.empty()) << s.problems.front();
    ASSERT_EQ(s.scans.size(), 1u);
    const splash::ScanInfo& scan = s.scans[0];
    int mcuW = 8 * (c.components == 3 ? c.h : 1), mcuH = 8 * (c.components == 3 ? c.v : 1);
    std::uint32_t perRow = (c.width + mcuW - 1) / mcuW;
    std::uint32_t rows = (c.height + mcuH - 1) / mcuH;
    EXPECT_EQ(scan.mcusPerRow, perRow);
    EXPECT_EQ(scan.mcusExpected, perRow * rows);
    EXPECT_TRUE(scan.mcusCounted);
    EXPECT_EQ(scan.mcusDecoded, perRow * rows);
    EXPECT_FALSE(scan.dataDamaged);
    EXPECT_EQ(scan.dataOffset + scan.dataLength, s.eoiOffset);

    splash::DecoderView v = splash::RunDecoder(jpeg).view;
    splash::Assessment a = splash::Assess(jpeg, s, v);
    EXPECT_EQ(a.verdict, splash::Verdict::Ok);
    EXPECT_TRUE(a.warnings.empty()) << a.warnings.front().code;
    EXPECT_EQ(splash::VerdictLine(a, v), "OK: shows as encoded (" + std::to_string(c.width) + "x" +
                                             std::to_string(c.height) + ", " + c.kind + ")");
}

INSTANTIATE_TEST_SUITE_P(Samplings, LayoutTest,
                         testing::Values(SamplingCase{"grey", 1, 1, 1, 33, 73, "grey"},
                                         SamplingCase{"s444", 3, 1, 1, 17, 9, "colour 4:4:4"},
                                         SamplingCase{"s422", 3, 2, 1, 33, 47, "colour 4:2:2"},
                                         SamplingCase{"s420", 3, 2, 2, 640, 480, "colour 4:2:0"},
                                         SamplingCase{"s420_1x1", 3, 2, 2, 1, 1, "colour 4:2:0"}),
                         [](const testing::TestParamInfo<SamplingCase>& i) { return i.param.name; });

// Past kMaxListed markers the list stops, and the count and the walk go on.
TEST(StructureTest, PlacesRestartMarkersByTheMcusInFrontOfThem)
{
    const struct { int width, height, components, interval; std::uint32_t mcus; } cases[] = {
        {40, 24, 3, 3, 15},      // 4:4:4, 8x8 MCUs: 5 per row, 3 rows
        {640, 416, 1, 1, 4160},  // 4159 markers
    };
    for (const auto& c : cases) {
        EncodeOptions o = Sized(c.width, c.height, c.components);
        o.h[0] = o.v[0] = 1;
        o.restartInterval = c.interval;
        Bytes jpeg = Encode(o);
        JpegStructure s = ReadJpegStructure(jpeg);
        ASSERT_EQ(s.scans.size(), 1u);
        const splash::ScanInfo& scan = s.scans[0];
        EXPECT_EQ(s.restartInterval, c.interval);
        const std::uint32_t count = (c.mcus - 1) / c.interval;
        EXPECT_EQ(scan.restartCount, count);
        ASSERT_EQ(scan.restarts.size(), std::min<std::size_t>(count, splash::kMaxListed));
        for (std::uint32_t k = 0; k < scan.restarts.size(); ++k) {
            EXPECT_EQ(scan.restarts[k].afterMcus, c.interval * (k + 1));
            EXPECT_EQ(scan.restarts[k].number, k % 8);
            EXPECT_EQ(jpeg[scan.restarts[k].offset] << 8 | jpeg[scan.restarts[k].offset + 1], 0xFFD0 + k % 8);
        }
        EXPECT_EQ(scan.mcusDecoded, c.mcus);
    }
}

// An APP segment's kind by its number and identifier together; a JPEG stream
// (FF D8 FF) anywhere in it, to its very end, is a thumbnail.
TEST(StructureTest, NamesAppSegmentsByNumberAndIdentifier)
{
    auto bytes = [](const std::string& text) { return Bytes(text.c_str(), text.c_str() + text.size() + 1); };  // with its NUL
    const std::tuple<int, Bytes, std::string, int> cases[] = {  // code, payload, kind, thumbnail's place or -1
        {0xE1, bytes("http://ns.adobe.com/xap/1.0/"), "XMP", -1},
        {0xE1, bytes("Photoshop 3.0"), "other", -1},
        {0xE2, bytes("http://ns.adobe.com/xap/1.0/"), "other", -1},
        {0xE2, bytes("ICC_PROFILE"), "ICC_PROFILE", -1},
        {0xE1, bytes("ICC_PROFILE"), "other", -1},
        {0xE2, bytes("Exif"), "other", -1},
        {0xEE, bytes("Adobe"), "Adobe", -1},
        {0xEF, bytes("Adobe"), "other", -1},
        {0xE3, {'x', 'y', 0xFF, 0xD8, 0xFF}, "other", 2},
        {0xE3, {'x', 0xFF, 0xD8, 0xFF, 'z'}, "other", 1},
        {0xE0, {'J', 'F', 'X', 'X', 0, 0x10}, "JFXX", 6},  // extension 0x10: a JPEG thumbnail, here empty
    };
    for (const auto& [code, payload, kind, thumbnail] : cases) {
        EncodeOptions o;
        o.markers = {{code, payload}};
        JpegStructure s = ReadJpegStructure(Encode(o));
        ASSERT_EQ(s.apps.size(), 2u) << kind;
        EXPECT_EQ(s.apps[1].kind, kind) << code;
        EXPECT_EQ(s.apps[1].hasThumbnail ? int(s.apps[1].thumbnailOffset - s.apps[1].offset - 4) : -1, thumbnail);
    }
}

TEST(StructureTest, ReadsAppSegmentsCommentsAndTrailingBytes)
{
    Bytes thumbnail = Encode(Sized(16, 8));
    Bytes jfxx = {'J', 'F', 'X', 'X', 0, 0x10};  // extension 0x10: a JPEG thumbnail follows
    jfxx.insert(jfxx.end(), thumbnail.begin(), thumbnail.end());
    EncodeOptions o;
    o.markers = {{0xE1, ExifPayload(6, thumbnail)}, {0xE0, jfxx}, {0xE0, {'J', 'F', 'X', 'X', 0, 0x13, 1, 1}},
                 {0xFE, Bytes{'h', 'i', 0x01}}};
    Bytes jpeg = Encode(o);
    jpeg = Insert(jpeg, FindMarker(jpeg, 0xFE), {0xFF, 0xD8, 0xFF, 0xD0, 0xFF, 0xD7});  // stray SOI, RST0, RST7
    jpeg.insert(jpeg.end(), {1, 2, 3, 4, 5});
    JpegStructure s = ReadJpegStructure(jpeg);

    ASSERT_EQ(s.apps.size(), 4u);
    EXPECT_EQ(s.apps[2].kind, "JFXX");
    ASSERT_TRUE(s.apps[2].hasThumbnail);
    EXPECT_EQ(s.apps[2].thumbnailOffset, s.apps[2].offset + 10);
    EXPECT_EQ(s.apps[2].thumbnailLength, thumbnail.size());
    EXPECT_FALSE(s.apps[3].hasThumbnail);  // extension 0x13: RGB pixels
    std::vector<std::string> names;
    for (const splash::MarkerRecord& m : s.markers)
        names.push_back(splash::MarkerName(m.code));
    EXPECT_EQ(names, (std::vector<std::string>{"APP0", "APP1", "APP0", "APP0", "SOI", "RST0", "RST7", "COM", "DQT",
                                                "DQT", "SOF0", "DHT", "DHT", "DHT", "DHT", "SOS", "EOI"}));
    EXPECT_EQ(s.apps[0].kind, "JFIF");
    EXPECT_FALSE(s.apps[0].hasThumbnail);
    const splash::AppRecord& exif = s.apps[1];
    EXPECT_EQ(exif.kind, "Exif");
    EXPECT_EQ(exif.number, 1);
    EXPECT_EQ(exif.exifOrientation, 6);
    ASSERT_TRUE(exif.hasThumbnail);
    EXPECT_EQ(exif.thumbnailLength, thumbnail.size());
    EXPECT_TRUE(std::equal(thumbnail.begin(), thumbnail.end(), jpeg.begin() + exif.thumbnailOffset));
    ASSERT_EQ(s.comments.size(), 1u);
    EXPECT_EQ(s.comments[0].text, "hi?");
    EXPECT_EQ(s.bytesAfterEoi, 5u);
    ASSERT_EQ(s.problems.size(), 3u);
    EXPECT_EQ(s.problems[0].rfind("a second start-of-image marker at offset", 0), 0u);
    EXPECT_EQ(s.problems[1].rfind("restart marker outside a scan at offset", 0), 0u);
    EXPECT_EQ(s.problems[2].rfind("restart marker outside a scan at offset", 0), 0u);
}

// IFD1 gives the thumbnail's length, in either byte order: the padding behind
// it is not counted, and a length past the segment (65552, high half 1) is cut
// to the segment's end, 40,000 bytes behind the thumbnail.
TEST(StructureTest, ReadsExifInBothByteOrders)
{
    Bytes thumbnail = Encode(Sized(8, 8, 1));
    for (auto [motorola, pastTheEnd] : {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
        SCOPED_TRACE(testing::Message() << "Motorola " << motorola << ", past the end " << pastTheEnd);
        Bytes payload = ExifPayload(8, thumbnail, motorola);
        Bytes length = motorola ? Bytes{0x00, 0x01, 0x00, 0x10} : Bytes{0x10, 0x00, 0x01, 0x00};
        if (pastTheEnd)
            std::copy(length.begin(), length.end(), payload.begin() + 6 + 60);  // IFD1's third entry's value
        payload.insert(payload.end(), pastTheEnd ? 40000 : 10, 0);
        EncodeOptions o;
        o.markers = {{0xE1, payload}};
        JpegStructure s = ReadJpegStructure(Encode(o));
        ASSERT_EQ(s.apps.size(), 2u);
        EXPECT_EQ(s.apps[1].exifOrientation, 8);
        ASSERT_TRUE(s.apps[1].hasThumbnail);
        EXPECT_EQ(s.apps[1].thumbnailOffset, s.apps[1].offset + 4 + 6 + 68);
        EXPECT_EQ(s.apps[1].thumbnailLength, thumbnail.size() + (pastTheEnd ? 40000 : 0));
    }
}

// IFD0's entries are read while the IFD counts them and they lie whole inside
// the segment: here the second, an orientation, ends at the segment's end, is
// cut before its value (the next segment's FF FE would read as 65279), or lies
// past the count.
TEST(StructureTest, ReadsExifEntriesCountedAndWholeInsideTheSegment)
{
    const Bytes entries = {0x00, 0x01, 3, 0, 1, 0, 0, 0, 16, 0, 0, 0,  // ImageWidth 16
                           0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0};  // orientation 6
    for (auto [count, cut, orientation] : {std::tuple{2, 0, 6}, {2, 4, 0}, {1, 0, 0}}) {
        Bytes payload = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, std::uint8_t(count), 0};
        payload.insert(payload.end(), entries.begin(), entries.end() - cut);
        EncodeOptions o;
        o.markers = {{0xE1, payload}, {0xFE, Bytes{6, 0, 6, 0}}};
        JpegStructure s = ReadJpegStructure(Encode(o));
        ASSERT_EQ(s.apps.size(), 2u);
        EXPECT_EQ(s.apps[1].exifOrientation, orientation) << count << " entries, cut " << cut;
    }
}

// libjpeg's progressive scan script, read from each scan header (the frame
// types themselves: the verdict rows).
TEST(StructureTest, ReadsEachProgressiveScansApproximationBits)
{
    EncodeOptions progressive;
    progressive.progressive = true;
    JpegStructure s = ReadJpegStructure(Encode(progressive));
    EXPECT_EQ(s.frame->kind, FrameKind::Progressive);
    std::vector<std::pair<int, int>> approximation;  // (Ah, Al) of each scan
    for (const splash::ScanInfo& scan : s.scans)
        approximation.push_back({scan.ah, scan.al});
    EXPECT_EQ(approximation, (std::vector<std::pair<int, int>>{{0, 1}, {0, 2}, {0, 1}, {0, 1}, {0, 2}, {2, 1},
                                                                {1, 0}, {1, 0}, {1, 0}, {1, 0}}));
}

// Cut at every length: the report keeps to the bytes it is given (the same
// whether the rest of the picture follows in memory or not) and always ends.
TEST(RobustnessTest, EveryPrefixOfAPictureGivesAReportOfItsOwnBytes)
{
    Bytes thumbnail = Encode(Sized(8, 8, 1));
    EncodeOptions o;
    o.width = 32;
    o.height = 16;
    o.quality = 100;  // the data holds stuffed 0xFF bytes, so some cuts fall between 0xFF and its 0x00
    o.restartInRows = 1;
    o.markers = {{0xE1, ExifPayload(3, thumbnail)}};
    Bytes jpeg = Encode(o);
    for (std::size_t n = 0; n <= jpeg.size(); ++n) {
        const splash::Report report = splash::CheckPicture({jpeg.data(), n}, "cut.jpg");
        std::ostringstream inPlace, alone;
        splash::PrintJson(inPlace, report);
        splash::PrintJson(alone, splash::CheckPicture(Bytes(jpeg.begin(), jpeg.begin() + n), "cut.jpg"));
        EXPECT_EQ(inPlace.str(), alone.str()) << n;
        EXPECT_EQ(report.structure.eoiPresent, n == jpeg.size()) << n;
        if (n < jpeg.size()) {
            EXPECT_NE(report.assessment.verdict, splash::Verdict::Ok) << n;
        }
        for (const splash::ScanInfo& scan : report.structure.scans) {
            EXPECT_LE(scan.dataOffset + scan.dataLength, n);
            EXPECT_LE(scan.mcusDecoded, scan.mcusExpected);
        }
    }
}

// Hand-built scans: a run that reaches position 64 (the decoder ends the
// block there and reads no magnitude bits) is damage; tables of index 3 are walked, of 4 not.
TEST(StructureTest, WalksHandBuiltScansBlockByBlock)
{
    using namespace testsupport;
    auto grey = [](std::uint8_t tables, int lastRun) {  // two blocks; the first ends with a run to lastRun
        BitWriter bits;
        BlockCoder b(bits);
        b.Dc(0);
        b.Ac(0, 3);
        for (int i = 0; i < 3; ++i)
            b.AcSymbol(0xF0);
        b.Ac(lastRun - 50, 4);
        b.Block(5);
        return StreamBuilder().Soi().Dqt({FlatQuant(0, 1)}).Dht({TestDcTable(tables >> 4), TestAcTable(tables & 15)})
            .Sof0(16, 8, {{1, 0x11, 0}}).Sos({{1, tables}}).Add(bits.Finish()).Eoi().bytes();
    };
    // Index 4, DC or AC, names no table (there are four, 0..3): that scan is not walked.
    for (auto [tables, lastRun, walked, damaged] : {std::tuple{0x00, 64, true, true}, {0x00, 63, true, false},
                                                    {0x33, 63, true, false}, {0x40, 63, false, false},
                                                    {0x04, 63, false, false}}) {
        SCOPED_TRACE(testing::Message() << "tables " << tables << ", run to " << lastRun);
        JpegStructure s = ReadJpegStructure(grey(static_cast<std::uint8_t>(tables), lastRun));
        // One DHT segment, two tables: each with exactly its own symbols.
        ASSERT_EQ(s.huffmanTables.size(), 2u);
        EXPECT_EQ(s.huffmanTables[0].symbols, TestDcTable(0).symbols);
        EXPECT_EQ(s.huffmanTables[1].symbols, TestAcTable(0).symbols);
        ASSERT_EQ(s.scans.size(), 1u);
        EXPECT_EQ(s.scans[0].mcusCounted, walked);
        EXPECT_EQ(s.scans[0].dataDamaged, damaged);
        EXPECT_EQ(s.scans[0].mcusDecoded, walked && !damaged ? 2u : 0u);
    }

    // An interval that does not decode, with bytes behind the bad code, the
    // last a stuffed 0xFF: the walk goes on behind the restart marker that ends it.
    BitWriter bits;
    bits.Put(0xF, 4);  // no DC code
    bits.Put(0x5A5FF, 20);
    bits.Marker(0xD0);
    BlockCoder(bits).Block(5);
    JpegStructure s = ReadJpegStructure(Picture(16, 8, 0, bits.Finish(), 1));
    ASSERT_EQ(s.scans.size(), 1u);
    EXPECT_TRUE(s.scans[0].dataDamaged);
    ASSERT_EQ(s.scans[0].restartCount, 1u);
    EXPECT_EQ(s.scans[0].restarts[0].afterMcus, 0u);
    EXPECT_EQ(s.scans[0].mcusDecoded, 1u);
}

TEST(RobustnessTest, HostileLengthsAndCountsEndTheWalk)
{
    Bytes soi = {0xFF, 0xD8};
    // Length 0; a DHT claiming 257 codes, cut short.
    JpegStructure s = ReadJpegStructure(Insert(soi, 2, {0xFF, 0xDB, 0x00, 0x00, 0xFF, 0xD9}));
    EXPECT_FALSE(s.problems.empty());
    Bytes dht(17, 0);
    dht[0] = 0x10, dht[1] = 255, dht[2] = 2;
    s = ReadJpegStructure(Insert(soi, 2, Segment(0xC4, dht)));
    ASSERT_EQ(s.huffmanTables.size(), 1u);
    EXPECT_EQ(s.huffmanTables[0].codeCount, 257u);
    EXPECT_LE(s.huffmanTables[0].symbols.size(), 0u);
    EXPECT_EQ(s.problems.size(), 3u);  // runs past its segment; more than 256 codes; no EOI
    // Lists stop at kMaxListed entries: markers with a length and without, and those the decoder acts on.
    Bytes many = soi;
    for (std::size_t i = 0; i < splash::kMaxListed + 5; ++i)
        many.insert(many.end(), {0xFF, 0xDD, 0x00, 0x04, 0x00, 0x00, 0xFF, 0x01});
    s = ReadJpegStructure(many);
    EXPECT_EQ(s.markers.size(), splash::kMaxListed);
    EXPECT_EQ(splash::RunDecoder(many).view.actions.size(), splash::kMaxListed);
    // A scan that starts past the decoder's record of markers is still found.
    Bytes picture = Encode(Sized(16, 8));
    many.insert(many.end(), picture.begin() + 2, picture.end());
    splash::DecoderView v = splash::RunDecoder(many).view;
    EXPECT_TRUE(v.scanStarted);
    EXPECT_EQ(v.scanOffset, FindMarker(many, 0xDA));
    s = ReadJpegStructure(Insert(soi, 2, Segment(0xC0, {8, 0, 8, 0, 8, 3, 1, 0x11, 0})));  // 3 components, 1 given
    EXPECT_EQ(s.problems.front(), "frame header lists more components than it holds at offset 2");
    for (auto [bytes, problem] : {std::pair{Bytes{1, 2, 3}, "3 bytes outside any segment at offset 2"},
                                  {Segment(0xC0, {8, 0, 8, 0, 8}), "frame header too short at offset 2"},
                                  {Bytes{0xFF, 0xFF}, "the data ends inside a marker at offset 3"}})
        EXPECT_EQ(ReadJpegStructure(Insert(soi, 2, bytes)).problems.front(), problem);
    s = ReadJpegStructure(Insert(soi, 2, Segment(0xDA, {3, 1, 0x00})));  // 3 components, 1 given, no Ss, Se, Ah, Al
    ASSERT_EQ(s.scans.size(), 1u);
    EXPECT_EQ(s.scans[0].components.size(), 1u);
    EXPECT_EQ(s.problems, (std::vector<std::string>{"scan header too short at offset 2", "the data ends inside the scan "
                                                    "at offset 2", "no end-of-image marker (FF D9)"}));
    EXPECT_FALSE(s.scans[0].mcusCounted);  // no frame, nothing to count
    EXPECT_FALSE(s.eoiPresent);
}

}  // namespace
}  // namespace testsupport
