// The two painting passes over the paint order, shared by both ways of
// painting the shaded shell.
#pragma once

#include "render/shading.h"

namespace ammonite {

// Calls painter.strip(f, width) and painter.growthLines(f) in painting order:
// pass 1 over positions 0..shownStage + 10, pass 2 over 0..1075; at each
// position the strip of its stage (when the position is ordered), then the
// growth lines of the stage ten positions earlier (from position 76 on),
// unless the stage after it is a rib.
template <typename Painter>
void RunShadePasses(const ShadeScene& scene, Painter& painter) {
    const StageTable<std::int16_t>& order = scene.paintOrder;
    const StageTable<std::int16_t>& ribMarks = scene.ribMarks;
    const int shown = scene.model.shownStage;
    auto stageAt = [&](int position) {
        int f = order[position];
        return f == 0 ? 1 : f;  // stage 0 is painted as stage 1
    };
    for (int pass = 1; pass <= 2; ++pass) {
        const int last = pass == 1 ? shown + kGrowthLineLag : kSecondPassLast;
        for (int a = 0; a <= last; ++a) {
            const int width = pass == 2 && a == kSecondPassLast ? 1 : 2;
            if (a <= shown) painter.strip(stageAt(a), width);
            if (a >= kGrowthLineFirstPosition) {
                const int position = a - kGrowthLineLag;
                // Rows above shownStage were not ordered by this command: no lines there.
                if (position > shown) continue;
                const int f = stageAt(position);
                if (ribMarks[f + 1] > 0) continue;  // the next stage is a rib
                painter.growthLines(f);
            }
        }
    }
}

}  // namespace ammonite
