#pragma once
// The window's pictures on Windows: the shared SVG artwork, turned into PNG
// at build time (at twice its size, so that it stays sharp up to 200 %
// scaling) and embedded as RCDATA resources named after the drawing
// ("step_launch.svg" becomes STEP_LAUNCH). GDI+ decodes and draws them.
#include <windows.h>

#include <memory>
#include <string>

namespace Gdiplus {
class Bitmap;
}

namespace qv::win32 {

// GDI+ for the lifetime of the object. A failed start leaves ok() false:
// the pictures are then drawn as empty frames.
class GdiplusSession {
public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

    bool ok() const { return ok_; }
    // The reason of a failed start, for the diagnostic pane.
    const std::string& error() const { return error_; }

private:
    ULONG_PTR token_ = 0;
    bool ok_ = false;
    std::string error_;
};

class Picture {
public:
    Picture();
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // Decodes the resource `name` of `module`. False with the reason when
    // it is missing or cannot be decoded; the picture stays empty.
    bool load(HMODULE module, const char* name, std::string& error);
    bool empty() const { return bitmap_ == nullptr; }

    // Draws the picture at its own size (scaled by dpi / 96, smaller when
    // the area is smaller, never distorted), centred in `area`; an empty
    // picture draws a thin frame around the area.
    void draw(HDC dc, const RECT& area, int dpi) const;

private:
    std::unique_ptr<Gdiplus::Bitmap> bitmap_;
};

} // namespace qv::win32
