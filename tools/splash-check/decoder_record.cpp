// The decoder's own record of its header phase, read from jpegState.
#include "decoder_record.h"

#include "jpeg/alloc.h"
#include "jpeg/decode_jpeg.h"
#include "jpeg/jpeg_state.h"

namespace splash {
namespace {

struct RecordedField {
    const char* name;
    std::uint16_t DecoderView::*view;
    std::uint16_t JpegDecoderState::*decoder;
};

// Everything the decoder keeps after its marker loop; offsets, passed-over
// segments and the restart interval it does not keep, and the replay supplies.
constexpr RecordedField kRecorded[] = {
    {"width", &DecoderView::width, &JpegDecoderState::frameWidth},
    {"height", &DecoderView::height, &JpegDecoderState::frameHeight},
    {"luma sampling product", &DecoderView::ySamplingProduct, &JpegDecoderState::ySamplingProduct},
    {"luma quantisation selector", &DecoderView::yQuantSelector, &JpegDecoderState::yQuantSelector},
    {"chroma quantisation selector", &DecoderView::chromaQuantSelector, &JpegDecoderState::chromaQuantSelector},
    {"quantisation tables read", &DecoderView::quantTableCount, &JpegDecoderState::quantTableCount},
    {"DC tables read", &DecoderView::dcTableCount, &JpegDecoderState::dcTableCount},
    {"AC tables read", &DecoderView::acTableCount, &JpegDecoderState::acTableCount},
    {"scan component count", &DecoderView::scanComponentCount, &JpegDecoderState::scanComponentCount},
    {"luma DC selector", &DecoderView::yDcSelector, &JpegDecoderState::yDcSelector},
    {"luma AC selector", &DecoderView::yAcSelector, &JpegDecoderState::yAcSelector},
    {"chroma DC selector", &DecoderView::chromaDcSelector, &JpegDecoderState::chromaDcSelector},
    {"chroma AC selector", &DecoderView::chromaAcSelector, &JpegDecoderState::chromaAcSelector},
};

}  // namespace

// Pixel buffers come from the decoder's allocator.
void FreeBlockDeleter::operator()(std::uint32_t* pixels) const
{
    FreeBlock(pixels);
}

// One decode from zeroed state; the pixels are owned by the result.
DecoderRun RunDecoder(std::span<const std::uint8_t> bytes)
{
    static const std::uint8_t kNoData = 0;
    jpegState = {};
    DecoderRun run;
    std::uint32_t* pixels = nullptr;
    std::uint32_t bitsPerPixel = 0;
    run.result = DecodeJpeg(bytes.empty() ? &kNoData : bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                            &pixels, &run.width, &run.height, &bitsPerPixel);
    if (run.result == 1)
        run.pixels.reset(pixels);
    return run;
}

// Copies the recorded fields over the replay's.
void TakeDecoderRecord(DecoderView& view)
{
    for (const RecordedField& field : kRecorded)
        view.*field.view = jpegState.*field.decoder;
}

// The first recorded field on which the replay and the decoder part.
std::string DifferenceFromDecoderRecord(const DecoderView& view)
{
    for (const RecordedField& field : kRecorded) {
        if (view.*field.view != jpegState.*field.decoder)
            return std::string(field.name) + ": replay " + std::to_string(view.*field.view) + ", decoder " +
                   std::to_string(jpegState.*field.decoder);
    }
    return {};
}

}  // namespace splash
