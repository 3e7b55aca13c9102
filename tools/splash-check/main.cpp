// splash-check: decodes a picture with the splash decoder, writes what the
// splash would show, and tells whether, and why not, it shows as encoded.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "preview.h"
#include "report.h"

namespace {

constexpr const char* kHelp = R"(usage: splash-check PICTURE.jpg [-o PREVIEW] [--quiet] [--json]

Checks a splash picture (prelude.jpg) before it ships: decodes it with the
splash's own decoder and tells whether it will show as encoded, and if not,
why and what to change in the encoder.

  -o PREVIEW  write exactly the pixels the splash would show; the format
              follows the extension: .png, .bmp or .ppm (binary P6).
              Nothing is written when the decoder refuses the file or the
              picture is 0x0.
  --quiet     print only the verdict line
  --json      print the whole report as one JSON object on one line
              (--quiet is then ignored)
  --help      print this text

Report: the decoder's result, width and height; the file's structure
(markers, frame, tables, restart interval and where the restart markers
stand, scans, APP segments, comments, end of image); one "warning [code]"
line per problem with a "fix:" line; notes; the verdict as the last line:
  OK: ...         shows as encoded
  WRONG: ...      shows, but not as the picture (scrambled, shifted, wrong
                  colours, another picture, clipped or unrotated)
  BLANK: ...      shows a flat, empty picture
  NO SPLASH: ...  shows nothing at all

Warning codes: not-jpeg no-frame progressive arithmetic lossless
hierarchical precision zero-size other-frame too-large screen-size
component-count component-ids rgb-colour luma-1x2 luma-sampling
chroma-sampling quant-16bit third-quant-table third-huffman-table
table-index dht-passed-over dqt-passed-over sos-before-tables no-scan
scan-never-starts scan-components other-scan multiple-scans no-tables
tables-differ restart-placement thumbnail hidden-marker fill-byte
orientation damaged truncated malformed decode-failed

JSON (format 1; keys always present, in this order; offsets are byte
offsets in the file; absent values are null):
  format, file, file_size, verdict ("ok"|"wrong"|"blank"|"none"),
  verdict_line, exit_status (0|1),
  decode {result, width, height},
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

// Files beyond this are refused before reading: no splash picture is that big.
constexpr std::streamoff kMaxFileSize = std::streamoff{1} << 30;

int Fail(const std::string& message)
{
    std::cerr << "splash-check: " << message << '\n';
    return 2;
}

struct Options {
    std::string picture;
    std::string preview;
    bool quiet = false;
    bool json = false;
    bool help = false;
};

// Returns an error message, or an empty string.
std::string ParseArguments(int argc, char** argv, Options& options)
{
    bool havePreview = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "-o") {
            if (i + 1 >= argc)
                return "-o needs a file name (see --help)";
            if (havePreview)
                return "-o given twice";
            options.preview = argv[++i];
            havePreview = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg + " (see --help)";
        } else if (!options.picture.empty()) {
            return "one picture at a time: " + options.picture + " and " + arg;
        } else {
            options.picture = arg;
        }
    }
    if (!options.help && options.picture.empty())
        return "no picture given (usage: splash-check PICTURE.jpg [-o PREVIEW] [--quiet] [--json])";
    if (havePreview && splash::PreviewFormatFor(options.preview) == splash::PreviewFormat::Unknown)
        return "the preview name must end in .png, .bmp or .ppm: " + options.preview;
    return {};
}

// Reads the whole file; an error message, or an empty string.
std::string ReadFile(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "cannot open " + path + ": " + std::strerror(errno);
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

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string error = ParseArguments(argc, argv, options);
    if (!error.empty())
        return Fail(error);
    if (options.help) {
        std::cout << kHelp;
        return 0;
    }

    std::vector<std::uint8_t> bytes;
    error = ReadFile(options.picture, bytes);
    if (!error.empty())
        return Fail(error);

    splash::DecoderRun run;
    splash::Report report = splash::CheckPicture(bytes, options.picture, run);
    if (!options.preview.empty() && run.result == 1) {
        error = splash::WritePreview(options.preview, splash::PreviewFormatFor(options.preview), run.pixels.get(),
                                     run.width, run.height);
        if (!error.empty() && run.width != 0 && run.height != 0)
            return Fail(error);
    }

    if (options.json)
        splash::PrintJson(std::cout, report);
    else if (options.quiet)
        std::cout << splash::VerdictLine(report.assessment, report.view) << '\n';
    else
        splash::PrintText(std::cout, report);
    return report.assessment.verdict == splash::Verdict::Ok ? 0 : 1;
}
