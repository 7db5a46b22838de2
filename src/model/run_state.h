// The main window's run state: the working values of the growth run and the
// per-stage tables it fills, which the shaded rendering reads afterwards.
// They stay valid until the next run overwrites them.
#pragma once

#include <cstdint>
#include <string>

#include "core/numeric.h"
#include "core/stage_table.h"
#include "core/rotations.h"

namespace ammonite {

// What the hydrostatic step found for one stage: the shell as it stood when
// that stage's segment had joined the tube.
struct StageHydrostatics {
    bool valid = false;               // the stage took part in the hydrostatics
    double meanDensity = 0;           // g/cm³
    double ptRatio = 0;               // phragmocone length over total length
    double stabilityIndex = 0;        // |B − G| / V^(1/3)
    Vec3 airCentre, bodyCentre, massCentre;
    Vec3 buoyancyCentre;              // centroid of the whole tube (B)
    Vec3 upVector;                    // the direction taken as "up" at this stage
    std::int16_t bodyStartStage = 0;  // where the body chamber began at this stage
    double bodyStartFraction = 0;
};

// Stability index of a shell: the distance between its centre of buoyancy B
// and its centre of mass G over the cube root of its volume, so that shells of
// every size compare (0 = neutral; larger = a stronger righting lever).
double StabilityIndex(const Vec3& buoyancyCentre, const Vec3& massCentre, double volume);

// Text of the orientation label: the angle truncated to tenths of a degree.
std::string OrientationLabel(float angle);

// The texts a run reports, as they stand after the last run (a run that
// stops on an error leaves the texts it had not reached as they were).
struct RunReport {
    std::string orientationLabel;   // degrees, truncated to tenths
    std::string densityLabel;       // g/cm³, truncated to thousandths
    std::string stabilityLabel;     // three decimals
    std::string ptRatioText = "60"; // percent, truncated to tenths (the box's text before any run)
};

struct RunState {
    // ---- stage parameters and regulation ----
    float currentStage = 0;
    double turnRateY = 0, turnRateZ = 0, stageBeta = 0, stageGamma = 0, stepLength = 0;
    double ribSpacingFactor = 0;
    double fatigueThreshold = 0;
    double sizeLow = 0, sizeHigh = 0;
    double fatigueAtSizeLow = 0, fatigueAtSizeHigh = 0;
    double fatigueClock = 0, scheduleClock = 0, ribClock = 0;  // F, D, R
    float orientationAngle = 0;       // degrees; not reset by START
    std::int16_t regulationStarted = 0;
    std::int16_t overturned = 0;
    float turnAngle = 0;
    std::int16_t pendingRibs = 0;     // carries over between runs
    std::int16_t ribCountdown = 0;    // carries over between runs
    double ribSpacing = 0;            // rib spacing of the stage the chart plots last
    StageTable<Fixed4> radiusByStage;
    StageTable<std::int16_t> ribMark;
    // The stage parameters the run grew with: the profiles interpolated and,
    // from stage 201, what the regulation chose (γ, curvature, torsion, the
    // step factor). Rows the profiles do not cover keep an earlier run's.
    StageTable<Fixed4> gammaByStage, curvatureByStage, torsionByStage;
    StageTable<double> betaByStage;
    StageTable<Fixed4> gammaBetaByStage;

    // ---- construction ----
    Vec3 axisDirection{0, 0, 1};
    Vec3 rimPoint{1, 0, 0};
    Vec3 previousDirection{0, 0, 1};
    std::int16_t sectionAngleStep = 4;
    FramePairs frame;
    SectionPair section;
    ViewPairs view;                   // set by START from viewVector
    long segmentsDrawn = 0;           // wireframe ring segments of the last run
    std::int16_t lastBuiltStage = 0;  // last stage the last run completed

    StageTable<Fixed4> centreXByStage, centreYByStage, centreZByStage;
    StageTable<Fixed4> rimXByStage, rimYByStage, rimZByStage;
    StageTable<Fixed4> frameCosAByStage, frameSinAByStage, frameCosBByStage, frameSinBByStage;
    StageTable<Fixed4> sectionCosByStage, sectionSinByStage;
    StageTable<Fixed4> viewXByStage, viewYByStage, viewDepthByStage;
    StageTable<double> cumulativeLength;
    bool lengthsAscending = true;     // no stage of this run has stepped backwards

    // ---- hydrostatics ----
    double segmentVolume = 0, totalVolume = 0;
    double volumeMomentX = 0, volumeMomentY = 0, volumeMomentZ = 0;
    Vec3 buoyancyCentre, airCentre, bodyCentre, massCentre;
    float bodyStart = 0;
    std::int16_t bodyStartStage = 0;
    double bodyStartFraction = 0;
    double airVolume = 0, bodyVolume = 0, totalMass = 0, meanDensity = 0, ptRatio = 0;
    Vec3 buoyancyVector{0, 0, -999};
    std::int16_t tangentStage = 0;
    double tiltCosine = 0;
    StageTable<Fixed4> volumeByStage, buoyancyXByStage, buoyancyYByStage, buoyancyZByStage;
    // Orientation angle as it stood after the orientation step of each stage.
    StageTable<float> orientationAngleByStage;
    double stabilityIndex = 0;        // of the shell after the last hydrostatic step
    StageTable<StageHydrostatics> hydrostaticsByStage;

    // ---- shaded rendering ----
    StageTable<std::int16_t> paintOrder;
    bool hasRun = false;              // a run has filled the tables
    RunReport report;
};

}  // namespace ammonite
