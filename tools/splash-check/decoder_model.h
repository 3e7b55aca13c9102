// What the splash decoder will make of a file: its marker search replayed
// byte for byte (no segment skipped by length, 0xFF followed by 0xC0..0xE0
// taken as a marker anywhere), for what the decoder does not keep: where
// each marker, table, frame and scan lies, which segments it passes over,
// the restart interval. The facts it keeps are taken from the decoder
// itself (decoder_record.h); the structure fuzzer holds the two to each other.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace splash {

struct DecoderAction {
    std::uint32_t offset;  // of the marker's 0xFF
    std::uint8_t code;
    bool parsed;           // false: seen but passed over (tables already full)
};

struct DecoderView {
    bool startsWithSoi = false;
    std::vector<DecoderAction> actions;  // markers the decoder acts on, in order

    bool frameRead = false;              // a frame header with 8-bit samples was taken
    std::uint32_t frameOffset = 0;       // the last one taken
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint16_t ySamplingProduct = 0;
    std::uint16_t yQuantSelector = 0;
    std::uint16_t chromaQuantSelector = 0;

    std::uint16_t quantTableCount = 0;
    std::uint16_t dcTableCount = 0;
    std::uint16_t acTableCount = 0;
    // Offset of the table record last read into each of the decoder's tables.
    std::int64_t quant[2] = {-1, -1};
    std::int64_t dc[2] = {-1, -1};
    std::int64_t ac[2] = {-1, -1};
    bool sixteenBitTableStop = false;    // a DQT segment stopped at a 16-bit table

    bool scanStarted = false;
    std::uint32_t scanOffset = 0;        // SOS that passed the start test
    std::uint32_t dataOffset = 0;        // where decoding begins
    bool scanHeaderRefused = false;      // that SOS's header was not fully taken
    std::uint16_t scanComponentCount = 0;
    std::uint16_t yDcSelector = 0, yAcSelector = 0;
    std::uint16_t chromaDcSelector = 0, chromaAcSelector = 0;
    std::uint16_t restartInterval = 0;
    bool endedAtEoi = false;             // the search met EOI before a scan started
    std::uint64_t endOffset = 0;         // where the search stopped; decoding goes on from here
};

// Replays the decoder's header phase over `bytes`, from a fresh process state.
DecoderView ModelDecoder(std::span<const std::uint8_t> bytes);

// Table a selector names: 0 -> 0, anything else -> 1.
inline int DecoderTableIndex(std::uint16_t selector) { return selector != 0 ? 1 : 0; }

}  // namespace splash
