// splash-check: decodes a picture with the splash decoder, writes what the
// splash would show, and tells whether, and why not, it shows as encoded;
// with --make, first turns any picture into one that it shows.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "file_io.h"
#include "make_command.h"
#include "preview.h"
#include "report.h"
#include "splash_window.h"
#include "warning_table.h"

namespace {

constexpr const char* kUsage =
    "usage: splash-check PICTURE.jpg [--screen WxH] [-o PICTURE] [--quiet] [--json]\n"
    "       splash-check --make OUT.jpg INPUT [--screen WxH] [--quality Q]\n"
    "                    [--background RRGGBB] [--reencode] [--quiet]";

constexpr const char* kHelp = R"(
Checks a splash picture (prelude.jpg) before it ships: decodes it with the
splash's own decoder and tells whether it will show as encoded, and if not,
why and what to change in the encoder.

The splash window has a one-pixel frame and is as large as the picture, so
it shows the picture's pixels (0,0) to (W-3,H-3), one pixel right of and
below the window's corner; the report's "window:" line says where.

--make OUT.jpg INPUT turns a picture into one the splash shows whole, and
checks it: reads PNG, BMP, TGA, GIF (first frame), PSD, PNM or JPEG
(progressive too); turns it upright by its EXIF orientation; flattens
transparency onto the background; scales it down, keeping its shape, to fit
the screen; adds two columns and rows of background on the right and
bottom, which the frame covers, so that a WxH artwork becomes (W+2)x(H+2)
and shows whole; writes a baseline JPEG (4:2:0 up to quality 90, 4:4:4
above; one grey component for grey pictures) without metadata beside OUT as
OUT.new.jpg; checks it and prints the verdict, its size and the PSNR of the
splash's pixels against the prepared picture. Only when it shows as encoded
does it replace OUT; otherwise OUT is left as it was and the new file stays
beside it. A JPEG input that already shows as encoded on the screen is copied
unchanged. OUT must end in .jpg or .jpeg and may not be the input or an
existing file that is not a JPEG.
  --quality Q          1..100 (default 90)
  --background RRGGBB  hex colour under transparent pixels and in the
                       margin (default 000000)
  --reencode           encode even an input that shows as encoded
Exit status 0 only when the written file shows as encoded.

  --screen WxH  the player's screen (default 1920x1080): where the window
              stands, what the screen cuts off, and --make's fit
  -o PICTURE  without --screen: the decoded picture, every pixel of it,
              including the two columns and rows under the frame; with
              --screen: the whole screen as the player sees it (the
              desktop in one flat colour, the frame in black, the client
              area). The format follows the extension: .png, .bmp or .ppm
              (binary P6). Without --screen nothing is written when the
              decoder refuses the file or the picture is 0x0.
  --quiet     print only the verdict line
  --json      print the whole report as one JSON object on one line
              (--quiet is then ignored)
  --help      print this text

Report: the decoder's result, width and height; the window on the screen;
the file's structure (markers, frame, tables, restart interval and where
the restart markers stand, scans, APP segments, comments, end of image);
one "warning [code]" line per problem with a "fix:" line; notes; the
verdict as the last line:
  OK: ...         shows as encoded
  WRONG: ...      shows, but not as the picture (scrambled, shifted, wrong
                  colours, another picture, clipped or unrotated)
  BLANK: ...      shows a flat, empty picture, or a one-pixel window
                  (a 0x0 picture) for 3 s
  NO SPLASH: ...  no window opens; the game goes on at once

)";

// After the code list.
constexpr const char* kHelpEnd = R"(
JSON (format 1; keys always present, in this order; offsets are byte
offsets in the file; absent values are null):
  format, file, file_size, verdict ("ok"|"wrong"|"blank"|"none"),
  verdict_line, exit_status (0|1),
  decode {result, width, height},
  window {shown, screen_width, screen_height, left, top, width, height,
          client_width, client_height, visible {left, top, right, bottom},
          wait_ms},
  warnings [{code, message, fix}], notes [string],
  decoder {frame_read, frame_offset, width, height, luma_sampling_product,
           quant_tables_read, dc_tables_read, ac_tables_read,
           scan_started, scan_offset, scan_components, restart_interval},
  structure {starts_with_soi, marker_count,
    markers [{offset, name, code, length, fill_bytes}],
    frame_count, frame {offset, marker, type, arithmetic, hierarchical,
      precision, width, height, components [{id, h, v, quant_table}]},
    quant_tables [{offset, index, precision}],
    huffman_tables [{offset, class ("dc"|"ac"), index, codes}],
    restart_interval, scan_count,
    scans [{offset, components [{id, dc_table, ac_table}], ss, se, ah, al,
      restart_interval, data_offset, data_length, mcus_per_row,
      mcus_expected, mcus_found, restart_count,
      restarts [{offset, number, after_mcus}]}],
    app_segments [{offset, marker, kind, length, exif_orientation,
      thumbnail {offset, length}, adobe_transform}],
    comments [{offset, text}], eoi {present, offset, bytes_after},
    problems [string]}
Lists hold at most 4096 entries; the *_count fields give the full number.

Exit status: 0 the picture shows as encoded; 1 it shows wrong, blank or not
at all (the warnings say why); 2 usage or I/O error (one line on stderr).
)";

// The warning codes of the table, wrapped at 72 columns.
std::string CodeList()
{
    std::string text, line = "Warning codes:";
    for (const std::string& code : splash::WarningCodes()) {
        if (line.size() + 1 + code.size() > 72) {
            text += line + '\n';
            line = code;
        } else {
            line += ' ' + code;
        }
    }
    return text + line + '\n';
}

// One line on stderr; 2, the exit status of a usage or I/O error.
int Fail(const std::string& message)
{
    std::cerr << "splash-check: " << message << '\n';
    return 2;
}

struct Options {
    std::string picture;
    std::string preview;
    bool screenGiven = false;
    bool quiet = false;
    bool json = false;
    bool help = false;
    bool make = false;
    splash::MakeOptions making;
};

// A whole decimal number in [low, high]; false otherwise.
bool ParseNumber(const std::string& text, int low, int high, int& value)
{
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::stoi(text);
    return value >= low && value <= high;
}

// Checks and stores the value of --screen, --quality or --background; an error message, or empty.
std::string ParseValue(const std::string& option, const std::string& value, splash::MakeOptions& m)
{
    if (option == "--screen") {
        std::size_t x = value.find_first_of("xX");
        if (x == std::string::npos || !ParseNumber(value.substr(0, x), 1, 16384, m.screen.width) ||
            !ParseNumber(value.substr(x + 1), 1, 16384, m.screen.height))
            return "--screen takes WIDTHxHEIGHT, each 1 to 16384: " + value;
    } else if (option == "--quality") {
        if (!ParseNumber(value, 1, 100, m.quality))
            return "--quality takes 1 to 100: " + value;
    } else {
        std::string hex = value.starts_with('#') ? value.substr(1) : value;
        if (hex.size() != 6 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return "--background takes a hex colour RRGGBB: " + value;
        m.background = static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16));
    }
    return {};
}

// Returns an error message, or an empty string.
std::string ParseArguments(int argc, char** argv, Options& options)
{
    bool havePreview = false;
    bool haveMakeValue = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool takesValue = arg == "-o" || arg == "--make" || arg == "--screen" || arg == "--quality" ||
                          arg == "--background";
        if (takesValue && i + 1 >= argc)
            return arg + " needs a value (see --help)";
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "-o" || arg == "--make") {
            bool& given = arg == "-o" ? havePreview : options.make;
            std::string& name = arg == "-o" ? options.preview : options.making.output;
            if (given)
                return arg + " given twice";
            name = argv[++i];
            given = true;
        } else if (arg == "--screen" || arg == "--quality" || arg == "--background") {
            std::string error = ParseValue(arg, argv[++i], options.making);
            if (!error.empty())
                return error;
            bool& given = arg == "--screen" ? options.screenGiven : haveMakeValue;
            given = true;
        } else if (arg == "--reencode") {
            options.making.reencode = true;
            haveMakeValue = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg + " (see --help)";
        } else if (!options.picture.empty()) {
            return "one picture at a time: " + options.picture + " and " + arg;
        } else {
            options.picture = arg;
        }
    }
    if (options.help)
        return {};
    if (options.picture.empty())
        return options.make ? "--make needs an input picture (see --help)" : "no picture given (see --help)";
    if (options.make && (havePreview || options.json))
        return "--make takes neither -o nor --json; check the written file afterwards for those";
    if (!options.make && haveMakeValue)
        return "--quality, --background and --reencode go with --make";
    if (havePreview && splash::PreviewFormatFor(options.preview) == splash::PreviewFormat::Unknown)
        return "the preview name must end in .png, .bmp or .ppm: " + options.preview;
    return {};
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string error = ParseArguments(argc, argv, options);
    if (!error.empty())
        return Fail(error);
    if (options.help) {
        std::cout << kUsage << '\n' << kHelp << CodeList() << kHelpEnd;
        return 0;
    }

    if (options.make) {
        options.making.input = options.picture;
        options.making.quiet = options.quiet;
        int status = splash::RunMake(options.making, std::cout, error);
        return error.empty() ? status : Fail(error);
    }

    std::vector<std::uint8_t> bytes;
    error = splash::ReadWholeFile(options.picture, bytes);
    if (!error.empty())
        return Fail(error);

    const splash::Report report = splash::CheckPicture(bytes, options.picture, options.making.screen);
    const splash::DecoderRun& run = report.run;
    if (!options.preview.empty() && options.screenGiven) {
        const splash::ScreenSize screen = options.making.screen;
        std::vector<std::uint32_t> seen = splash::RenderScreen(report.window, run.pixels.get(), run.width, screen);
        error = splash::WritePreview(options.preview, seen.data(), screen.width, screen.height);
    } else if (!options.preview.empty() && run.result == 1 && run.width != 0 && run.height != 0) {
        error = splash::WritePreview(options.preview, run.pixels.get(), run.width, run.height);
    }
    if (!error.empty())
        return Fail(error);

    if (options.json)
        splash::PrintJson(std::cout, report);
    else if (options.quiet)
        std::cout << splash::VerdictLine(report.assessment, report.run.view) << '\n';
    else
        splash::PrintText(std::cout, report);
    return report.assessment.verdict == splash::Verdict::Ok ? 0 : 1;
}
