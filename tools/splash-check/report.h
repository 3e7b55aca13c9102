// Everything splash-check found about one file, and its two printed forms.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>

#include "decoder_record.h"
#include "jpeg_structure.h"
#include "splash_window.h"
#include "verdict.h"

namespace splash {

struct Report {
    std::string path;
    DecoderRun run;  // the decode: result, size, pixels and header phase
    JpegStructure structure;
    Assessment assessment;
    ScreenSize screen;
    SplashWindow window;  // what the splash opens on `screen`
};

// Decodes `bytes` with the splash decoder and judges the file as the player
// sees it on `screen`.
Report CheckPicture(std::span<const std::uint8_t> bytes, const std::string& path, ScreenSize screen = {});

// Human-readable report: decode line, structure, warnings, verdict line last.
void PrintText(std::ostream& out, const Report& report);

// The whole report as one JSON object (format documented in --help and README).
void PrintJson(std::ostream& out, const Report& report);

}  // namespace splash
