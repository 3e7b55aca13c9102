// splash-check --make: a picture turned into a prelude.jpg whose window
// shows every pixel of it, and the proof: the written file checked as any
// other.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "splash_window.h"

namespace splash {

struct MakeOptions {
    std::string output;
    std::string input;
    ScreenSize screen;                // the artwork is scaled down to fit it
    int quality = 90;                 // 1..100
    std::uint32_t background = 0;     // 0xRRGGBB under transparent pixels and in the margin
    bool quiet = false;               // print only the verdict line
    bool reencode = false;            // encode even an input that shows as encoded
};

// Returns the exit status: 0 the written file shows as encoded, 1 it does
// not (the warnings say why, and the earlier OUT is left as it was), 2 with
// `error` set when the input cannot be read or the output cannot be written.
int RunMake(const MakeOptions& options, std::ostream& out, std::string& error);

}  // namespace splash
