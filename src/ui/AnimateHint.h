#pragma once
// The sliding notification window: rises out of the bottom right corner of the available
// screen area, stays for a few seconds (longer while the mouse rests on it), sinks and deletes
// itself. At most one exists at a time.

#include <QColor>
#include <QPixmap>
#include <QString>
#include <QWidget>

class QLabel;
class QTimer;

namespace vorta::ui {

class TFAnimateHint : public QWidget {
    Q_OBJECT
public:
    explicit TFAnimateHint(QWidget* parent = nullptr);
    ~TFAnimateHint() override;

    void SetTitle(const QString& text);
    void SetInfo(const QString& text);
    void SetTitleColor(const QColor& color);
    void SetInfoColor(const QColor& color);

    int HintHeight = 117;
    int HintWidth = 182;
    int DelaySeconds = 5;

    // Lays the window out below the available area and starts sliding up.
    void StartAnimation();

    // The window that exists, or null.
    static TFAnimateHint* Current();

    // The timers' steps; public so that tests can drive them without waiting.
    void TickScrollUp();
    void TickDelay();
    void TickScrollDown();
    void SetMouseOver(bool over);

    // The height the slide has reached; below 0 on the last step down of some heights.
    int CurrentHeight() const { return height_; }
    bool ScrollingUp() const;
    bool Delaying() const;
    bool ScrollingDown() const;

signals:
    void InfoClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplyGeometry();

    QLabel* lblTitle_;
    QLabel* lblInfo_;
    QLabel* closeImage_ = nullptr;
    QTimer* timerScrollUp_;
    QTimer* timerDelay_;
    QTimer* timerScrollDown_;
    QPixmap background_;
    bool mouseOver_ = false;
    int left_ = 0;
    int top_ = 0;
    int height_ = 0;
};

}  // namespace vorta::ui
