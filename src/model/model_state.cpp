#include "model/model_state.h"

namespace ammonite {

void ModelState::setDefaultProfiles() {
    // Order as the main window loads them: γ, β, C, T.
    gammaProfile.count = 1;
    gammaProfile.setPoint(0, 0, 4);
    gammaProfile.setPoint(1, 3000, 4);

    betaProfile.count = 1;
    betaProfile.setPoint(0, 0, 12);
    betaProfile.setPoint(1, 3000, 12);

    curvatureProfile.count = 7;
    const double cStages[] = {0, 90, 91, 176, 177, 190, 191, 3000};
    const double cValues[] = {1, 1, 0, 0, 0.93, 0.93, 0, 0};
    for (int i = 0; i < 8; ++i) curvatureProfile.setPoint(i, cStages[i], cValues[i]);

    torsionProfile.count = 1;
    torsionProfile.setPoint(0, 0, 0);
    torsionProfile.setPoint(1, 3000, 0);
}

OrientationTurn OrientationFromModel(const ModelState& m) {
    return {m.orientationSin, m.orientationCos, m.orientationShiftX, m.orientationShiftY};
}

SurfacePoint ToSurface(const Vec3& v, const ModelState& m) {
    double scale = m.drawScale;
    return {static_cast<double>(m.originX) + scale * v.x, static_cast<double>(m.originY) - scale * v.y};
}

}  // namespace ammonite
