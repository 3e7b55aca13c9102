// Every warning splash-check gives: its code, how bad it is, what it means and
// what to change. Checks name a row; the code, severity and fix come from here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace splash {

enum class Verdict {
    Ok,     // shows as encoded
    Wrong,  // shows, but not as encoded
    Blank,  // shows one flat colour
    None,   // no splash at all
};

// One row per situation; two rows share a code where only the fix or the
// severity differs.
enum class Warn : std::uint8_t {
    NotJpeg, NoFrame, Progressive, Arithmetic, Lossless, Hierarchical, Precision,
    ZeroSizeNoFrame, ZeroSize, OtherFrame, TooLarge, ScreenSize,
    ComponentCount, ComponentIds, RgbColour, Luma1x2, LumaSampling, ChromaSampling,
    Quant16Bit, ThirdQuantTable, ThirdHuffmanTable, TableIndex, DhtPassedOver, DqtPassedOver,
    SosBeforeTables, NoScan, ScanNeverStarts, ScanNeverStartsNoise, ScanComponents, OtherScan,
    MultipleScans, NoTables, TablesDiffer, RestartPlacement, Thumbnail, HiddenMarker, FillByte,
    Orientation, Damaged, Truncated, Malformed, DecodeFailed,
};

struct WarningKind {
    Warn id;
    const char* code;     // stable identifier, printed as "warning [code]"
    Verdict severity;     // the verdict when this is the worst warning
    const char* summary;  // what the code stands for, in a few words
    const char* fix;      // what to change in the encoder
};

const WarningKind& KindOf(Warn id);

// The distinct codes, in table order.
std::vector<std::string> WarningCodes();

}  // namespace splash
