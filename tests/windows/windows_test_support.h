// Helpers shared by the Windows tests: files beside the test program,
// scratch folders.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace testsupport {

// The folder that holds the test program, splash.dll and pictures/.
inline std::filesystem::path ProgramDirectory()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path();
}

// A picture written by make_test_pictures.py.
inline std::filesystem::path TestPicture(const char* name)
{
    return ProgramDirectory() / "pictures" / name;
}

// An empty folder under the temporary folder, removed with its contents.
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("splash-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDirectory()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const char* name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Makes `directory` the current directory for the lifetime of the guard.
class CurrentDirectoryGuard {
public:
    explicit CurrentDirectoryGuard(const std::filesystem::path& directory)
        : previous_(std::filesystem::current_path())
    {
        std::filesystem::current_path(directory);
    }
    ~CurrentDirectoryGuard() { std::filesystem::current_path(previous_); }
    CurrentDirectoryGuard(const CurrentDirectoryGuard&) = delete;
    CurrentDirectoryGuard& operator=(const CurrentDirectoryGuard&) = delete;

private:
    std::filesystem::path previous_;
};

}  // namespace testsupport
