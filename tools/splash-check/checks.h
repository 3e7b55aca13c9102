// The checks behind the verdict: each reads the facts about one file and adds
// the warnings of the table rows that apply.
#pragma once

#include "verdict.h"

namespace splash {

// What the checks know about one file.
struct Facts {
    std::span<const std::uint8_t> bytes;
    const JpegStructure& structure;
    const DecoderView& decoder;
    std::int32_t decodeResult;    // DecodeJpeg's result
    const ScanInfo* firstScan;    // the picture's first scan; null when there is none
    std::uint32_t scanLimit;      // its offset, or the file size
    ScreenSize screen;            // the player's

    // The decoder starts at the picture's first scan.
    bool DecodesFirstScan() const
    {
        return decoder.scanStarted && firstScan != nullptr && decoder.scanOffset == firstScan->offset;
    }
};

// The warnings found so far; the verdict is the worst severity among them.
class Findings {
public:
    // Adds a warning of row `id`; a code already given is not given again.
    void Add(Warn id, std::string message);
    void Note(std::string note) { assessment_.notes.push_back(std::move(note)); }
    Verdict Worst() const { return assessment_.verdict; }
    Assessment Take() { return std::move(assessment_); }

private:
    Assessment assessment_;
};

void CheckFrameType(const Facts& f, Findings& out);
void CheckSize(const Facts& f, Findings& out);
void CheckComponents(const Facts& f, Findings& out);
void CheckSampling(const Facts& f, Findings& out);
void CheckTableCounts(const Facts& f, Findings& out);
void CheckPassedOver(const Facts& f, Findings& out);
void CheckTablesPresent(const Facts& f, Findings& out);
void CheckScanStart(const Facts& f, Findings& out);
void CheckScanChoice(const Facts& f, Findings& out);
void CheckTablesUsed(const Facts& f, Findings& out);
void CheckRestarts(const Facts& f, Findings& out);
void CheckThumbnails(const Facts& f, Findings& out);
void CheckHiddenMarkers(const Facts& f, Findings& out);
void CheckHiddenByFill(const Facts& f, Findings& out);
void CheckOrientation(const Facts& f, Findings& out);
void CheckScanData(const Facts& f, Findings& out);
void CheckNotes(const Facts& f, Findings& out);
void CheckLayout(const Facts& f, Findings& out);
void CheckDecodeResult(const Facts& f, Findings& out);

// Offsets are printed in decimal, as in the structure listing.
inline std::string Num(std::uint32_t offset) { return std::to_string(offset); }

}  // namespace splash
