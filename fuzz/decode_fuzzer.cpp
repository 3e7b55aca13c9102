// DecodeJpeg on one stream, from the state of the process's first call: the
// result, the out-parameters, the one pixel buffer and every pixel checked,
// and the picture held to the reference build's.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    hostile::ResetDecoders();
    bool withReference = true;
    DecodeAndCompare({data, size}, withReference);
    return 0;
}
