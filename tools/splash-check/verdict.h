// The verdict: the file's structure held against what the splash decoder
// will do with it, as warnings that each say what to change.
#pragma once

#include <string>
#include <vector>

#include "decoder_model.h"
#include "jpeg_structure.h"
#include "splash_window.h"

namespace splash {

enum class Verdict {
    Ok,     // shows as encoded
    Wrong,  // shows, but not as encoded
    Blank,  // shows one flat colour
    None,   // no splash at all
};

struct Warning {
    std::string code;     // stable identifier, e.g. "progressive"
    std::string message;  // what the splash will do
    std::string fix;      // what to change in the encoder
};

struct Assessment {
    Verdict verdict = Verdict::Ok;
    std::vector<Warning> warnings;
    std::vector<std::string> notes;  // harmless facts worth knowing
};

// Judged as the player sees the picture on `screen`.
Assessment Assess(std::span<const std::uint8_t> bytes, const JpegStructure& structure,
                  const DecoderView& view, ScreenSize screen = {});

const char* VerdictName(Verdict verdict);  // "ok", "wrong", "blank", "none"

// The one-line summary: "OK: ...", "WRONG: ...", "BLANK: ...", "NO SPLASH: ...".
std::string VerdictLine(const Assessment& assessment, const DecoderView& view);

}  // namespace splash
