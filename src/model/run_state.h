// The main window's run state: the working values of the growth run and the
// per-stage tables it fills, which the shaded rendering reads afterwards.
// They stay valid until the next run overwrites them.
#pragma once

#include <cstdint>

#include "model/numeric.h"
#include "model/stage_table.h"
#include "render/rotations.h"

namespace ammonite {

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

    // ---- construction ----
    Vec3 axisDirection{0, 0, 1};
    Vec3 rimPoint{1, 0, 0};
    Vec3 previousDirection{0, 0, 1};
    Vec3 previousPoint;
    std::int16_t sectionAngleStep = 4;
    FramePairs frame;
    SectionPair section;
    ViewPairs view;                   // set by START from viewVector
    long segmentsDrawn = 0;           // wireframe segments of the last run
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

    // ---- shaded rendering ----
    StageTable<std::int16_t> paintOrder;
    bool hasRun = false;              // a run has filled the tables
};

}  // namespace ammonite
