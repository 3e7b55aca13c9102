// Checks of the quantisation and Huffman tables: how many, which indexes, the
// ones the decoder passes over, and the ones it decodes the scan with.
#include <algorithm>

#include "checks.h"
#include "table_reader.h"

namespace splash {
namespace {

// The frame component a scan component names; null when there is none.
const FrameComponent* FrameComponentOf(const FrameInfo& frame, std::uint8_t id)
{
    auto it = std::ranges::find(frame.components, id, &FrameComponent::id);
    return it != frame.components.end() ? &*it : nullptr;
}

// The offset of the table a selector names in the scan's tables; -1 when none.
std::int64_t InForce(const std::int64_t (&tables)[4], std::uint8_t selector)
{
    return selector < 4 ? tables[selector] : -1;
}

}  // namespace

// Tables before the first scan: 16-bit, more than two, indexes above 1.
void CheckTableCounts(const Facts& f, Findings& out)
{
    int quant = 0, dc = 0, ac = 0;
    bool sixteen = false, highIndex = false;
    for (const QuantTableRecord& q : f.structure.quantTables) {
        if (q.offset >= f.scanLimit)
            continue;
        ++quant;
        sixteen |= q.precision == 16;
        highIndex |= q.index > 1;
    }
    for (const HuffmanTableRecord& h : f.structure.huffmanTables) {
        if (h.offset >= f.scanLimit)
            continue;
        ++(h.tableClass == 0 ? dc : ac);
        highIndex |= h.index > 1;
    }
    if (f.structure.frame)
        for (const FrameComponent& c : f.structure.frame->components)
            highIndex |= c.quantSelector > 1;
    if (f.firstScan != nullptr)
        for (const ScanComponent& c : f.firstScan->components)
            highIndex |= c.dcSelector > 1 || c.acSelector > 1;
    if (sixteen)
        out.Add(Warn::Quant16Bit, "16-bit quantisation table: the decoder stops reading tables there");
    if (quant > 2)
        out.Add(Warn::ThirdQuantTable, std::to_string(quant) + " quantisation tables: the decoder keeps two and "
                                                               "starts a colour scan only after exactly two");
    if (dc > 2 || ac > 2)
        out.Add(Warn::ThirdHuffmanTable, std::to_string(dc) + " DC and " + std::to_string(ac) +
                                             " AC Huffman tables: the decoder keeps two of each class");
    if (highIndex)
        out.Add(Warn::TableIndex, "table index or selector above 1: the decoder has only tables 0 and 1");
}

// DHT and DQT segments the decoder met with its tables full.
void CheckPassedOver(const Facts& f, Findings& out)
{
    for (const JpegTraceMarker& act : f.decoder.actions) {
        if (act.use == JpegMarkerUse::kPassedOver && act.code == 0xC4)
            out.Add(Warn::DhtPassedOver, "the DHT segment at offset " + Num(act.offset) +
                                             " comes after two DC and two AC tables and the decoder passes it over");
        if (act.use == JpegMarkerUse::kPassedOver && act.code == 0xDB)
            out.Add(Warn::DqtPassedOver, "the DQT segment at offset " + Num(act.offset) +
                                             " comes after two quantisation tables and the decoder passes it over");
    }
}

// The tables the first scan names are all defined before it.
void CheckTablesPresent(const Facts& f, Findings& out)
{
    if (f.firstScan == nullptr || !f.structure.frame)
        return;
    const ScanInfo& scan = *f.firstScan;
    bool missing = false;
    for (const ScanComponent& c : scan.components) {
        const FrameComponent* fc = FrameComponentOf(*f.structure.frame, c.id);
        if (fc != nullptr && fc->quantSelector < 4)
            missing |= scan.tables.quant[fc->quantSelector] < 0;
        missing |= c.dcSelector < 4 && scan.tables.dc[c.dcSelector] < 0;
        // A DC-only (progressive first) scan needs no AC table.
        missing |= scan.se > 0 && c.acSelector < 4 && scan.tables.ac[c.acSelector] < 0;
    }
    if (missing)
        out.Add(Warn::SosBeforeTables,
                "the scan at offset " + Num(scan.offset) +
                    " comes before the tables it uses (or they are missing, as in Motion-JPEG frames)");
}

// The tables the decoder decodes the picture's first scan with against the ones that scan names.
void CheckTablesUsed(const Facts& f, Findings& out)
{
    if (!f.DecodesFirstScan() || !f.structure.frame)
        return;
    const DecoderView& v = f.decoder;
    bool differ = false;
    for (const ScanComponent& c : f.firstScan->components) {
        const FrameComponent* fc = FrameComponentOf(*f.structure.frame, c.id);
        if (fc == nullptr || c.id < 1 || c.id > 3)
            continue;
        bool luma = c.id == 1;
        std::int64_t q = v.quant[DecoderTableIndex(luma ? v.state.yQuantSelector : v.state.chromaQuantSelector)];
        std::int64_t dc = v.dc[DecoderTableIndex(luma ? v.state.yDcSelector : v.state.chromaDcSelector)];
        std::int64_t ac = v.ac[DecoderTableIndex(luma ? v.state.yAcSelector : v.state.chromaAcSelector)];
        // Without a quantisation table every sample is 128. Without an AC table
        // the first block's AC codes run to the next marker and every later
        // block keeps the DC of the first, unless restart markers start anew.
        // Without only the DC table the AC codes read on: a wrong picture.
        if (luma && (q < 0 || (ac < 0 && (dc < 0 || v.restartInterval == 0)))) {
            out.Add(Warn::NoTables, std::string("the decoder has no luma ") + (q < 0 ? "quantisation" : "AC") +
                                        " table for the scan, so the splash is flat");
            continue;
        }
        const TablesInForce& named = f.firstScan->tables;
        differ |= !SameQuantTable(f.bytes, q, InForce(named.quant, fc->quantSelector)) ||
                  !SameHuffmanTable(f.bytes, dc, InForce(named.dc, c.dcSelector)) ||
                  !SameHuffmanTable(f.bytes, ac, InForce(named.ac, c.acSelector));
    }
    if (differ)
        out.Add(Warn::TablesDiffer,
                "the decoder decodes the scan with other quantisation or Huffman tables than the picture names");
}

}  // namespace splash
