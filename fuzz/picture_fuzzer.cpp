// --make's picture input on any bytes: every format it reads (JPEG through
// libjpeg-turbo, the rest through stb_image) must refuse damaged input with a
// message, and a picture it accepts must have the size it reports, within
// the pixel limit.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "jpeg_input.h"
#include "picture_load.h"

namespace {

// The first way in which an accepted picture breaks its promises, or empty.
std::string CheckPicture(const splash::LoadedPicture& loaded)
{
    const splash::Picture& p = loaded.picture;
    if (p.width <= 0 || p.height <= 0)
        return "size " + std::to_string(p.width) + "x" + std::to_string(p.height);
    if (std::uint64_t(p.width) * std::uint64_t(p.height) > splash::kMaxInputPixels)
        return "more pixels than the limit";
    if (p.channels != 4 || p.data.size() != std::size_t(p.width) * p.height * 4)
        return std::to_string(p.data.size()) + " bytes for " + std::to_string(p.width) + "x" +
               std::to_string(p.height) + " RGBA";
    if (loaded.fileChannels < 1 || loaded.fileChannels > 4)
        return "file channels " + std::to_string(loaded.fileChannels);
    return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    splash::LoadedPicture loaded;
    const std::string error = splash::LoadPicture({data, size}, loaded);
    if (error.empty())
        FailIf(CheckPicture(loaded), "picture input");
    else if (error.find('\n') != std::string::npos)
        FailIf("a message of more than one line: " + error, "picture input");
    return 0;
}
