// Replays the fuzz regression corpus: every input that once broke a promise
// of the decoder, checked again with both decoders.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/stream_builder.h"

namespace testsupport {
namespace {

namespace fs = std::filesystem;

// The files of one target's regression folder, in name order.
std::vector<fs::path> RegressionInputs(const char* target)
{
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(SPLASH_REGRESSION_DIR) / target))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

Bytes ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(RegressionCorpus, SingleStreamsKeepThePromises)
{
    const std::vector<fs::path> files = RegressionInputs("decode");
    ASSERT_FALSE(files.empty()) << "no inputs in " << SPLASH_REGRESSION_DIR << "/decode";
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        DecodeFresh(ReadFile(file));
    }
}

TEST(RegressionCorpus, StreamSequencesKeepThePromises)
{
    const std::vector<fs::path> files = RegressionInputs("sequence");
    ASSERT_FALSE(files.empty()) << "no inputs in " << SPLASH_REGRESSION_DIR << "/sequence";
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        const Bytes input = ReadFile(file);
        ResetDecoders();
        for (std::span<const std::uint8_t> stream : SplitStreams(input))
            Decode(Bytes(stream.begin(), stream.end()));
    }
}

}  // namespace
}  // namespace testsupport
