// The report for build pipelines: one JSON object on one line. Keys and their
// order are fixed; lists are complete up to 4096 entries.
#include <cstdio>
#include <vector>

#include "report.h"

namespace splash {
namespace {

// Writes JSON with commas placed by nesting level.
class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out) : out_(out) {}

    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }

    void Key(const char* key)
    {
        Separate();
        String(key);
        out_ << ':';
        afterKey_ = true;
    }

    void Value(const std::string& text) { Separate(); String(text); }
    void Value(const char* text) { Value(std::string(text)); }
    void Value(std::uint64_t number) { Separate(); out_ << number; }
    void Value(std::int64_t number) { Separate(); out_ << number; }
    void Value(std::uint32_t number) { Value(std::uint64_t{number}); }
    void Value(std::int32_t number) { Value(std::int64_t{number}); }
    void Value(bool flag) { Separate(); out_ << (flag ? "true" : "false"); }
    void Null() { Separate(); out_ << "null"; }

    template <typename T>
    void Field(const char* key, T value) { Key(key); Value(value); }

private:
    void Open(char c)
    {
        Separate();
        out_ << c;
        first_.push_back(true);
    }

    void Close(char c)
    {
        out_ << c;
        first_.pop_back();
    }

    void Separate()
    {
        if (afterKey_) {
            afterKey_ = false;
            return;
        }
        if (!first_.empty()) {
            if (!first_.back())
                out_ << ',';
            first_.back() = false;
        }
    }

    void String(const std::string& text)
    {
        out_ << '"';
        for (unsigned char c : text) {
            if (c == '"' || c == '\\') {
                out_ << '\\' << c;
            } else if (c < 0x20 || c >= 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out_ << escaped;
            } else {
                out_ << c;
            }
        }
        out_ << '"';
    }

    std::ostream& out_;
    std::vector<bool> first_;
    bool afterKey_ = false;
};

// frame {...}
void WriteFrame(JsonWriter& j, const FrameInfo& f)
{
    j.BeginObject();
    j.Field("offset", f.offset);
    j.Field("marker", MarkerName(f.code));
    j.Field("type", FrameKindName(f.kind));
    j.Field("arithmetic", f.arithmetic);
    j.Field("hierarchical", f.hierarchical);
    j.Field("precision", std::uint32_t{f.precision});
    j.Field("width", std::uint32_t{f.width});
    j.Field("height", std::uint32_t{f.height});
    j.Key("components");
    j.BeginArray();
    for (const FrameComponent& c : f.components) {
        j.BeginObject();
        j.Field("id", std::uint32_t{c.id});
        j.Field("h", std::uint32_t{c.h});
        j.Field("v", std::uint32_t{c.v});
        j.Field("quant_table", std::uint32_t{c.quantSelector});
        j.EndObject();
    }
    j.EndArray();
    j.EndObject();
}

// One entry of scans [...], with its restart markers.
void WriteScan(JsonWriter& j, const ScanInfo& s)
{
    j.BeginObject();
    j.Field("offset", s.offset);
    j.Key("components");
    j.BeginArray();
    for (const ScanComponent& c : s.components) {
        j.BeginObject();
        j.Field("id", std::uint32_t{c.id});
        j.Field("dc_table", std::uint32_t{c.dcSelector});
        j.Field("ac_table", std::uint32_t{c.acSelector});
        j.EndObject();
    }
    j.EndArray();
    j.Field("ss", std::uint32_t{s.ss});
    j.Field("se", std::uint32_t{s.se});
    j.Field("ah", std::uint32_t{s.ah});
    j.Field("al", std::uint32_t{s.al});
    j.Field("restart_interval", std::uint32_t{s.restartInterval});
    j.Field("data_offset", s.dataOffset);
    j.Field("data_length", s.dataLength);
    j.Field("mcus_per_row", s.mcusPerRow);
    j.Field("mcus_expected", s.mcusExpected);
    j.Key("mcus_found");
    if (s.mcusCounted)
        j.Value(s.mcusDecoded);
    else
        j.Null();
    j.Field("restart_count", s.restartCount);
    j.Key("restarts");
    j.BeginArray();
    for (const RestartRecord& r : s.restarts) {
        j.BeginObject();
        j.Field("offset", r.offset);
        j.Field("number", std::uint32_t{r.number});
        j.Key("after_mcus");
        if (s.mcusCounted)
            j.Value(r.afterMcus);
        else
            j.Null();
        j.EndObject();
    }
    j.EndArray();
    j.EndObject();
}

// One entry of app_segments [...].
void WriteApp(JsonWriter& j, const AppRecord& a)
{
    j.BeginObject();
    j.Field("offset", a.offset);
    j.Field("marker", "APP" + std::to_string(a.number));
    j.Field("kind", a.kind);
    j.Field("length", a.length);
    j.Key("exif_orientation");
    if (a.exifOrientation != 0)
        j.Value(std::uint32_t{a.exifOrientation});
    else
        j.Null();
    j.Key("thumbnail");
    if (a.hasThumbnail) {
        j.BeginObject();
        j.Field("offset", a.thumbnailOffset);
        j.Field("length", a.thumbnailLength);
        j.EndObject();
    } else {
        j.Null();
    }
    j.Key("adobe_transform");
    if (a.adobeTransform >= 0)
        j.Value(std::int32_t{a.adobeTransform});
    else
        j.Null();
    j.EndObject();
}

// structure {...}: everything the structure reader found.
void WriteStructure(JsonWriter& j, const JpegStructure& s)
{
    j.BeginObject();
    j.Field("starts_with_soi", s.startsWithSoi);
    j.Field("marker_count", s.markerCount);
    j.Key("markers");
    j.BeginArray();
    for (const MarkerRecord& m : s.markers) {
        j.BeginObject();
        j.Field("offset", m.offset);
        j.Field("name", MarkerName(m.code));
        j.Field("code", std::uint32_t{m.code});
        j.Field("length", m.length);
        j.Field("fill_bytes", m.fillBytes);
        j.EndObject();
    }
    j.EndArray();
    j.Field("frame_count", s.frameCount);
    j.Key("frame");
    if (s.frame)
        WriteFrame(j, *s.frame);
    else
        j.Null();
    j.Key("quant_tables");
    j.BeginArray();
    for (const QuantTableRecord& q : s.quantTables) {
        j.BeginObject();
        j.Field("offset", q.offset);
        j.Field("index", std::uint32_t{q.index});
        j.Field("precision", std::uint32_t{q.precision});
        j.EndObject();
    }
    j.EndArray();
    j.Key("huffman_tables");
    j.BeginArray();
    for (const HuffmanTableRecord& h : s.huffmanTables) {
        j.BeginObject();
        j.Field("offset", h.offset);
        j.Field("class", h.tableClass == 0 ? "dc" : h.tableClass == 1 ? "ac" : "invalid");
        j.Field("index", std::uint32_t{h.index});
        j.Field("codes", h.codeCount);
        j.EndObject();
    }
    j.EndArray();
    j.Field("restart_interval", std::uint32_t{s.restartInterval});
    j.Field("scan_count", s.scanCount);
    j.Key("scans");
    j.BeginArray();
    for (const ScanInfo& scan : s.scans)
        WriteScan(j, scan);
    j.EndArray();
    j.Key("app_segments");
    j.BeginArray();
    for (const AppRecord& a : s.apps)
        WriteApp(j, a);
    j.EndArray();
    j.Key("comments");
    j.BeginArray();
    for (const CommentRecord& c : s.comments) {
        j.BeginObject();
        j.Field("offset", c.offset);
        j.Field("text", c.text);
        j.EndObject();
    }
    j.EndArray();
    j.Key("eoi");
    j.BeginObject();
    j.Field("present", s.eoiPresent);
    j.Key("offset");
    if (s.eoiPresent)
        j.Value(s.eoiOffset);
    else
        j.Null();
    j.Field("bytes_after", s.bytesAfterEoi);
    j.EndObject();
    j.Key("problems");
    j.BeginArray();
    for (const std::string& p : s.problems)
        j.Value(p);
    j.EndArray();
    j.EndObject();
}

// decoder {...}: what the decoder's header phase will end with.
void WriteDecoder(JsonWriter& j, const DecoderView& v)
{
    j.BeginObject();
    j.Field("frame_read", v.frameRead);
    j.Key("frame_offset");
    if (v.frameRead)
        j.Value(v.frameOffset);
    else
        j.Null();
    j.Field("width", std::uint32_t{v.width});
    j.Field("height", std::uint32_t{v.height});
    j.Field("luma_sampling_product", std::uint32_t{v.ySamplingProduct});
    j.Field("quant_tables_read", std::uint32_t{v.quantTableCount});
    j.Field("dc_tables_read", std::uint32_t{v.dcTableCount});
    j.Field("ac_tables_read", std::uint32_t{v.acTableCount});
    j.Field("scan_started", v.scanStarted);
    j.Key("scan_offset");
    if (v.scanStarted)
        j.Value(v.scanOffset);
    else
        j.Null();
    j.Field("scan_components", std::uint32_t{v.scanComponentCount});
    j.Field("restart_interval", std::uint32_t{v.restartInterval});
    j.EndObject();
}

void WriteWindow(JsonWriter& j, const SplashWindow& w, ScreenSize screen)
{
    j.BeginObject();
    j.Field("shown", w.shown);
    j.Field("screen_width", std::int32_t{screen.width});
    j.Field("screen_height", std::int32_t{screen.height});
    j.Field("left", std::int32_t{w.left});
    j.Field("top", std::int32_t{w.top});
    j.Field("width", std::int32_t{w.width});
    j.Field("height", std::int32_t{w.height});
    j.Field("client_width", std::int32_t{w.clientWidth});
    j.Field("client_height", std::int32_t{w.clientHeight});
    j.Key("visible");
    j.BeginObject();
    j.Field("left", std::int32_t{w.visibleLeft});
    j.Field("top", std::int32_t{w.visibleTop});
    j.Field("right", std::int32_t{w.visibleRight});
    j.Field("bottom", std::int32_t{w.visibleBottom});
    j.EndObject();
    j.Field("wait_ms", std::int32_t{w.waitMs});
    j.EndObject();
}

}  // namespace

void PrintJson(std::ostream& out, const Report& r)
{
    JsonWriter j(out);
    j.BeginObject();
    j.Field("format", std::uint32_t{1});
    j.Field("file", r.path);
    j.Field("file_size", r.structure.fileSize);
    j.Field("verdict", VerdictName(r.assessment.verdict));
    j.Field("verdict_line", VerdictLine(r.assessment, r.view));
    j.Field("exit_status", std::uint32_t{r.assessment.verdict == Verdict::Ok ? 0u : 1u});
    j.Key("decode");
    j.BeginObject();
    j.Field("result", r.decode.result);
    j.Field("width", r.decode.width);
    j.Field("height", r.decode.height);
    j.EndObject();
    j.Key("window");
    WriteWindow(j, r.window, r.screen);
    j.Key("warnings");
    j.BeginArray();
    for (const Warning& w : r.assessment.warnings) {
        j.BeginObject();
        j.Field("code", w.code);
        j.Field("message", w.message);
        j.Field("fix", w.fix);
        j.EndObject();
    }
    j.EndArray();
    j.Key("notes");
    j.BeginArray();
    for (const std::string& n : r.assessment.notes)
        j.Value(n);
    j.EndArray();
    j.Key("decoder");
    WriteDecoder(j, r.view);
    j.Key("structure");
    WriteStructure(j, r.structure);
    j.EndObject();
    out << '\n';
}

}  // namespace splash
