#pragma once
// Images drawn at run time with GDI into 32-bit DIBs with alpha. GDI draws without alpha and
// without smoothing, so a drawing is made four times larger, once on black and once on white:
// the two results give each pixel's coverage, and shrinking them smooths the edges.

#include <windows.h>

#include <functional>
#include <string>

#include "ui/win32/Gdi.h"

namespace vorta::win32ui {

struct Rgb {
    BYTE r, g, b;
    Rgb Lighter(double factor) const;
    Rgb Darker(double factor) const;
    COLORREF Ref() const { return RGB(r, g, b); }
};

// Draws in the drawing's own coordinates; the pen widths are in the same units.
class Painter {
public:
    Painter(HDC dc, double scale) : dc_(dc), scale_(scale) {}
    void Ellipse(double x, double y, double w, double h, const Rgb* pen, double penWidth,
                 const Rgb* brush);
    void Rect(double x, double y, double w, double h, const Rgb* pen, double penWidth,
              const Rgb* brush, double radius = 0);
    void Line(double x1, double y1, double x2, double y2, Rgb pen, double width);
    void Polygon(const POINT* points, int count, const Rgb* pen, double penWidth, const Rgb* brush);
    // Bold text centred in the box, `pixels` high.
    void Text(const std::wstring& text, double x, double y, double w, double h, double pixels,
              Rgb color, bool italic = false, UINT format = DT_CENTER);
    // A ball shaded from its colour to a light spot at the upper left.
    void Ball(double x, double y, double w, double h, Rgb color, double penWidth);
    // A vertical gradient filling the box.
    void Gradient(double x, double y, double w, double h, Rgb top, Rgb bottom);
    int S(double v) const { return static_cast<int>(v * scale_ + 0.5); }

private:
    HDC dc_;
    double scale_;
};

using Drawing = std::function<void(Painter&)>;

// `drawing` (made for designWidth x designHeight) as a premultiplied 32-bit top-down DIB of
// width x height.
UniqueBitmap DrawBitmap(int width, int height, int designWidth, int designHeight,
                        const Drawing& drawing);
// The same as an icon.
UniqueIcon DrawIcon(int width, int height, int designWidth, int designHeight,
                    const Drawing& drawing);
UniqueIcon IconFromBitmap(HBITMAP color, int width, int height);

}  // namespace vorta::win32ui
