// The notification window's slide, driven tick by tick.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include "ui/AnimateHint.h"

namespace vorta::ui {
namespace {

QRect WorkArea() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// Deletions the window asked for on close happen now.
void FlushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class AnimateHintTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (hint) hint->close();
        FlushDeletes();
        EXPECT_EQ(TFAnimateHint::Current(), nullptr);
    }
    void Start(int height) {
        hint = new TFAnimateHint;
        hint->HintHeight = height;
        hint->SetTitle("提示");
        hint->SetInfo("线路已连接");
        hint->StartAnimation();
    }
    void RiseFully() {
        while (hint->ScrollingUp()) hint->TickScrollUp();
    }
    QPointer<TFAnimateHint> hint;
};

TEST_F(AnimateHintTest, RisesInStepsOfFiveAndCutsTheLastStepWithoutMovingTheTop) {
    Start(117);
    const QRect area = WorkArea();
    const int startTop = area.y() + area.height() + 2;
    EXPECT_EQ(TFAnimateHint::Current(), hint.data());
    EXPECT_EQ(hint->CurrentHeight(), 0);
    EXPECT_EQ(hint->x(), area.x() + area.width() - 182 - 10);
    EXPECT_EQ(hint->y(), startTop);
    EXPECT_TRUE(hint->ScrollingUp());
    EXPECT_TRUE(hint->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(hint->windowFlags() & Qt::WindowStaysOnTopHint);

    for (int tick = 1; tick <= 24; ++tick) {
        hint->TickScrollUp();
        ASSERT_EQ(hint->CurrentHeight(), 5 * tick);
        ASSERT_EQ(hint->y(), startTop - 5 * tick);
    }
    EXPECT_EQ(hint->CurrentHeight(), 120);
    EXPECT_TRUE(hint->ScrollingUp());
    EXPECT_FALSE(hint->Delaying());

    hint->TickScrollUp();
    EXPECT_EQ(hint->CurrentHeight(), 117);
    EXPECT_EQ(hint->height(), 117);
    EXPECT_EQ(hint->y(), startTop - 120);
    EXPECT_FALSE(hint->ScrollingUp());
    EXPECT_TRUE(hint->Delaying());
}

TEST_F(AnimateHintTest, SinksBelowZeroForAnOddHeightThenClosesAndDeletesItself) {
    Start(117);
    RiseFully();
    const int top = hint->y();
    hint->TickDelay();
    ASSERT_TRUE(hint->ScrollingDown());
    for (int tick = 1; tick <= 24; ++tick) hint->TickScrollDown();
    EXPECT_EQ(hint->CurrentHeight(), -3);
    EXPECT_EQ(hint->y(), top + 120);
    EXPECT_TRUE(hint->isVisible());

    hint->TickScrollDown();
    EXPECT_FALSE(hint->isVisible());
    EXPECT_EQ(TFAnimateHint::Current(), nullptr);
    FlushDeletes();
    EXPECT_TRUE(hint.isNull());
}

TEST_F(AnimateHintTest, MouseOverHoldsItUpAndTheTextAndCloseImageAnswerClicks) {
    Start(100);
    RiseFully();
    hint->SetMouseOver(true);
    for (int i = 0; i < 5; ++i) hint->TickDelay();
    EXPECT_FALSE(hint->ScrollingDown());
    EXPECT_EQ(hint->CurrentHeight(), 100);

    // Half-way down the mouse pauses the slide again until it leaves.
    hint->SetMouseOver(false);
    hint->TickDelay();
    for (int i = 0; i < 4; ++i) hint->TickScrollDown();
    hint->SetMouseOver(true);
    hint->TickDelay();
    EXPECT_FALSE(hint->ScrollingDown());
    EXPECT_EQ(hint->CurrentHeight(), 80);
    EXPECT_TRUE(hint->Delaying());
    hint->SetMouseOver(false);
    hint->TickDelay();
    EXPECT_TRUE(hint->ScrollingDown());

    QLabel* info = nullptr;
    QLabel* closeImage = nullptr;
    for (auto* label : hint->findChildren<QLabel*>()) {
        if (label->text() == "线路已连接") info = label;
        if (label->toolTip() == "Close") closeImage = label;
    }
    ASSERT_TRUE(info && closeImage);
    EXPECT_EQ(closeImage->x(), 182 - closeImage->width() - 6);
    EXPECT_EQ(info->geometry(), QRect(8, 28, 182 - 16, 100 - 32));

    QSignalSpy clicked(hint.data(), &TFAnimateHint::InfoClicked);
    QTest::mouseClick(info, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
    QTest::mouseClick(closeImage, Qt::LeftButton);
    EXPECT_EQ(TFAnimateHint::Current(), nullptr);
    FlushDeletes();
    EXPECT_TRUE(hint.isNull());
}

}  // namespace
}  // namespace vorta::ui
