#include "ui/LinkLabel.h"

#include <QMouseEvent>

namespace vorta::ui {

TLinkLabel::TLinkLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    setCursor(Qt::PointingHandCursor);
    // The theme's link colour, readable on its window colour.
    setStyleSheet(QStringLiteral("color: palette(link); text-decoration: underline;"));
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

}  // namespace vorta::ui
