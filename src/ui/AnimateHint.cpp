#include "ui/AnimateHint.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "ui/Icons.h"

namespace vorta::ui {
namespace {

constexpr int kStep = 5;      // pixels per slide tick
constexpr int kSlideMs = 10;  // interval of both slide timers
constexpr int kDesignWidth = 227;
constexpr int kDesignHeight = 167;

TFAnimateHint* current = nullptr;

QRect WorkArea() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
}

// The area's bottom edge as an exclusive coordinate, where the window starts and ends.
int WorkBottom(const QRect& area) {
    return area.y() + area.height();
}

QTimer* SlideTimer(QObject* parent, int interval) {
    auto* timer = new QTimer(parent);
    timer->setInterval(interval);
    return timer;
}

void SetTextColor(QLabel* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

}  // namespace

TFAnimateHint::TFAnimateHint(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus),
      lblTitle_(new QLabel(this)),
      lblInfo_(new QLabel(this)),
      timerScrollUp_(SlideTimer(this, kSlideMs)),
      timerDelay_(SlideTimer(this, DelaySeconds * 1000)),
      timerScrollDown_(SlideTimer(this, kSlideMs)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setMinimumSize(0, 0);
    QFont font("宋体");
    font.setPixelSize(12);
    setFont(font);

    lblTitle_->setAttribute(Qt::WA_TranslucentBackground);
    lblInfo_->setAttribute(Qt::WA_TranslucentBackground);
    lblInfo_->setAlignment(Qt::AlignCenter);
    lblInfo_->setWordWrap(true);
    lblInfo_->installEventFilter(this);

    const QRect area = WorkArea();
    left_ = area.x() + area.width() - 20 - kDesignWidth;
    top_ = WorkBottom(area);
    height_ = kDesignHeight;
    setGeometry(left_, top_, kDesignWidth, kDesignHeight);
    background_ = AnimateBackground(QSize(HintWidth - 2, HintHeight - 2));

    connect(timerScrollUp_, &QTimer::timeout, this, &TFAnimateHint::TickScrollUp);
    connect(timerDelay_, &QTimer::timeout, this, &TFAnimateHint::TickDelay);
    connect(timerScrollDown_, &QTimer::timeout, this, &TFAnimateHint::TickScrollDown);
    current = this;
}

TFAnimateHint::~TFAnimateHint() {
    if (current == this) current = nullptr;
}

TFAnimateHint* TFAnimateHint::Current() {
    return current;
}

void TFAnimateHint::SetTitle(const QString& text) {
    lblTitle_->setText(text);
    lblTitle_->adjustSize();
}

void TFAnimateHint::SetInfo(const QString& text) {
    lblInfo_->setText(text);
}
void TFAnimateHint::SetTitleColor(const QColor& color) {
    SetTextColor(lblTitle_, color);
}
void TFAnimateHint::SetInfoColor(const QColor& color) {
    SetTextColor(lblInfo_, color);
}

void TFAnimateHint::StartAnimation() {
    const QRect area = WorkArea();
    height_ = 0;
    left_ = area.x() + area.width() - HintWidth - 10;
    top_ = WorkBottom(area) + 2;
    ApplyGeometry();
    timerDelay_->setInterval(DelaySeconds * 1000);
    if (background_.size() != QSize(HintWidth - 2, HintHeight - 2))
        background_ = AnimateBackground(QSize(HintWidth - 2, HintHeight - 2));

    if (!closeImage_) {
        closeImage_ = new QLabel(this);
        closeImage_->setPixmap(AnimateCloseImage());
        closeImage_->setToolTip("Close");
        closeImage_->setCursor(Qt::PointingHandCursor);
        closeImage_->installEventFilter(this);
    }
    closeImage_->adjustSize();
    closeImage_->move(HintWidth - closeImage_->width() - 6, 7);

    lblTitle_->move(28, 7);
    lblInfo_->setGeometry(8, 28, HintWidth - 16, HintHeight - 32);

    show();
    raise();
    timerScrollUp_->start();
}

void TFAnimateHint::TickScrollUp() {
    if (height_ < HintHeight) {
        height_ += kStep;
        top_ -= kStep;
    } else {
        // The last step may overshoot; the height is cut back but the top stays.
        height_ = HintHeight;
        timerScrollUp_->stop();
        timerDelay_->start();
    }
    ApplyGeometry();
}

void TFAnimateHint::TickDelay() {
    // The delay keeps ticking, so a slide paused by the mouse resumes once it has left.
    if (mouseOver_)
        timerScrollDown_->stop();
    else if (!timerScrollDown_->isActive())
        timerScrollDown_->start();
}

void TFAnimateHint::TickScrollDown() {
    if (height_ <= 0) {
        timerScrollDown_->stop();
        close();
        return;
    }
    height_ -= kStep;
    top_ += kStep;
    ApplyGeometry();
}

void TFAnimateHint::SetMouseOver(bool over) {
    mouseOver_ = over;
}
bool TFAnimateHint::ScrollingUp() const {
    return timerScrollUp_->isActive();
}
bool TFAnimateHint::Delaying() const {
    return timerDelay_->isActive();
}
bool TFAnimateHint::ScrollingDown() const {
    return timerScrollDown_->isActive();
}

void TFAnimateHint::ApplyGeometry() {
    setGeometry(left_, top_, HintWidth, std::max(height_, 0));
}

void TFAnimateHint::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(1, 1, background_);
}

void TFAnimateHint::enterEvent(QEnterEvent*) {
    mouseOver_ = true;
}
void TFAnimateHint::leaveEvent(QEvent*) {
    mouseOver_ = false;
}

void TFAnimateHint::closeEvent(QCloseEvent* event) {
    timerScrollUp_->stop();
    timerDelay_->stop();
    timerScrollDown_->stop();
    if (current == this) current = nullptr;
    event->accept();
}

bool TFAnimateHint::eventFilter(QObject* watched, QEvent* event) {
    const bool click = event->type() == QEvent::MouseButtonRelease &&
                       static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    if (watched == closeImage_ && click) {
        close();
        return true;
    }
    if (watched == lblInfo_) {
        if (click) {
            emit InfoClicked();
            return true;
        }
        if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
            const bool enter = event->type() == QEvent::Enter;
            QFont font = lblInfo_->font();
            font.setUnderline(enter);
            lblInfo_->setFont(font);
            if (enter)
                lblInfo_->setCursor(Qt::PointingHandCursor);
            else
                lblInfo_->unsetCursor();
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace vorta::ui
