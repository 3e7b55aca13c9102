// The report for build pipelines: one JSON object on one line. Keys and their
// order are fixed; lists are complete up to 4096 entries.
#include <nlohmann/json.hpp>

#include "report.h"

namespace splash {
namespace {

using Json = nlohmann::ordered_json;

// Each byte as the code point of the same number: a file name need not be
// UTF-8, and every byte outside printable ASCII prints as one \u00XX escape.
Json Text(const std::string& bytes)
{
    std::string utf8;
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

// `value` when `present`, else null.
template <typename T>
Json Maybe(bool present, T value)
{
    return present ? Json(value) : Json(nullptr);
}

// frame {...}: the first frame header.
Json FrameJson(const FrameInfo& f)
{
    Json components = Json::array();
    for (const FrameComponent& c : f.components)
        components.push_back({{"id", c.id}, {"h", c.h}, {"v", c.v}, {"quant_table", c.quantSelector}});
    return {{"offset", f.offset},         {"marker", MarkerName(f.code)},   {"type", FrameKindName(f.kind)},
            {"arithmetic", f.arithmetic}, {"hierarchical", f.hierarchical}, {"precision", f.precision},
            {"width", f.width},           {"height", f.height},             {"components", components}};
}

// One entry of scans [...], with its restart markers.
Json ScanJson(const ScanInfo& s)
{
    Json components = Json::array(), restarts = Json::array();
    for (const ScanComponent& c : s.components)
        components.push_back({{"id", c.id}, {"dc_table", c.dcSelector}, {"ac_table", c.acSelector}});
    for (const RestartRecord& r : s.restarts)
        restarts.push_back(
            {{"offset", r.offset}, {"number", r.number}, {"after_mcus", Maybe(s.mcusCounted, r.afterMcus)}});
    return {{"offset", s.offset},
            {"components", components},
            {"ss", s.ss},
            {"se", s.se},
            {"ah", s.ah},
            {"al", s.al},
            {"restart_interval", s.restartInterval},
            {"data_offset", s.dataOffset},
            {"data_length", s.dataLength},
            {"mcus_per_row", s.mcusPerRow},
            {"mcus_expected", s.mcusExpected},
            {"mcus_found", Maybe(s.mcusCounted, s.mcusDecoded)},
            {"restart_count", s.restartCount},
            {"restarts", restarts}};
}

// One entry of app_segments [...].
Json AppJson(const AppRecord& a)
{
    Json thumbnail = nullptr;
    if (a.hasThumbnail)
        thumbnail = {{"offset", a.thumbnailOffset}, {"length", a.thumbnailLength}};
    return {{"offset", a.offset},
            {"marker", "APP" + std::to_string(a.number)},
            {"kind", Text(a.kind)},
            {"length", a.length},
            {"exif_orientation", Maybe(a.exifOrientation != 0, a.exifOrientation)},
            {"thumbnail", thumbnail},
            {"adobe_transform", Maybe(a.adobeTransform >= 0, a.adobeTransform)}};
}

// markers [...].
Json MarkersJson(const JpegStructure& s)
{
    Json markers = Json::array();
    for (const MarkerRecord& m : s.markers)
        markers.push_back({{"offset", m.offset},
                           {"name", MarkerName(m.code)},
                           {"code", m.code},
                           {"length", m.length},
                           {"fill_bytes", m.fillBytes}});
    return markers;
}

// quant_tables [...], and huffman_tables [...] into `huffman`.
Json TablesJson(const JpegStructure& s, Json& huffman)
{
    Json quant = Json::array();
    for (const QuantTableRecord& q : s.quantTables)
        quant.push_back({{"offset", q.offset}, {"index", q.index}, {"precision", q.precision}});
    huffman = Json::array();
    for (const HuffmanTableRecord& h : s.huffmanTables)
        huffman.push_back({{"offset", h.offset},
                           {"class", h.tableClass == 0 ? "dc" : h.tableClass == 1 ? "ac" : "invalid"},
                           {"index", h.index},
                           {"codes", h.codeCount}});
    return quant;
}

// structure {...}: everything the structure reader found.
Json StructureJson(const JpegStructure& s)
{
    Json huffman, scans = Json::array(), apps = Json::array(), comments = Json::array(), problems = Json::array();
    Json quant = TablesJson(s, huffman);
    for (const ScanInfo& scan : s.scans)
        scans.push_back(ScanJson(scan));
    for (const AppRecord& a : s.apps)
        apps.push_back(AppJson(a));
    for (const CommentRecord& c : s.comments)
        comments.push_back({{"offset", c.offset}, {"text", Text(c.text)}});
    for (const std::string& p : s.problems)
        problems.push_back(Text(p));
    return {{"starts_with_soi", s.startsWithSoi},
            {"marker_count", s.markerCount},
            {"markers", MarkersJson(s)},
            {"frame_count", s.frameCount},
            {"frame", s.frame ? FrameJson(*s.frame) : Json(nullptr)},
            {"quant_tables", quant},
            {"huffman_tables", huffman},
            {"restart_interval", s.restartInterval},
            {"scan_count", s.scanCount},
            {"scans", scans},
            {"app_segments", apps},
            {"comments", comments},
            {"eoi", {{"present", s.eoiPresent}, {"offset", Maybe(s.eoiPresent, s.eoiOffset)}, {"bytes_after", s.bytesAfterEoi}}},
            {"problems", problems}};
}

// decoder {...}: what the decoder's header phase ended with.
Json DecoderJson(const DecoderView& v)
{
    return {{"frame_read", v.frameRead},
            {"frame_offset", Maybe(v.frameRead, v.frameOffset)},
            {"width", v.state.frameWidth},
            {"height", v.state.frameHeight},
            {"luma_sampling_product", v.state.ySamplingProduct},
            {"quant_tables_read", v.state.quantTableCount},
            {"dc_tables_read", v.state.dcTableCount},
            {"ac_tables_read", v.state.acTableCount},
            {"scan_started", v.scanStarted},
            {"scan_offset", Maybe(v.scanStarted, v.scanOffset)},
            {"scan_components", v.state.scanComponentCount},
            {"restart_interval", v.restartInterval}};
}

// window {...}: what the splash opens on the screen.
Json WindowJson(const SplashWindow& w, ScreenSize screen)
{
    return {{"shown", w.shown},
            {"screen_width", screen.width},
            {"screen_height", screen.height},
            {"left", w.left},
            {"top", w.top},
            {"width", w.width},
            {"height", w.height},
            {"client_width", w.clientWidth},
            {"client_height", w.clientHeight},
            {"visible", {{"left", w.visibleLeft}, {"top", w.visibleTop}, {"right", w.visibleRight},
                         {"bottom", w.visibleBottom}}},
            {"wait_ms", w.waitMs}};
}

}  // namespace

// The whole report, on one line.
void PrintJson(std::ostream& out, const Report& r)
{
    Json warnings = Json::array(), notes = Json::array();
    for (const Warning& w : r.assessment.warnings)
        warnings.push_back({{"code", w.code}, {"message", Text(w.message)}, {"fix", w.fix}});
    for (const std::string& n : r.assessment.notes)
        notes.push_back(Text(n));
    Json report = {{"format", 1},
                   {"file", Text(r.path)},
                   {"file_size", r.structure.fileSize},
                   {"verdict", VerdictName(r.assessment.verdict)},
                   {"verdict_line", VerdictLine(r.assessment, r.run.view)},
                   {"exit_status", r.assessment.verdict == Verdict::Ok ? 0 : 1},
                   {"decode", {{"result", r.run.result}, {"width", r.run.width}, {"height", r.run.height}}},
                   {"window", WindowJson(r.window, r.screen)},
                   {"warnings", warnings},
                   {"notes", notes},
                   {"decoder", DecoderJson(r.run.view)},
                   {"structure", StructureJson(r.structure)}};
    out << report.dump(-1, ' ', true) << '\n';
}

}  // namespace splash
