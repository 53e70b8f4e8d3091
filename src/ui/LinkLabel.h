#pragma once
// A label that opens a web page: blue, underlined, a hand cursor, and its address as its hint.

#include <QLabel>

namespace vorta::ui {

class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(const QString& caption, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace vorta::ui
