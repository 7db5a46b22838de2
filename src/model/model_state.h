// The one record of shared model variables. It lives for the whole process;
// the profile window writes the profiles, α and the stage range, the settings
// window writes densities, scale, origin, directions and switches, and the
// main window reads them when a run or a shaded rendering starts.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/numeric.h"
#include "core/rotations.h"
#include "core/stage_table.h"

namespace ammonite {

// The density of sea water (g/cm³): a shell of a lower mean density floats.
constexpr double kSeaWaterDensity = 1.026;

// Control points of one growth parameter: points 0..count are in use, joined
// by straight segments. Entries above count are ignored but kept.
struct ParameterProfile {
    static constexpr int kMaxCount = 50;
    static constexpr int kSlots = kMaxCount + 1;

    std::int16_t count = 0;
    std::array<double, kSlots> values{};
    std::array<double, kSlots> stages{};

    void setPoint(int index, double stage, double value) {
        stages.at(static_cast<size_t>(index)) = stage;
        values.at(static_cast<size_t>(index)) = value;
    }
    bool operator==(const ParameterProfile& o) const {
        return count == o.count && values == o.values && stages == o.stages;
    }
};

struct Vec3F4 {
    Fixed4 x, y, z;
};

struct ModelState {
    double alpha = 0;                      // radius ratio per stage up to stage 200
    std::array<double, 2> stageRange{};    // first and final stage of the profile axis
    ParameterProfile gammaProfile;
    ParameterProfile curvatureProfile;
    ParameterProfile torsionProfile;
    ParameterProfile betaProfile;
    std::int16_t lastStage = 0;            // last stage with per-stage tables
    std::int16_t shownStage = 0;           // stages a run constructs
    float growthIncrement = 0;
    std::string profileFileName;

    StageTable<Fixed4> gammaByStage;
    StageTable<Fixed4> curvatureByStage;
    StageTable<Fixed4> torsionByStage;
    StageTable<double> betaByStage;
    StageTable<Fixed4> gammaBetaByStage;   // step factor: advance per stage in radii

    double orientationSin = 0;
    double orientationCos = 0;
    double orientationShiftX = 0;
    double orientationShiftY = 0;

    std::string profileFolderPath;
    std::array<double, 2> densities{};     // [0] air chamber, [1] body chamber (g/cm³)
    Fixed4 drawScale;
    std::int16_t referStage = 0;
    std::int16_t orientationMode = 0;      // 2 = life orientation on, 0 = off
    std::int16_t ribbingOn = 0;
    std::int16_t regulatedGrowth = 0;
    std::int16_t profileWindowOpened = 0;
    Fixed4 originX;
    Fixed4 originY;
    Vec3F4 viewVector;
    Vec3F4 lightVector;
    Vec3F4 lifeViewVector;

    // Fills the profiles with the defaults the main window loads:
    // γ 4, β 12, T 0 over 0..3000 and the seven-segment curvature profile.
    void setDefaultProfiles();
};

// The life-orientation turn the model holds (sin, cos and pivot).
OrientationTurn OrientationFromModel(const ModelState& model);
// Surface position of a point already in (turned) view coordinates:
// (originX + drawScale·x, originY − drawScale·y).
SurfacePoint ToSurface(const Vec3& view, const ModelState& model);

}  // namespace ammonite
