// The Windows Imaging Component's JPEG encoder, fed 8-bit grey pixels.
#include "grey_jpeg.h"

#include <windows.h>
#include <wincodec.h>

#include "wic_held.h"

namespace splash {
namespace {

// One grey frame at `quality` into `stream`.
std::string EncodeFrame(IWICImagingFactory* factory, IStream* stream, std::vector<std::uint8_t>& grey, int width,
                        int height, int quality)
{
    Held<IWICBitmapEncoder> encoder;
    Held<IWICBitmapFrameEncode> frame;
    Held<IPropertyBag2> options;
    if (FAILED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder)) ||
        FAILED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(&frame, &options)))
        return "the Windows Imaging Component has no JPEG encoder";
    PROPBAG2 name{};
    name.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    VARIANT value{};
    value.vt = VT_R4;
    value.fltVal = static_cast<float>(quality) / 100.0f;
    WICPixelFormatGUID format = GUID_WICPixelFormat8bppGray;
    if (FAILED(options->Write(1, &name, &value)) || FAILED(frame->Initialize(options.p)) ||
        FAILED(frame->SetSize(UINT(width), UINT(height))) || FAILED(frame->SetPixelFormat(&format)) ||
        !IsEqualGUID(format, GUID_WICPixelFormat8bppGray))
        return "the Windows Imaging Component's JPEG encoder does not take grey pixels";
    if (FAILED(frame->WritePixels(UINT(height), UINT(width), UINT(grey.size()), grey.data())) ||
        FAILED(frame->Commit()) || FAILED(encoder->Commit()))
        return "the Windows Imaging Component cannot write the grey picture";
    return {};
}

// The bytes written to a memory stream.
std::string StreamBytes(IStream* stream, std::vector<std::uint8_t>& bytes)
{
    HGLOBAL memory = nullptr;
    STATSTG stat{};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || FAILED(GetHGlobalFromStream(stream, &memory)))
        return "cannot read the encoded picture back";
    const auto* from = static_cast<const std::uint8_t*>(GlobalLock(memory));
    if (from == nullptr)
        return "cannot read the encoded picture back";
    bytes.assign(from, from + stat.cbSize.QuadPart);
    GlobalUnlock(memory);
    return {};
}

}  // namespace

std::string EncodeGreyJpeg(const Picture& rgb, int quality, std::vector<std::uint8_t>& jpeg)
{
    std::vector<std::uint8_t> grey(std::size_t(rgb.width) * rgb.height);
    for (std::size_t i = 0; i < grey.size(); ++i)
        grey[i] = rgb.data[3 * i];
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::string error;
    {
        Held<IWICImagingFactory> factory;
        Held<IStream> stream;
        if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                    reinterpret_cast<void**>(&factory))) ||
            FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
            error = "the Windows Imaging Component is not available";
        else
            error = EncodeFrame(factory.p, stream.p, grey, rgb.width, rgb.height, quality);
        if (error.empty())
            error = StreamBytes(stream.p, jpeg);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return error;
}

}  // namespace splash
