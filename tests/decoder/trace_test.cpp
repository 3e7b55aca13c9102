// The marker loop's trace of one hand-built stream against the record worked
// out from the bytes laid down: each marker with its use, result and where the
// search resumed, each table read, the restart interval and where the search
// ended. (splash-check's reports, built on this record: tests/tool.)
#include <gtest/gtest.h>

#include <memory>
#include <tuple>

#include "jpeg/jpeg_trace.h"
#include "tests/support/stream_builder.h"

using namespace testsupport;

namespace {

TEST(JpegTrace, RecordsTheMarkersTablesAndEndOfAHandBuiltStream)
{
    constexpr JpegMarkerUse kActed = JpegMarkerUse::kActedOn, kPassed = JpegMarkerUse::kPassedOver,
                            kNone = JpegMarkerUse::kNoAction;
    const std::vector<HuffmanDefinition> huffman = {TestDcTable(0), TestAcTable(0), TestDcTable(1), TestAcTable(1)};
    const std::vector<QuantDefinition> quant = {FlatQuant(0, 1), FlatQuant(1, 2)};
    const struct {
        Bytes bytes;
        JpegMarkerUse use;
        int result;
        std::size_t read;  // bytes taken behind the code before the search goes on; a parser takes its segment
    } pieces[] = {
        // Length word and 12 bytes read; behind it codes outside 0xC0..0xE0 and a fill byte are no markers.
        {StreamBuilder().Segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0})
             .Add({0xFF, 0xE1, 0xFF, 0xFF, 0xBF}).bytes(), kActed, -1, 14},
        {StreamBuilder().Dqt({{0x10, Bytes(128, 1)}}).bytes(), kActed, 0, 3},  // refused at its 16-bit table
        {StreamBuilder().Dqt(quant).bytes(), kActed, 1, 0},
        {StreamBuilder().Dht(huffman).bytes(), kActed, 1, 0},
        {StreamBuilder().Dqt({FlatQuant(0, 3)}).bytes(), kPassed, -1, 0},
        {StreamBuilder().Dht({TestDcTable(0)}).bytes(), kPassed, -1, 0},
        {{0xFF, 0xC8}, kNone, -1, 0},
        {StreamBuilder().Sof(0xC1, 8, 8, {{1, 0x11, 0}}, 12).bytes(), kActed, 0, 3},  // refused: 12-bit samples
        {StreamBuilder().Sof0(8, 8, {{1, 0x11, 0}, {2, 0x11, 1}, {3, 0x11, 1}}).bytes(), kActed, 1, 0},
        {StreamBuilder().Dri(7).bytes(), kActed, -1, 4},
        {StreamBuilder().Sos({{1, 0x00}, {2, 0x11}, {3, 0x11}}).bytes(), kActed, 1, 0},
    };
    Bytes stream = {0xFF, 0xD8};
    std::vector<JpegTraceMarker> markers;
    std::vector<JpegTraceTable> tables;
    for (const auto& p : pieces) {
        const auto at = static_cast<std::uint32_t>(stream.size());
        const std::size_t read = p.result == 1 ? p.bytes.size() - 2 : p.read;
        markers.push_back(
            {at, static_cast<std::uint32_t>(at + 2 + read), p.bytes[1], p.use, static_cast<std::int8_t>(p.result)});
        stream.insert(stream.end(), p.bytes.begin(), p.bytes.end());
    }
    for (std::uint32_t i = 0, at = markers[2].offset + 4; i < 2; ++i, at += 65)
        tables.push_back({at, 2, static_cast<std::uint8_t>(i)});
    std::uint32_t at = markers[3].offset + 4;
    for (const HuffmanDefinition& t : huffman) {
        tables.push_back(
            {at, static_cast<std::uint8_t>(t.classAndIndex >> 4), static_cast<std::uint8_t>(t.classAndIndex & 15)});
        at += static_cast<std::uint32_t>(17 + t.symbols.size());
    }
    const auto scanStart = static_cast<std::uint32_t>(stream.size());
    FlatBlocks mcu;
    for (int component : {0, 1, 2})
        mcu.Block(component, 128);
    stream = StreamBuilder().Add(stream).Add(mcu.Finish()).Eoi().bytes();

    auto trace = std::make_unique<JpegTrace>();
    JpegSetTrace(trace.get());
    DecodeFresh(stream);
    auto marker = [](const JpegTraceMarker& m) { return std::tuple(m.offset, m.end, int(m.code), m.use, int(m.result)); };
    auto table = [](const JpegTraceTable& t) { return std::tuple(t.offset, t.kind, t.index); };
    ASSERT_EQ(trace->markerCount, markers.size());
    for (std::size_t i = 0; i < markers.size(); ++i)
        EXPECT_EQ(marker(trace->markers[i]), marker(markers[i])) << "marker " << i;
    ASSERT_EQ(trace->tableCount, tables.size());
    for (std::size_t i = 0; i < tables.size(); ++i)
        EXPECT_EQ(table(trace->tables[i]), table(tables[i])) << "table " << i;
    EXPECT_EQ(trace->restartInterval, 7);
    EXPECT_EQ(trace->end, JpegSearchEnd::kScanStart);
    EXPECT_EQ(trace->endOffset, scanStart);

    // A stream refused at its first bytes leaves the same record cleared.
    Decode({0xFF, 0xD9});
    JpegSetTrace(nullptr);
    EXPECT_EQ(std::tuple(trace->markerCount, trace->tableCount, trace->restartInterval, trace->end, trace->endOffset),
              std::tuple(0u, 0u, std::uint16_t{0}, JpegSearchEnd::kEndOfData, 0u));
}

}  // namespace
