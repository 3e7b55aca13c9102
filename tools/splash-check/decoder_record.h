// What the splash decoder itself did with a file: one real DecodeJpeg call
// from the state a freshly loaded library has, with its marker loop traced,
// and the header facts read back from its state afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "jpeg/alloc.h"
#include "jpeg/jpeg_state.h"
#include "jpeg/jpeg_trace.h"

namespace splash {

struct DecoderView {
    bool startsWithSoi = false;
    std::vector<JpegTraceMarker> actions;  // the trace's markers acted on or passed over, in order

    bool frameRead = false;              // a frame header with 8-bit samples was taken
    std::uint32_t frameOffset = 0;       // the last one taken
    // jpegState after the call: the frame's size and sampling, the table
    // selectors and counts, the scan's component count (its data and pixels
    // pointers are stale).
    JpegDecoderState state{};

    // Offset of the table record last read into each of the decoder's tables.
    std::int64_t quant[2] = {-1, -1};
    std::int64_t dc[2] = {-1, -1};
    std::int64_t ac[2] = {-1, -1};

    bool scanStarted = false;
    std::uint32_t scanOffset = 0;        // SOS that passed the start test
    std::uint16_t restartInterval = 0;
    std::uint64_t endOffset = 0;         // where the search stopped; decoding goes on from here
};

// Table a selector names: 0 -> 0, anything else -> 1.
inline int DecoderTableIndex(std::uint16_t selector) { return selector != 0 ? 1 : 0; }

struct DecoderRun {
    std::int32_t result = 0;  // DecodeJpeg's result
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // Result 1: width x height 0xFFRRGGBB, from the decoder's allocator.
    std::unique_ptr<std::uint32_t, void (*)(void*)> pixels{nullptr, FreeBlock};
    DecoderView view;         // its header phase
};

// DecodeJpeg over `bytes`, with the decoder's state cleared first (the library
// decodes once per process, from zeroed state) and its marker loop traced.
DecoderRun RunDecoder(std::span<const std::uint8_t> bytes);

}  // namespace splash
