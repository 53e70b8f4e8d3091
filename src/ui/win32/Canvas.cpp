#include "ui/win32/Canvas.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vorta::win32ui {
namespace {

constexpr int kSuper = 4;  // drawn this many times larger, then shrunk

BYTE Clamp(double v) {
    return static_cast<BYTE>(std::clamp(v, 0.0, 255.0));
}

struct Dib {
    UniqueBitmap bitmap;
    std::uint32_t* bits = nullptr;
};

Dib MakeDib(HDC dc, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Dib dib;
    dib.bitmap.reset(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    dib.bits = static_cast<std::uint32_t*>(bits);
    return dib;
}

UniquePen MakePen(const Rgb* pen, double width, const Painter& p) {
    if (!pen) return UniquePen(static_cast<HPEN>(nullptr));
    LOGBRUSH brush{BS_SOLID, pen->Ref(), 0};
    return UniquePen(ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND,
                                  static_cast<DWORD>(std::max(1, p.S(width))), &brush, 0, nullptr));
}

// Selects the pen and brush (or the null ones) for one shape.
class Style {
public:
    Style(HDC dc, const Painter& p, const Rgb* pen, double width, const Rgb* brush)
        : pen_(MakePen(pen, width, p)),
          brush_(brush ? CreateSolidBrush(brush->Ref()) : nullptr),
          selectPen_(dc, pen_ ? static_cast<HGDIOBJ>(pen_.get()) : GetStockObject(NULL_PEN)),
          selectBrush_(dc,
                       brush_ ? static_cast<HGDIOBJ>(brush_.get()) : GetStockObject(NULL_BRUSH)) {}

private:
    UniquePen pen_;
    UniqueBrush brush_;
    Selected selectPen_;
    Selected selectBrush_;
};

}  // namespace

Rgb Rgb::Lighter(double factor) const {
    // Towards white, as a lighter shade of the same hue.
    const double t = std::clamp(factor - 1.0, 0.0, 1.0);
    return {Clamp(r + (255 - r) * t), Clamp(g + (255 - g) * t), Clamp(b + (255 - b) * t)};
}

Rgb Rgb::Darker(double factor) const {
    return {Clamp(r / factor), Clamp(g / factor), Clamp(b / factor)};
}

void Painter::Ellipse(double x, double y, double w, double h, const Rgb* pen, double penWidth,
                      const Rgb* brush) {
    const Style style(dc_, *this, pen, penWidth, brush);
    ::Ellipse(dc_, S(x), S(y), S(x + w), S(y + h));
}

void Painter::Rect(double x, double y, double w, double h, const Rgb* pen, double penWidth,
                   const Rgb* brush, double radius) {
    const Style style(dc_, *this, pen, penWidth, brush);
    if (radius > 0)
        ::RoundRect(dc_, S(x), S(y), S(x + w), S(y + h), S(radius * 2), S(radius * 2));
    else
        ::Rectangle(dc_, S(x), S(y), S(x + w), S(y + h));
}

void Painter::Line(double x1, double y1, double x2, double y2, Rgb pen, double width) {
    const Style style(dc_, *this, &pen, width, nullptr);
    MoveToEx(dc_, S(x1), S(y1), nullptr);
    LineTo(dc_, S(x2), S(y2));
}

void Painter::Polygon(const POINT* points, int count, const Rgb* pen, double penWidth,
                      const Rgb* brush) {
    std::vector<POINT> scaled(points, points + count);
    for (POINT& pt : scaled) {
        pt.x = S(pt.x);
        pt.y = S(pt.y);
    }
    const Style style(dc_, *this, pen, penWidth, brush);
    ::Polygon(dc_, scaled.data(), count);
}

void Painter::Text(const std::wstring& text, double x, double y, double w, double h, double pixels,
                   Rgb color, bool italic, UINT format) {
    UniqueFont font(CreateFontW(-S(pixels), 0, 0, 0, FW_BOLD, italic, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                DEFAULT_PITCH, L"Arial"));
    const Selected select(dc_, font.get());
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, color.Ref());
    RECT box{S(x), S(y), S(x + w), S(y + h)};
    DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &box,
              format | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void Painter::Ball(double x, double y, double w, double h, Rgb color, double penWidth) {
    const Rgb rim = color.Darker(1.5);
    Ellipse(x, y, w, h, &rim, penWidth, &color);
    // Rings shrinking towards the light spot, each a little lighter.
    constexpr int kRings = 10;
    const double spotX = x + w * 0.35, spotY = y + h * 0.3;
    for (int i = 1; i < kRings; ++i) {
        const double t = static_cast<double>(i) / kRings;
        const double rw = (w - penWidth) * (1 - t), rh = (h - penWidth) * (1 - t);
        const double cx = (x + w / 2) + (spotX - (x + w / 2)) * t;
        const double cy = (y + h / 2) + (spotY - (y + h / 2)) * t;
        const Rgb shade = color.Lighter(1.0 + 0.6 * t);
        Ellipse(cx - rw / 2, cy - rh / 2, rw, rh, nullptr, 0, &shade);
    }
}

void Painter::Gradient(double x, double y, double w, double h, Rgb top, Rgb bottom) {
    const int y0 = S(y), y1 = S(y + h);
    for (int row = y0; row < y1; ++row) {
        const double t = y1 > y0 + 1 ? static_cast<double>(row - y0) / (y1 - y0 - 1) : 0;
        const Rgb c{Clamp(top.r + (bottom.r - top.r) * t), Clamp(top.g + (bottom.g - top.g) * t),
                    Clamp(top.b + (bottom.b - top.b) * t)};
        RECT line{S(x), row, S(x + w), row + 1};
        UniqueBrush brush(CreateSolidBrush(c.Ref()));
        FillRect(dc_, &line, brush.get());
    }
}

UniqueBitmap DrawBitmap(int width, int height, int designWidth, int designHeight,
                        const Drawing& drawing) {
    const int bigW = width * kSuper, bigH = height * kSuper;
    const double scale =
        std::min(static_cast<double>(bigW) / designWidth, static_cast<double>(bigH) / designHeight);
    UniqueDc dc(CreateCompatibleDC(nullptr));
    Dib onBlack = MakeDib(dc.get(), bigW, bigH);
    Dib onWhite = MakeDib(dc.get(), bigW, bigH);
    Dib out = MakeDib(dc.get(), width, height);
    if (!onBlack.bits || !onWhite.bits || !out.bits) return UniqueBitmap();
    for (Dib* dib : {&onBlack, &onWhite}) {
        std::fill(dib->bits, dib->bits + bigW * bigH, dib == &onBlack ? 0x000000u : 0xFFFFFFu);
        const Selected select(dc.get(), dib->bitmap.get());
        Painter painter(dc.get(), scale);
        drawing(painter);
        GdiFlush();
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double black[3] = {}, white[3] = {};
            for (int dy = 0; dy < kSuper; ++dy) {
                for (int dx = 0; dx < kSuper; ++dx) {
                    const int at = (y * kSuper + dy) * bigW + x * kSuper + dx;
                    for (int c = 0; c < 3; ++c) {
                        black[c] += (onBlack.bits[at] >> (8 * c)) & 0xFF;
                        white[c] += (onWhite.bits[at] >> (8 * c)) & 0xFF;
                    }
                }
            }
            constexpr double n = kSuper * kSuper;
            // What shows through: white minus black is how much of the background remains.
            double through = 0;
            for (int c = 0; c < 3; ++c) through += (white[c] - black[c]) / n;
            const BYTE alpha = Clamp(255.0 - through / 3);
            std::uint32_t pixel = static_cast<std::uint32_t>(alpha) << 24;
            // On black the result is the colour already multiplied by its coverage.
            for (int c = 0; c < 3; ++c)
                pixel |= static_cast<std::uint32_t>(std::min<double>(alpha, black[c] / n))
                         << (8 * c);
            out.bits[y * width + x] = pixel;
        }
    }
    return std::move(out.bitmap);
}

UniqueIcon IconFromBitmap(HBITMAP color, int width, int height) {
    if (!color) return UniqueIcon();
    // An all-zero mask: the colour bitmap's alpha decides.
    const std::vector<BYTE> zeros(static_cast<std::size_t>((width + 15) / 16 * 2 * height), 0);
    UniqueBitmap mask(CreateBitmap(width, height, 1, 1, zeros.data()));
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = color;
    info.hbmMask = mask.get();
    return UniqueIcon(CreateIconIndirect(&info));
}

UniqueIcon DrawIcon(int width, int height, int designWidth, int designHeight,
                    const Drawing& drawing) {
    const UniqueBitmap bitmap = DrawBitmap(width, height, designWidth, designHeight, drawing);
    return IconFromBitmap(bitmap.get(), width, height);
}

}  // namespace vorta::win32ui
