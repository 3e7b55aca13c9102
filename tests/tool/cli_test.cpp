// The command line: usage errors, --quiet, --json and the previews.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#include <stb/stb_image.h>

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
    const std::string cases[] = {
        "",
        "--frobnicate '" + good + "'",
        "'" + good + "' '" + good + "'",
        "'" + good + "' -o",
        "'" + good + "' -o preview.gif",
        "'" + good + "' --reencode",  // --make's options without --make, and the reverse
        "--make out.jpg '" + good + "' -o p.png",
        "'" + good + "' --screen 1920x16385", "--make out.jpg '" + good + "' --quality 101",  // just past the limits
        "'" + TempPath("no_such_file.jpg") + "'",
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
    EncodeOptions progressive;
    progressive.progressive = true;
    for (const Bytes& picture : {Encode({}), Encode(progressive)}) {
        ToolRun quiet = RunOnPicture(picture, "--quiet");
        ToolRun json = RunOnPicture(picture, "--json");
        ToolRun text = RunOnPicture(picture, "");
        EXPECT_EQ(quiet.exitStatus, json.exitStatus);
        EXPECT_EQ(quiet.exitStatus, text.exitStatus);
        EXPECT_EQ(quiet.out, ParseReport(json.out).value("verdict_line", "<none>") + "\n");
        // The text report ends with the same line.
        ASSERT_GE(text.out.size(), quiet.out.size());
        EXPECT_EQ(text.out.substr(text.out.size() - quiet.out.size()), quiet.out);
        EXPECT_EQ(text.out.rfind("file: ", 0), 0u);
        EXPECT_NE(text.out.find("decode: result 1"), std::string::npos);
        // The text lists the markers the JSON lists, and no more.
        std::string markers = "\n  markers:";
        const Json report = ParseReport(json.out);
        for (const Json& m : report["structure"]["markers"])
            markers += " " + m["name"].get<std::string>() + "@" + std::to_string(m["offset"].get<long>());
        EXPECT_NE(text.out.find(markers + "\n"), std::string::npos) << markers;
        // --make: the same, its report's last line.
        const std::string make = "--make '" + TempPath("made.jpg") + "' '" + WriteTempFile(picture, "in.jpg") + "'";
        const std::string full = RunTool(make).out;
        EXPECT_EQ(RunTool(make + " --quiet").out, full.substr(full.rfind('\n', full.size() - 2) + 1)) << full;
    }
}

// A file name that is not ASCII: each of its bytes prints as one \u00XX escape.
TEST(CommandLineTest, JsonEscapesEachByteOfAFileName)
{
    std::string path = WriteTempFile(Encode(Sized(16, 8)), "pr\xC3\xA9 \x7F\x80.jpg");
    ToolRun run = RunTool("'" + path + "' --json");
    EXPECT_NE(run.out.find("pr\\u00c3\\u00a9 \\u007f\\u0080.jpg\""), std::string::npos) << run.out;
    std::string latin1;  // the path's bytes as code points, in UTF-8
    for (unsigned char c : path)
        latin1 += c < 0x80 ? std::string(1, char(c)) : std::string{char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
    EXPECT_EQ(ParseReport(run.out)["file"], latin1);
}

// The names of an object's keys, in document order.
std::vector<std::string> Keys(const Json& object)
{
    std::vector<std::string> keys;
    for (const auto& item : object.items())
        keys.push_back(item.key());
    return keys;
}

TEST(CommandLineTest, JsonIsOneObjectWithTheDocumentedKeysInOrder)
{
    EncodeOptions o;
    o.restartInRows = 1;
    o.markers = {{0xE1, ExifPayload(6, Encode(Sized(16, 8)))}, {0xFE, Bytes{'"', '\\', 0x07}}};
    ToolRun run = RunOnPicture(Encode(o), "--json");
    ASSERT_EQ(run.out.find('\n'), run.out.size() - 1);
    const Json report = ParseReport(run.out);
    ASSERT_TRUE(report.is_object()) << run.out;
    using Names = std::vector<std::string>;
    EXPECT_EQ(Keys(report), (Names{"format", "file", "file_size", "verdict", "verdict_line", "exit_status", "decode",
                                   "window", "warnings", "notes", "decoder", "structure"}));
    EXPECT_EQ(Keys(report["window"]), (Names{"shown", "screen_width", "screen_height", "left", "top", "width", "height",
                                             "client_width", "client_height", "visible", "wait_ms"}));
    EXPECT_EQ(report["format"], 1);
    EXPECT_EQ(report["exit_status"], 1);
    EXPECT_EQ(Keys(report["decoder"]),
              (Names{"frame_read", "frame_offset", "width", "height", "luma_sampling_product", "quant_tables_read",
                     "dc_tables_read", "ac_tables_read", "scan_started", "scan_offset", "scan_components",
                     "restart_interval"}));
    const Json& s = report["structure"];
    EXPECT_EQ(Keys(s), (Names{"starts_with_soi", "marker_count", "markers", "frame_count", "frame", "quant_tables",
                              "huffman_tables", "restart_interval", "scan_count", "scans", "app_segments",
                              "comments", "eoi", "problems"}));
    ASSERT_EQ(s["scans"].size(), 1u);
    EXPECT_EQ(Keys(s["scans"][0]),
              (Names{"offset", "components", "ss", "se", "ah", "al", "restart_interval", "data_offset",
                     "data_length", "mcus_per_row", "mcus_expected", "mcus_found", "restart_count", "restarts"}));
    // 64x48 at 4:2:0 is 4x3 MCUs: a restart marker after each of the first two rows.
    EXPECT_EQ(s["restart_interval"], 4);
    EXPECT_EQ(s["scans"][0]["restart_count"], 2);
    EXPECT_EQ(s["scans"][0]["restarts"][0]["number"], 0);
    EXPECT_EQ(s["scans"][0]["restarts"][1]["number"], 1);
    EXPECT_EQ(s["scans"][0]["restarts"][1]["after_mcus"], 8);
    const Json& exif = s["app_segments"][1];
    EXPECT_EQ(Keys(exif), (Names{"offset", "marker", "kind", "length", "exif_orientation", "thumbnail",
                                 "adobe_transform"}));
    EXPECT_EQ(exif["exif_orientation"], 6);
    EXPECT_TRUE(exif["adobe_transform"].is_null());
    EXPECT_EQ(s["comments"][0]["text"], "\"\\?");
}

// The README and --help list the warning codes of the table, in its order.
TEST(CommandLineTest, ReadmeAndHelpListEveryWarningCode)
{
    std::ifstream in(SPLASH_README);
    std::string readme((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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

// The preview holds exactly the decoder's pixels, in each of the three formats.
TEST(PreviewTest, EveryFormatHoldsTheDecodersPixelsExactly)
{
    Bytes picture = Encode(Sized(33, 17));
    std::uint32_t* pixels = nullptr;
    std::uint32_t width = 0, height = 0, bits = 0;
    ASSERT_EQ(DecodeJpeg(picture.data(), static_cast<std::uint32_t>(picture.size()), &pixels, &width, &height, &bits),
              1);
    std::string source = WriteTempFile(picture, "preview_source.jpg");
    for (const char* name : {"preview.png", "preview.BMP", "preview.ppm"}) {
        std::string path = TempPath(name);
        std::remove(path.c_str());
        ToolRun run = RunTool("'" + source + "' --quiet -o '" + path + "'");
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        int w = 0, h = 0, n = 0;
        Rgb ppm;
        std::vector<std::uint8_t> rgb;
        if (std::string(name).ends_with(".ppm")) {
            ASSERT_TRUE(ReadPpm(path, ppm));
            w = ppm.width, h = ppm.height, rgb = ppm.data;
        } else {
            unsigned char* loaded = stbi_load(path.c_str(), &w, &h, &n, 3);
            ASSERT_NE(loaded, nullptr) << name;
            rgb.assign(loaded, loaded + std::size_t(w) * h * 3);
            stbi_image_free(loaded);
        }
        ASSERT_EQ(w, int(width));
        ASSERT_EQ(h, int(height));
        std::size_t mismatches = 0;
        for (std::size_t i = 0; i < std::size_t(w) * h; ++i)
            mismatches += rgb[3 * i] != ((pixels[i] >> 16) & 0xFF) || rgb[3 * i + 1] != ((pixels[i] >> 8) & 0xFF) ||
                          rgb[3 * i + 2] != (pixels[i] & 0xFF);
        EXPECT_EQ(mismatches, 0u) << name;
    }
    FreeBlock(pixels);
}

// Not JPEG at all (no window), or JPEG with nothing to show (a one-pixel
// window): a verdict, not a crash.
TEST(CommandLineTest, EmptyAndGarbageFilesGetAVerdictNotACrash)
{
    for (const Bytes& bytes : {Bytes{}, Bytes{0xFF}, Bytes{'G', 'I', 'F', '8'}, Bytes{0xFF, 0xD9, 0xFF, 0xD8},
                               Bytes(5000, 0xFF), Bytes{0xFF, 0xD8}, Bytes{0xFF, 0xD8, 0xFF, 0xD9},
                               Bytes{0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x08, 0x03, 0x01, 0x00, 0x02, 0x11, 0x03}}) {
        ToolRun run = RunOnPicture(bytes, "--json", true);
        const bool soi = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8;
        EXPECT_EQ(run.exitStatus, 1) << run.err;
        EXPECT_TRUE(run.err.empty()) << run.err;
        EXPECT_FALSE(run.previewWritten);
        EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << run.out;
        const Json report = ParseReport(run.out);
        ASSERT_TRUE(report.is_object()) << run.out;
        EXPECT_EQ(report["verdict"], soi ? "blank" : "none") << run.out;
        EXPECT_EQ(report["verdict_line"].get<std::string>().rfind(
                      soi ? "BLANK: the splash will be a one-pixel window" : "NO SPLASH:", 0),
                  0u) << run.out;
        EXPECT_EQ(report["window"]["shown"], soi) << run.out;
        EXPECT_EQ(report["window"]["client_width"], 0) << run.out;
        EXPECT_EQ(report["window"]["wait_ms"], soi ? 3000 : 0) << run.out;  // the splash's timer
        EXPECT_EQ(report["window"]["visible"].dump(), R"({"left":0,"top":0,"right":0,"bottom":0})") << run.out;
        std::vector<std::string> codes = ReportedCodes(report);
        EXPECT_EQ(std::find(codes.begin(), codes.end(), "not-jpeg") != codes.end(), !soi) << run.out;
        EXPECT_EQ(report["structure"]["starts_with_soi"], soi);
        EXPECT_EQ(report["structure"]["restart_interval"], 0);  // no DRI segment
    }
}


// --screen -o: the 33x17 picture's window centred by halves that truncate
// toward zero, its 31x15 client area showing picture (x, y) at window
// (x + 1, y + 1) inside a one-pixel frame, the rest of the screen one flat colour.
TEST(ScreenTest, ThePictureSitsInsideTheFrameWhereTheCentringPutsIt)
{
    const Bytes picture = Encode(Sized(33, 17));
    std::uint32_t* pixels = nullptr;
    std::uint32_t width = 0, height = 0, bits = 0;
    ASSERT_EQ(DecodeJpeg(picture.data(), std::uint32_t(picture.size()), &pixels, &width, &height, &bits), 1);
    const std::string source = WriteTempFile(picture, "screen_source.jpg");
    const struct { int screenWidth, screenHeight, left, top; } cases[] = {
        {64, 48, 15, 15}, {33, 17, 0, 0}, {32, 16, 0, 0}, {20, 10, -6, -3}, {1, 1, -16, -8},
    };
    for (const auto& c : cases) {
        const std::string size = std::to_string(c.screenWidth) + "x" + std::to_string(c.screenHeight);
        const std::string path = TempPath("screen.ppm");
        ToolRun run = RunTool("'" + source + "' --json --screen " + size + " -o '" + path + "'");
        ASSERT_EQ(run.exitStatus, c.left < 0 ? 1 : 0) << size << run.err;  // cut: screen-size
        const Json report = ParseReport(run.out);
        EXPECT_EQ(report["window"]["left"], c.left) << size;
        EXPECT_EQ(report["window"]["top"], c.top) << size;
        Rgb screen;
        ASSERT_TRUE(ReadPpm(path, screen));
        ASSERT_EQ(screen.width, c.screenWidth);
        ASSERT_EQ(screen.height, c.screenHeight);
        std::size_t wrongClient = 0, clientSeen = 0;
        std::set<std::uint32_t> desktop, frame;
        for (int y = 0; y < screen.height; ++y) {
            for (int x = 0; x < screen.width; ++x) {
                const std::uint8_t* p = &screen.data[(std::size_t(y) * screen.width + x) * 3];
                const std::uint32_t rgb = std::uint32_t(p[0]) << 16 | p[1] << 8 | p[2];
                const int px = x - c.left - 1, py = y - c.top - 1;
                if (px >= 0 && px < 31 && py >= 0 && py < 15) {
                    ++clientSeen;
                    wrongClient += rgb != (pixels[py * 33 + px] & 0xFFFFFF);
                } else {
                    (px < -1 || px > 31 || py < -1 || py > 15 ? desktop : frame).insert(rgb);
                }
            }
        }
        EXPECT_EQ(wrongClient, 0u) << size;
        EXPECT_EQ(clientSeen, std::size_t(std::min(c.screenWidth, c.left + 32) - std::max(0, c.left + 1)) *
                                  (std::min(c.screenHeight, c.top + 16) - std::max(0, c.top + 1)))
            << size;
        EXPECT_LE(desktop.size(), 1u) << size;
        EXPECT_EQ(frame.size(), c.left >= 0 ? 1u : 0u) << size;  // the frame: one colour, not the desktop's
        EXPECT_TRUE(frame.empty() || !desktop.contains(*frame.begin())) << size;
    }
    FreeBlock(pixels);
}

}  // namespace
}  // namespace testsupport
