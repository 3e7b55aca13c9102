// Checks made before anything is written.
#include "make_output.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace splash {
namespace {

// `text` in lower case (ASCII).
std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// ".jpg" or ".jpeg" as spelled in `path`, or empty; the name needs more than the extension.
std::string JpegExtension(const std::string& path)
{
    const std::size_t dot = path.rfind('.');
    const std::string extension = dot == std::string::npos || dot == 0 ? "" : path.substr(dot);
    return Lower(extension) == ".jpg" || Lower(extension) == ".jpeg" ? extension : "";
}

// An existing file that does not start as a JPEG (FF D8 FF) is someone's work.
bool ExistsAndIsNotJpeg(const std::string& path)
{
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored))
        return false;
    std::ifstream in(path, std::ios::binary);
    char head[3] = {};
    return !in.read(head, 3) || static_cast<unsigned char>(head[0]) != 0xFF ||
           static_cast<unsigned char>(head[1]) != 0xD8 || static_cast<unsigned char>(head[2]) != 0xFF;
}

}  // namespace

std::string RefuseOutput(const std::string& output, const std::string& input)
{
    if (JpegExtension(output).empty())
        return "the output name must end in .jpg or .jpeg (arguments swapped?): " + output;
    std::error_code unknown;
    if (std::filesystem::equivalent(output, input, unknown))
        return "the output would replace the input: " + output;
    if (ExistsAndIsNotJpeg(output))
        return output + " exists and is not a JPEG file; not replacing it";
    if (ExistsAndIsNotJpeg(NewFileBeside(output)))
        return NewFileBeside(output) + " exists and is not a JPEG file; not replacing it";
    return {};
}

std::string NewFileBeside(const std::string& output)
{
    const std::string extension = JpegExtension(output);
    return output.substr(0, output.size() - extension.size()) + ".new" + extension;
}

}  // namespace splash
