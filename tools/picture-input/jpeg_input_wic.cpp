// The Windows Imaging Component's JPEG decoder: part of every Windows since
// XP SP3 and of Wine, so the Windows tool needs no decoder of its own.
#include "jpeg_input.h"

#include <windows.h>
#include <wincodec.h>

#include "wic_held.h"

namespace splash {
namespace {

// The frame's size, pixel format class and its pixels as 32-bit RGBA.
std::string DecodeFrame(IWICImagingFactory* factory, std::span<const std::uint8_t> bytes, Picture& rgba,
                        int& fileChannels)
{
    Held<IWICStream> stream;
    Held<IWICBitmapDecoder> decoder;
    Held<IWICBitmapFrameDecode> frame;
    Held<IWICBitmapSource> converted;
    if (FAILED(factory->CreateStream(&stream)) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()))) ||
        FAILED(factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)))
        return "not a JPEG picture the Windows Imaging Component reads";
    UINT width = 0, height = 0;
    WICPixelFormatGUID format{};
    if (FAILED(frame->GetSize(&width, &height)) || FAILED(frame->GetPixelFormat(&format)))
        return "the Windows Imaging Component cannot size the picture";
    if (std::uint64_t{width} * height > kMaxInputPixels || width == 0 || height == 0)
        return std::to_string(width) + "x" + std::to_string(height) + " is more pixels than splash-check takes";
    fileChannels = IsEqualGUID(format, GUID_WICPixelFormat8bppGray) ? 1 : 3;
    if (FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppRGBA, frame.p, &converted)))
        return "the Windows Imaging Component cannot convert the picture to RGBA";
    rgba = Picture{int(width), int(height), 4, std::vector<std::uint8_t>(std::size_t(width) * height * 4)};
    if (FAILED(converted->CopyPixels(nullptr, width * 4, static_cast<UINT>(rgba.data.size()), rgba.data.data())))
        return "the Windows Imaging Component cannot decode the picture";
    return {};
}

}  // namespace

std::string ReadJpegPicture(std::span<const std::uint8_t> bytes, Picture& rgba, int& fileChannels)
{
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::string error;
    {
        Held<IWICImagingFactory> factory;
        if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                    reinterpret_cast<void**>(&factory))))
            error = "the Windows Imaging Component is not available";
        else
            error = DecodeFrame(factory.p, bytes, rgba, fileChannels);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return error;
}

}  // namespace splash
