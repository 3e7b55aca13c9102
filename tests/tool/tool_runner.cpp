// Process runs of splash-check and the small readers for what it writes.
#include "tool_runner.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_ONLY_PNM
#include <stb/stb_image.h>

namespace testsupport {
namespace {

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string UniqueName(const std::string& suffix)
{
    static std::atomic<int> counter{0};
    return std::to_string(counter++) + suffix;
}

}  // namespace

// This process's folder under the test temporary folder, removed with all in it when the tests end.
std::string TempPath(const std::string& name)
{
    static const struct Folder {
        std::string path = testing::TempDir() + "splash_check_" + std::to_string(getpid()) + "/";
        Folder() { std::filesystem::create_directories(path); }
        ~Folder() { std::error_code ignored; std::filesystem::remove_all(path, ignored); }
    } folder;
    return folder.path + name;
}

std::string WriteTempFile(const Bytes& bytes, const std::string& name)
{
    std::string path = TempPath(name);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

ToolRun RunTool(const std::string& arguments)
{
    ToolRun run;
    std::string outPath = TempPath(UniqueName(".out"));
    std::string errPath = TempPath(UniqueName(".err"));
    std::string command = std::string("'") + SPLASH_CHECK_PATH + "' " + arguments + " >'" + outPath + "' 2>'" +
                          errPath + "'";
    int status = std::system(command.c_str());
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = Slurp(outPath);
    run.err = Slurp(errPath);
    return run;
}

ToolRun RunOnPicture(const Bytes& picture, const std::string& arguments, bool withPreview)
{
    std::string picturePath = WriteTempFile(picture, UniqueName(".jpg"));
    std::string previewPath = TempPath(UniqueName(".ppm"));
    std::string args = "'" + picturePath + "' " + arguments;
    if (withPreview)
        args += " -o '" + previewPath + "'";
    ToolRun run = RunTool(args);
    run.previewWritten = ReadPicture(previewPath, run.preview);
    return run;
}

bool ReadPicture(const std::string& path, Rgb& picture)
{
    int components = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &picture.width, &picture.height, &components, 3);
    if (pixels == nullptr)
        return false;
    picture.data.assign(pixels, pixels + std::size_t(picture.width) * picture.height * 3);
    stbi_image_free(pixels);
    return true;
}

Json ParseReport(const std::string& out)
{
    return Json::parse(out, nullptr, false);
}

}  // namespace testsupport
