// Everything splash-check found about one file, and its two printed forms.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>

#include "decoder_record.h"
#include "jpeg_structure.h"
#include "verdict.h"

namespace splash {

struct DecodeOutcome {
    std::int32_t result = 0;  // DecodeJpeg's result
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

struct Report {
    std::string path;
    DecodeOutcome decode;
    JpegStructure structure;
    DecoderView view;
    Assessment assessment;
};

// Decodes `bytes` with the splash decoder (into `run`, with its pixels) and
// judges the file.
Report CheckPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecoderRun& run);

// Human-readable report: decode line, structure, warnings, verdict line last.
void PrintText(std::ostream& out, const Report& report);

// The whole report as one JSON object (format documented in --help and README).
void PrintJson(std::ostream& out, const Report& report);

}  // namespace splash
