// The decoder's own record of its header phase: the trace of its marker loop
// and the fields it keeps in jpegState.
#include "decoder_record.h"

#include <algorithm>
#include <iterator>

#include "jpeg/decode_jpeg.h"

namespace splash {
namespace {

// The markers the loop acted on or passed over, and the frame headers it took.
void TakeMarkers(const JpegTrace& t, DecoderView& v)
{
    for (const JpegTraceMarker& m : std::span(t.markers, std::min(t.markerCount, kJpegTraceCapacity))) {
        if (m.use == JpegMarkerUse::kNoAction)
            continue;
        v.actions.push_back(m);
        if ((m.code == 0xC0 || m.code == 0xC1) && m.result == 1) {
            v.frameRead = true;
            v.frameOffset = m.offset;
        }
    }
}

// The record each of the decoder's tables was last filled from.
void TakeTables(const JpegTrace& t, DecoderView& v)
{
    for (const JpegTraceTable& table : std::span(t.tables, std::min(t.tableCount, kJpegTraceCapacity))) {
        if (table.kind == 2 && table.index <= 1)
            v.quant[table.index] = table.offset;
        else if (table.kind != 2)
            (table.kind == 0 ? v.dc : v.ac)[table.index != 0 ? 1 : 0] = table.offset;
    }
}

// Where the search ended; the SOS that started the scan is the last marker found.
void TakeEnd(const JpegTrace& t, std::span<const std::uint8_t> bytes, DecoderView& v)
{
    v.restartInterval = t.restartInterval;
    v.endOffset = t.endOffset;
    v.scanStarted = t.end == JpegSearchEnd::kScanStart;
    if (!v.scanStarted)
        return;
    if (t.markerCount <= kJpegTraceCapacity) {
        v.scanOffset = t.markers[t.markerCount - 1].offset;
        return;
    }
    // Past the record's capacity: the nearest FF DA in front of the data.
    static const std::uint8_t kSos[] = {0xFF, 0xDA};
    const auto front = bytes.first(std::min<std::size_t>(t.endOffset, bytes.size()));
    const auto sos = std::find_end(front.begin(), front.end(), std::begin(kSos), std::end(kSos));
    v.scanOffset = static_cast<std::uint32_t>(sos - front.begin());
}

}  // namespace

// One decode from zeroed state; the pixels are owned by the result.
DecoderRun RunDecoder(std::span<const std::uint8_t> bytes)
{
    static const std::uint8_t kNoData = 0;
    auto trace = std::make_unique<JpegTrace>();
    jpegState = {};
    JpegSetTrace(trace.get());
    DecoderRun run;
    std::uint32_t* pixels = nullptr;
    std::uint32_t bitsPerPixel = 0;
    run.result = DecodeJpeg(bytes.empty() ? &kNoData : bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                            &pixels, &run.width, &run.height, &bitsPerPixel);
    JpegSetTrace(nullptr);
    if (run.result == 1)
        run.pixels.reset(pixels);
    run.view.startsWithSoi = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8;
    run.view.state = jpegState;
    TakeMarkers(*trace, run.view);
    TakeTables(*trace, run.view);
    TakeEnd(*trace, bytes, run.view);
    return run;
}

}  // namespace splash
