#include "ui/win32/HintSlide.h"

namespace vorta::win32ui {

HintSlide HintSlide::Start(const WorkArea& area, int hintWidth) {
    HintSlide slide;
    slide.left = area.right - hintWidth - 10;
    slide.top = area.bottom + 2;
    return slide;
}

bool HintSlide::StepUp(int hintHeight) {
    if (height < hintHeight) {
        height += kStep;
        top -= kStep;
        return true;
    }
    height = hintHeight;
    return false;
}

bool HintSlide::StepDown() {
    if (height <= 0) return false;
    height -= kStep;
    top += kStep;
    return true;
}

}  // namespace vorta::win32ui
