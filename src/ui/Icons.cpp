#include "ui/Icons.h"

#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <functional>

namespace vorta::ui {
namespace {

constexpr int kSide = 32;  // the drawings' own coordinates; they are drawn at any size

using Drawing = std::function<void(QPainter&)>;

QPixmap Draw(QSize size, const Drawing& draw) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return pixmap;
}

// Draws the icon afresh for every size and device pixel ratio asked for, so that it is sharp on
// a HiDPI screen and in a large tray; a disabled icon is drawn faded.
class DrawnIconEngine : public QIconEngine {
public:
    explicit DrawnIconEngine(Drawing draw) : draw_(std::move(draw)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (mode == QIcon::Disabled) painter->setOpacity(0.4);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / double(kSide), rect.height() / double(kSide));
        draw_(*painter);
        painter->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }
    // `size` is in device pixels already: QIcon asks for its logical size times the ratio.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            paint(&painter, QRect(QPoint(0, 0), pixmap.size()), mode, state);
        }
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new DrawnIconEngine(draw_); }

private:
    Drawing draw_;
};

QIcon Icon(const Drawing& draw) {
    return QIcon(new DrawnIconEngine(draw));  // the icon owns its engine
}

void Ball(QPainter& p, QColor color) {
    QRadialGradient shade(QPointF(12, 11), 18);
    shade.setColorAt(0, color.lighter(160));
    shade.setColorAt(1, color);
    p.setPen(QPen(color.darker(150), 1.5));
    p.setBrush(shade);
    p.drawEllipse(QRectF(3, 3, 26, 26));
}

void Glyph(QPainter& p, const QString& text, QColor color,
           QRectF box = QRectF(0, 0, kSide, kSide)) {
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(static_cast<int>(box.height() * 0.6));
    p.setFont(font);
    p.setPen(color);
    p.drawText(box, Qt::AlignCenter, text);
}

// A globe: a ball with a meridian and a parallel.
void Globe(QPainter& p, QColor color) {
    Ball(p, color);
    p.setPen(QPen(QColor(255, 255, 255, 190), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(10, 3, 12, 26));
    p.drawLine(QPointF(3, 16), QPointF(29, 16));
}

void Folder(QPainter& p) {
    p.setPen(QPen(QColor(150, 110, 20), 1.5));
    p.setBrush(QColor(240, 200, 80));
    QPainterPath path;
    path.moveTo(3, 8);
    path.lineTo(12, 8);
    path.lineTo(15, 11);
    path.lineTo(29, 11);
    path.lineTo(29, 26);
    path.lineTo(3, 26);
    path.closeSubpath();
    p.drawPath(path);
}

void Page(QPainter& p) {
    p.setPen(QPen(QColor(90, 90, 90), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(7, 3, 18, 26));
    p.setPen(QPen(QColor(70, 110, 200), 1.5));
    for (int y = 10; y <= 22; y += 4) p.drawLine(QPointF(10, y), QPointF(22, y));
}

void Chip(QPainter& p, QColor color) {
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    for (int i = 0; i < 4; ++i) {
        const double at = 9 + i * 5;
        p.drawLine(QPointF(at, 3), QPointF(at, 8));
        p.drawLine(QPointF(at, 24), QPointF(at, 29));
        p.drawLine(QPointF(3, at), QPointF(8, at));
        p.drawLine(QPointF(24, at), QPointF(29, at));
    }
    p.setBrush(color);
    p.drawRoundedRect(QRectF(7, 7, 18, 18), 2, 2);
}

void MemoryStick(QPainter& p) {
    p.setPen(QPen(QColor(20, 90, 40), 1.5));
    p.setBrush(QColor(50, 160, 80));
    p.drawRect(QRectF(2, 9, 28, 12));
    p.setBrush(QColor(30, 30, 30));
    for (int x = 5; x < 28; x += 6) p.drawRect(QRectF(x, 11, 4, 6));
    p.setPen(QPen(QColor(210, 170, 40), 2));
    for (int x = 4; x < 30; x += 3) p.drawLine(QPointF(x, 22), QPointF(x, 25));
}

void Computer(QPainter& p) {
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.setBrush(QColor(210, 210, 210));
    p.drawRoundedRect(QRectF(3, 4, 26, 18), 2, 2);
    p.setBrush(QColor(60, 120, 210));
    p.drawRect(QRectF(6, 7, 20, 12));
    p.setBrush(QColor(170, 170, 170));
    p.drawRect(QRectF(12, 22, 8, 3));
    p.drawRect(QRectF(7, 25, 18, 3));
}

// The operating system: a terminal with its prompt (this window runs on Linux, whose own logo
// is not ours to draw).
void OperatingSystem(QPainter& p) {
    p.setPen(QPen(QColor(40, 40, 40), 1.5));
    p.setBrush(QColor(45, 50, 60));
    p.drawRoundedRect(QRectF(3, 5, 26, 22), 3, 3);
    p.setPen(QPen(QColor(110, 210, 110), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(8, 11), QPointF(13, 15), QPointF(8, 19)}));
    p.drawLine(QPointF(15, 20), QPointF(23, 20));
}

void NetworkCard(QPainter& p) {
    p.setPen(QPen(QColor(20, 70, 120), 1.5));
    p.setBrush(QColor(60, 130, 190));
    p.drawRect(QRectF(3, 6, 26, 16));
    p.setBrush(QColor(230, 230, 230));
    p.drawRect(QRectF(20, 10, 7, 8));
    p.setPen(QPen(QColor(210, 170, 40), 2));
    for (int x = 6; x < 20; x += 3) p.drawLine(QPointF(x, 23), QPointF(x, 27));
}

void Dot(QPainter& p, QColor color) {
    p.setPen(QPen(color.darker(150), 1.5));
    p.setBrush(color);
    p.drawEllipse(QRectF(10, 10, 12, 12));
}

}  // namespace

QIcon TrayIcon(TrayState state) {
    const bool on = state == TrayState::LoggedOn;
    return Icon([on](QPainter& p) {
        Globe(p, on ? QColor(30, 140, 60) : QColor(140, 140, 140));
        Glyph(p, "V", on ? QColor(255, 255, 255) : QColor(230, 230, 230));
    });
}

QIcon LineStateIcon(bool active) {
    return Icon([active](QPainter& p) {
        Ball(p, active ? QColor(40, 170, 70) : QColor(190, 50, 40));
        p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
        if (active) {
            p.drawLine(QPointF(10, 16), QPointF(14, 21));
            p.drawLine(QPointF(14, 21), QPointF(22, 11));
        } else {
            p.drawLine(QPointF(11, 11), QPointF(21, 21));
            p.drawLine(QPointF(21, 11), QPointF(11, 21));
        }
    });
}

QIcon LogKindIcon(int kind) {
    switch (kind) {
        case 1:
            return Icon([](QPainter& p) {
                QPainterPath path;
                path.moveTo(16, 3);
                path.lineTo(30, 28);
                path.lineTo(2, 28);
                path.closeSubpath();
                p.setPen(QPen(QColor(160, 120, 0), 1.5));
                p.setBrush(QColor(250, 200, 30));
                p.drawPath(path);
                Glyph(p, "!", Qt::black, QRectF(0, 8, kSide, 22));
            });
        case 2:
            return Icon([](QPainter& p) {
                Ball(p, QColor(200, 40, 30));
                Glyph(p, "×", Qt::white);
            });
        default:
            return Icon([](QPainter& p) {
                Ball(p, QColor(40, 100, 210));
                Glyph(p, "i", Qt::white);
            });
    }
}

QIcon DomainTreeIcon(int index) {
    switch (index) {
        case 5:
            return Icon(Folder);
        case 6:
            return Icon(Page);
        default:
            return Icon([](QPainter& p) { Globe(p, QColor(40, 110, 200)); });
    }
}

QIcon SysInfoIcon(int index) {
    switch (index) {
        case 0:
            return Icon(Computer);
        case 2:
            return Icon(OperatingSystem);
        case 3:
            return Icon([](QPainter& p) { Chip(p, QColor(70, 70, 80)); });
        case 4:
            return Icon([](QPainter& p) { Chip(p, QColor(120, 120, 140)); });
        case 5:
            return Icon(Folder);
        case 6:
            return Icon(MemoryStick);
        case 7:
            return Icon([](QPainter& p) { Dot(p, QColor(50, 160, 80)); });
        case 8:
            return Icon(Page);
        case 9:
            return Icon(NetworkCard);
        case 10:
            return Icon([](QPainter& p) { Globe(p, QColor(40, 110, 200)); });
        default:  // 1: a detail line
            return Icon([](QPainter& p) { Dot(p, QColor(40, 100, 210)); });
    }
}

QPixmap AnimateBackground(QSize size) {
    return Draw(size, [size](QPainter& p) {
        QLinearGradient fill(0, 0, 0, size.height());
        fill.setColorAt(0, QColor(225, 236, 252));
        fill.setColorAt(1, QColor(190, 210, 240));
        p.setPen(QPen(QColor(90, 120, 170), 1));
        p.setBrush(fill);
        p.drawRect(QRectF(0.5, 0.5, size.width() - 1.0, size.height() - 1.0));
        // The title band behind the caption and the close image.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(150, 180, 225));
        p.drawRect(QRectF(1, 1, size.width() - 2.0, 22));
        p.setBrush(QColor(40, 110, 200));
        p.drawEllipse(QRectF(6, 5, 14, 14));
    });
}

QPixmap AnimateCloseImage() {
    return Draw(QSize(13, 13), [](QPainter& p) {
        p.setPen(QPen(QColor(90, 120, 170), 1));
        p.setBrush(QColor(235, 240, 250));
        p.drawRoundedRect(QRectF(0.5, 0.5, 12, 12), 2, 2);
        p.setPen(QPen(QColor(60, 60, 60), 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3.5, 3.5), QPointF(9.5, 9.5));
        p.drawLine(QPointF(9.5, 3.5), QPointF(3.5, 9.5));
    });
}

QPixmap LogoImage() {
    return Draw(QSize(150, 50), [](QPainter& p) {
        p.translate(4, 9);
        Globe(p, QColor(30, 140, 60));
        p.resetTransform();
        QFont font = p.font();
        font.setBold(true);
        font.setItalic(true);
        font.setPixelSize(30);
        p.setFont(font);
        p.setPen(QColor(30, 80, 160));
        p.drawText(QRectF(42, 0, 108, 50), Qt::AlignVCenter | Qt::AlignLeft, "Vorta");
    });
}

QIcon AppIcon() {
    return TrayIcon(TrayState::LoggedOn);
}

}  // namespace vorta::ui
