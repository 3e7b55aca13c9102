// Whole-file reads and writes through the C library, which takes the same
// paths on Linux and Windows (drive letters, backslashes).
#include "file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#ifdef _WIN32
#include <windows.h>
#endif

namespace splash {
namespace {

constexpr std::streamoff kMaxFileSize = std::streamoff{1} << 30;

// ": reason" from errno, or nothing when errno says nothing.
std::string Reason()
{
    return errno != 0 ? std::string(": ") + std::strerror(errno) : std::string();
}

}  // namespace

std::string ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "cannot open " + path + Reason();
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0)
        return "cannot read " + path + " (not a regular file?)";
    if (size > kMaxFileSize)
        return path + " is larger than 1 GiB; not a splash picture";
    in.seekg(0, std::ios::beg);
    bytes.resize(static_cast<std::size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), size))
        return "cannot read " + path;
    return {};
}

std::string WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return "cannot write " + path + Reason();
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok)
        return "cannot write " + path + Reason();
    return {};
}

std::string MoveOver(const std::string& from, const std::string& to)
{
    errno = 0;
#ifdef _WIN32
    // The C library's rename refuses an existing target on Windows.
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) == 0)
        return "cannot move " + from + " to " + to + " (error " + std::to_string(GetLastError()) + ")";
#else
    if (std::rename(from.c_str(), to.c_str()) != 0)
        return "cannot move " + from + " to " + to + Reason();
#endif
    return {};
}

}  // namespace splash
