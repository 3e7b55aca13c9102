// Start-up logic: the entry point, HostFileName and the picture path.
#include "startup/startup.h"

#include "windows_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

using namespace splash_test;

namespace {

// One run of `commandLine` in `directory`; false when it did not end within a minute.
bool TryRunAndCapture(const std::string& commandLine, const std::filesystem::path& directory,
                      std::string& output)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        output = "CreatePipe failed";
        return true;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    std::string mutableLine = commandLine;
    const std::string folder = directory.string();
    const BOOL started = CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, folder.c_str(), &startup, &process);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        output = "CreateProcess failed: " + std::to_string(GetLastError());
        return true;
    }

    // The probe writes two short lines, well within the pipe's buffer, so
    // waiting before reading cannot block it.
    const bool ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
    if (!ended)
        TerminateProcess(process.hProcess, 1);
    output.clear();
    char chunk[256];
    DWORD count = 0;
    while (ended && ReadFile(readEnd, chunk, sizeof(chunk), &count, nullptr) && count > 0)
        output.append(chunk, count);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(readEnd);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
        output.pop_back();
    return ended;
}

// Runs `commandLine` with `directory` as its current folder; its standard output.
// Under Wine on qemu-i386 a new 32-bit process now and then never gets going
// (seen: 1 start in 6 on a loaded machine); such a start is tried again.
std::string RunAndCapture(const std::string& commandLine, const std::filesystem::path& directory)
{
    std::string output;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (TryRunAndCapture(commandLine, directory, output))
            return output;
    }
    return "the program did not end within a minute, three times";
}

void SetHostFileName(const std::string& name)
{
    ASSERT_LT(name.size(), kPathCapacity);
    std::memset(HostFileName, 0, kPathCapacity);
    std::memcpy(HostFileName, name.c_str(), name.size());
}

}  // namespace

TEST(EntryPoint, ReturnsTrueForEveryReason)
{
    const HINSTANCE module = GetModuleHandleA(nullptr);
    for (DWORD reason : {DLL_PROCESS_ATTACH, DLL_THREAD_ATTACH, DLL_THREAD_DETACH, DLL_PROCESS_DETACH}) {
        SCOPED_TRACE(reason);
        EXPECT_EQ(DllMain(module, reason, nullptr), TRUE);
    }
}

TEST(EntryPoint, AttachRecordsTheModuleAndOtherReasonsKeepIt)
{
    const auto attached = reinterpret_cast<HINSTANCE>(GetModuleHandleA("kernel32.dll"));
    LibraryInstance = nullptr;
    DllMain(attached, DLL_PROCESS_ATTACH, nullptr);
    EXPECT_EQ(LibraryInstance, attached);

    const HINSTANCE other = GetModuleHandleA(nullptr);
    for (DWORD reason : {DLL_THREAD_ATTACH, DLL_THREAD_DETACH, DLL_PROCESS_DETACH})
        DllMain(other, reason, nullptr);
    EXPECT_EQ(LibraryInstance, attached);
}

struct PathCase {
    const char* hostFileName;
    const char* picturePath;
};

class PicturePath : public testing::TestWithParam<PathCase> {};

TEST_P(PicturePath, ReplacesWhatFollowsTheLastBackslash)
{
    SetHostFileName(GetParam().hostFileName);
    char path[kPathCapacity];
    ASSERT_EQ(ComposePicturePath(path), 1);
    EXPECT_STREQ(path, GetParam().picturePath);
}

INSTANTIATE_TEST_SUITE_P(
    HostNames, PicturePath,
    testing::Values(PathCase{"game.exe", "prelude.jpg"},
                    PathCase{"C:\\Games\\Puzzle\\game.exe", "C:\\Games\\Puzzle\\prelude.jpg"},
                    PathCase{"C:/Games/game.exe", "prelude.jpg"},
                    PathCase{"C:\\Games/sub/game.exe", "C:\\prelude.jpg"},
                    PathCase{"\\\\server\\share\\game.exe", "\\\\server\\share\\prelude.jpg"},
                    PathCase{"C:\\Games\\", "C:\\Games\\prelude.jpg"},
                    PathCase{"", "prelude.jpg"}));

TEST(PicturePathLimits, FolderThatLeavesRoomForTheNameFits)
{
    // 247 characters and a backslash: the name's 12 characters end at 260.
    const std::string folder = "C:\\" + std::string(244, 'f') + "\\";
    ASSERT_EQ(folder.size(), 248u);
    SetHostFileName(folder + "game.exe");
    char path[kPathCapacity];
    ASSERT_EQ(ComposePicturePath(path), 1);
    EXPECT_EQ(std::string(path), folder + "prelude.jpg");
}

TEST(PicturePathLimits, FolderTooLongForTheNameGivesNoPathAndWritesNothingBeyond)
{
    for (std::size_t folderLength : {249u, 250u, 258u, 259u}) {
        SCOPED_TRACE(folderLength);
        SetHostFileName(std::string(folderLength - 1, 'f') + "\\");
        char guarded[kPathCapacity + 16];
        std::memset(guarded, 0x5A, sizeof(guarded));
        EXPECT_EQ(ComposePicturePath(guarded), 0);
        EXPECT_EQ(guarded[0], '\0');
        for (std::size_t i = kPathCapacity; i < sizeof(guarded); ++i)
            ASSERT_EQ(guarded[i], 0x5A) << "written past the buffer at " << i;
    }
}

TEST(PicturePathLimits, FullBufferWithoutTerminatorIsReadWithinBounds)
{
    std::memset(HostFileName, 'x', kPathCapacity);  // no zero anywhere
    char path[kPathCapacity];
    ASSERT_EQ(ComposePicturePath(path), 1);
    EXPECT_STREQ(path, "prelude.jpg");
}

TEST(HostFileNameRecord, HoldsTheStoredSpellingWhenStartedUnderAnotherCase)
{
    ScratchDirectory folder;
    std::filesystem::copy_file(ProgramDirectory() / "host_name_probe.exe", folder.path() / "Game.EXE");
    const std::string output = RunAndCapture("\"" + folder.file("game.exe") + "\"", folder.path());
    const std::size_t lineEnd = output.find('\n');
    ASSERT_NE(lineEnd, std::string::npos) << output;
    std::string reported = output.substr(0, lineEnd);
    if (!reported.empty() && reported.back() == '\r')
        reported.pop_back();
    // Windows reports the full path as started (Wine already in the stored
    // case); the directory search leaves the bare name as stored.
    EXPECT_EQ(_stricmp(reported.c_str(), folder.file("game.exe").c_str()), 0) << reported;
    EXPECT_EQ(output.substr(lineEnd + 1), "1 Game.EXE");
}

TEST(HostFileNameRecord, KeepsTheFullPathWhenTheFileCannotBeFound)
{
    // A loaded library renamed on disk: its recorded path no longer exists.
    ScratchDirectory folder;
    std::filesystem::copy_file(ProgramDirectory() / "splash.dll", folder.path() / "vanishing.dll");
    HMODULE module = LoadLibraryA(folder.file("vanishing.dll").c_str());
    ASSERT_NE(module, nullptr);
    char loadedPath[MAX_PATH] = {};
    GetModuleFileNameA(module, loadedPath, MAX_PATH);
    ASSERT_TRUE(MoveFileA(loadedPath, folder.file("moved.dll").c_str()));

    EXPECT_EQ(RecordHostFileName(module), 0);
    EXPECT_STREQ(HostFileName, loadedPath);
    EXPECT_NE(std::strchr(HostFileName, '\\'), nullptr);

    FreeLibrary(module);
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

TEST(DialogTemplate, IsACaptionlessBorderedPopupWithoutControls)
{
    HMODULE library = LoadLibraryExA((ProgramDirectory() / "splash.dll").string().c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(library, nullptr);
    HRSRC found = FindResourceA(library, MAKEINTRESOURCEA(209), MAKEINTRESOURCEA(5));  // RT_DIALOG
    ASSERT_NE(found, nullptr);
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(library, found)));
    ASSERT_NE(bytes, nullptr);
    ASSERT_GE(SizeofResource(library, found), sizeof(DLGTEMPLATE) + 6);

    DLGTEMPLATE header;
    std::memcpy(&header, bytes, sizeof(header));
    EXPECT_EQ(header.style, 0x80800000u);  // WS_POPUP | WS_BORDER
    EXPECT_EQ(header.dwExtendedStyle, 0u);
    EXPECT_EQ(header.cdit, 0);
    EXPECT_EQ(header.x, 0);
    EXPECT_EQ(header.y, 0);
    EXPECT_EQ(header.cx, 320);
    EXPECT_EQ(header.cy, 218);
    // No menu, no class, no title: three empty words follow the header.
    std::uint16_t trailing[3];
    std::memcpy(trailing, bytes + sizeof(DLGTEMPLATE), sizeof(trailing));
    EXPECT_EQ(trailing[0], 0);
    EXPECT_EQ(trailing[1], 0);
    EXPECT_EQ(trailing[2], 0);
    FreeLibrary(library);
}
