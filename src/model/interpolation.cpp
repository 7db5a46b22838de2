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

}  // namespace

void CheckProfileBounds(const ModelState& model) {
    checkProfile(model.gammaProfile, kProfileNames[0]);
    checkProfile(model.curvatureProfile, kProfileNames[1]);
    checkProfile(model.torsionProfile, kProfileNames[2]);
    checkProfile(model.betaProfile, kProfileNames[3]);
    double s0 = model.stageRange[0], s1 = model.stageRange[1];
    if (!stageInRange(s0) || !stageInRange(s1))
        throwOutOfRange("the stage range is outside 0..4000");
}

void InterpolateProfiles(ModelState& model) {
    CheckProfileBounds(model);

    fillTable(model.gammaProfile, model.gammaByStage);
    fillTable(model.curvatureProfile, model.curvatureByStage);
    fillTable(model.torsionProfile, model.torsionByStage);
    fillTable(model.betaProfile, model.betaByStage);

    long first = roundStage(model.stageRange[0]), last = roundStage(model.stageRange[1]);
    for (long i = first; i <= last; ++i) {
        model.gammaBetaByStage[i] =
            model.betaByStage[i] * (static_cast<double>(model.gammaByStage[i]) * (model.alpha - 1));
    }
    // The first stage past the derived loop, minus one.
    model.lastStage = toInt16(first <= last ? last : first - 1);
}

}  // namespace ammonite
