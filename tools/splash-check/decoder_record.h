// What the splash decoder itself recorded about a file: one real DecodeJpeg
// call from the state a freshly loaded library has, and the header facts
// read back from its state afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "decoder_model.h"

namespace splash {

struct FreeBlockDeleter {
    void operator()(std::uint32_t* pixels) const;
};

struct DecoderRun {
    std::int32_t result = 0;  // DecodeJpeg's result
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::unique_ptr<std::uint32_t, FreeBlockDeleter> pixels;  // result 1: width x height 0xFFRRGGBB
};

// DecodeJpeg over `bytes`, with the decoder's state cleared first: the
// library decodes once per process, from zeroed state.
DecoderRun RunDecoder(std::span<const std::uint8_t> bytes);

// Sets the frame size, luma sampling product, quantisation and Huffman
// selectors, table counts and scan component count of `view` to what the
// last RunDecoder left in the decoder's state.
void TakeDecoderRecord(DecoderView& view);

// The first of those facts on which `view` differs from the decoder's
// state, as "name: view N, decoder M"; empty when all agree.
std::string DifferenceFromDecoderRecord(const DecoderView& view);

}  // namespace splash
