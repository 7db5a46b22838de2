#include "model/interpolation.h"

#include <cmath>
#include <string>

namespace ammonite {

namespace {

const char* const kProfileNames[4] = {"gamma", "C", "T", "beta"};

long roundStage(double stage) { return static_cast<long>(roundHalfEven(stage)); }

bool stageInRange(double stage) {
    if (std::isnan(stage)) return false;
    double r = roundHalfEven(stage);
    return r >= 0 && r <= kMaxStage;
}

void checkProfile(const ParameterProfile& p, const char* name) {
    if (p.count < 0 || p.count > ParameterProfile::kMaxCount)
        throwOutOfRange(std::string("the ") + name + " profile has " + std::to_string(p.count) +
                        " segments (at most 50)");
    // Stages of every segment that will write rows must round into 0..4000.
    for (int j = 1; j <= p.count; ++j) {
        double a = p.stages[j - 1], b = p.stages[j];
        if (std::isnan(a) || std::isnan(b))
            throwOutOfRange(std::string("the ") + name + " profile has an invalid stage");
        if (roundStage(b) >= roundStage(a) + 1 && (!stageInRange(a) || !stageInRange(b)))
            throwOutOfRange(std::string("a stage of the ") + name + " profile is outside 0..4000");
    }
}

// Fills one table from its profile; Store converts the double into the row.
template <typename Table>
void fillTable(const ParameterProfile& p, Table& tab) {
    tab[0] = p.values[0];
    for (int j = 1; j <= p.count; ++j) {
        double a = p.stages[j - 1], b = p.stages[j];
        double va = p.values[j - 1], vb = p.values[j];
        long first = roundStage(a) + 1, last = roundStage(b);
        for (long i = first; i <= last; ++i) {
            tab[i] = va + (vb - va) * (static_cast<double>(i) - a) / (b - a);
        }
    }
}

template <typename Profiles>
void checkBounds(const Profiles& p) {
    checkProfile(p.gammaProfile, kProfileNames[0]);
    checkProfile(p.curvatureProfile, kProfileNames[1]);
    checkProfile(p.torsionProfile, kProfileNames[2]);
    checkProfile(p.betaProfile, kProfileNames[3]);
    double s0 = p.stageRange[0], s1 = p.stageRange[1];
    if (!stageInRange(s0) || !stageInRange(s1))
        throwOutOfRange("the stage range is outside 0..4000");
}

// The five tables of `t` from the profiles of `p`; returns the last stage.
template <typename Profiles, typename Tables>
std::int16_t interpolate(const Profiles& p, Tables& t) {
    checkBounds(p);

    fillTable(p.gammaProfile, t.gammaByStage);
    fillTable(p.curvatureProfile, t.curvatureByStage);
    fillTable(p.torsionProfile, t.torsionByStage);
    fillTable(p.betaProfile, t.betaByStage);

    long first = roundStage(p.stageRange[0]), last = roundStage(p.stageRange[1]);
    for (long i = first; i <= last; ++i) {
        t.gammaBetaByStage[i] = t.betaByStage[i] * (static_cast<double>(t.gammaByStage[i]) * (p.alpha - 1));
    }
    // The first stage past the derived loop, minus one.
    return toInt16(first <= last ? last : first - 1);
}

}  // namespace

void CheckProfileBounds(const ModelState& model) { checkBounds(model); }
void CheckProfileBounds(const GrowthInputs& inputs) { checkBounds(inputs); }

void InterpolateProfiles(ModelState& model) { model.lastStage = interpolate(model, model); }

std::int16_t InterpolateProfiles(const GrowthInputs& inputs, RunState& tables) { return interpolate(inputs, tables); }

}  // namespace ammonite
