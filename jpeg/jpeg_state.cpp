// The decoder's module-level state and the byte reader over the stream.
#include "jpeg/jpeg_state.h"

JPEG_NAMESPACE_BEGIN

JpegDecoderState jpegState;

// The byte at cursor; 0 and dataExhausted set at or past the end.
std::uint8_t JpegReadByte()
{
    JpegDecoderState& s = jpegState;
    if (s.cursor >= s.dataSize) {
        s.dataExhausted = true;
        return 0;
    }
    return s.data[s.cursor++];
}

// A big-endian word.
std::uint16_t JpegReadWord()
{
    std::uint16_t high = JpegReadByte();
    std::uint16_t low = JpegReadByte();
    return static_cast<std::uint16_t>((high << 8) | low);
}

JPEG_NAMESPACE_END
