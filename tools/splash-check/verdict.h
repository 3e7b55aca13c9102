// The verdict: the file's structure held against what the splash decoder
// will do with it, as warnings that each say what to change.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "decoder_record.h"
#include "jpeg_structure.h"
#include "warning_table.h"

namespace splash {

struct Warning {
    std::string code;     // the table's code, e.g. "progressive"
    std::string message;  // what the splash will do
    std::string fix;      // what to change in the encoder
};

struct Assessment {
    Verdict verdict = Verdict::Ok;
    std::vector<Warning> warnings;
    std::vector<std::string> notes;  // harmless facts worth knowing
};

// Screens larger than this are uncommon; bigger pictures are clipped.
inline constexpr unsigned kCommonScreenWidth = 1920;
inline constexpr unsigned kCommonScreenHeight = 1080;

// Every check over one file; `decodeResult` is DecodeJpeg's result (0 adds decode-failed).
Assessment Assess(std::span<const std::uint8_t> bytes, const JpegStructure& structure,
                  const DecoderView& view, std::int32_t decodeResult = 1);

const char* VerdictName(Verdict verdict);  // "ok", "wrong", "blank", "none"

// The one-line summary: "OK: ...", "WRONG: ...", "BLANK: ...", "NO SPLASH: ...".
std::string VerdictLine(const Assessment& assessment, const DecoderView& view);

}  // namespace splash
