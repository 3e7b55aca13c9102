// Warnings, each decided by what the splash decoder will do with the file
// (the replay of its header phase) against what the file says it holds.
#include "verdict.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "jpeg/decode_jpeg.h"

namespace splash {
namespace {

// Offsets are printed in decimal, as in the structure listing.
std::string Num(std::uint32_t offset)
{
    return std::to_string(offset);
}

std::string Size(unsigned width, unsigned height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

// Same table contents at two record offsets (the index nibble aside).
bool SameQuant(std::span<const std::uint8_t> bytes, std::int64_t a, std::int64_t b)
{
    if (a < 0 || b < 0)
        return a == b;
    if (a == b)
        return true;
    std::size_t n = (bytes[a] >> 4) == 0 ? 64 : 128;
    if (std::size_t(a) + 1 + n > bytes.size() || std::size_t(b) + 1 + n > bytes.size())
        return false;
    return (bytes[a] >> 4) == (bytes[b] >> 4) && std::memcmp(&bytes[a + 1], &bytes[b + 1], n) == 0;
}

bool SameHuffman(std::span<const std::uint8_t> bytes, std::int64_t a, std::int64_t b)
{
    if (a < 0 || b < 0)
        return a == b;
    if (a == b)
        return true;
    if (std::size_t(a) + 17 > bytes.size() || std::size_t(b) + 17 > bytes.size())
        return false;
    std::size_t total = 0;
    for (int i = 1; i <= 16; ++i)
        total += bytes[a + i];
    std::size_t n = 16 + total;
    if (std::size_t(a) + 1 + n > bytes.size() || std::size_t(b) + 1 + n > bytes.size())
        return false;
    return std::memcmp(&bytes[a + 1], &bytes[b + 1], n) == 0;
}

class Judge {
public:
    Judge(std::span<const std::uint8_t> bytes, const JpegStructure& s, const DecoderView& v, ScreenSize screen)
        : bytes_(bytes), s_(s), v_(v), screen_(screen) {}

    Assessment Run()
    {
        if (!v_.startsWithSoi) {
            none_ = true;
            Add("not-jpeg", "the file does not start with the JPEG marker FF D8, so the decoder refuses it",
                "save the picture as a JPEG file");
            return Finish();
        }
        firstScan_ = s_.scans.empty() ? nullptr : &s_.scans.front();
        scanLimit_ = firstScan_ != nullptr ? firstScan_->offset : s_.fileSize;
        CheckFrameType();
        CheckSize();
        CheckComponents();
        CheckTables();
        CheckScanStart();
        CheckTablesUsed();
        CheckRestarts();
        CheckHiddenMarkers();
        CheckExtras();
        if (s_.layoutBroken && !s_.problems.empty())
            Add("malformed",
                "the file breaks the JPEG layout (" + s_.problems.front() +
                    "); the splash decoder searches past such damage, so what it shows cannot be trusted",
                "re-save the picture with a standard encoder (cjpeg, ImageMagick, Pillow)");
        return Finish();
    }

private:
    void Add(const std::string& code, std::string message, std::string fix)
    {
        for (const Warning& w : a_.warnings)
            if (w.code == code)
                return;
        a_.warnings.push_back({code, std::move(message), std::move(fix)});
    }

    Assessment Finish()
    {
        if (none_)
            a_.verdict = Verdict::None;
        else if (blank_ || zero_)
            a_.verdict = Verdict::Blank;
        else if (!a_.warnings.empty())
            a_.verdict = Verdict::Wrong;
        return a_;
    }

    void CheckFrameType()
    {
        if (!s_.frame) {
            if (!v_.frameRead)
                Add("no-frame", "the file has no frame header, so the picture is 0x0 and the splash a one-pixel window",
                    "export the picture again as a baseline JPEG");
            return;
        }
        const FrameInfo& f = *s_.frame;
        if (f.kind == FrameKind::Progressive)
            Add("progressive", "progressive JPEG (" + MarkerName(f.code) + "): the decoder reads only baseline frames",
                "save as baseline JPEG: turn off \"progressive\" (cjpeg without -progressive, "
                "ImageMagick -interlace none, Pillow progressive=False)");
        if (f.arithmetic)
            Add("arithmetic", "arithmetic-coded JPEG (" + MarkerName(f.code) + "): the decoder reads only Huffman coding",
                "save with Huffman coding: turn off \"arithmetic coding\" (cjpeg without -arithmetic)");
        if (f.kind == FrameKind::Lossless)
            Add("lossless", "lossless JPEG (" + MarkerName(f.code) + "): the decoder reads only DCT baseline frames",
                "save as an ordinary (lossy) baseline JPEG");
        if (f.hierarchical)
            Add("hierarchical", "hierarchical JPEG: the decoder reads only single-frame baseline files",
                "save as an ordinary baseline JPEG");
        if (f.precision != 8)
            Add("precision", std::to_string(f.precision) + "-bit samples: the decoder reads only 8-bit samples",
                "save with 8 bits per sample (8-bit colour depth)");
    }

    void CheckSize()
    {
        // A 0x0 picture still gets a bitmap (1x1), so its window opens.
        const std::string onePixel = ", so the splash is a one-pixel window with no picture in it, and the game "
                                     "waits 3 s for it";
        if (!v_.frameRead) {
            zero_ = true;
            if (s_.frame)
                Add("zero-size", "the decoder reads no frame header it can use, so the picture is 0x0" + onePixel,
                    "save as baseline JPEG with 8-bit samples");
            return;
        }
        if (s_.frame && v_.frameOffset != s_.frame->offset)
            Add("other-frame",
                "the decoder takes its size from the frame header at offset " + Num(v_.frameOffset) + " (" +
                    Size(v_.width, v_.height) + "), not from the picture's at offset " + Num(s_.frame->offset),
                "strip embedded thumbnails and metadata (exiftool -all= prelude.jpg, or cjpeg without -copy)");
        if (v_.width == 0 || v_.height == 0) {
            zero_ = true;
            Add("zero-size", "the frame is " + Size(v_.width, v_.height) + onePixel,
                "save the picture with its real size in the frame header (no DNL height)");
            return;
        }
        std::uint64_t pixels = std::uint64_t{v_.width} * v_.height;
        if (pixels > kMaxPixelCount) {
            none_ = true;
            Add("too-large", Size(v_.width, v_.height) + " is more than the decoder's limit of " +
                                 std::to_string(kMaxPixelCount) + " pixels, so nothing shows",
                "scale the picture down, at most to the screen size");
        } else {
            CheckScreen();
        }
    }

    // The window is centred and unscaled: the screen cuts what lies outside it.
    void CheckScreen()
    {
        const SplashWindow w = ModelSplashWindow(1, v_.width, v_.height, screen_);
        if (VisiblePixels(w) == std::int64_t{w.clientWidth} * w.clientHeight)
            return;
        Add("screen-size",
            "the " + Size(w.width, w.height) + " window stands at (" + std::to_string(w.left) + "," +
                std::to_string(w.top) + ") on a " + Size(screen_.width, screen_.height) +
                " screen, which shows only " + Size(w.visibleRight - w.visibleLeft, w.visibleBottom - w.visibleTop) +
                " of its " + Size(w.clientWidth, w.clientHeight) + " client area",
            "scale the artwork to at most " + Size(screen_.width, screen_.height) +
                " and add two columns and rows on the right and bottom (splash-check --make does both)");
    }

    void CheckComponents()
    {
        if (!s_.frame)
            return;
        const FrameInfo& f = *s_.frame;
        std::size_t n = f.components.size();
        if (n != 1 && n != 3)
            Add("component-count",
                std::to_string(n) + " colour components" +
                    (n == 4 ? std::string(" (CMYK or YCCK)") : std::string()) +
                    ": the decoder shows only grey (1) or YCbCr colour (3)",
                "save in RGB/YCbCr colour or greyscale, not CMYK");
        bool badIds = false;
        for (const FrameComponent& c : f.components)
            badIds |= c.id < 1 || c.id > 3;
        if (firstScan_ != nullptr)
            for (const ScanComponent& c : firstScan_->components)
                badIds |= c.id < 1 || c.id > 3;
        if (badIds) {
            std::string ids;
            for (const FrameComponent& c : f.components)
                ids += (ids.empty() ? "" : ", ") + std::to_string(c.id);
            if (firstScan_ != nullptr) {
                ids += " (scan:";
                for (std::size_t i = 0; i < firstScan_->components.size() && i < 4; ++i)
                    ids += " " + std::to_string(firstScan_->components[i].id);
                ids += ")";
            }
            Add("component-ids", "component identifiers " + ids + ": the decoder knows only 1, 2 and 3",
                "use an encoder that numbers the components 1, 2, 3 (libjpeg, cjpeg, ImageMagick, Pillow do)");
        }
        // A JFIF header declares YCbCr whatever an Adobe segment says.
        bool jfif = std::any_of(s_.apps.begin(), s_.apps.end(), [](const AppRecord& a) { return a.kind == "JFIF"; });
        for (const AppRecord& app : s_.apps)
            if (app.kind == "Adobe" && app.adobeTransform == 0 && n == 3 && !jfif)
                Add("rgb-colour", "the Adobe segment says the components are RGB, not YCbCr: colours come out wrong",
                    "save in YCbCr (the default of cjpeg, ImageMagick and Pillow), not \"RGB JPEG\"");
        if (n != 3)
            return;
        for (const FrameComponent& c : f.components) {
            if (c.id == 1) {
                if (c.h == 1 && c.v == 2)
                    Add("luma-1x2",
                        "luma sampled 1x2 (4:4:0): the decoder lays the two luma blocks side by side, "
                        "so the picture comes out scrambled",
                        "use 4:2:0 (2x2), 4:2:2 (2x1) or 4:4:4 (1x1) chroma subsampling");
                else if (!((c.h == 1 && c.v == 1) || (c.h == 2 && c.v == 1) || (c.h == 2 && c.v == 2)))
                    Add("luma-sampling",
                        "luma sampled " + std::to_string(c.h) + "x" + std::to_string(c.v) +
                            ": the decoder lays out only 1x1, 2x1 and 2x2",
                        "use 4:2:0 (2x2), 4:2:2 (2x1) or 4:4:4 (1x1) chroma subsampling");
            } else if (c.h != 1 || c.v != 1) {
                Add("chroma-sampling",
                    "chroma component " + std::to_string(c.id) + " sampled " + std::to_string(c.h) + "x" +
                        std::to_string(c.v) + ": the decoder reads one chroma block per MCU",
                    "give the chroma components sampling 1x1 (any of 4:2:0, 4:2:2, 4:4:4 does)");
            }
        }
    }

    void CheckTables()
    {
        int quant = 0, dc = 0, ac = 0;
        bool sixteen = false, highIndex = false;
        for (const QuantTableRecord& q : s_.quantTables) {
            if (q.offset >= scanLimit_)
                continue;
            ++quant;
            sixteen |= q.precision == 16;
            highIndex |= q.index > 1;
        }
        for (const HuffmanTableRecord& h : s_.huffmanTables) {
            if (h.offset >= scanLimit_)
                continue;
            ++(h.tableClass == 0 ? dc : ac);
            highIndex |= h.index > 1;
        }
        if (s_.frame)
            for (const FrameComponent& c : s_.frame->components)
                highIndex |= c.quantSelector > 1;
        if (firstScan_ != nullptr)
            for (const ScanComponent& c : firstScan_->components)
                highIndex |= c.dcSelector > 1 || c.acSelector > 1;

        if (sixteen)
            Add("quant-16bit",
                "16-bit quantisation table: the decoder stops reading tables there",
                "raise the quality above the lowest settings and force baseline tables "
                "(cjpeg -baseline; libjpeg force_baseline=TRUE)");
        if (quant > 2)
            Add("third-quant-table",
                std::to_string(quant) + " quantisation tables: the decoder keeps two and "
                "starts a colour scan only after exactly two",
                "use one table for luma and one shared by both chroma components (the default of libjpeg and cjpeg)");
        if (dc > 2 || ac > 2)
            Add("third-huffman-table",
                std::to_string(dc) + " DC and " + std::to_string(ac) +
                    " AC Huffman tables: the decoder keeps two of each class",
                "use one Huffman table pair for luma and one shared by both chroma components");
        if (highIndex)
            Add("table-index", "table index or selector above 1: the decoder has only tables 0 and 1",
                "use tables 0 (luma) and 1 (chroma) only");
        for (const DecoderAction& act : v_.actions) {
            if (!act.parsed && act.code == 0xC4)
                Add("dht-passed-over",
                    "the DHT segment at offset " + Num(act.offset) +
                        " comes after two DC and two AC tables and the decoder passes it over",
                    "define at most two DC and two AC Huffman tables, all before the scan");
            if (!act.parsed && act.code == 0xDB)
                Add("dqt-passed-over",
                    "the DQT segment at offset " + Num(act.offset) +
                        " comes after two quantisation tables and the decoder passes it over",
                    "define at most two quantisation tables");
        }
        if (firstScan_ != nullptr && s_.frame) {
            bool missing = false;
            for (const ScanComponent& c : firstScan_->components) {
                auto it = std::find_if(s_.frame->components.begin(), s_.frame->components.end(),
                                       [&](const FrameComponent& fc) { return fc.id == c.id; });
                if (it != s_.frame->components.end() && it->quantSelector < 4)
                    missing |= firstScan_->tables.quant[it->quantSelector] < 0;
                missing |= c.dcSelector < 4 && firstScan_->tables.dc[c.dcSelector] < 0;
                // A DC-only (progressive first) scan needs no AC table.
                missing |= firstScan_->se > 0 && c.acSelector < 4 && firstScan_->tables.ac[c.acSelector] < 0;
            }
            if (missing)
                Add("sos-before-tables",
                    "the scan at offset " + Num(firstScan_->offset) +
                        " comes before the tables it uses (or they are missing, as in Motion-JPEG frames)",
                    "write a complete JPEG file with its DQT and DHT tables before the scan "
                    "(re-save it with cjpeg, ImageMagick or Pillow)");
        }
    }

    void CheckScanStart()
    {
        if (s_.scans.empty() && !v_.scanStarted) {
            blank_ = true;
            Add("no-scan", "the file has no scan, so there is no picture data", "export the picture again");
            return;
        }
        if (!v_.scanStarted) {
            // Without a scan start the decoder decodes whatever follows the
            // point where its search stopped: nothing at the end of the file,
            // garbage behind an early EOI.
            bool decodesRest = (v_.scanComponentCount == 1 || v_.scanComponentCount == 3) &&
                               v_.endOffset < s_.fileSize;
            blank_ = !decodesRest;
            std::string effect = decodesRest ? ", so no scan starts; the decoder decodes the " +
                                                   std::to_string(s_.fileSize - v_.endOffset) +
                                                   " bytes behind the end marker at offset " +
                                                   Num(static_cast<std::uint32_t>(v_.endOffset - 2)) +
                                                   " as the picture, which comes out as noise"
                                             : ", so no scan starts and the splash is flat";
            Add("scan-never-starts",
                "the decoder starts a colour scan only after reading exactly two quantisation, two DC and two "
                "AC tables from the file; it read " +
                    std::to_string(v_.quantTableCount) + ", " + std::to_string(v_.dcTableCount) + " and " +
                    std::to_string(v_.acTableCount) + effect,
                "use two quantisation tables and two Huffman table pairs (luma, chroma), the default of "
                "libjpeg, cjpeg, ImageMagick and Pillow");
            return;
        }
        if (v_.scanComponentCount != 1 && v_.scanComponentCount != 3) {
            blank_ = true;
            Add("scan-components", "the decoder's scan has no component count it can decode, so the splash is flat",
                "save in YCbCr colour or greyscale");
        }
        if (firstScan_ != nullptr && v_.scanOffset != firstScan_->offset) {
            std::string where = "at offset " + Num(v_.scanOffset);
            for (const AppRecord& app : s_.apps)
                if (v_.scanOffset > app.offset && v_.scanOffset < app.offset + 2 + app.length)
                    where += " inside APP" + std::to_string(app.number) + " (" + app.kind + ")";
            Add("other-scan",
                "the decoder decodes the scan " + where + " instead of the picture's scan at offset " +
                    Num(firstScan_->offset),
                "strip embedded thumbnails and metadata (exiftool -all= prelude.jpg)");
        }
        if (s_.scanCount > 1) {
            std::string comps = firstScan_ != nullptr ? std::to_string(firstScan_->components.size()) : "?";
            Add("multiple-scans",
                std::to_string(s_.scanCount) + " scans: the decoder shows only the first (" + comps +
                    " component" + (comps == "1" ? "" : "s") + ")",
                "save as baseline JPEG with all components in one interleaved scan (no scan script, not progressive)");
        }
    }

    // The tables the decoder will use for the picture's first scan against the
    // ones that scan names.
    void CheckTablesUsed()
    {
        if (!v_.scanStarted || firstScan_ == nullptr || v_.scanOffset != firstScan_->offset || !s_.frame)
            return;
        bool differ = false;
        for (const ScanComponent& c : firstScan_->components) {
            auto it = std::find_if(s_.frame->components.begin(), s_.frame->components.end(),
                                   [&](const FrameComponent& fc) { return fc.id == c.id; });
            if (it == s_.frame->components.end() || c.id < 1 || c.id > 3)
                continue;
            bool luma = c.id == 1;
            std::int64_t q = v_.quant[DecoderTableIndex(luma ? v_.yQuantSelector : v_.chromaQuantSelector)];
            std::int64_t dc = v_.dc[DecoderTableIndex(luma ? v_.yDcSelector : v_.chromaDcSelector)];
            std::int64_t ac = v_.ac[DecoderTableIndex(luma ? v_.yAcSelector : v_.chromaAcSelector)];
            if (luma && (q < 0 || dc < 0 || ac < 0)) {
                blank_ = true;
                Add("no-tables", "the decoder has no luma tables for the scan, so the splash is flat",
                    "write the DQT and DHT tables before the scan");
                continue;
            }
            std::int64_t trueQ = it->quantSelector < 4 ? firstScan_->tables.quant[it->quantSelector] : -1;
            std::int64_t trueDc = c.dcSelector < 4 ? firstScan_->tables.dc[c.dcSelector] : -1;
            std::int64_t trueAc = c.acSelector < 4 ? firstScan_->tables.ac[c.acSelector] : -1;
            differ |= !SameQuant(bytes_, q, trueQ) || !SameHuffman(bytes_, dc, trueDc) ||
                      !SameHuffman(bytes_, ac, trueAc);
        }
        if (differ)
            Add("tables-differ",
                "the decoder decodes the scan with other quantisation or Huffman tables than the picture names",
                "use two quantisation tables and two Huffman table pairs, indexes 0 (luma) and 1 (chroma), "
                "defined once before the scan");
    }

    void CheckRestarts()
    {
        if (!v_.scanStarted || firstScan_ == nullptr || v_.scanOffset != firstScan_->offset || !v_.frameRead)
            return;
        const ScanInfo& scan = *firstScan_;
        // The decoder's MCU: 8x8 grey; colour 8x8, 16x8 or 16x16 by the luma product.
        std::uint32_t mcuW = 8, mcuH = 8;
        if (v_.scanComponentCount == 3 && v_.ySamplingProduct == 2)
            mcuW = 16;
        if (v_.scanComponentCount == 3 && v_.ySamplingProduct == 4)
            mcuW = mcuH = 16;
        std::uint32_t perRow = (v_.width + mcuW - 1) / mcuW;
        std::uint32_t rows = (v_.height + mcuH - 1) / mcuH;
        std::uint32_t taken = v_.restartInterval != 0 && rows > 0 ? rows - 1 : 0;
        bool fine;
        if (v_.restartInterval == 0) {
            fine = scan.restartCount == 0;
        } else if (scan.restartCount != taken) {
            fine = false;
        } else if (scan.mcusCounted) {
            fine = true;
            for (std::size_t k = 0; k < scan.restarts.size(); ++k)
                fine &= scan.restarts[k].afterMcus == (k + 1) * perRow;
        } else {
            fine = taken == 0 || v_.restartInterval == perRow;
        }
        if (scan.paddedRestarts > 0)
            Add("fill-byte",
                std::to_string(scan.paddedRestarts) +
                    " restart markers have 0xFF fill bytes in front; the decoder takes the fill bytes for the marker",
                "re-save the file with a standard encoder (cjpeg, ImageMagick, Pillow) so no fill bytes stand before markers");
        if (!fine) {
            std::string what = "restart interval " + std::to_string(v_.restartInterval) + " MCUs with " +
                               std::to_string(scan.restartCount) + " restart markers; the decoder takes one at the end of each of the first " +
                               std::to_string(taken) + " MCU rows (" + std::to_string(perRow) + " MCUs each)";
            if (v_.restartInterval == 0)
                what = std::to_string(scan.restartCount) + " restart markers without a restart interval the decoder reads";
            Add("restart-placement", what + ", so the picture comes out shifted and garbled",
                "turn restart markers off, or put one at the end of every MCU row (cjpeg -restart 1, "
                "libjpeg restart_in_rows = 1)");
        }
    }

    // Markers the decoder acts on inside APPn/COM data, and markers hidden from it.
    void CheckHiddenMarkers()
    {
        for (const AppRecord& app : s_.apps) {
            if (!app.hasThumbnail)
                continue;
            std::uint32_t begin = app.offset + 4, end = app.offset + 2 + app.length;
            int acted = 0;
            for (const DecoderAction& act : v_.actions)
                acted += act.offset >= begin && act.offset < end;
            Add("thumbnail",
                "APP" + std::to_string(app.number) + " (" + app.kind + ") holds a JPEG thumbnail at offset " +
                    Num(app.thumbnailOffset) +
                    (acted > 0 ? "; the decoder reads " + std::to_string(acted) + " of its markers as the picture's own"
                               : "; the decoder may read its markers as the picture's own"),
                "save without a thumbnail or strip it (exiftool -all= prelude.jpg; cjpeg writes none)");
        }
        for (const MarkerRecord& m : s_.markers) {
            bool payload = (m.code >= 0xE0 && m.code <= 0xEF) || m.code == 0xFE || m.code == 0xC8 ||
                           (m.code >= 0xF0 && m.code <= 0xFD);
            if (!payload || m.length < 2)
                continue;
            bool thumb = false;
            for (const AppRecord& app : s_.apps)
                thumb |= app.offset == m.offset && app.hasThumbnail;
            if (thumb)
                continue;
            std::uint32_t begin = m.offset + 4, end = m.offset + 2 + m.length;
            for (const DecoderAction& act : v_.actions)
                if (act.offset >= begin && act.offset < end)
                    Add("hidden-marker",
                        "the bytes FF " + Hex2(act.code) + " inside the " + MarkerName(m.code) + " segment at offset " +
                            Num(m.offset) + " are taken by the decoder for the marker " + MarkerName(act.code),
                        "strip metadata and comments from the file (exiftool -all= prelude.jpg)");
        }
        static const std::uint8_t kActed[] = {0xC0, 0xC1, 0xC4, 0xD9, 0xDA, 0xDB, 0xDD, 0xE0};
        for (const MarkerRecord& m : s_.markers) {
            if (m.fillBytes == 0 || std::find(std::begin(kActed), std::end(kActed), m.code) == std::end(kActed))
                continue;
            bool seen = false;
            for (const DecoderAction& act : v_.actions)
                seen |= act.offset == m.offset;
            bool reached = !v_.scanStarted || m.offset < v_.scanOffset;
            if (!seen && reached)
                Add("fill-byte",
                    "a 0xFF fill byte stands before the " + MarkerName(m.code) + " marker at offset " + Num(m.offset) +
                        " and hides it from the decoder",
                    "re-save the file with a standard encoder (cjpeg, ImageMagick, Pillow) so no fill bytes stand before markers");
        }
    }

    static std::string Hex2(std::uint8_t code)
    {
        char text[4];
        std::snprintf(text, sizeof text, "%02X", code);
        return text;
    }

    void CheckExtras()
    {
        for (const AppRecord& app : s_.apps) {
            if (app.exifOrientation > 1 && app.exifOrientation <= 8)
                Add("orientation",
                    "EXIF orientation " + std::to_string(app.exifOrientation) +
                        ": viewers turn the picture, the splash shows it as stored",
                    "rotate the pixels and reset the orientation (ImageMagick -auto-orient, "
                    "Pillow ImageOps.exif_transpose, jpegtran with exiftool -Orientation=1 -n)");
            if (app.kind == "ICC_PROFILE")
                a_.notes.push_back("an ICC colour profile is present; the splash ignores it (sRGB pictures look the same)");
        }
        if (firstScan_ != nullptr && v_.scanStarted && v_.scanOffset == firstScan_->offset) {
            if (firstScan_->dataDamaged)
                Add("damaged", "the picture's entropy-coded data does not decode cleanly, so part of it comes out garbled",
                    "export the picture again from the original");
            else if (firstScan_->mcusCounted && firstScan_->mcusDecoded < firstScan_->mcusExpected)
                Add("truncated",
                    "the picture's data ends after " + std::to_string(firstScan_->mcusDecoded) + " of " +
                        std::to_string(firstScan_->mcusExpected) + " MCUs; the rest of the splash is flat",
                    "copy the whole file again; it is cut short");
        }
        if (!s_.comments.empty())
            a_.notes.push_back(std::to_string(s_.comments.size()) + " comment segment(s); harmless");
        if (s_.eoiPresent && s_.bytesAfterEoi > 0)
            a_.notes.push_back(std::to_string(s_.bytesAfterEoi) + " bytes follow the end-of-image marker; the decoder never reads them");
        for (const std::string& p : s_.problems)
            a_.notes.push_back("structure: " + p);
    }

    std::span<const std::uint8_t> bytes_;
    const JpegStructure& s_;
    const DecoderView& v_;
    const ScanInfo* firstScan_ = nullptr;
    std::uint32_t scanLimit_ = 0;
    Assessment a_;
    ScreenSize screen_;
    bool none_ = false;   // no window opens
    bool zero_ = false;   // a one-pixel window
    bool blank_ = false;
};

}  // namespace

Assessment Assess(std::span<const std::uint8_t> bytes, const JpegStructure& structure, const DecoderView& view,
                  ScreenSize screen)
{
    return Judge(bytes, structure, view, screen).Run();
}

const char* VerdictName(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Ok: return "ok";
    case Verdict::Wrong: return "wrong";
    case Verdict::Blank: return "blank";
    case Verdict::None: return "none";
    }
    return "none";
}

std::string VerdictLine(const Assessment& a, const DecoderView& view)
{
    std::string count = std::to_string(a.warnings.size()) + (a.warnings.size() == 1 ? " problem" : " problems");
    switch (a.verdict) {
    case Verdict::Ok: {
        std::string kind = view.scanComponentCount == 1 ? "grey"
                           : view.ySamplingProduct == 4 ? "colour 4:2:0"
                           : view.ySamplingProduct == 2 ? "colour 4:2:2"
                                                        : "colour 4:4:4";
        return "OK: shows as encoded (" + Size(view.width, view.height) + ", " + kind + ")";
    }
    case Verdict::Wrong: return "WRONG: the splash will not look like the picture (" + count + ")";
    case Verdict::Blank:
        if (view.width == 0 || view.height == 0)
            return "BLANK: the splash will be a one-pixel window for 3 s, with no picture (" + count + ")";
        return "BLANK: the splash will show a flat, empty picture (" + count + ")";
    case Verdict::None: return "NO SPLASH: the picture will not show at all (" + count + ")";
    }
    return {};
}

}  // namespace splash
