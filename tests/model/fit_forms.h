// Specimens made from known forms: the true shell is grown by the engine, its
// centre line sampled over a stretch that leaves out the young part, noised,
// moved, turned and scaled at random with a fixed seed. The recovery tests
// and the fit benchmark share them.
#pragma once

#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "model/fit.h"
#include "model/growth.h"
#include "model/profile_file.h"

namespace fit_forms {

using namespace ammonite;

struct TrueForm {
    std::string name;
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    std::unique_ptr<RunState> run = std::make_unique<RunState>();
    int stages = 0;
    bool planar = true;
    double beta = 12;
};

// Grows the form's first `stages` stages (at most 200).
inline void growForm(TrueForm& f) {
    f.model->shownStage = static_cast<std::int16_t>(f.stages);
    f.run->orientationAngle = 0;
    try {
        Start(*f.model, *f.run, RunInputs{}, nullptr);
    } catch (const RuntimeError&) {
    }
}

inline bool isPlanar(const ParameterProfile& torsion) {
    for (int i = 0; i <= torsion.count; ++i)
        if (torsion.values[static_cast<size_t>(i)] != 0) return false;
    return true;
}

// A gallery form, grown to its last profile-driven stage.
inline bool galleryForm(const std::string& dir, const std::string& name, TrueForm& f, std::string& error) {
    f.name = name;
    LoadModelDefaults(*f.model, *f.run);
    ResetRegulation(*f.model, *f.run, ThresholdBars{});
    if (!ReadProfileFile(dir + "/" + name + ".txt", *f.model, error)) return false;
    f.stages = std::min<int>(200, static_cast<int>(f.model->stageRange[1]));
    f.planar = isPlanar(f.model->torsionProfile);
    f.beta = f.model->betaProfile.values[0];
    growForm(f);
    return true;
}

inline ParameterProfile profile(const std::vector<std::pair<double, double>>& points) {
    ParameterProfile p;
    for (size_t i = 0; i < points.size(); ++i) p.setPoint(static_cast<int>(i), points[i].first, points[i].second);
    p.count = static_cast<std::int16_t>(points.size() - 1);
    return p;
}

// Three forms of the tests' own: a widening planar coil, a helix whose
// torsion changes sign, and a slowly expanding hook.
inline void madeForm(int which, TrueForm& f) {
    LoadModelDefaults(*f.model, *f.run);
    ResetRegulation(*f.model, *f.run, ThresholdBars{});
    ModelState& m = *f.model;
    switch (which) {
        case 0:
            f.name = "made-coil";
            m.alpha = 1.008;
            f.stages = 190;
            m.gammaProfile = profile({{0, 4}, {190, 4}});
            m.betaProfile = profile({{0, 12}, {190, 12}});
            m.curvatureProfile = profile({{0, 0.6}, {190, 0.15}});
            m.torsionProfile = profile({{0, 0}, {190, 0}});
            f.beta = 12;
            break;
        case 1:
            f.name = "made-helix";
            m.alpha = 1.006;
            f.stages = 160;
            m.gammaProfile = profile({{0, 5}, {160, 5}});
            m.betaProfile = profile({{0, 10}, {160, 10}});
            m.curvatureProfile = profile({{0, 0.5}, {160, 0.3}});
            m.torsionProfile = profile({{0, 0.12}, {80, 0.12}, {160, -0.1}});
            f.beta = 10;
            break;
        default:
            f.name = "made-hook";
            m.alpha = 1.012;
            f.stages = 130;
            m.gammaProfile = profile({{0, 3}, {130, 3}});
            m.betaProfile = profile({{0, 14}, {130, 14}});
            m.curvatureProfile = profile({{0, 0.3}, {60, 0.0}, {100, 0.0}, {130, 0.5}});
            m.torsionProfile = profile({{0, 0}, {130, 0}});
            f.beta = 14;
            break;
    }
    m.stageRange = {0, static_cast<double>(f.stages)};
    f.planar = isPlanar(m.torsionProfile);
    growForm(f);
}

inline Vec3 centre(const RunState& r, double stage) {
    const long a = static_cast<long>(std::floor(stage));
    const long b = a + 1;
    const double u = stage - a;
    const Vec3 pa{r.centreXByStage[a], r.centreYByStage[a], r.centreZByStage[a]};
    if (u == 0) return pa;
    const Vec3 pb{r.centreXByStage[b], r.centreYByStage[b], r.centreZByStage[b]};
    return {pa.x + (pb.x - pa.x) * u, pa.y + (pb.y - pa.y) * u, pa.z + (pb.z - pa.z) * u};
}
inline double radius(const RunState& r, double stage) {
    const long a = static_cast<long>(std::floor(stage));
    const double u = stage - a;
    const double ra = r.radiusByStage[a];
    return u == 0 ? ra : ra + (r.radiusByStage[a + 1] - ra) * u;
}

// The specimen made from a form, and the truth to compare the fit with.
struct Made {
    Specimen specimen;
    std::vector<Vec3> trueLine;   // the sampled stretch, noise-free, mm (one point per stage)
    double lengthMm = 0;
    double firstStage = 0;
};

inline Made makeSpecimen(const TrueForm& f, unsigned seed, bool withRadii = true) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> uni(0, 1);
    std::normal_distribution<double> gauss(0, 1);
    Made out;
    const int n = 40 + static_cast<int>(uni(rng) * 21);
    out.firstStage = std::floor(f.stages * (0.1 + 0.2 * uni(rng)));
    const double scale = 0.5 + 4.5 * uni(rng);
    // A random rotation (a uniform unit quaternion); a planar form turns only
    // within its plane, which becomes the specimen's x-y plane.
    double R[3][3];
    if (f.planar) {
        // The model's plane is x-z; it is laid onto x-y, then turned about z.
        const double a = 2 * kPi * uni(rng);
        const double c = std::cos(a), s = std::sin(a);
        const double M[3][3] = {{c, -s, 0}, {s, c, 0}, {0, 0, 1}};
        const double P[3][3] = {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) R[i][j] = M[i][0] * P[0][j] + M[i][1] * P[1][j] + M[i][2] * P[2][j];
    } else {
        double q[4];
        double len = 0;
        for (double& v : q) {
            v = gauss(rng);
            len += v * v;
        }
        len = std::sqrt(len);
        for (double& v : q) v /= len;
        const double w = q[0], x = q[1], y = q[2], z = q[3];
        const double M[3][3] = {{w * w + x * x - y * y - z * z, 2 * (x * y - w * z), 2 * (x * z + w * y)},
                                {2 * (x * y + w * z), w * w - x * x + y * y - z * z, 2 * (y * z - w * x)},
                                {2 * (x * z - w * y), 2 * (y * z + w * x), w * w - x * x - y * y + z * z}};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) R[i][j] = M[i][j];
    }
    const Vec3 t{200 * (uni(rng) - 0.5), 200 * (uni(rng) - 0.5), f.planar ? 0.0 : 200 * (uni(rng) - 0.5)};
    auto place = [&](const Vec3& p) {
        return Vec3{scale * (R[0][0] * p.x + R[0][1] * p.y + R[0][2] * p.z) + t.x,
                    scale * (R[1][0] * p.x + R[1][1] * p.y + R[1][2] * p.z) + t.y,
                    scale * (R[2][0] * p.x + R[2][1] * p.y + R[2][2] * p.z) + t.z};
    };
    for (int s = static_cast<int>(out.firstStage); s <= f.stages; ++s) out.trueLine.push_back(place(centre(*f.run, s)));
    for (size_t i = 1; i < out.trueLine.size(); ++i) {
        const Vec3& a = out.trueLine[i - 1];
        const Vec3& b = out.trueLine[i];
        out.lengthMm += std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y) + (b.z - a.z) * (b.z - a.z));
    }
    const double sigma = 0.005 * out.lengthMm;
    std::vector<double> coords, radii;
    for (int i = 0; i < n; ++i) {
        const double stage = out.firstStage + (f.stages - out.firstStage) * static_cast<double>(i) / (n - 1);
        Vec3 p = place(centre(*f.run, stage));
        p.x += sigma * gauss(rng);
        p.y += sigma * gauss(rng);
        if (!f.planar) p.z += sigma * gauss(rng);
        coords.push_back(p.x);
        coords.push_back(p.y);
        if (!f.planar) coords.push_back(p.z);
        // Whorl heights are measured to about 1 % of their size.
        if (withRadii) radii.push_back(scale * radius(*f.run, stage) * (1 + 0.01 * gauss(rng)));
    }
    std::string error;
    MakeSpecimen(coords, f.planar ? 2 : 3, radii, out.specimen, error);
    return out;
}

// The largest distance between the fitted centre line (laid over the
// specimen) and the true stretch, both ways, in mm.
inline double lineDistance(const FitResult& fit, const RunState& fitted, const Made& made) {
    std::vector<Vec3> line;
    for (int s = fit.firstStage; s <= fit.stages; ++s)
        line.push_back(fit.toSpecimen({fitted.centreXByStage[s], fitted.centreYByStage[s], fitted.centreZByStage[s]}));
    auto toPolyline = [](const Vec3& p, const std::vector<Vec3>& poly) {
        double best = 1e300;
        for (size_t j = 0; j + 1 < poly.size(); ++j) {
            const Vec3 a = poly[j], b = poly[j + 1];
            const Vec3 ab{b.x - a.x, b.y - a.y, b.z - a.z};
            const double len2 = ab.x * ab.x + ab.y * ab.y + ab.z * ab.z;
            double u = len2 > 0 ? ((p.x - a.x) * ab.x + (p.y - a.y) * ab.y + (p.z - a.z) * ab.z) / len2 : 0;
            u = std::clamp(u, 0.0, 1.0);
            const Vec3 q{a.x + ab.x * u - p.x, a.y + ab.y * u - p.y, a.z + ab.z * u - p.z};
            best = std::min(best, std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z));
        }
        return best;
    };
    double worst = 0;
    for (const Vec3& p : made.trueLine) worst = std::max(worst, toPolyline(p, line));
    for (const Vec3& p : line) worst = std::max(worst, toPolyline(p, made.trueLine));
    return worst;
}

// Grows the fitted shell again from the result alone, as a scenario would.
inline void growFitted(const FitResult& fit, ModelState& model, RunState& run) {
    LoadModelDefaults(model, run);
    ResetRegulation(model, run, ThresholdBars{});
    fit.applyTo(model);
    try {
        Start(model, run, RunInputs{}, nullptr);
    } catch (const RuntimeError&) {
    }
}

// How far a fit lies from the form its specimen was made from: the largest
// distance of the centre lines and the error of the final density (shares
// of the specimen's length and of the true density), and of the final
// orientation (degrees). `grownDensity` is the density of the fitted shell
// grown again from the result alone.
struct Recovery {
    double line = 0, density = 0, orientation = 0;
    double grownDensity = 0;
};
inline Recovery recoveryOf(const TrueForm& truth, const Made& made, const FitResult& fit) {
    auto model = std::make_unique<ModelState>();
    auto run = std::make_unique<RunState>();
    growFitted(fit, *model, *run);
    Recovery r;
    r.line = lineDistance(fit, *run, made) / made.lengthMm;
    r.density = std::fabs(run->meanDensity - truth.run->meanDensity) / truth.run->meanDensity;
    r.orientation = std::fabs(run->orientationAngle - truth.run->orientationAngle);
    r.grownDensity = run->meanDensity;
    return r;
}

}  // namespace fit_forms
