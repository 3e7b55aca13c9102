// Runs the splash-check program as a separate process, as a build pipeline
// would: each run starts from a fresh decoder state.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/test_pictures.h"

namespace testsupport {

struct ToolRun {
    int exitStatus = -1;
    std::string out;      // stdout
    std::string err;      // stderr
    bool previewWritten = false;
    Rgb preview;          // read back from the PPM preview
};

// Writes `picture` to a file of its own and runs splash-check on it with
// `arguments`; with `withPreview` also asks for a PPM preview and reads it.
ToolRun RunOnPicture(const Bytes& picture, const std::string& arguments, bool withPreview = false);

// Runs splash-check with a literal argument string.
ToolRun RunTool(const std::string& arguments);

std::string TempPath(const std::string& name);
// Writes `bytes` to TempPath(name) and returns that path.
std::string WriteTempFile(const Bytes& bytes, const std::string& name);
// A PNG, BMP or PPM file, read by stb_image.
bool ReadPicture(const std::string& path, Rgb& picture);

using Json = nlohmann::ordered_json;

// The tool's one-line JSON report, parsed; a discarded value when it does not parse.
Json ParseReport(const std::string& out);

}  // namespace testsupport
