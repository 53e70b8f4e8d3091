#include "ui/LinkLabel.h"

#include <QMouseEvent>

namespace vorta::ui {

TLinkLabel::TLinkLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    setCursor(Qt::PointingHandCursor);
    setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

}  // namespace vorta::ui
