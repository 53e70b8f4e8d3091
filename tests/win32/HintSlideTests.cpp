// Where the Windows window's sliding notification stands: placed from the work area the taskbar
// leaves, rising and sinking in steps of 5 pixels.

#include <gtest/gtest.h>

#include "ui/win32/HintSlide.h"

namespace vorta::win32ui {
namespace {

TEST(HintSlideTest, StartsBelowTheWorkAreaAtItsRightEndWhereverTheTaskbarIs) {
    struct Case {
        WorkArea area;
        int left, top;
    } const cases[] = {
        {{0, 0, 1024, 728}, 832, 730},      // taskbar at the bottom
        {{0, 30, 1024, 768}, 832, 770},     // at the top: the screen's bottom edge
        {{60, 0, 1024, 768}, 832, 770},     // at the left
        {{0, 0, 964, 768}, 772, 770},       // at the right: left of it
        {{-1280, 0, 0, 1024}, -192, 1026},  // a monitor left of the primary one
    };
    for (const Case& c : cases) {
        const HintSlide slide = HintSlide::Start(c.area, 182);
        EXPECT_EQ(slide.left, c.left) << c.area.right;
        EXPECT_EQ(slide.top, c.top) << c.area.bottom;
        EXPECT_EQ(slide.height, 0);
    }
}

TEST(HintSlideTest, RisesInStepsAndCutsTheLastOneBackWithoutMovingTheTop) {
    HintSlide slide = HintSlide::Start({0, 0, 1024, 728}, 182);
    int steps = 0;
    while (slide.StepUp(117)) ++steps;
    EXPECT_EQ(steps, 24);  // 24 x 5 = 120, then the 25th tick ends the rise
    EXPECT_EQ(slide.height, 117);
    EXPECT_EQ(slide.top, 730 - 120);
    EXPECT_FALSE(slide.StepUp(117));
    EXPECT_EQ(slide.top, 730 - 120);

    // Down again: the height goes below 0 on the last step, then the window closes.
    steps = 0;
    while (slide.StepDown()) ++steps;
    EXPECT_EQ(steps, 24);
    EXPECT_EQ(slide.height, -3);
    EXPECT_EQ(slide.top, 730);
}

}  // namespace
}  // namespace vorta::win32ui
