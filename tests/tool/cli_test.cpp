// The command line: usage errors, --quiet, --json and the previews.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "jpeg/alloc.h"
#include "jpeg/decode_jpeg.h"
#include "tests/support/test_pictures.h"
#include "tool_runner.h"
#include "warning_table.h"

namespace testsupport {
namespace {

TEST(CommandLineTest, UsageAndInputErrorsExitTwoWithOneLine)
{
    std::string good = WriteTempFile(Encode({}), "cli_good.jpg");
    std::error_code exists;
    for (const char* name : {"full.png", "full.bmp", "full.ppm"})
        std::filesystem::create_symlink("/dev/full", TempPath(name), exists);
    const std::string huge = WriteTempFile({}, "huge.jpg");  // sparse: 1 GiB and one byte, beyond the tool's limit
    std::filesystem::resize_file(huge, (std::uintmax_t{1} << 30) + 1);
    const std::string cases[] = {
        "",
        "--frobnicate '" + good + "'",
        "'" + good + "' '" + good + "'",
        "'" + good + "' -o",
        "'" + good + "' -o preview.gif",
        "'" + good + "' --reencode",  // --make's options without --make, and the reverse
        "--make out.jpg '" + good + "' -o p.png",
        "'" + good + "' --screen 1920x16385",  // just past the limits
        "--make out.jpg '" + good + "' --quality 0", "--make out.jpg '" + good + "' --quality 101",
        "'" + TempPath("no_such_file.jpg") + "'", "'" + huge + "'",
        "'" + testing::TempDir() + "'",
        "'" + good + "' -o '" + TempPath("no_such_dir/p.png") + "'",
        "'" + good + "' -o '" + TempPath("full.png") + "'", "'" + good + "' -o '" + TempPath("full.bmp") + "'",
        "'" + good + "' -o '" + TempPath("full.ppm") + "'",  // a full disk
    };
    for (const std::string& args : cases) {
        ToolRun run = RunTool(args);
        EXPECT_EQ(run.exitStatus, 2) << args;
        EXPECT_TRUE(run.out.empty()) << args;
        ASSERT_FALSE(run.err.empty()) << args;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << args << ": " << run.err;
        EXPECT_EQ(run.err.rfind("splash-check: ", 0), 0u) << run.err;
    }
}

TEST(CommandLineTest, QuietPrintsOnlyTheVerdictLineOfTheFullReport)
{
    EncodeOptions progressive, rgb;
    progressive.progressive = true;
    rgb.rgbColourSpace = true;  // Adobe transform 0
    rgb.markers = {{0xE1, ExifPayload(3, Encode(Sized(16, 8)))}};
    EncodeOptions many;  // 41 markers (the text lists 40) and 11 restart markers (it lists 8)
    many.markers.assign(30, {0xFE, Bytes{'.'}});
    many.restartInterval = 1;
    for (const Bytes& picture : {Encode(many), Encode(progressive), Encode(rgb), Encode(Sized(2, 2))}) {
        ToolRun quiet = RunOnPicture(picture, "--quiet");
        ToolRun json = RunOnPicture(picture, "--json");
        ToolRun text = RunOnPicture(picture, "");
        const Json report = ParseReport(json.out);
        EXPECT_EQ(quiet.exitStatus, json.exitStatus);
        EXPECT_EQ(quiet.exitStatus, text.exitStatus);
        EXPECT_EQ(quiet.out, report.value("verdict_line", "<none>") + "\n");
        // The text report ends with the same line.
        ASSERT_GE(text.out.size(), quiet.out.size());
        EXPECT_EQ(text.out.substr(text.out.size() - quiet.out.size()), quiet.out);
        EXPECT_EQ(text.out.rfind("file: ", 0), 0u);
        EXPECT_NE(text.out.find("decode: result 1"), std::string::npos);
        EXPECT_EQ(text.out.find("client area 0x0 (only the frame shows)") != std::string::npos,
                  report["window"]["client_width"] == 0) << text.out;
        // The text lists the first 40 markers the JSON lists, and no more.
        std::string markers = "\n  markers:";
        for (std::size_t i = 0; i < report["structure"]["markers"].size() && i < 40; ++i) {
            const Json& m = report["structure"]["markers"][i];
            markers += " " + m["name"].get<std::string>() + "@" + std::to_string(m["offset"].get<long>());
        }
        if (report["structure"]["marker_count"] > 40)
            markers += " ... (" + report["structure"]["marker_count"].dump() + " in all)";
        EXPECT_NE(text.out.find(markers + "\n"), std::string::npos) << markers;
        std::size_t scanLines = 0;  // the first 8 scans, a line each (the progressive picture has 10)
        for (std::size_t at = text.out.find("\n    scan @"); at != std::string::npos; at = text.out.find("\n    scan @", at + 1))
            ++scanLines;
        EXPECT_EQ(scanLines, std::min(report["structure"]["scan_count"].get<std::size_t>(), std::size_t{8}));
        for (const Json& scan : report["structure"]["scans"]) {  // where the restart markers stand
            std::string restarts = ", " + scan["restart_count"].dump() + " restarts after MCUs";
            for (std::size_t k = 0; k < scan["restarts"].size() && k < 8; ++k)
                restarts += " " + scan["restarts"][k]["after_mcus"].dump();
            restarts += scan["restart_count"] > 8 ? " ...\n" : "\n";
            EXPECT_EQ(text.out.find(restarts) != std::string::npos, scan["restart_count"] > 0) << restarts;
        }
        for (const Json& a : report["structure"]["app_segments"]) {  // and what each APP segment holds
            std::string line = "\n  " + a["marker"].get<std::string>() + " @" + a["offset"].dump() + ": " +
                               a["kind"].get<std::string>();
            line += a["exif_orientation"].is_null() ? "" : ", orientation " + a["exif_orientation"].dump();
            line += a["adobe_transform"].is_null() ? "" : ", colour transform " + a["adobe_transform"].dump();
            line += a["thumbnail"].is_null() ? "" : ", JPEG thumbnail @" + a["thumbnail"]["offset"].dump();
            EXPECT_NE(text.out.find(line + "\n"), std::string::npos) << line;
        }
        // --make: the same, its report's last line.
        const std::string make = "--make '" + TempPath("made.jpg") + "' '" + WriteTempFile(picture, "in.jpg") + "'";
        const std::string full = RunTool(make).out;
        EXPECT_EQ(RunTool(make + " --quiet").out, full.substr(full.rfind('\n', full.size() - 2) + 1)) << full;
    }
}

// Every key of a document, depth first; a list's keys are those of its first element.
void CollectKeys(const Json& value, std::vector<std::string>& keys)
{
    if (value.is_array() && !value.empty())
        CollectKeys(value.front(), keys);
    if (!value.is_object())
        return;
    for (const auto& [key, member] : value.items()) {
        keys.push_back(key);
        CollectKeys(member, keys);
    }
}

// The README's whole text.
std::string ReadReadme()
{
    std::ifstream in(SPLASH_README);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The README's key list and --help's, in order, against a document where every
// object and list is filled: no JFIF in front of the Exif segment, whose thumbnail
// is then the first APP segment's. A file name that is not ASCII: each of its
// bytes prints as one \u00XX escape.
TEST(CommandLineTest, JsonIsOneObjectWithTheDocumentedKeysInOrder)
{
    EncodeOptions o;
    o.jfif = false;
    o.restartInRows = 1;
    o.markers = {{0xE1, ExifPayload(6, Encode(Sized(16, 8)))}, {0xFE, Bytes{'"', ' ', '\\', 0x07, '~', 0x7F}}};
    const std::string path = WriteTempFile(Encode(o), "pr\xC3\xA9 \x7F\x80.jpg");
    ToolRun run = RunTool("'" + path + "' --json");
    EXPECT_NE(run.out.find("pr\\u00c3\\u00a9 \\u007f\\u0080.jpg\""), std::string::npos) << run.out;
    ASSERT_EQ(run.out.find('\n'), run.out.size() - 1);
    const Json report = ParseReport(run.out);
    std::vector<std::string> keys, readmeKeys, helpKeys;
    CollectKeys(report, keys);
    const std::string readme = ReadReadme();
    const std::size_t begin = readme.find("{\"format\":"), end = readme.find("```", begin);
    const std::regex quotedKey(R"re((^|[^:|])"(\w+)")re"), word(R"(\w+)");  // not a value: "ok"|"wrong", "class":"dc"
    for (std::sregex_iterator i(readme.begin() + begin, readme.begin() + end, quotedKey), last; i != last; ++i)
        readmeKeys.push_back((*i)[2]);
    EXPECT_EQ(readmeKeys, keys);
    std::string help = RunTool("--help").out;
    help = std::regex_replace(help.substr(help.find("null):"), help.find("Lists hold") - help.find("null):")),
                              std::regex(R"(\([^)]*\)|string|null)"), "");
    for (std::sregex_iterator i(help.begin(), help.end(), word), last; i != last; ++i)
        helpKeys.push_back(i->str());
    EXPECT_EQ(helpKeys, keys);
    std::string latin1;  // the path's bytes as code points, in UTF-8
    for (unsigned char c : path)
        latin1 += c < 0x80 ? std::string(1, char(c)) : std::string{char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
    EXPECT_EQ(report["file"], latin1);
    EXPECT_EQ(report["exit_status"], 1);
    EXPECT_EQ(report["structure"]["comments"][0]["text"], "\" \\?~?");
}

// The README and --help list the warning codes of the table, in its order.
TEST(CommandLineTest, ReadmeAndHelpListEveryWarningCode)
{
    const std::string readme = ReadReadme();
    std::size_t begin = readme.find("Warning codes: "), end = readme.find("JSON, format 1.");
    ASSERT_LT(begin, end);
    std::vector<std::string> listed;
    for (std::size_t at = readme.find('`', begin); at < end; at = readme.find('`', readme.find('`', at + 1) + 1))
        listed.push_back(readme.substr(at + 1, readme.find('`', at + 1) - at - 1));
    EXPECT_EQ(listed, splash::WarningCodes());
    // --help: in lines of at most 72 columns, up to a blank line.
    std::istringstream help(RunTool("--help").out);
    std::string line, words;
    while (std::getline(help, line) && !line.starts_with("Warning codes:")) {
    }
    for (; !line.empty(); std::getline(help, line)) {
        EXPECT_LE(line.size(), 72u) << line;
        words += line + ' ';
    }
    std::istringstream codes(words.substr(std::min<std::size_t>(words.size(), 14)));
    EXPECT_EQ(std::vector<std::string>(std::istream_iterator<std::string>(codes), {}), splash::WarningCodes());
}

// The groups of `pattern`'s first match in `text`, joined by spaces; "<none>" without a match.
std::string Groups(const std::string& text, const char* pattern)
{
    std::smatch m;
    if (!std::regex_search(text, m, std::regex(pattern)))
        return "<none>";
    std::string joined = m[1];
    for (std::size_t i = 2; i < m.size(); ++i)
        joined += " " + m[i].str();
    return joined;
}

// -o: without --screen the decoder's pixels exactly, in each format; with it,
// the 33x17 picture's window centred by halves that truncate toward zero, its
// 31x15 client area showing picture (x, y) at window (x + 1, y + 1) inside a
// one-pixel frame, the rest of the screen one flat colour.
TEST(PreviewTest, HoldsTheDecodersPixelsWhereTheWindowShowsThem)
{
    const Bytes picture = Encode(Sized(33, 17));
    std::uint32_t* pixels = nullptr;
    std::uint32_t width = 0, height = 0, bits = 0;
    ASSERT_EQ(DecodeJpeg(picture.data(), std::uint32_t(picture.size()), &pixels, &width, &height, &bits), 1);
    const std::string source = WriteTempFile(picture, "screen_source.jpg");
    const struct { const char* name; int screenWidth, screenHeight, left, top; } cases[] = {
        {"preview.png", 0, 0, -1, -1}, {"preview.BMP", 0, 0, -1, -1}, {"preview.ppm", 0, 0, -1, -1},  // no --screen
        {"screen.ppm", 64, 48, 15, 15}, {"screen.png", 33, 17, 0, 0}, {"screen.bmp", 32, 16, 0, 0},
        {"screen.ppm", 20, 10, -6, -3}, {"screen.ppm", 1, 1, -16, -8},
    };
    for (const auto& c : cases) {
        const bool onScreen = c.screenWidth > 0;
        const std::string size = std::to_string(c.screenWidth) + "x" + std::to_string(c.screenHeight);
        SCOPED_TRACE(std::string(c.name) + " " + size);
        const std::string path = TempPath(c.name);
        std::remove(path.c_str());
        ToolRun run = RunTool("'" + source + "' -o '" + path + "'" + (onScreen ? " --screen " + size : ""));
        ASSERT_EQ(run.exitStatus, c.left < -1 ? 1 : 0) << run.err;  // cut: screen-size
        Rgb screen;
        ASSERT_TRUE(ReadPicture(path, screen));
        ASSERT_EQ(screen.width, onScreen ? c.screenWidth : 33);
        ASSERT_EQ(screen.height, onScreen ? c.screenHeight : 17);
        const int clientWidth = onScreen ? 31 : 33, clientHeight = onScreen ? 15 : 17;
        std::size_t wrongClient = 0, clientSeen = 0;
        std::set<std::uint32_t> desktop, frame;
        for (int y = 0; y < screen.height; ++y) {
            for (int x = 0; x < screen.width; ++x) {
                const std::uint8_t* p = &screen.data[(std::size_t(y) * screen.width + x) * 3];
                const std::uint32_t rgb = std::uint32_t(p[0]) << 16 | p[1] << 8 | p[2];
                const int px = x - c.left - 1, py = y - c.top - 1;
                if (px >= 0 && px < clientWidth && py >= 0 && py < clientHeight) {
                    ++clientSeen;
                    wrongClient += rgb != (pixels[py * 33 + px] & 0xFFFFFF);
                } else {
                    (px < -1 || px > clientWidth || py < -1 || py > clientHeight ? desktop : frame).insert(rgb);
                }
            }
        }
        EXPECT_EQ(wrongClient, 0u);
        // Where the report puts the window, and how many picture pixels it says are seen.
        const std::string reported = Groups(run.out, R"(at \((-?\d+),(-?\d+)\) on .*?(\d+) of \d+ picture)");
        const std::string seen =
            std::to_string(c.left) + " " + std::to_string(c.top) + " " + std::to_string(clientSeen);
        EXPECT_TRUE(!onScreen || reported == seen) << run.out;
        EXPECT_EQ(run.out.find("; the screen cuts it to") != std::string::npos,
                  clientSeen < std::size_t(clientWidth) * clientHeight) << run.out;
        EXPECT_EQ(clientSeen, std::size_t(std::min(screen.width, c.left + 1 + clientWidth) - std::max(0, c.left + 1)) *
                                  (std::min(screen.height, c.top + 1 + clientHeight) - std::max(0, c.top + 1)));
        EXPECT_LE(desktop.size(), 1u);
        EXPECT_EQ(frame.size(), c.left >= 0 ? 1u : 0u);  // the frame: one colour, not the desktop's
        EXPECT_TRUE(frame.empty() || !desktop.contains(*frame.begin()));
    }
    FreeBlock(pixels);
}

}  // namespace
}  // namespace testsupport
