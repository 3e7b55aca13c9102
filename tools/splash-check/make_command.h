// splash-check --make: a picture turned into a prelude.jpg that the splash
// shows as encoded, and the proof: the written file checked as any other.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace splash {

struct MakeOptions {
    std::string output;
    std::string input;
    int boxWidth = 1920;              // pictures larger than the box are scaled down into it
    int boxHeight = 1080;
    int quality = 90;                 // 1..100
    std::uint32_t background = 0;     // 0xRRGGBB under transparent pixels
    bool quiet = false;               // print only the verdict line
};

// Returns the exit status: 0 the written file shows as encoded, 1 it does
// not (the warnings say why), 2 with `error` set when the input cannot be
// read or the output cannot be written.
int RunMake(const MakeOptions& options, std::ostream& out, std::string& error);

}  // namespace splash
