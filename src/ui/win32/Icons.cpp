#include "ui/win32/Icons.h"

#include <initializer_list>

#include "ui/win32/Canvas.h"

namespace vorta::win32ui {
namespace {

constexpr int kSide = 32;  // the drawings' own size
constexpr int kListSide = 16;

const Rgb kWhite{255, 255, 255};

void Glyph(Painter& p, const wchar_t* text, Rgb color, double y = 0, double h = kSide) {
    p.Text(text, 0, y, kSide, h, h * 0.6, color);
}

// A globe: a ball with a meridian and a parallel.
void Globe(Painter& p, Rgb color) {
    p.Ball(3, 3, 26, 26, color, 1.5);
    const Rgb line{235, 240, 245};
    p.Ellipse(10, 3, 12, 26, &line, 1.5, nullptr);
    p.Line(3, 16, 29, 16, line, 1.5);
}

void Folder(Painter& p) {
    const Rgb pen{150, 110, 20}, fill{240, 200, 80};
    const POINT shape[] = {{3, 8}, {12, 8}, {15, 11}, {29, 11}, {29, 26}, {3, 26}};
    p.Polygon(shape, 6, &pen, 1.5, &fill);
}

void Page(Painter& p) {
    const Rgb pen{90, 90, 90};
    p.Rect(7, 3, 18, 26, &pen, 1.5, &kWhite);
    for (int y = 10; y <= 22; y += 4) p.Line(10, y, 22, y, Rgb{70, 110, 200}, 1.5);
}

void Chip(Painter& p, Rgb color) {
    const Rgb pen{60, 60, 60};
    for (int i = 0; i < 4; ++i) {
        const double at = 9 + i * 5;
        p.Line(at, 3, at, 8, pen, 1.5);
        p.Line(at, 24, at, 29, pen, 1.5);
        p.Line(3, at, 8, at, pen, 1.5);
        p.Line(24, at, 29, at, pen, 1.5);
    }
    p.Rect(7, 7, 18, 18, &pen, 1.5, &color, 2);
}

void MemoryStick(Painter& p) {
    const Rgb pen{20, 90, 40}, fill{50, 160, 80}, chip{30, 30, 30};
    p.Rect(2, 9, 28, 12, &pen, 1.5, &fill);
    for (int x = 5; x < 28; x += 6) p.Rect(x, 11, 4, 6, nullptr, 0, &chip);
    for (int x = 4; x < 30; x += 3) p.Line(x, 22, x, 25, Rgb{210, 170, 40}, 2);
}

void Computer(Painter& p) {
    const Rgb pen{60, 60, 60}, body{210, 210, 210}, screen{60, 120, 210}, stand{170, 170, 170};
    p.Rect(3, 4, 26, 18, &pen, 1.5, &body, 2);
    p.Rect(6, 7, 20, 12, &pen, 1.5, &screen);
    p.Rect(12, 22, 8, 3, &pen, 1.5, &stand);
    p.Rect(7, 25, 18, 3, &pen, 1.5, &stand);
}

void Windows(Painter& p) {
    const Rgb colors[] = {{230, 80, 40}, {120, 190, 40}, {40, 140, 230}, {250, 190, 20}};
    for (int i = 0; i < 4; ++i)
        p.Rect(4 + (i % 2) * 13, 4 + (i / 2) * 13, 11, 11, nullptr, 0, &colors[i]);
}

void NetworkCard(Painter& p) {
    const Rgb pen{20, 70, 120}, fill{60, 130, 190}, port{230, 230, 230};
    p.Rect(3, 6, 26, 16, &pen, 1.5, &fill);
    p.Rect(20, 10, 7, 8, &pen, 1.5, &port);
    for (int x = 6; x < 20; x += 3) p.Line(x, 23, x, 27, Rgb{210, 170, 40}, 2);
}

void Dot(Painter& p, Rgb color) {
    const Rgb pen = color.Darker(1.5);
    p.Ellipse(10, 10, 12, 12, &pen, 1.5, &color);
}

void LineState(Painter& p, bool active) {
    p.Ball(3, 3, 26, 26, active ? Rgb{40, 170, 70} : Rgb{190, 50, 40}, 1.5);
    if (active) {
        p.Line(10, 16, 14, 21, kWhite, 3);
        p.Line(14, 21, 22, 11, kWhite, 3);
    } else {
        p.Line(11, 11, 21, 21, kWhite, 3);
        p.Line(21, 11, 11, 21, kWhite, 3);
    }
}

void LogKind(Painter& p, int kind) {
    if (kind == 1) {
        const Rgb pen{160, 120, 0}, fill{250, 200, 30};
        const POINT shape[] = {{16, 3}, {30, 28}, {2, 28}};
        p.Polygon(shape, 3, &pen, 1.5, &fill);
        Glyph(p, L"!", Rgb{0, 0, 0}, 8, 22);
    } else if (kind == 2) {
        p.Ball(3, 3, 26, 26, Rgb{200, 40, 30}, 1.5);
        Glyph(p, L"\u00d7", kWhite);
    } else {
        p.Ball(3, 3, 26, 26, Rgb{40, 100, 210}, 1.5);
        Glyph(p, L"i", kWhite);
    }
}

void TrayLook(Painter& p, bool on) {
    Globe(p, on ? Rgb{30, 140, 60} : Rgb{140, 140, 140});
    Glyph(p, L"V", on ? kWhite : Rgb{230, 230, 230});
}

UniqueImageList ImageList(std::initializer_list<Drawing> drawings) {
    UniqueImageList list(
        ImageList_Create(kListSide, kListSide, ILC_COLOR32, static_cast<int>(drawings.size()), 0));
    for (const Drawing& drawing : drawings) {
        const UniqueBitmap image = DrawBitmap(kListSide, kListSide, kSide, kSide, drawing);
        ImageList_Add(list.get(), image.get(), nullptr);
    }
    return list;
}

}  // namespace

UniqueIcon TrayStateIcon(TrayState state, int side) {
    const bool on = state == TrayState::LoggedOn;
    return DrawIcon(side, side, kSide, kSide, [on](Painter& p) { TrayLook(p, on); });
}

HICON AppIcon(bool large) {
    // Shared for the process's life: window classes and windows hold it.
    static const UniqueIcon drawnLarge = TrayStateIcon(TrayState::LoggedOn, 32);
    static const UniqueIcon drawnSmall = TrayStateIcon(TrayState::LoggedOn, 16);
    const int side = large ? GetSystemMetrics(SM_CXICON) : GetSystemMetrics(SM_CXSMICON);
    if (HANDLE own = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, side,
                                side, LR_SHARED))
        return static_cast<HICON>(own);
    return large ? drawnLarge.get() : drawnSmall.get();
}

UniqueImageList LineStateImages() {
    return ImageList(
        {[](Painter& p) { LineState(p, false); }, [](Painter& p) { LineState(p, true); }});
}

UniqueImageList LogKindImages() {
    return ImageList({[](Painter& p) { LogKind(p, 0); }, [](Painter& p) { LogKind(p, 1); },
                      [](Painter& p) { LogKind(p, 2); }});
}

UniqueImageList DomainTreeImages() {
    return ImageList({[](Painter& p) { Globe(p, Rgb{40, 110, 200}); }, Folder, Page});
}

UniqueImageList SysInfoImages() {
    const Drawing detail = [](Painter& p) { Dot(p, Rgb{40, 100, 210}); };
    return ImageList({Computer, detail, Windows,
                      [](Painter& p) {
                          Chip(p, Rgb{70, 70, 80});
                      },
                      [](Painter& p) {
                          Chip(p, Rgb{120, 120, 140});
                      },
                      Folder, MemoryStick,
                      [](Painter& p) {
                          Dot(p, Rgb{50, 160, 80});
                      },
                      Page, NetworkCard,
                      [](Painter& p) {
                          Globe(p, Rgb{40, 110, 200});
                      }});
}

UniqueBitmap AnimateBackground(int width, int height) {
    return DrawBitmap(width, height, width, height, [width, height](Painter& p) {
        const Rgb border{90, 120, 170}, band{150, 180, 225}, spot{40, 110, 200};
        p.Rect(0, 0, width, height, &border, 1, &border);
        p.Gradient(1, 1, width - 2, height - 2, Rgb{225, 236, 252}, Rgb{190, 210, 240});
        // The title band behind the caption and the close image.
        p.Rect(1, 1, width - 2, 22, nullptr, 0, &band);
        p.Ellipse(6, 5, 14, 14, nullptr, 0, &spot);
    });
}

UniqueIcon AnimateCloseImage() {
    return DrawIcon(13, 13, 13, 13, [](Painter& p) {
        const Rgb border{90, 120, 170}, fill{235, 240, 250}, cross{60, 60, 60};
        p.Rect(0.5, 0.5, 12, 12, &border, 1, &fill, 2);
        p.Line(3.5, 3.5, 9.5, 9.5, cross, 1.6);
        p.Line(9.5, 3.5, 3.5, 9.5, cross, 1.6);
    });
}

UniqueIcon LogoImage() {
    return DrawIcon(150, 50, 150, 50, [](Painter& p) {
        // The globe of the tray icon, moved to (4, 9).
        const Rgb line{235, 240, 245};
        p.Ball(7, 12, 26, 26, Rgb{30, 140, 60}, 1.5);
        p.Ellipse(14, 12, 12, 26, &line, 1.5, nullptr);
        p.Line(7, 25, 33, 25, line, 1.5);
        p.Text(L"Vorta", 42, 0, 108, 50, 30, Rgb{30, 80, 160}, true, DT_LEFT);
    });
}

}  // namespace vorta::win32ui
