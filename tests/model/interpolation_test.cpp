#include <gtest/gtest.h>

#include <memory>

#include "model/interpolation.h"

using namespace ammonite;

namespace {
std::unique_ptr<ModelState> defaultModel(double alpha = 1.002) {
    auto m = std::make_unique<ModelState>();
    m->setDefaultProfiles();
    m->alpha = alpha;
    m->stageRange = {0, 3000};
    return m;
}
}  // namespace

TEST(Interpolation, DefaultCurvatureHasItsSteps) {
    auto m = defaultModel();
    InterpolateProfiles(*m);
    for (int i = 0; i <= 90; ++i) EXPECT_EQ(m->curvatureByStage[i].raw(), 10000) << i;
    EXPECT_EQ(m->curvatureByStage[91].raw(), 0);
    for (int i = 92; i <= 176; ++i) EXPECT_EQ(m->curvatureByStage[i].raw(), 0) << i;
    for (int i = 177; i <= 190; ++i) EXPECT_EQ(m->curvatureByStage[i].raw(), 9300) << i;
    for (int i = 191; i <= 3000; ++i) ASSERT_EQ(m->curvatureByStage[i].raw(), 0) << i;
    EXPECT_EQ(m->lastStage, 3000);
}

TEST(Interpolation, StepFactorFollowsAlpha) {
    auto m = defaultModel(1.002);
    InterpolateProfiles(*m);
    EXPECT_EQ(m->gammaByStage[1234].raw(), 40000);
    EXPECT_DOUBLE_EQ(m->gammaBetaByStage[0], 0.096);
    EXPECT_DOUBLE_EQ(m->gammaBetaByStage[3000], 0.096);
    m->alpha = 1.005;
    InterpolateProfiles(*m);
    EXPECT_DOUBLE_EQ(m->gammaBetaByStage[1500], 0.24);
}

TEST(Interpolation, RowsOutsideTheSegmentsKeepEarlierValues) {
    auto m = defaultModel();
    m->curvatureByStage[3500] = 7;
    InterpolateProfiles(*m);
    EXPECT_DOUBLE_EQ(m->curvatureByStage[3500], 7);
    EXPECT_DOUBLE_EQ(m->gammaBetaByStage[3001], 0);
    // Calling twice gives the same tables.
    auto before = m->curvatureByStage[500].raw();
    InterpolateProfiles(*m);
    EXPECT_EQ(m->curvatureByStage[500].raw(), before);
}

TEST(Interpolation, CountZeroWritesOnlyRowZero) {
    auto m = defaultModel();
    m->torsionProfile.count = 0;
    m->torsionProfile.values[0] = 0.5;
    m->torsionByStage[10] = 9;
    InterpolateProfiles(*m);
    EXPECT_DOUBLE_EQ(m->torsionByStage[0], 0.5);
    EXPECT_DOUBLE_EQ(m->torsionByStage[10], 9);
}

TEST(Interpolation, EqualStagesMakeAStepWithoutDivision) {
    auto m = defaultModel();
    auto& g = m->gammaProfile;
    g.count = 3;
    g.setPoint(0, 0, 2);
    g.setPoint(1, 100, 2);
    g.setPoint(2, 100, 6);
    g.setPoint(3, 200, 6);
    InterpolateProfiles(*m);
    EXPECT_DOUBLE_EQ(m->gammaByStage[100], 2);
    EXPECT_DOUBLE_EQ(m->gammaByStage[101], 6);
    EXPECT_DOUBLE_EQ(m->gammaByStage[150], 6);
}

TEST(Interpolation, ThirdsRoundInFixedTablesButNotInBeta) {
    auto m = defaultModel();
    m->gammaProfile.setPoint(1, 3000, 1.0 / 3);
    m->gammaProfile.setPoint(0, 0, 1.0 / 3);
    m->betaProfile.setPoint(0, 0, 1.0 / 3);
    m->betaProfile.setPoint(1, 3000, 1.0 / 3);
    InterpolateProfiles(*m);
    EXPECT_EQ(m->gammaByStage[10].raw(), 3333);
    EXPECT_DOUBLE_EQ(m->betaByStage[10], 1.0 / 3);
}

TEST(Interpolation, ReversedStageRangeIsAnEmptyRun) {
    auto m = defaultModel();
    m->stageRange = {200, 100};
    m->gammaBetaByStage[150] = 5;
    InterpolateProfiles(*m);
    EXPECT_EQ(m->lastStage, 199);
    EXPECT_DOUBLE_EQ(m->gammaBetaByStage[150], 5);
}

TEST(Interpolation, OutOfBoundsProfilesAreRefusedBeforeAnyRowChanges) {
    auto m = defaultModel();
    InterpolateProfiles(*m);
    m->curvatureProfile.setPoint(7, 5000, 1);
    m->gammaProfile.setPoint(1, 3000, 9);
    EXPECT_THROW(InterpolateProfiles(*m), RuntimeError);
    EXPECT_DOUBLE_EQ(m->gammaByStage[2000], 4);  // γ table untouched
    m->setDefaultProfiles();
    m->betaProfile.count = 51;
    EXPECT_THROW(InterpolateProfiles(*m), RuntimeError);
    m->setDefaultProfiles();
    m->stageRange = {0, 4001};
    EXPECT_THROW(InterpolateProfiles(*m), RuntimeError);
}

TEST(StageTableBounds, OutsideTheRangeIsAnError) {
    StageTable<int> t;
    EXPECT_THROW(t[4001], RuntimeError);
    EXPECT_THROW(t[-1], RuntimeError);
    EXPECT_NO_THROW(t[4000] = 1);
}
