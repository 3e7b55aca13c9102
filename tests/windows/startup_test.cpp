// Start-up logic: HostFileName and the picture path (the entry point:
// real_window_test.py, whose dialog comes from the module DllMain records).
#include "startup/startup.h"

#include "windows_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

using namespace testsupport;

namespace {

// HostFileName as `name`; a name of kPathCapacity characters fills it with no zero.
void SetHostFileName(const std::string& name)
{
    std::memset(HostFileName, 0, kPathCapacity);
    std::memcpy(HostFileName, name.c_str(), std::min<std::size_t>(name.size(), kPathCapacity));
}

}  // namespace

TEST(PicturePath, ReplacesWhatFollowsTheLastBackslashWhenTheNameFits)
{
    // 247 characters and a backslash: the name's 12 characters end at 260.
    const std::string deepest = "C:\\" + std::string(244, 'f') + "\\";
    const struct {
        std::string hostFileName;
        std::string picturePath;  // empty: no path, result 0
    } cases[] = {
        {"game.exe", "prelude.jpg"},
        {"C:\\Games\\Puzzle\\game.exe", "C:\\Games\\Puzzle\\prelude.jpg"},
        {"C:/Games/game.exe", "prelude.jpg"},
        {"C:\\Games/sub/game.exe", "C:\\prelude.jpg"},
        {"\\\\server\\share\\game.exe", "\\\\server\\share\\prelude.jpg"},
        {"C:\\Games\\", "C:\\Games\\prelude.jpg"},
        {"", "prelude.jpg"},
        {deepest + "game.exe", deepest + "prelude.jpg"},
        {std::string(248, 'f') + "\\", ""},
        {std::string(249, 'f') + "\\", ""},
        {std::string(257, 'f') + "\\", ""},
        {std::string(258, 'f') + "\\", ""},
        {std::string(kPathCapacity, 'x'), "prelude.jpg"},  // no zero anywhere: read within bounds
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hostFileName);
        SetHostFileName(c.hostFileName);
        char guarded[kPathCapacity + 16];
        std::memset(guarded, 0x5A, sizeof(guarded));
        EXPECT_EQ(ComposePicturePath(guarded), c.picturePath.empty() ? 0 : 1);
        EXPECT_EQ(std::string(guarded), c.picturePath);
        for (std::size_t i = kPathCapacity; i < sizeof(guarded); ++i)
            ASSERT_EQ(guarded[i], 0x5A) << "written past the buffer at " << i;
    }
}

// A copy of splash.dll stored as Stored.DLL and loaded as stored.dll: the
// record is the name as stored; moved away after loading, the full path.
TEST(HostFileNameRecord, HoldsTheStoredNameOrTheFullPathWhenTheFileIsGone)
{
    for (const bool moved : {false, true}) {
        SCOPED_TRACE(moved ? "moved" : "in place");
        ScratchDirectory folder;
        std::filesystem::copy_file(ProgramDirectory() / "splash.dll", folder.path() / "Stored.DLL");
        HMODULE module = LoadLibraryA(folder.file("stored.dll").c_str());
        ASSERT_NE(module, nullptr);
        char loadedPath[MAX_PATH] = {};
        GetModuleFileNameA(module, loadedPath, MAX_PATH);
        ASSERT_TRUE(!moved || MoveFileA(loadedPath, folder.file("moved.dll").c_str()));

        EXPECT_EQ(RecordHostFileName(module), moved ? 0 : 1);
        EXPECT_STREQ(HostFileName, moved ? loadedPath : "Stored.DLL");
        FreeLibrary(module);
    }
}

TEST(HostFileNameRecord, StartupCallRecordsTheBareNameAndReturnsAtOnceWithoutPicture)
{
    ScratchDirectory empty;
    CurrentDirectoryGuard inside(empty.path());
    std::memset(HostFileName, 0, kPathCapacity);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(mainDLLInit(nullptr), 1);
    const auto elapsed = std::chrono::steady_clock::now() - start;

    EXPECT_STREQ(HostFileName, "startup_tests.exe");
    EXPECT_LT(elapsed, std::chrono::milliseconds(1000));
}
