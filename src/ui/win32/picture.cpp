#include "ui/win32/picture.h"

#include <objidl.h>

#include <algorithm>
#include <cstring>

#include <gdiplus.h>

#ifndef QV_PICTURE_ZOOM
#define QV_PICTURE_ZOOM 2
#endif

namespace qv::win32 {

namespace {
constexpr int kPictureZoom = QV_PICTURE_ZOOM;  // the PNGs' size over the drawings' own
} // namespace

GdiplusSession::GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    const Gdiplus::Status status = Gdiplus::GdiplusStartup(&token_, &input, nullptr);
    ok_ = status == Gdiplus::Ok;
    if (!ok_) {
        error_ = "GDI+ did not start (status " + std::to_string(static_cast<int>(status)) +
                 "): the pictures are left empty";
    }
}

GdiplusSession::~GdiplusSession() {
    if (ok_) {
        Gdiplus::GdiplusShutdown(token_);
    }
}

Picture::Picture() = default;

Picture::~Picture() = default;

bool Picture::load(HMODULE module, const char* name, std::string& error) {
    bitmap_.reset();
    const std::string what = std::string("Picture ") + name + ": ";
    HRSRC resource = FindResourceA(module, name, MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    HGLOBAL loaded = resource != nullptr ? LoadResource(module, resource) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    const DWORD size = resource != nullptr ? SizeofResource(module, resource) : 0;
    if (bytes == nullptr || size == 0) {
        error = what + "not among the program's resources";
        return false;
    }
    // The decoder reads from a stream of its own copy of the bytes.
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    void* target = copy != nullptr ? GlobalLock(copy) : nullptr;
    if (target == nullptr) {
        if (copy != nullptr) GlobalFree(copy);
        error = what + "out of memory";
        return false;
    }
    std::memcpy(target, bytes, size);
    GlobalUnlock(copy);
    IStream* stream = nullptr;
    if (CreateStreamOnHGlobal(copy, TRUE, &stream) != S_OK) {
        GlobalFree(copy);
        error = what + "no stream to decode it from";
        return false;
    }
    bool decoded = false;
    {
        Gdiplus::Bitmap source(stream);
        const UINT width = source.GetWidth();
        const UINT height = source.GetHeight();
        if (source.GetLastStatus() == Gdiplus::Ok && width > 0 && height > 0) {
            // Drawn from a premultiplied copy: independent of the stream,
            // and the fastest form for GDI+ to scale.
            auto converted = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(width), static_cast<INT>(height),
                                                               PixelFormat32bppPARGB);
            Gdiplus::Graphics graphics(converted.get());
            decoded = converted->GetLastStatus() == Gdiplus::Ok &&
                      graphics.DrawImage(&source, 0, 0, static_cast<INT>(width), static_cast<INT>(height)) ==
                          Gdiplus::Ok;
            if (decoded) bitmap_ = std::move(converted);
        }
    }
    stream->Release();
    if (!decoded) {
        error = what + "not a picture GDI+ can read";
        return false;
    }
    return true;
}

void Picture::draw(HDC dc, const RECT& area, int dpi) const {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return;
    }
    if (bitmap_ == nullptr) {
        FrameRect(dc, &area, GetSysColorBrush(COLOR_BTNSHADOW));
        return;
    }
    // The drawing's own size in screen pixels at this dpi.
    const double natural = static_cast<double>(dpi) / (96.0 * kPictureZoom);
    const double naturalWidth = bitmap_->GetWidth() * natural;
    const double naturalHeight = bitmap_->GetHeight() * natural;
    const double scale = std::min({1.0, width / naturalWidth, height / naturalHeight});
    const double drawnWidth = naturalWidth * scale;
    const double drawnHeight = naturalHeight * scale;
    Gdiplus::Graphics graphics(dc);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
    const Gdiplus::RectF target(static_cast<Gdiplus::REAL>(area.left + (width - drawnWidth) / 2.0),
                                static_cast<Gdiplus::REAL>(area.top + (height - drawnHeight) / 2.0),
                                static_cast<Gdiplus::REAL>(drawnWidth), static_cast<Gdiplus::REAL>(drawnHeight));
    graphics.DrawImage(bitmap_.get(), target);
}

} // namespace qv::win32
