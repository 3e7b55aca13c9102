// Checks of the scan the decoder starts: whether one starts, which one, its
// restart markers and its entropy-coded data.
#include "checks.h"

namespace splash {

// No scan, a scan that never starts, or one with a component count the decoder cannot decode.
void CheckScanStart(const Facts& f, Findings& out)
{
    const DecoderView& v = f.decoder;
    if (f.structure.scans.empty() && !v.scanStarted) {
        out.Add(Warn::NoScan, "the file has no scan, so there is no picture data");
        return;
    }
    if (!v.scanStarted) {
        // Without a scan start the decoder decodes whatever follows the point
        // where its search stopped: nothing at the end of the file, garbage
        // behind an early EOI.
        std::uint32_t fileSize = f.structure.fileSize;
        const std::uint16_t components = v.state.scanComponentCount;
        bool decodesRest = (components == 1 || components == 3) && v.endOffset < fileSize;
        std::string effect = decodesRest ? ", so no scan starts; the decoder decodes the " +
                                               std::to_string(fileSize - v.endOffset) +
                                               " bytes behind the end marker at offset " +
                                               Num(static_cast<std::uint32_t>(v.endOffset - 2)) +
                                               " as the picture, which comes out as noise"
                                         : ", so no scan starts and the splash is flat";
        out.Add(decodesRest ? Warn::ScanNeverStartsNoise : Warn::ScanNeverStarts,
                "the decoder starts a colour scan only after reading exactly two quantisation, two DC and two "
                "AC tables from the file; it read " +
                    std::to_string(v.state.quantTableCount) + ", " + std::to_string(v.state.dcTableCount) + " and " +
                    std::to_string(v.state.acTableCount) + effect);
        return;
    }
    if (v.state.scanComponentCount != 1 && v.state.scanComponentCount != 3)
        out.Add(Warn::ScanComponents, "the decoder's scan has no component count it can decode, so the splash is flat");
}

// The scan the decoder starts is the picture's first, and the only one.
void CheckScanChoice(const Facts& f, Findings& out)
{
    const DecoderView& v = f.decoder;
    if (!v.scanStarted)
        return;
    if (f.firstScan != nullptr && v.scanOffset != f.firstScan->offset) {
        std::string where = "at offset " + Num(v.scanOffset);
        for (const AppRecord& app : f.structure.apps)
            if (v.scanOffset > app.offset && v.scanOffset < app.offset + 2 + app.length)
                where += " inside APP" + std::to_string(app.number) + " (" + app.kind + ")";
        out.Add(Warn::OtherScan, "the decoder decodes the scan " + where + " instead of the picture's scan at offset " +
                                     Num(f.firstScan->offset));
    }
    if (f.structure.scanCount > 1) {
        std::string comps = f.firstScan != nullptr ? std::to_string(f.firstScan->components.size()) : "?";
        out.Add(Warn::MultipleScans, std::to_string(f.structure.scanCount) + " scans: the decoder shows only the first (" +
                                         comps + " component" + (comps == "1" ? "" : "s") + ")");
    }
}

// Restart markers where the decoder takes them: one at the end of each MCU row but the last.
void CheckRestarts(const Facts& f, Findings& out)
{
    const DecoderView& v = f.decoder;
    if (!f.DecodesFirstScan() || !v.frameRead)
        return;
    const ScanInfo& scan = *f.firstScan;
    // The decoder's MCU: 8x8 grey; colour 8x8, 16x8 or 16x16 by the luma product.
    const std::uint16_t product = v.state.scanComponentCount == 3 ? v.state.ySamplingProduct : 1;
    const std::uint32_t mcuW = product == 2 || product == 4 ? 16 : 8;
    const std::uint32_t mcuH = product == 4 ? 16 : 8;
    std::uint32_t perRow = (v.state.frameWidth + mcuW - 1) / mcuW;
    std::uint32_t rows = (v.state.frameHeight + mcuH - 1) / mcuH;
    std::uint32_t taken = v.restartInterval != 0 && rows > 0 ? rows - 1 : 0;
    // Counted MCUs show where each marker stands; otherwise the interval says.
    bool fine = scan.restartCount == taken;
    if (fine && scan.mcusCounted) {
        for (std::size_t k = 0; k < scan.restarts.size(); ++k)
            fine &= scan.restarts[k].afterMcus == (k + 1) * perRow;
    } else if (fine && v.restartInterval != 0) {
        fine = taken == 0 || v.restartInterval == perRow;
    }
    if (scan.paddedRestarts > 0)
        out.Add(Warn::FillByte, std::to_string(scan.paddedRestarts) +
                                    " restart markers have 0xFF fill bytes in front; the decoder takes the fill bytes "
                                    "for the marker");
    if (fine)
        return;
    std::string what = "restart interval " + std::to_string(v.restartInterval) + " MCUs with " +
                       std::to_string(scan.restartCount) +
                       " restart markers; the decoder takes one at the end of each of the first " +
                       std::to_string(taken) + " MCU rows (" + std::to_string(perRow) + " MCUs each)";
    if (v.restartInterval == 0)
        what = std::to_string(scan.restartCount) + " restart markers without a restart interval the decoder reads";
    out.Add(Warn::RestartPlacement, what + ", so the picture comes out shifted and garbled");
}

// The picture's data: damaged, or cut short.
void CheckScanData(const Facts& f, Findings& out)
{
    if (!f.DecodesFirstScan())
        return;
    const ScanInfo& scan = *f.firstScan;
    if (scan.dataDamaged)
        out.Add(Warn::Damaged, "the picture's entropy-coded data does not decode cleanly, so part of it comes out garbled");
    else if (scan.mcusCounted && scan.mcusDecoded < scan.mcusExpected)
        out.Add(Warn::Truncated, "the picture's data ends after " + std::to_string(scan.mcusDecoded) + " of " +
                                     std::to_string(scan.mcusExpected) + " MCUs; the rest of the splash is flat");
}

}  // namespace splash
