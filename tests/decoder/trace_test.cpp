// The marker loop's trace over hand-built streams, one row per behaviour: each
// row's stream is built beside the trace it must give, worked out from the
// bytes laid down. Every row is also decoded by every path with the trace set
// and held to the reference build without one.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "jpeg/jpeg_trace.h"
#include "tests/support/stream_builder.h"

using namespace testsupport;

namespace {

constexpr JpegMarkerUse kActed = JpegMarkerUse::kActedOn;
constexpr JpegMarkerUse kPassed = JpegMarkerUse::kPassedOver;
constexpr JpegMarkerUse kNone = JpegMarkerUse::kNoAction;

// A trace as text, one marker or table per line, for readable differences.
std::string Describe(const JpegTraceMarker* markers, std::uint32_t markerCount, const JpegTraceTable* tables,
                     std::uint32_t tableCount, std::uint16_t restartInterval, JpegSearchEnd end,
                     std::uint32_t endOffset)
{
    std::ostringstream out;
    for (std::uint32_t i = 0; i < markerCount && i < kJpegTraceCapacity; ++i) {
        const JpegTraceMarker& m = markers[i];
        out << std::hex << "FF" << int(m.code) << std::dec << " at " << m.offset << ".." << m.end << " use "
            << int(m.use) << " result " << int(m.result) << "\n";
    }
    for (std::uint32_t i = 0; i < tableCount && i < kJpegTraceCapacity; ++i)
        out << "table kind " << int(tables[i].kind) << " index " << int(tables[i].index) << " at "
            << tables[i].offset << "\n";
    out << markerCount << " markers, " << tableCount << " tables, interval " << restartInterval << ", end "
        << int(end) << " at " << endOffset << "\n";
    return out.str();
}

// A stream and its trace, laid down side by side behind SOI (or without it).
class Traced {
public:
    explicit Traced(bool soi = true)
    {
        if (soi)
            bytes_ = {0xFF, 0xD8};
    }

    // Bytes in which the search finds no marker.
    Traced& Plain(const Bytes& more)
    {
        bytes_.insert(bytes_.end(), more.begin(), more.end());
        return *this;
    }

    // A marker and what follows it (`segment` begins 0xFF, code); the loop
    // takes `read` bytes behind the code before it searches on.
    Traced& Found(const Bytes& segment, JpegMarkerUse use, int result = -1, std::size_t read = 0)
    {
        auto offset = static_cast<std::uint32_t>(bytes_.size());
        markers_.push_back({offset, static_cast<std::uint32_t>(offset + 2 + read), segment[1], use,
                            static_cast<std::int8_t>(result)});
        return Plain(segment);
    }

    // A segment that its parser reads whole, with result 1.
    Traced& Parsed(const Bytes& segment) { return Found(segment, kActed, 1, segment.size() - 2); }

    // A DQT of `tables` whose first `read` tables are taken; a shorter
    // `read` stops at a 16-bit table (result 0).
    Traced& Dqt(const std::vector<QuantDefinition>& tables, std::size_t read)
    {
        auto at = static_cast<std::uint32_t>(bytes_.size() + 4);
        for (std::size_t i = 0; i < read; ++i) {
            tables_.push_back({at, 2, static_cast<std::uint8_t>(tables[i].precisionAndIndex & 0x0F)});
            at += static_cast<std::uint32_t>(1 + tables[i].values.size());
        }
        const Bytes segment = StreamBuilder().Dqt(tables).bytes();
        if (read == tables.size())
            return Parsed(segment);
        return Found(segment, kActed, 0, at + 1 - bytes_.size() - 2);
    }

    // A DHT whose tables are all taken.
    Traced& Dht(const std::vector<HuffmanDefinition>& tables)
    {
        auto at = static_cast<std::uint32_t>(bytes_.size() + 4);
        for (const HuffmanDefinition& t : tables) {
            tables_.push_back({at, static_cast<std::uint8_t>(t.classAndIndex >> 4),
                               static_cast<std::uint8_t>(t.classAndIndex & 0x0F)});
            at += static_cast<std::uint32_t>(17 + t.symbols.size());
        }
        return Parsed(StreamBuilder().Dht(tables).bytes());
    }

    // The search ends here (the scan's first byte at kScanStart).
    Traced& End(JpegSearchEnd end, std::uint16_t restartInterval = 0)
    {
        end_ = end;
        endOffset_ = static_cast<std::uint32_t>(bytes_.size());
        restartInterval_ = restartInterval;
        return *this;
    }

    const Bytes& bytes() const { return bytes_; }
    std::string Expected() const
    {
        return Describe(markers_.data(), static_cast<std::uint32_t>(markers_.size()), tables_.data(),
                        static_cast<std::uint32_t>(tables_.size()), restartInterval_, end_, endOffset_);
    }

private:
    Bytes bytes_;
    std::vector<JpegTraceMarker> markers_;
    std::vector<JpegTraceTable> tables_;
    std::uint16_t restartInterval_ = 0;
    JpegSearchEnd end_ = JpegSearchEnd::kEndOfData;
    std::uint32_t endOffset_ = 0;
};

Bytes Seg(const std::function<void(StreamBuilder&)>& build)
{
    StreamBuilder s;
    build(s);
    return s.bytes();
}

const std::vector<HuffmanDefinition> kFourTables = {TestDcTable(0), TestAcTable(0), TestDcTable(1), TestAcTable(1)};
const std::vector<FrameComponent> kColourFrame = {{1, 0x11, 0}, {2, 0x11, 1}, {3, 0x11, 1}};
const std::vector<ScanComponent> kColourScan = {{1, 0x00}, {2, 0x11}, {3, 0x11}};
const QuantDefinition kSixteenBit = {0x11, Bytes(128, 1)};

struct Row {
    const char* name;
    Traced traced;
};

std::vector<Row> Rows()
{
    const Bytes jfif = Seg([](auto& s) { s.Segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}); });
    FlatBlocks mcu;
    mcu.Block(0, 200);
    mcu.Block(1, 128);
    mcu.Block(2, 128);
    Traced many;
    many.Dqt({FlatQuant(0, 1)}, 1);  // a table stored behind the markers
    for (int i = 0; i < 5000; ++i)
        many.Found({0xFF, 0xC8}, kNone);
    many.Found({0xFF, 0xD9}, kActed).End(JpegSearchEnd::kEoi);
    return {
        {"a colour picture: each segment acted on, the scan starts on its first data byte",
         Traced()
             .Found(jfif, kActed, -1, 14)  // length word and 12 bytes; the thumbnail size is searched
             .Dqt({FlatQuant(0, 1), FlatQuant(1, 2)}, 2)
             .Dht(kFourTables)
             .Parsed(Seg([&](auto& s) { s.Sof0(8, 8, kColourFrame); }))
             .Found(Seg([](auto& s) { s.Dri(7); }), kActed, -1, 4)
             .Parsed(Seg([&](auto& s) { s.Sos(kColourScan); }))
             .End(JpegSearchEnd::kScanStart, 7)
             .Plain(mcu.Finish())
             .Plain({0xFF, 0xD9})},
        {"full tables pass a DHT and DQT over; a 16-bit table stops its segment",
         Traced()
             .Dqt({FlatQuant(0, 1), kSixteenBit}, 1)
             .Dqt({FlatQuant(1, 1), FlatQuant(7, 1)}, 2)  // index 7 has no slot but counts
             .Found(StreamBuilder().Dqt({FlatQuant(0, 3)}).bytes(), kPassed)
             .Dht(kFourTables)
             .Found(StreamBuilder().Dht({TestDcTable(0)}).bytes(), kPassed)
             .Found({0xFF, 0xD9}, kActed)
             .End(JpegSearchEnd::kEoi)
             .Plain({0xFF, 0xC0})},
        {"codes outside 0xC0..0xE0 and fill bytes are no markers; SOF2, RST, 12-bit SOF1",
         Traced()
             .Plain({0xFF, 0xE1, 0xFF, 0xFF, 0xC4, 0xFF, 0x00, 0xFF, 0xBF})
             .Found({0xFF, 0xC2, 0, 11}, kNone)
             .Found({0xFF, 0xD0}, kNone)
             .Found({0xFF, 0xE0, 0, 2}, kActed, -1, 14)
             .Plain(Bytes(12, 0))
             .Found(Seg([&](auto& s) { s.Sof(0xC1, 8, 8, kColourFrame, 12); }), kActed, 0, 3)
             .Plain({0xFF})
             .End(JpegSearchEnd::kEndOfData)},
        {"a scan header that does not start the scan: the search runs on through its data",
         Traced()
             .Found(Seg([](auto& s) { s.Sos({{1, 0}, {2, 0x11}}); }), kActed, 0, 3)
             .Parsed(Seg([&](auto& s) { s.Sos(kColourScan); }))
             .Plain({0x12, 0xFF, 0x00, 0x34})
             .Found({0xFF, 0xD3}, kNone)
             .Found({0xFF, 0xD9}, kActed)
             .End(JpegSearchEnd::kEoi)},
        {"more markers than the record holds: the first ones kept, all counted", many},
        {"no SOI: the record is cleared", Traced(false).Plain({0xFF, 0xD9})},
    };
}

TEST(JpegTrace, RecordsEachMarkerTableAndEndOfHandBuiltStreams)
{
    auto trace = std::make_unique<JpegTrace>();
    JpegSetTrace(trace.get());
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.name);
        DecodeFresh(row.traced.bytes());
        const JpegTrace& t = *trace;
        EXPECT_EQ(Describe(t.markers, t.markerCount, t.tables, t.tableCount, t.restartInterval, t.end, t.endOffset),
                  row.traced.Expected());
    }
    JpegSetTrace(nullptr);
}

}  // namespace
