// Korvane - Pictorix image tool for Windows.
// SPDX-License-Identifier: MIT
#include "WicEncoder.h"

#include "WindowsText.h"

#include <windows.h>

#include <objidl.h>
#include <ocidl.h>
#include <wincodec.h>

#include <cstdio>
#include <vector>

namespace korvane::pictorix {

namespace {

// JPEG quality as the Qt face writes it (95 of 100): the thin traces of a
// screen picture stay clean.
constexpr float kJpegQuality = 0.95f;

// Releases a COM interface at the end of its scope.
template <typename T>
struct Com {
    T* p = nullptr;
    ~Com()
    {
        if (p)
            p->Release();
    }
    T* operator->() const { return p; }
};

std::string failure(const char* step, HRESULT result)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    return std::string(step) + " failed (" + code + ": " + systemErrorText(static_cast<unsigned long>(result)) + ")";
}

const GUID& container(WicEncoder::Format format)
{
    switch (format) {
    case WicEncoder::Format::Png: return GUID_ContainerFormatPng;
    case WicEncoder::Format::Tiff: return GUID_ContainerFormatTiff;
    case WicEncoder::Format::Jpeg: break;
    }
    return GUID_ContainerFormatJpeg;
}

// Blue, green, red a pixel, top row first, rows padded to 32 bits.
std::vector<BYTE> bgrRows(const Picture& picture, UINT stride)
{
    std::vector<BYTE> rows(std::size_t(stride) * std::size_t(picture.height));
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const std::uint32_t colour = picture.colourAt(x, y);
            BYTE* pixel = rows.data() + std::size_t(y) * stride + 3 * std::size_t(x);
            pixel[0] = Picture::blue(colour);
            pixel[1] = Picture::green(colour);
            pixel[2] = Picture::red(colour);
        }
    return rows;
}

HRESULT setQuality(IPropertyBag2* options)
{
    PROPBAG2 option = {};
    option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_R4;
    value.fltVal = kJpegQuality;
    return options->Write(1, &option, &value);
}

HRESULT writeFrame(IWICBitmapEncoder* encoder, const Picture& picture, WicEncoder::Format format, const char*& step)
{
    Com<IWICBitmapFrameEncode> frame;
    Com<IPropertyBag2> options;
    step = "creating the frame";
    HRESULT result = encoder->CreateNewFrame(&frame.p, &options.p);
    if (SUCCEEDED(result) && format == WicEncoder::Format::Jpeg)
        result = setQuality(options.p);
    if (SUCCEEDED(result))
        result = frame->Initialize(options.p);
    if (SUCCEEDED(result))
        result = frame->SetSize(UINT(picture.width), UINT(picture.height));
    WICPixelFormatGUID pixels = GUID_WICPixelFormat24bppBGR;
    if (SUCCEEDED(result))
        result = frame->SetPixelFormat(&pixels);
    if (SUCCEEDED(result) && !IsEqualGUID(pixels, GUID_WICPixelFormat24bppBGR))
        result = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    const UINT stride = (UINT(picture.width) * 3 + 3) / 4 * 4;
    std::vector<BYTE> rows = bgrRows(picture, stride);
    step = "writing the pixels";
    if (SUCCEEDED(result))
        result = frame->WritePixels(UINT(picture.height), stride, UINT(rows.size()), rows.data());
    if (SUCCEEDED(result))
        result = frame->Commit();
    return result;
}

std::optional<std::string> streamBytes(IStream* stream, std::string& error)
{
    STATSTG stat = {};
    LARGE_INTEGER start = {};
    HRESULT result = stream->Stat(&stat, STATFLAG_NONAME);
    if (SUCCEEDED(result))
        result = stream->Seek(start, STREAM_SEEK_SET, nullptr);
    std::string bytes(std::size_t(stat.cbSize.QuadPart), '\0');
    ULONG read = 0;
    if (SUCCEEDED(result))
        result = stream->Read(bytes.data(), ULONG(bytes.size()), &read);
    if (FAILED(result) || read != bytes.size()) {
        error = failure("reading the encoded file back", FAILED(result) ? result : E_FAIL);
        return std::nullopt;
    }
    return bytes;
}

}  // namespace

std::optional<std::string> WicEncoder::encode(const Picture& picture, Format format, std::string& error)
{
    Com<IWICImagingFactory> factory;
    Com<IWICBitmapEncoder> encoder;
    Com<IStream> stream;
    const char* step = "starting the imaging component";
    HRESULT result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                      reinterpret_cast<void**>(&factory.p));
    if (SUCCEEDED(result))
        result = CreateStreamOnHGlobal(nullptr, TRUE, &stream.p);
    if (SUCCEEDED(result))
        result = factory->CreateEncoder(container(format), nullptr, &encoder.p);
    if (SUCCEEDED(result))
        result = encoder->Initialize(stream.p, WICBitmapEncoderNoCache);
    if (SUCCEEDED(result))
        result = writeFrame(encoder.p, picture, format, step);
    if (SUCCEEDED(result)) {
        step = "finishing the file";
        result = encoder->Commit();
    }
    if (FAILED(result)) {
        error = failure(step, result);
        return std::nullopt;
    }
    return streamBytes(stream.p, error);
}

}  // namespace korvane::pictorix
