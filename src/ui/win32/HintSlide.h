#pragma once
// Where the sliding notification stands on each tick, apart from the window that shows it: it
// rises out of the work area's bottom edge at its right end, in steps of 5 pixels.

namespace vorta::win32ui {

struct WorkArea {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
};

struct HintSlide {
    static constexpr int kStep = 5;

    int left = 0;
    int top = 0;
    int height = 0;  // below 0 on the last step down of some heights

    // Just below the work area, 10 pixels from its right edge, with no height yet.
    static HintSlide Start(const WorkArea& area, int hintWidth);
    // One tick of the rise; false once the full height is reached (the last step may overshoot:
    // the height is cut back, the top stays).
    bool StepUp(int hintHeight);
    // One tick of the fall; false once nothing is left and the window closes.
    bool StepDown();
};

}  // namespace vorta::win32ui
