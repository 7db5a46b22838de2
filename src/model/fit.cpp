// The fit of the growth profiles to a specimen. Each evaluation grows the
// shell with the engine (profile-driven stages only), lays its centre line
// over the measured points by the best similarity transform (closed form,
// refined by nearest-point matching) and scores the distances that remain.
// NLopt's BOBYQA searches the growth parameters from several guesses.
#include "model/fit.h"

#include <nlopt.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <mutex>
#include <sstream>
#include <thread>

#include "model/growth.h"
#include "model/stage_results.h"

namespace ammonite {

namespace {

using namespace vec3;

using Clock = std::chrono::steady_clock;
constexpr double kBadCost = 1e6;
constexpr int kMinWindow = 20;          // stages the measured stretch spans at least
constexpr double kAlphaLow = 1.001, kAlphaHigh = 1.04;
constexpr double kStepLow = 1, kStepHigh = 1000;  // βγ: tube length per apex radius of growth
constexpr double kCurvatureBound = 2.5, kTorsionBound = 2.5;
constexpr double kRadiusWeight = 0.2;
constexpr double kHalfTurn = 3.14159265358979323846;
// A fit on the knots read from the specimen's turning replaces the others'
// only when its score is below this share of theirs: on a smooth form such
// knots gather on the noise, and a closer fit by less is mostly the noise.
constexpr double kTurnedPreference = 0.85;
constexpr double kSlip = 0.06;          // share of the length a match may slip along the tube
// Knot places: the narrowest gap between two knots (share of the stretch),
// the bound on the logarithm of a gap against the first one, and the share
// of a refinement's evaluations that moves the knots.
constexpr double kSmallestGap = 1e-4;
constexpr double kGapBound = 12;
constexpr double kPlacesShare = 0.5;


// A similarity transform y = s·R·x + t.
struct Similarity {
    double R[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    double s = 1;
    Vec3 t;
    Vec3 apply(const Vec3& x) const {
        return {s * (R[0][0] * x.x + R[0][1] * x.y + R[0][2] * x.z) + t.x,
                s * (R[1][0] * x.x + R[1][1] * x.y + R[1][2] * x.z) + t.y,
                s * (R[2][0] * x.x + R[2][1] * x.y + R[2][2] * x.z) + t.z};
    }
};

// Eigenvector of the largest eigenvalue of a symmetric 4 × 4 matrix (cyclic
// Jacobi rotations; the matrix is small and well scaled).
std::array<double, 4> largestEigenvector(double a[4][4]) {
    double v[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    for (int sweep = 0; sweep < 50; ++sweep) {
        double off = 0;
        for (int p = 0; p < 4; ++p)
            for (int q = p + 1; q < 4; ++q) off += a[p][q] * a[p][q];
        if (off < 1e-30) break;
        for (int p = 0; p < 4; ++p) {
            for (int q = p + 1; q < 4; ++q) {
                if (std::fabs(a[p][q]) < 1e-300) continue;
                const double theta = (a[q][q] - a[p][p]) / (2 * a[p][q]);
                const double t = (theta >= 0 ? 1 : -1) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
                const double c = 1 / std::sqrt(t * t + 1), s = t * c;
                for (int k = 0; k < 4; ++k) {
                    const double akp = a[k][p], akq = a[k][q];
                    a[k][p] = c * akp - s * akq;
                    a[k][q] = s * akp + c * akq;
                }
                for (int k = 0; k < 4; ++k) {
                    const double apk = a[p][k], aqk = a[q][k];
                    a[p][k] = c * apk - s * aqk;
                    a[q][k] = s * apk + c * aqk;
                }
                for (int k = 0; k < 4; ++k) {
                    const double vkp = v[k][p], vkq = v[k][q];
                    v[k][p] = c * vkp - s * vkq;
                    v[k][q] = s * vkp + c * vkq;
                }
            }
        }
    }
    int best = 0;
    for (int i = 1; i < 4; ++i)
        if (a[i][i] > a[best][best]) best = i;
    return {v[0][best], v[1][best], v[2][best], v[3][best]};
}

// The similarity that lays the model points x onto the measured points y
// with the least sum of squared distances (rotation by Horn's quaternion).
// The weighted centres of two matched point sets.
void weightedCentres(const std::vector<Vec3>& x, const std::vector<Vec3>& y, const std::vector<double>& w, Vec3& cx,
                     Vec3& cy) {
    cx = {};
    cy = {};
    double total = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        cx = add(cx, scaled(x[i], w[i]));
        cy = add(cy, scaled(y[i], w[i]));
        total += w[i];
    }
    cx = scaled(cx, 1.0 / total);
    cy = scaled(cy, 1.0 / total);
}

// Each pair counts with its weight w[i].
bool solveSimilarity(const std::vector<Vec3>& x, const std::vector<Vec3>& y, const std::vector<double>& weight,
                     Similarity& out) {
    const size_t n = x.size();
    if (n < 2) return false;
    Vec3 cx, cy;
    weightedCentres(x, y, weight, cx, cy);
    double S[3][3] = {};
    double xx = 0;
    for (size_t i = 0; i < n; ++i) {
        const Vec3 a = scaled(sub(x[i], cx), weight[i]), b = sub(y[i], cy);
        const double av[3] = {a.x, a.y, a.z}, bv[3] = {b.x, b.y, b.z};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) S[r][c] += av[r] * bv[c];
        xx += dot(a, sub(x[i], cx));
    }
    if (!(xx > 0)) return false;
    double N[4][4] = {
        {S[0][0] + S[1][1] + S[2][2], S[1][2] - S[2][1], S[2][0] - S[0][2], S[0][1] - S[1][0]},
        {S[1][2] - S[2][1], S[0][0] - S[1][1] - S[2][2], S[0][1] + S[1][0], S[2][0] + S[0][2]},
        {S[2][0] - S[0][2], S[0][1] + S[1][0], -S[0][0] + S[1][1] - S[2][2], S[1][2] + S[2][1]},
        {S[0][1] - S[1][0], S[2][0] + S[0][2], S[1][2] + S[2][1], -S[0][0] - S[1][1] + S[2][2]}};
    const auto q = largestEigenvector(N);
    const double w = q[0], qx = q[1], qy = q[2], qz = q[3];
    Similarity T;
    T.R[0][0] = w * w + qx * qx - qy * qy - qz * qz;
    T.R[0][1] = 2 * (qx * qy - w * qz);
    T.R[0][2] = 2 * (qx * qz + w * qy);
    T.R[1][0] = 2 * (qx * qy + w * qz);
    T.R[1][1] = w * w - qx * qx + qy * qy - qz * qz;
    T.R[1][2] = 2 * (qy * qz - w * qx);
    T.R[2][0] = 2 * (qx * qz - w * qy);
    T.R[2][1] = 2 * (qy * qz + w * qx);
    T.R[2][2] = w * w - qx * qx - qy * qy + qz * qz;
    double yRx = 0;
    for (size_t i = 0; i < n; ++i) {
        const Vec3 a = scaled(sub(x[i], cx), weight[i]), b = sub(y[i], cy);
        const Vec3 ra{T.R[0][0] * a.x + T.R[0][1] * a.y + T.R[0][2] * a.z,
                      T.R[1][0] * a.x + T.R[1][1] * a.y + T.R[1][2] * a.z,
                      T.R[2][0] * a.x + T.R[2][1] * a.y + T.R[2][2] * a.z};
        yRx += dot(b, ra);
    }
    T.s = yRx / xx;
    if (!(T.s > 0) || !std::isfinite(T.s)) return false;
    T.t = {0, 0, 0};
    const Vec3 rc = T.apply(cx);
    T.t = sub(cy, rc);
    out = T;
    return true;
}

// Sets the scale (and with it the translation) of a similarity whose rotation
// is kept so that the positions and the measured radii are matched together:
// a similar tube slid along itself by a few stages lays its points almost as
// well, but its radii are a few stages' growth too small or too large.
// `positionNorm` divides the squared distances, `weight` the mean squared
// relative error of the radii (NaN radii are not measured).
void scaleByRadii(Similarity& T, const std::vector<Vec3>& x, const std::vector<Vec3>& y,
                  const std::vector<double>& w, const std::vector<double>& modelRadius, const std::vector<double>& measuredRadius,
                  double positionNorm, double weight) {
    const size_t n = x.size();
    double rr = 0, r1 = 0;
    size_t m = 0;
    for (size_t i = 0; i < n; ++i) {
        if (std::isnan(measuredRadius[i]) || !(measuredRadius[i] > 0)) continue;
        const double q = modelRadius[i] / measuredRadius[i];
        rr += q * q;
        r1 += q;
        ++m;
    }
    if (m == 0) return;
    Vec3 cx, cy;
    weightedCentres(x, y, w, cx, cy);
    Similarity turn = T;
    turn.s = 1;
    turn.t = {0, 0, 0};
    double aa = 0, ab = 0;
    for (size_t i = 0; i < n; ++i) {
        const Vec3 a = turn.apply(sub(x[i], cx)), b = sub(y[i], cy);
        aa += w[i] * dot(a, a);
        ab += w[i] * dot(a, b);
    }
    const double num = ab / positionNorm + weight / m * r1, den = aa / positionNorm + weight / m * rr;
    if (!(den > 0) || !(num > 0)) return;
    T.s = num / den;
    T.t = {0, 0, 0};
    T.t = sub(cy, T.apply(cx));
}

// A centre line: stage, point and radius of each vertex.
struct Line {
    std::vector<double> stage;
    std::vector<Vec3> point;
    std::vector<double> radius;
};

struct Nearest {
    Vec3 point;
    double stage = 0, radius = 0, distance = 0;
};

// Nearest point of the line (already transformed into mm) to p, among the
// segments from..to-1 (all by default).
Nearest nearestOn(const Line& line, const Vec3& p, size_t from = 0, size_t to = 0) {
    Nearest best;
    best.distance = std::numeric_limits<double>::infinity();
    const size_t n = line.point.size();
    if (n == 1) {
        best = {line.point[0], line.stage[0], line.radius[0], norm(sub(p, line.point[0]))};
        return best;
    }
    if (to == 0 || to > n - 1) to = n - 1;
    if (from >= to) from = to - 1;
    for (size_t j = from; j < to; ++j) {
        const Vec3& a = line.point[j];
        const Vec3 ab = sub(line.point[j + 1], a);
        const double len2 = dot(ab, ab);
        double u = len2 > 0 ? dot(sub(p, a), ab) / len2 : 0;
        u = std::clamp(u, 0.0, 1.0);
        const Vec3 q = add(a, scaled(ab, u));
        const double d = norm(sub(p, q));
        if (d < best.distance) {
            best.distance = d;
            best.point = q;
            best.stage = line.stage[j] + u * (line.stage[j + 1] - line.stage[j]);
            best.radius = line.radius[j] + u * (line.radius[j + 1] - line.radius[j]);
        }
    }
    return best;
}

// The point of the line at a fraction of its length.
Nearest atFraction(const Line& line, const std::vector<double>& cumulative, double fraction) {
    const double target = fraction * cumulative.back();
    size_t j = 0;
    while (j + 2 < cumulative.size() && cumulative[j + 1] < target) ++j;
    const double seg = cumulative[j + 1] - cumulative[j];
    const double u = seg > 0 ? std::clamp((target - cumulative[j]) / seg, 0.0, 1.0) : 0;
    Nearest r;
    r.point = add(line.point[j], scaled(sub(line.point[j + 1], line.point[j]), u));
    r.stage = line.stage[j] + u * (line.stage[j + 1] - line.stage[j]);
    r.radius = line.radius[j] + u * (line.radius[j + 1] - line.radius[j]);
    return r;
}

std::vector<double> cumulativeLengths(const std::vector<Vec3>& pts) {
    std::vector<double> c(pts.size(), 0);
    for (size_t i = 1; i < pts.size(); ++i) c[i] = c[i - 1] + norm(sub(pts[i], pts[i - 1]));
    return c;
}

// Where each measured point lies along the tube, as a share of its length.
// The measuring noise zigzags the line through the points and lengthens it
// most where the points lie close together (the young, narrow end), which
// would place every later point too far along; the shares are taken along
// the line smoothed twice by (1, 2, 1)/4 (the ends stay where they are).
std::vector<double> measuredShares(const std::vector<Vec3>& points) {
    std::vector<Vec3> smooth = points;
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<Vec3> next = smooth;
        for (size_t i = 1; i + 1 < smooth.size(); ++i)
            next[i] = scaled(add(add(smooth[i - 1], smooth[i + 1]), scaled(smooth[i], 2)), 0.25);
        smooth = std::move(next);
    }
    std::vector<double> shares = cumulativeLengths(smooth);
    const double total = shares.back();
    for (double& s : shares) s = total > 0 ? s / total : 0;
    return shares;
}

// The engine's state for one thread, reused from one evaluation to the next.
struct Workspace {
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    std::unique_ptr<RunState> run = std::make_unique<RunState>();
    Workspace() { LoadModelDefaults(*model, *run); }
};

Workspace& threadWorkspace() {
    thread_local Workspace ws;
    return ws;
}


// ---- the specimen's own turning ----
// The tube turns by step·C per stage. In a specimen that lies in one plane
// the direction of a chord between two points is the direction of the tube
// between them, so the chord directions, over the places the points lie at,
// are linear in the curvature's values at the knots (and in the direction at
// the start): a linear least-squares problem, which reads the form of the
// curvature profile from the points without growing a shell.

// Directions of the chords over two spans (unwrapped, radians) and the
// share of the length at the middle of each.
void chordDirections(const std::vector<Vec3>& pts, const std::vector<double>& fractions,
                     std::vector<double>& angle, std::vector<double>& at) {
    const size_t stride = 2;
    angle.clear();
    at.clear();
    for (size_t i = 0; i + stride < pts.size(); ++i) {
        const Vec3 c = sub(pts[i + stride], pts[i]);
        if (!(norm(c) > 0)) continue;
        double a = std::atan2(c.y, c.x);
        if (!angle.empty()) {
            while (a - angle.back() > kHalfTurn) a -= 2 * kHalfTurn;
            while (a - angle.back() < -kHalfTurn) a += 2 * kHalfTurn;
        }
        angle.push_back(a);
        at.push_back(0.5 * (fractions[i] + fractions[i + stride]));
    }
}

// Solves A x = b (n × n, row-major) by Gaussian elimination with partial
// pivoting; false when singular.
bool solveLinear(std::vector<double> A, std::vector<double> b, std::vector<double>& x) {
    const size_t n = b.size();
    for (size_t c = 0; c < n; ++c) {
        size_t piv = c;
        for (size_t r = c + 1; r < n; ++r)
            if (std::fabs(A[r * n + c]) > std::fabs(A[piv * n + c])) piv = r;
        if (!(std::fabs(A[piv * n + c]) > 1e-300)) return false;
        if (piv != c) {
            for (size_t k = 0; k < n; ++k) std::swap(A[c * n + k], A[piv * n + k]);
            std::swap(b[c], b[piv]);
        }
        for (size_t r = c + 1; r < n; ++r) {
            const double f = A[r * n + c] / A[c * n + c];
            for (size_t k = c; k < n; ++k) A[r * n + k] -= f * A[c * n + k];
            b[r] -= f * b[c];
        }
    }
    x.assign(n, 0);
    for (size_t c = n; c-- > 0;) {
        double v = b[c];
        for (size_t k = c + 1; k < n; ++k) v -= A[c * n + k] * x[k];
        x[c] = v / A[c * n + c];
        if (!std::isfinite(x[c])) return false;
    }
    return true;
}

// The values at the knots `ks` (increasing) of the piecewise-straight rate
// whose integral from ks.front(), times `scale`, plus a constant, comes
// closest to the directions `angle` at the places `at`; `smoothing` weighs
// the change from knot to knot (a share of the problem's own size). The
// overall sign is chosen so that the rate is positive on the whole (a coil
// turning the other way is the same coil seen from the other side). Empty
// when the problem is too small or singular.
std::vector<double> turningAtKnots(const std::vector<double>& at, const std::vector<double>& angle,
                                   const std::vector<double>& ks, double scale, double smoothing) {
    const size_t K = ks.size(), m = angle.size(), U = K + 1;
    if (K < 2 || m < K / 2 + 3) return {};
    std::vector<double> A(U * U, 0), b(U, 0), x(U);
    for (size_t j = 0; j < m; ++j) {
        std::fill(x.begin(), x.end(), 0.0);
        x[0] = 1;
        const double s = at[j];
        for (size_t k = 0; k + 1 < K; ++k) {
            const double h = ks[k + 1] - ks[k];
            if (!(h > 0)) continue;
            if (s >= ks[k + 1]) {
                x[k + 1] += scale * h / 2;
                x[k + 2] += scale * h / 2;
            } else {
                const double u = std::clamp((s - ks[k]) / h, 0.0, 1.0);
                x[k + 1] += scale * h * (u - u * u / 2);
                x[k + 2] += scale * h * u * u / 2;
                break;
            }
        }
        for (size_t r = 0; r < U; ++r) {
            b[r] += x[r] * angle[j];
            for (size_t c = 0; c < U; ++c) A[r * U + c] += x[r] * x[c];
        }
    }
    double trace = 0;
    for (size_t k = 1; k < U; ++k) trace += A[k * U + k];
    const double lambda = smoothing * trace / K;
    for (size_t k = 1; k + 1 < U; ++k) {
        A[k * U + k] += lambda;
        A[(k + 1) * U + k + 1] += lambda;
        A[k * U + k + 1] -= lambda;
        A[(k + 1) * U + k] -= lambda;
    }
    std::vector<double> sol;
    if (!solveLinear(A, b, sol)) return {};
    double sum = 0;
    for (size_t k = 1; k < U; ++k) sum += sol[k];
    const double sign = sum < 0 ? -1 : 1;
    std::vector<double> out(K);
    for (size_t k = 0; k < K; ++k) out[k] = sign * sol[k + 1];
    return out;
}

// The `knots` places (0 and 1 among them, at least `gap` apart) at which a
// piecewise-straight line through the samples v (at shares 0..1, evenly
// spaced) follows them most closely: the fewest squared deviations, by
// dynamic programming over the samples.
std::vector<double> bestKnotPlaces(const std::vector<double>& v, int knots, double gap) {
    const size_t n = v.size();
    std::vector<double> out;
    if (n < 3 || knots < 2) return out;
    const size_t minSpan = std::max<size_t>(1, static_cast<size_t>(std::ceil(gap * (n - 1) - 1e-9)));
    if (minSpan * static_cast<size_t>(knots - 1) > n - 1) return out;
    // Squared deviation of the samples between i and j from the chord.
    std::vector<double> dev(n * n, 0);
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 2; j < n; ++j) {
            double e = 0;
            for (size_t k = i + 1; k < j; ++k) {
                const double u = static_cast<double>(k - i) / (j - i);
                const double d = v[k] - (v[i] + (v[j] - v[i]) * u);
                e += d * d;
            }
            dev[i * n + j] = e;
        }
    const double inf = std::numeric_limits<double>::infinity();
    const size_t K = static_cast<size_t>(knots);
    std::vector<double> best(K * n, inf);
    std::vector<size_t> from(K * n, 0);
    best[0] = 0;
    for (size_t k = 1; k < K; ++k)
        for (size_t j = k * minSpan; j < n; ++j)
            for (size_t i = (k - 1) * minSpan; i + minSpan <= j; ++i) {
                const double c = best[(k - 1) * n + i] + dev[i * n + j];
                if (c < best[k * n + j]) {
                    best[k * n + j] = c;
                    from[k * n + j] = i;
                }
            }
    if (!std::isfinite(best[(K - 1) * n + n - 1])) return out;
    std::vector<size_t> idx(K);
    idx[K - 1] = n - 1;
    for (size_t k = K - 1; k > 0; --k) idx[k - 1] = from[k * n + idx[k]];
    for (size_t i : idx) out.push_back(static_cast<double>(i) / (n - 1));
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------

struct FitProblem {
    Specimen specimen;
    FitOptions options;
    int knots = 6;
    bool planar = false;
    bool radii = false;
    double length = 1;              // mm
    double beta = 12;
    bool betaFromMarks = false;
    double markedArcMm = 0;         // from the last septum to the aperture
    std::vector<double> fractions;  // arc fraction of each point
    // Weight of each point in laying the line over the specimen (all 1 for
    // now: heavier ends, or a heavier last tenth, pinned the aperture of a
    // near-self-similar coil better but led the search of the stepped forms
    // astray).
    std::vector<double> weights;
    double weightSum = 0;
    std::vector<std::vector<double>> starts;
    std::vector<double> lower, upper, steps;

    // The knots' places are searched too (the last refinement): after the
    // knot values come the logarithms of the gaps between the knots, each
    // against the first gap, so that the knots stay in order.
    bool freePlaces = false;

    int valueCount() const { return knots * (planar ? 1 : 2); }
    int dimension() const { return 3 + valueCount() + (freePlaces ? knots - 2 : 0); }

    // ---- parameters ----
    // p[0] = ln(α − 1); p[1] = ln(βγ), the tube length over which the radius
    // grows by one radius of the apex; p[2] = ln of the radius ratio over the
    // measured stretch; then the curvature and the torsion at the knots. The
    // stage of the first measured point is the given share of the stages.
    struct Decoded {
        double alpha, step, last, first;
        std::vector<double> C, T;
        std::vector<double> shares;  // where the knots lie (see knotShares)
    };
    Decoded decode(const std::vector<double>& p) const {
        Decoded d;
        d.alpha = 1 + std::exp(p[0]);
        d.step = (d.alpha - 1) * std::exp(p[1]);
        const double share = options.missingShare;
        const double window = p[2] / std::log(d.alpha);
        d.last = window / (1 - share);
        d.last = std::clamp(d.last, kMinWindow / (1 - share), static_cast<double>(kMaxFitStages));
        d.first = share * d.last;
        d.C.assign(p.begin() + 3, p.begin() + 3 + knots);
        if (!planar) d.T.assign(p.begin() + 3 + knots, p.begin() + 3 + 2 * knots);
        d.shares = freePlaces ? sharesOfGaps(p.data() + 3 + valueCount()) : knotShares;
        return d;
    }

    // The knots' shares from the logarithms of their gaps (knots − 2 of
    // them; the first gap is the unit).
    std::vector<double> sharesOfGaps(const double* logGaps) const {
        std::vector<double> s(static_cast<size_t>(knots), 0.0);
        for (int k = 1; k < knots; ++k) s[static_cast<size_t>(k)] = s[static_cast<size_t>(k - 1)] + (k == 1 ? 1.0 : std::exp(logGaps[k - 2]));
        const double total = s.back();
        for (double& v : s) v /= total;
        s.back() = 1;
        return s;
    }
    // The logarithms of the gaps of given shares (the inverse of the above).
    static std::vector<double> gapsOfShares(const std::vector<double>& shares) {
        std::vector<double> out;
        const double first = std::max(shares[1] - shares[0], kSmallestGap);
        for (size_t k = 2; k < shares.size(); ++k)
            out.push_back(std::log(std::max(shares[k] - shares[k - 1], kSmallestGap) / first));
        return out;
    }

    // Where the knots lie along the measured stretch, as shares of its
    // stages (0 at the first measured point, 1 at the aperture).
    std::vector<double> knotShares;

    std::vector<double> knotStages(const Decoded& d) const {
        std::vector<double> s(static_cast<size_t>(knots));
        for (int k = 0; k < knots; ++k)
            s[static_cast<size_t>(k)] = d.first + (d.last - d.first) * d.shares[static_cast<size_t>(k)];
        return s;
    }

    static ParameterProfile knotProfile(const std::vector<double>& stages, const std::vector<double>& values,
                                        int grown) {
        ParameterProfile p;
        int n = 0;
        if (stages.front() > 0) p.setPoint(n++, 0, values.front());
        for (size_t k = 0; k < stages.size(); ++k) p.setPoint(n++, stages[k], values[k]);
        if (stages.back() < grown) p.setPoint(n++, grown, values.back());
        p.count = static_cast<std::int16_t>(n - 1);
        return p;
    }
    static ParameterProfile constantProfile(double value, int grown) {
        ParameterProfile p;
        p.setPoint(0, 0, value);
        p.setPoint(1, grown, value);
        p.count = 1;
        return p;
    }

    // Sets the model for a decoded parameter vector, growing `grown` stages.
    void setModel(ModelState& m, const Decoded& d, int grown, double gamma, double beta) const {
        const auto ks = knotStages(d);
        m.alpha = d.alpha;
        m.stageRange = {0, static_cast<double>(grown)};
        m.shownStage = static_cast<std::int16_t>(grown);
        m.gammaProfile = constantProfile(gamma, grown);
        m.betaProfile = constantProfile(beta, grown);
        m.curvatureProfile = knotProfile(ks, d.C, grown);
        m.torsionProfile = planar ? constantProfile(0, grown)
                                  : knotProfile(ks, d.T, grown);
        m.densities = options.densities;
        m.orientationMode = 2;
        m.viewVector = {0, 1, 0};
        m.orientationSin = 0;
        m.orientationCos = 1;
        m.orientationShiftX = 0;
        m.orientationShiftY = 0;
    }

    // Grows the shell; false when the engine stopped before the last stage.
    bool grow(Workspace& ws, const Decoded& d, int grown, double gamma, double beta) const {
        ModelState& m = *ws.model;
        RunState& r = *ws.run;
        setModel(m, d, grown, gamma, beta);
        r.orientationAngle = 0;
        r.pendingRibs = 0;
        r.ribCountdown = 0;
        try {
            Start(m, r, RunInputs{}, nullptr);
        } catch (const RuntimeError&) {
            // The final report may stop on a degenerate orientation; the
            // centre line is complete when every stage was built.
            if (r.lastBuiltStage < grown) return false;
        }
        return r.lastBuiltStage >= grown;
    }

    double gammaFor(const Decoded& d) const { return d.step / (beta * (d.alpha - 1)); }

    // The measured stretch of the grown line, stages first..last (fractional).
    Line window(const RunState& r, double first, double last) const {
        Line line;
        auto at = [&](double s) {
            const long a = static_cast<long>(std::floor(s));
            const long b = std::min<long>(a + 1, static_cast<long>(std::ceil(last)));
            const double u = s - a;
            const Vec3 pa{r.centreXByStage[a], r.centreYByStage[a], r.centreZByStage[a]};
            const Vec3 pb{r.centreXByStage[b], r.centreYByStage[b], r.centreZByStage[b]};
            line.stage.push_back(s);
            line.point.push_back(add(pa, scaled(sub(pb, pa), u)));
            const double ra = r.radiusByStage[a], rb = r.radiusByStage[b];
            line.radius.push_back(ra + (rb - ra) * u);
        };
        at(first);
        for (long k = static_cast<long>(std::floor(first)) + 1; k < last; ++k) at(static_cast<double>(k));
        at(last);
        return line;
    }

    // A point is matched to the nearest point of the line near its own place
    // along the tube (its share of the specimen's length), so that it is not
    // taken for a point of another limb of a bend or another whorl.
    Nearest nearestAlong(const Line& placed, const std::vector<double>& cum, size_t i) const {
        const double total = cum.back();
        const double lo = (fractions[i] - kSlip) * total, hi = (fractions[i] + kSlip) * total;
        const size_t from = static_cast<size_t>(std::lower_bound(cum.begin(), cum.end(), lo) - cum.begin());
        size_t to = static_cast<size_t>(std::upper_bound(cum.begin(), cum.end(), hi) - cum.begin());
        return nearestOn(placed, specimen.points[i], from > 0 ? from - 1 : 0, std::max(to, from + 1));
    }

    // Lays the line over the specimen; returns the cost and fills the
    // transform and the matches.
    double lay(const Line& model, Similarity& T, std::vector<Nearest>* matches) const {
        const auto& pts = specimen.points;
        const size_t n = pts.size();
        if (model.point.size() < 2) return kBadCost;
        const std::vector<double> cum = cumulativeLengths(model.point);
        if (!(cum.back() > 0)) return kBadCost;
        std::vector<Vec3> x(n), y = pts;
        std::vector<Nearest> m(n);
        for (size_t i = 0; i < n; ++i) {
            m[i] = atFraction(model, cum, fractions[i]);
            x[i] = m[i].point;
        }
        if (!solveSimilarity(x, y, weights, T)) return kBadCost;
        const double positionNorm = weightSum * length * length;
        std::vector<double> modelRadius(n);
        auto rescale = [&](Similarity& S) {
            if (!radii) return;
            for (size_t i = 0; i < n; ++i) modelRadius[i] = m[i].radius;
            scaleByRadii(S, x, y, weights, modelRadius, specimen.radii, positionNorm, kRadiusWeight);
        };
        rescale(T);
        Line placed = model;
        for (int iteration = 0; iteration < 3; ++iteration) {
            for (size_t k = 0; k < model.point.size(); ++k) placed.point[k] = T.apply(model.point[k]);
            // The ends stay matched to the ends of the stretch.
            for (size_t i = 1; i + 1 < n; ++i) {
                const Nearest q = nearestAlong(placed, cum, i);
                // Back into model units through the stage of the match.
                m[i] = atFraction(model, cum, 0);
                const double s = q.stage;
                size_t j = 0;
                while (j + 2 < model.stage.size() && model.stage[j + 1] < s) ++j;
                const double span = model.stage[j + 1] - model.stage[j];
                const double u = span > 0 ? std::clamp((s - model.stage[j]) / span, 0.0, 1.0) : 0;
                m[i].point = add(model.point[j], scaled(sub(model.point[j + 1], model.point[j]), u));
                m[i].stage = s;
                m[i].radius = q.radius;
                x[i] = m[i].point;
            }
            Similarity next;
            if (!solveSimilarity(x, y, weights, next)) return kBadCost;
            rescale(next);
            T = next;
        }
        for (size_t k = 0; k < model.point.size(); ++k) placed.point[k] = T.apply(model.point[k]);
        double sum = 0, radiusSum = 0;
        int radiusCount = 0;
        for (size_t i = 0; i < n; ++i) {
            Nearest q;
            if (i == 0 || i + 1 == n) {
                q = atFraction(placed, cumulativeLengths(placed.point), i == 0 ? 0.0 : 1.0);
                q.distance = norm(sub(pts[i], q.point));
            } else {
                q = nearestAlong(placed, cum, i);
            }
            sum += weights[i] * q.distance * q.distance;
            const double rho = specimen.radii[i];
            if (!std::isnan(rho)) {
                // Radii are compared relatively: a whorl height is measured
                // to a share of its size, a position to a share of the length.
                const double e = (T.s * q.radius - rho) / rho;
                radiusSum += e * e;
                ++radiusCount;
            }
            if (matches) (*matches)[i] = q, m[i] = q;
        }
        double cost = sum / (weightSum * length * length);
        if (radiusCount > 0) cost += kRadiusWeight * radiusSum / radiusCount;
        return cost;
    }

    // The curvature at the knots read from the specimen's own turning (see
    // turningAtKnots), for α, the step and the stretch of `p`. A specimen in
    // one plane only; `p` unchanged otherwise.
    std::vector<double> turningGuess(const std::vector<double>& p) const;

    double evaluate(const std::vector<double>& p) const {
        const Decoded d = decode(p);
        const int grown = static_cast<int>(std::ceil(d.last - 1e-9));
        Workspace& ws = threadWorkspace();
        if (!grow(ws, d, grown, gammaFor(d), beta)) return kBadCost;
        const Line line = window(*ws.run, d.first, d.last);
        Similarity T;
        const double c = lay(line, T, nullptr);
        return std::isfinite(c) ? c : kBadCost;
    }
};

namespace {

// Total turning of the specimen's centre line, over chords long enough to
// smooth out the measuring noise.
double totalTurning(const Specimen& s) {
    const size_t n = s.points.size();
    const size_t stride = std::max<size_t>(1, n / 16);
    std::vector<Vec3> coarse;
    for (size_t i = 0; i < n; i += stride) coarse.push_back(s.points[i]);
    if (coarse.size() < 2 || !(norm(sub(coarse.back(), s.points.back())) == 0)) coarse.push_back(s.points.back());
    double turning = 0;
    for (size_t i = 2; i < coarse.size(); ++i) {
        const Vec3 a = sub(coarse[i - 1], coarse[i - 2]), b = sub(coarse[i], coarse[i - 1]);
        const double na = norm(a), nb = norm(b);
        if (na == 0 || nb == 0) continue;
        turning += std::acos(std::clamp(dot(a, b) / (na * nb), -1.0, 1.0));
    }
    return turning;
}

// Least-squares line of the measured radii over the arc length: radius at the
// first and at the last point.
bool radiusLine(const Specimen& s, const std::vector<double>& arc, double& first, double& last) {
    double sw = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < s.points.size(); ++i) {
        const double r = s.radii[i];
        if (std::isnan(r)) continue;
        sw += 1;
        sx += arc[i];
        sy += r;
        sxx += arc[i] * arc[i];
        sxy += arc[i] * r;
    }
    if (sw < 2) return false;
    const double den = sw * sxx - sx * sx;
    if (!(std::fabs(den) > 0)) return false;
    const double b = (sw * sxy - sx * sy) / den, a = (sy - b * sx) / sw;
    first = a;
    last = a + b * arc.back();
    return first > 0 && last > first;
}

}  // namespace

std::vector<double> FitProblem::turningGuess(const std::vector<double>& p) const {
    if (!planar || static_cast<int>(p.size()) != dimension()) return p;
    const Decoded d = decode(p);
    const double span = d.last - d.first;
    const double growth = std::pow(d.alpha, span);
    std::vector<double> angle, at;
    chordDirections(specimen.points, fractions, angle, at);
    // Stage at a share of the length: the tube grows by step·r per stage.
    for (double& f : at) {
        const double u = growth > 1 + 1e-9 ? std::log(1 + f * (growth - 1)) / std::log(growth) : f;
        f = d.first + span * u;
    }
    const std::vector<double> C = turningAtKnots(at, angle, knotStages(d), d.step, 1e-3);
    if (C.empty()) return p;
    std::vector<double> out = p;
    for (size_t k = 0; k < C.size(); ++k) out[3 + k] = std::clamp(C[k], lower[3 + k], upper[3 + k]);
    return out;
}

namespace {

// Knot shares read from the specimen's own turning (a specimen in one plane):
// the curvature over the stretch, read by least squares on many evenly
// spaced knots, and the knots placed where a piecewise-straight profile
// follows it best. A form whose curvature steps gets two knots close on
// either side of each step. Empty when it cannot be read.
std::vector<double> turningKnotShares(const FitProblem& P) {
    if (!P.planar) return {};
    const auto& pts = P.specimen.points;
    const std::vector<double> arc = cumulativeLengths(pts);
    double rFirst = 0, rLast = 0, growth = 2;
    if (P.radii && radiusLine(P.specimen, arc, rFirst, rLast)) growth = std::clamp(rLast / rFirst, 1.05, 100.0);
    std::vector<double> angle, at;
    chordDirections(pts, P.fractions, angle, at);
    for (double& f : at) f = std::log(1 + f * (growth - 1)) / std::log(growth);
    const int fine = std::clamp(static_cast<int>(angle.size()) / 2, P.knots, 40);
    std::vector<double> ks;
    for (int k = 0; k < fine; ++k) ks.push_back(static_cast<double>(k) / (fine - 1));
    const std::vector<double> rate = turningAtKnots(at, angle, ks, 1.0, 1e-2);
    if (rate.empty()) return {};
    const int samples = 101;
    std::vector<double> v(samples);
    for (int i = 0; i < samples; ++i) {
        const double u = static_cast<double>(i) / (samples - 1) * (fine - 1);
        const int j = std::min(static_cast<int>(u), fine - 2);
        v[static_cast<size_t>(i)] = rate[static_cast<size_t>(j)] +
                                    (rate[static_cast<size_t>(j + 1)] - rate[static_cast<size_t>(j)]) * (u - j);
    }
    return bestKnotPlaces(v, P.knots, 0.02);
}

// Knot shares that follow the specimen: the bending of the measured line per
// tube radius (its turning and the turning of its plane, over chords of a
// few points) is taken at every point, and the knots are spread so that each
// span between two holds an equal part of an even share plus the changes of
// that bending. A form whose curvature steps between long even stretches
// gets knots close on either side of each step; an even coil gets them
// nearly evenly spaced.
std::vector<double> measuredKnotShares(const FitProblem& P) {
    const auto& pts = P.specimen.points;
    const size_t n = pts.size();
    const int knots = P.knots;
    std::vector<double> even;
    for (int k = 0; k < knots; ++k) even.push_back(static_cast<double>(k) / (knots - 1));
    if (n < 9) return even;
    const std::vector<double> arc = cumulativeLengths(pts);
    // Share of the stages at each point: the radius grows by `growth` over
    // the stretch, the length of tube per stage with it.
    double rFirst = 0, rLast = 0, growth = 2;
    if (P.radii && radiusLine(P.specimen, arc, rFirst, rLast)) growth = std::clamp(rLast / rFirst, 1.05, 100.0);
    auto shareAt = [&](double f) { return std::log(1 + f * (growth - 1)) / std::log(growth); };
    const size_t h = 2;
    auto tangent = [&](size_t i) {
        const Vec3 d = sub(pts[std::min(n - 1, i + h)], pts[i >= h ? i - h : 0]);
        const double l = norm(d);
        return l > 0 ? scaled(d, 1 / l) : d;
    };
    auto angle = [](const Vec3& a, const Vec3& b) {
        const double na = norm(a), nb = norm(b);
        if (!(na > 0) || !(nb > 0)) return 0.0;
        return std::acos(std::clamp(dot(a, b) / (na * nb), -1.0, 1.0));
    };
    auto cross = [](const Vec3& a, const Vec3& b) {
        return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    };
    // Bending per radius at points 2..n-3.
    std::vector<double> share(n), bend(n, 0), twist(n, 0);
    for (size_t i = 0; i < n; ++i) share[i] = shareAt(P.fractions[i]);
    for (size_t i = 2; i + 2 < n; ++i) {
        const double span = arc[i + 1] - arc[i - 1];
        if (!(span > 0)) continue;
        const double size = std::pow(growth, share[i]);
        bend[i] = angle(tangent(i - 1), tangent(i + 1)) / span * size;
        if (!P.planar) {
            const Vec3 b0 = cross(tangent(i - 2), tangent(i)), b1 = cross(tangent(i), tangent(i + 2));
            twist[i] = angle(b0, b1) / span * size;
        }
    }
    // The change of the bending between neighbouring points, on the spans.
    std::vector<double> change(n, 0);
    double total = 0;
    for (size_t i = 3; i + 3 < n; ++i) {
        change[i] = std::fabs(bend[i + 1] - bend[i - 1]) + std::fabs(twist[i + 1] - twist[i - 1]);
        total += change[i];
    }
    if (!(total > 0)) return even;
    // Density over the share: the changes at the points plus an even part of
    // the same total.
    std::vector<double> cum(n, 0);
    for (size_t i = 1; i < n; ++i) {
        const double du = share[i] - share[i - 1];
        cum[i] = cum[i - 1] + total * du + 0.5 * (change[i - 1] + change[i]);
    }
    std::vector<double> out(static_cast<size_t>(knots));
    out.front() = 0;
    out.back() = 1;
    for (int k = 1; k + 1 < knots; ++k) {
        const double target = cum.back() * k / (knots - 1);
        size_t j = 1;
        while (j + 1 < n && cum[j] < target) ++j;
        const double seg = cum[j] - cum[j - 1];
        const double u = seg > 0 ? (target - cum[j - 1]) / seg : 0;
        out[static_cast<size_t>(k)] = share[j - 1] + u * (share[j] - share[j - 1]);
    }
    // Knots stay at least a small share apart, so that whole stages keep
    // them in order.
    const double gap = 0.02;
    for (int k = 1; k < knots; ++k)
        out[static_cast<size_t>(k)] = std::max(out[static_cast<size_t>(k)], out[static_cast<size_t>(k - 1)] + gap);
    for (int k = knots - 1; k >= 1; --k) {
        out[static_cast<size_t>(k)] = std::min(out[static_cast<size_t>(k)], 1 - gap * (knots - 1 - k));
        if (k + 1 < knots)
            out[static_cast<size_t>(k)] = std::min(out[static_cast<size_t>(k)], out[static_cast<size_t>(k + 1)] - gap);
    }
    out.front() = 0;
    out.back() = 1;
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------

FitSession::FitSession() = default;
FitSession::~FitSession() = default;
FitSession::FitSession(FitSession&&) noexcept = default;
FitSession& FitSession::operator=(FitSession&&) noexcept = default;

int FitSession::startCount() const { return coarse_ ? static_cast<int>(coarse_->starts.size()) : 0; }

// The parameters of a search with fewer knots, on all the knots of the fit:
// the knot values are interpolated along the stretch.
const FitProblem& FitSession::full(int layout) const {
    if (layout == 3 && placed_) return *placed_;
    if (layout == 2 && turned_) return *turned_;
    return layout == 1 && measured_ ? *measured_ : *problem_;
}

std::vector<double> FitSession::onAllKnots(const std::vector<double>& p, int layout) const {
    const FitProblem& F = full(layout);
    if (static_cast<int>(p.size()) == F.dimension()) return p;
    const int profiles = F.planar ? 1 : 2;
    const int k0 = static_cast<int>(p.size() - 3) / profiles;
    std::vector<double> out(p.begin(), p.begin() + 3);
    for (int prof = 0; prof < profiles; ++prof) {
        const double* v = p.data() + 3 + prof * k0;
        for (int i = 0; i < F.knots; ++i) {
            const double u = F.knotShares[static_cast<size_t>(i)] * (k0 - 1);
            const int j = std::min(static_cast<int>(u), k0 - 2);
            const double w = u - j;
            out.push_back(v[j] + (v[j + 1] - v[j]) * w);
        }
    }
    return out;
}

bool FitSession::prepare(const Specimen& specimen, const FitOptions& options, std::string& error) {
    // The guesses are first searched with the fewest knots, where the search
    // is quick and has few false minima; the best are then refined with all
    // the knots asked for.
    FitOptions coarseOptions = options;
    coarseOptions.knots = std::min(options.knots, kMinFitKnots);
    if (!build(specimen, options, problem_, error)) return false;
    if (!build(specimen, coarseOptions, coarse_, error)) return false;
    // All the knots asked for gather where the measured bending changes.
    measured_.reset();
    if (problem_->knots > coarse_->knots) {
        measured_ = std::make_unique<FitProblem>(*problem_);
        measured_->knotShares = measuredKnotShares(*problem_);
        const std::vector<double> turned = turningKnotShares(*problem_);
        turned_.reset();
        if (static_cast<int>(turned.size()) == problem_->knots) {
            turned_ = std::make_unique<FitProblem>(*problem_);
            turned_->knotShares = turned;
        }
        placed_ = std::make_unique<FitProblem>(*problem_);
        FitProblem& F = *placed_;
        F.freePlaces = true;
        F.lower.resize(static_cast<size_t>(F.dimension()), -kGapBound);
        F.upper.resize(static_cast<size_t>(F.dimension()), kGapBound);
        F.steps.resize(static_cast<size_t>(F.dimension()), 0.3);
    }
    return true;
}

// A result on any layout, with its knots' places as parameters too.
std::vector<double> FitSession::withPlaces(const std::vector<double>& p, int layout) const {
    if (layout == 3) return p;
    std::vector<double> out = onAllKnots(p, layout);
    for (double g : FitProblem::gapsOfShares(full(layout).knotShares))
        out.push_back(std::clamp(g, -kGapBound, kGapBound));
    return out;
}

bool FitSession::build(const Specimen& specimen, const FitOptions& options, std::unique_ptr<FitProblem>& out,
                       std::string& error) {
    if (!CheckSpecimen(specimen, error)) return false;
    if (options.knots < kMinFitKnots || options.knots > kMaxFitKnots) {
        error = "the number of knots must be " + std::to_string(kMinFitKnots) + " to " +
                std::to_string(kMaxFitKnots) + ", not " + std::to_string(options.knots);
        return false;
    }
    if (options.beta && !(std::isfinite(*options.beta) && *options.beta > 0 && *options.beta <= 1000)) {
        error = "β must be a number above 0 (and at most 1000)";
        return false;
    }
    if (options.maxEvaluations < 1 || options.budgetSeconds < 0 || !std::isfinite(options.budgetSeconds)) {
        error = "the budget must be above 0";
        return false;
    }
    auto p = std::make_unique<FitProblem>();
    FitProblem& P = *p;
    P.specimen = specimen;
    if (P.specimen.radii.size() != P.specimen.points.size())
        P.specimen.radii.assign(P.specimen.points.size(), std::numeric_limits<double>::quiet_NaN());
    P.options = options;
    P.knots = options.knots;
    P.planar = specimen.planar;
    P.radii = specimen.hasRadii();
    const std::vector<double> arc = cumulativeLengths(P.specimen.points);
    P.length = arc.back();
    if (!(P.length > 0)) {
        error = "the specimen has no length";
        return false;
    }
    for (double a : measuredShares(P.specimen.points)) P.fractions.push_back(a);
    for (int k = 0; k < P.knots; ++k) P.knotShares.push_back(static_cast<double>(k) / (P.knots - 1));
    P.weights.assign(P.specimen.points.size(), 1.0);
    for (double w : P.weights) P.weightSum += w;
    if (P.specimen.septumIndex >= 0) {
        const size_t end = P.specimen.apertureIndex >= 0 ? static_cast<size_t>(P.specimen.apertureIndex)
                                                          : P.specimen.points.size() - 1;
        P.markedArcMm = arc[end] - arc[static_cast<size_t>(P.specimen.septumIndex)];
    }
    if (options.beta) {
        P.beta = *options.beta;
    } else if (P.markedArcMm > 0) {
        P.betaFromMarks = true;
        const double rAperture = P.specimen.radii.back();
        if (!std::isnan(rAperture)) P.beta = P.markedArcMm / rAperture;
    }

    if (!(options.missingShare >= 0 && options.missingShare <= 0.8)) {
        error = "the share of stages before the first measured point must be 0 to 0.8";
        return false;
    }
    const double share = options.missingShare;

    // ---- how many stages the specimen needs ----
    double rFirst = 0, rLast = 0;
    const bool haveLine = P.radii && radiusLine(P.specimen, arc, rFirst, rLast);
    const double turning = totalTurning(P.specimen);
    // The fewest stages the specimen can take: its radius grows at most by
    // the largest α per stage, and the stages before the first measured
    // point are added.
    double rMin = std::numeric_limits<double>::infinity(), rMax = 0;
    for (double r : P.specimen.radii)
        if (!std::isnan(r)) rMin = std::min(rMin, r), rMax = std::max(rMax, r);
    if (rMax > rMin) {
        const double needed = std::log(rMax / rMin) / std::log(kAlphaHigh) / (1 - share);
        if (needed > kMaxFitStages) {
            error = "the specimen needs more than " + std::to_string(kMaxFitStages) +
                    " profile-driven stages: its radius grows " + formatDecimals(rMax / rMin, 1) +
                    "-fold, more than " + std::to_string(kMaxFitStages) + " stages of the largest α (" +
                    formatDecimals(kAlphaHigh, 2) + ") allow";
            return false;
        }
    }
    const double maxTurnPerStage = 0.5;
    if (turning / maxTurnPerStage / (1 - share) > kMaxFitStages) {
        error = "the specimen needs more than " + std::to_string(kMaxFitStages) +
                " profile-driven stages: it turns through " + formatDecimals(turning / (2 * kPi), 1) +
                " whorls";
        return false;
    }

    // ---- bounds ----
    const int D = P.dimension();
    P.lower.assign(static_cast<size_t>(D), -kCurvatureBound);
    P.upper.assign(static_cast<size_t>(D), kCurvatureBound);
    P.steps.assign(static_cast<size_t>(D), 0.15);
    P.lower[0] = std::log(kAlphaLow - 1);
    P.upper[0] = std::log(kAlphaHigh - 1);
    P.steps[0] = 0.4;
    P.lower[1] = std::log(kStepLow);
    P.upper[1] = std::log(kStepHigh);
    P.steps[1] = 0.2;
    P.lower[2] = 0.005;
    P.upper[2] = std::log(kAlphaHigh) * kMaxFitStages;
    P.steps[2] = 0.15;
    if (!P.planar)
        for (int k = 0; k < P.knots; ++k) {
            P.lower[static_cast<size_t>(3 + P.knots + k)] = -kTorsionBound;
            P.upper[static_cast<size_t>(3 + P.knots + k)] = kTorsionBound;
            P.steps[static_cast<size_t>(3 + P.knots + k)] = 0.08;
        }

    // ---- starting guesses: a coarse grid of α and curvature ----
    const double alphas[] = {1.005, 1.01};
    const double curvatureScale[] = {0.6, 1.0, 1.6};
    const std::vector<double> torsions = P.planar ? std::vector<double>{0.0} : std::vector<double>{-0.15, 0.0, 0.15};
    for (double alpha : alphas) {
        // βγ from the slope of the radius along the tube (one apex radius of
        // growth per βγ radii of length); the default 48 without radii.
        double lengthPerGrowth = 48, growth = std::log(alpha) * 120 * (1 - share);
        if (haveLine) {
            const double slope = (rLast - rFirst) / P.length;
            lengthPerGrowth = 1 / slope;
            growth = std::log(rLast / rFirst);
        }
        lengthPerGrowth = std::clamp(lengthPerGrowth, kStepLow * 1.01, kStepHigh * 0.99);
        std::vector<double> x(static_cast<size_t>(D), 0);
        x[0] = std::log(alpha - 1);
        x[1] = std::log(lengthPerGrowth);
        x[2] = std::clamp(growth, P.lower[2] * 1.01, P.upper[2] * 0.99);
        const FitProblem::Decoded d = P.decode(x);
        // Curvature per radius that gives the measured turning.
        const double c0 = turning / (d.step * (d.last - d.first));
        for (double cs : curvatureScale) {
            for (double t0 : torsions) {
                for (int k = 0; k < P.knots; ++k) {
                    x[static_cast<size_t>(3 + k)] = std::clamp(c0 * cs, -kCurvatureBound * 0.9, kCurvatureBound * 0.9);
                    if (!P.planar) x[static_cast<size_t>(3 + P.knots + k)] = t0;
                }
                std::vector<double> y = x;
                for (size_t i = 0; i < y.size(); ++i) y[i] = std::clamp(y[i], P.lower[i], P.upper[i]);
                P.starts.push_back(y);
            }
        }
    }
    out = std::move(p);
    return true;
}

namespace {

struct SearchData {
    const FitProblem* problem;
    const std::atomic<bool>* cancel;
    std::atomic<int>* counter;
    std::vector<double> best;
    double bestCost = std::numeric_limits<double>::infinity();
    int evaluations = 0;
};

double objective(unsigned n, const double* x, double* grad, void* data) {
    (void)grad;
    auto* d = static_cast<SearchData*>(data);
    if (d->cancel && d->cancel->load()) throw nlopt::forced_stop();
    std::vector<double> p(x, x + n);
    const double c = d->problem->evaluate(p);
    ++d->evaluations;
    if (d->counter) d->counter->fetch_add(1);
    if (c < d->bestCost) {
        d->bestCost = c;
        d->best = p;
    }
    return c;
}

FitStartResult search(const FitProblem& P, int start, std::vector<double> x, int evaluations,
                      const std::atomic<bool>* cancel, std::atomic<int>* counter, double deadlineSeconds,
                      double stepScale) {
    SearchData data{&P, cancel, counter, x, std::numeric_limits<double>::infinity(), 0};
    FitStartResult out;
    out.start = start;
    if (evaluations < 2 * static_cast<int>(x.size()) + 2) {
        out.parameters = x;
        out.cost = P.evaluate(x);
        out.evaluations = 1;
        if (counter) counter->fetch_add(1);
        return out;
    }
    nlopt::opt opt(nlopt::LN_BOBYQA, static_cast<unsigned>(x.size()));
    opt.set_lower_bounds(P.lower);
    opt.set_upper_bounds(P.upper);
    std::vector<double> steps = P.steps;
    for (size_t i = 0; i < steps.size(); ++i) {
        steps[i] *= stepScale;
        // The first step must stay inside the bounds.
        const double room = std::max(x[i] - P.lower[i], P.upper[i] - x[i]);
        steps[i] = std::min(steps[i], 0.45 * (P.upper[i] - P.lower[i]));
        if (room <= 0) steps[i] = 1e-3;
    }
    opt.set_initial_step(steps);
    opt.set_min_objective(objective, &data);
    opt.set_maxeval(evaluations);
    opt.set_xtol_rel(1e-6);
    opt.set_ftol_rel(1e-9);
    if (deadlineSeconds > 0) opt.set_maxtime(deadlineSeconds);
    double f = 0;
    nlopt::result res = nlopt::FAILURE;
    try {
        res = opt.optimize(x, f);
    } catch (const std::exception&) {
        res = nlopt::FORCED_STOP;
    }
    out.parameters = data.best.empty() ? x : data.best;
    out.cost = data.bestCost;
    out.evaluations = data.evaluations;
    out.converged = res == nlopt::SUCCESS || res == nlopt::FTOL_REACHED || res == nlopt::XTOL_REACHED ||
                    res == nlopt::STOPVAL_REACHED;
    return out;
}

}  // namespace

FitStartResult FitSession::runStart(int start, int evaluations, const std::atomic<bool>* cancel,
                                    std::atomic<int>* counter, double deadlineSeconds) const {
    const FitProblem& P = *coarse_;
    return search(P, start, P.starts.at(static_cast<size_t>(start)), evaluations, cancel, counter,
                  deadlineSeconds, 1.0);
}

FitStartResult FitSession::refine(const FitStartResult& from, int evaluations, const std::atomic<bool>* cancel,
                                  std::atomic<int>* counter, double deadlineSeconds) const {
    // `turning`: start from the curvature read from the specimen's turning
    // when that lays the line closer than the result continued.
    auto continueOn = [&](int layout, int budget, bool turning) {
        const FitProblem& P = full(layout);
        FitStartResult start = from;
        start.layout = layout;
        if (static_cast<int>(from.parameters.size()) != P.dimension()) {
            start.parameters = onAllKnots(from.parameters, layout);
            start.cost = P.evaluate(start.parameters);
        }
        if (turning) {
            std::vector<double> guess = P.turningGuess(start.parameters);
            const double c = P.evaluate(guess);
            if (c < start.cost) {
                start.parameters = std::move(guess);
                start.cost = c;
            }
        }
        FitStartResult r = search(P, from.start, start.parameters, budget, cancel, counter, deadlineSeconds, 0.5);
        r.layout = layout;
        if (!(r.cost <= start.cost)) {
            FitStartResult kept = start;
            kept.evaluations = r.evaluations;
            kept.converged = r.converged;
            return kept;
        }
        return r;
    };
    const bool fromCoarse = static_cast<int>(from.parameters.size()) == coarse_->dimension() &&
                            coarse_->knots < problem_->knots;
    // The last share of the evaluations moves the knots of the best result.
    const int placing = placed_ && from.layout != 3 ? static_cast<int>(evaluations * kPlacesShare) : 0;
    const int onLayouts = evaluations - placing;
    FitStartResult best;
    if (fromCoarse && measured_) {
        std::vector<FitStartResult> tried;
        if (turned_) {
            tried.push_back(continueOn(0, onLayouts / 3, false));
            tried.push_back(continueOn(1, onLayouts / 3, false));
            tried.push_back(continueOn(2, onLayouts - 2 * (onLayouts / 3), true));
        } else {
            tried.push_back(continueOn(0, onLayouts / 2, false));
            tried.push_back(continueOn(1, onLayouts - onLayouts / 2, false));
        }
        best = tried[0];
        int used = 0;
        bool converged = true;
        for (const auto& t : tried) {
            if (t.layout != 2 && t.cost < best.cost) best = t;
            used += t.evaluations;
            converged = converged && t.converged;
        }
        // The knots read from the turning follow the noise too: their fit
        // is taken only when it is clearly closer.
        for (const auto& t : tried)
            if (t.layout == 2 && t.cost < kTurnedPreference * best.cost) best = t;
        best.evaluations = used;
        best.converged = converged;
    } else {
        best = continueOn(fromCoarse ? 0 : from.layout, onLayouts, false);
    }
    if (placing > 0 && !(cancel && cancel->load())) {
        FitStartResult start = best;
        start.layout = 3;
        start.parameters = withPlaces(best.parameters, best.layout);
        FitStartResult r = search(*placed_, from.start, start.parameters, placing, cancel, counter, deadlineSeconds, 0.5);
        r.layout = 3;
        best.evaluations += r.evaluations;
        if (r.cost < best.cost) {
            r.evaluations = best.evaluations;
            best = r;
        }
    }
    best.evaluations += from.evaluations;
    return best;
}

namespace {

// A profile's value at a stage, between its points.
double profileAt(const ParameterProfile& p, double stage) {
    if (p.count <= 0 || stage <= p.stages[0]) return p.values[0];
    for (int i = 1; i <= p.count; ++i) {
        const size_t k = static_cast<size_t>(i);
        if (stage <= p.stages[k]) {
            const double span = p.stages[k] - p.stages[k - 1];
            const double u = span > 0 ? (stage - p.stages[k - 1]) / span : 1;
            return p.values[k - 1] + (p.values[k] - p.values[k - 1]) * u;
        }
    }
    return p.values[static_cast<size_t>(p.count)];
}

}  // namespace

FitStartResult FitSession::startAt(const ModelState& model, int stages) const {
    const double share = problem_->options.missingShare;
    const double last = stages, first = share * last;
    // The knots lie on the profiles' own points within the stretch when
    // there are few enough of them (the remaining knots split the longest
    // gaps), so that a stepped profile is read exactly; evenly otherwise.
    std::vector<double> shares{0, 1};
    for (const ParameterProfile* prof : {&model.curvatureProfile, &model.torsionProfile}) {
        if (prof == &model.torsionProfile && problem_->planar) continue;
        for (int i = 0; i <= prof->count; ++i) {
            const double u = (prof->stages[static_cast<size_t>(i)] - first) / (last - first);
            if (u > kSmallestGap && u < 1 - kSmallestGap) shares.push_back(u);
        }
    }
    std::sort(shares.begin(), shares.end());
    shares.erase(std::unique(shares.begin(), shares.end()), shares.end());
    const bool onPoints = placed_ && static_cast<int>(shares.size()) <= problem_->knots;
    while (onPoints && static_cast<int>(shares.size()) < problem_->knots) {
        size_t widest = 0;
        for (size_t k = 1; k + 1 < shares.size(); ++k)
            if (shares[k + 1] - shares[k] > shares[widest + 1] - shares[widest]) widest = k;
        shares.insert(shares.begin() + static_cast<long>(widest) + 1, (shares[widest] + shares[widest + 1]) / 2);
    }
    if (!onPoints) shares = problem_->knotShares;
    const FitProblem& P = onPoints ? *placed_ : *problem_;

    const double alpha = std::max(model.alpha, 1 + 1e-9);
    std::vector<double> p = {std::log(alpha - 1),
                             std::log(profileAt(model.betaProfile, first) * profileAt(model.gammaProfile, first)),
                             std::log(alpha) * (last - first)};
    for (const ParameterProfile* prof : {&model.curvatureProfile, &model.torsionProfile}) {
        if (prof == &model.torsionProfile && P.planar) continue;
        for (double u : shares) p.push_back(profileAt(*prof, first + (last - first) * u));
    }
    if (onPoints)
        for (double g : FitProblem::gapsOfShares(shares)) p.push_back(g);
    for (size_t i = 0; i < p.size(); ++i) p[i] = std::clamp(p[i], P.lower[i], P.upper[i]);
    FitStartResult r;
    r.parameters = p;
    r.layout = onPoints ? 3 : 0;
    r.cost = P.evaluate(p);
    r.evaluations = 1;
    return r;
}

const char* FitVerdictText(FitVerdict v) {
    switch (v) {
        case FitVerdict::Good: return "good";
        case FitVerdict::Rough: return "rough";
        case FitVerdict::Failed: return "failed";
    }
    return "failed";
}

void FitResult::applyTo(ModelState& model) const {
    model.alpha = alpha;
    model.stageRange = {0, static_cast<double>(stages)};
    model.lastStage = static_cast<std::int16_t>(stages);
    model.shownStage = static_cast<std::int16_t>(stages);
    model.gammaProfile = gammaProfile;
    model.curvatureProfile = curvatureProfile;
    model.torsionProfile = torsionProfile;
    model.betaProfile = betaProfile;
}

Vec3 FitResult::toSpecimen(const Vec3& p) const {
    const auto& m = transform;
    return {m[0] * p.x + m[1] * p.y + m[2] * p.z + m[3], m[4] * p.x + m[5] * p.y + m[6] * p.z + m[7],
            m[8] * p.x + m[9] * p.y + m[10] * p.z + m[11]};
}

Vec3 FitResult::toModel(const Vec3& p) const {
    // The transform is s·R with R a rotation: its inverse is Rᵀ / s.
    const auto& m = transform;
    const double s2 = mmPerUnit * mmPerUnit;
    const Vec3 d{p.x - m[3], p.y - m[7], p.z - m[11]};
    return {(m[0] * d.x + m[4] * d.y + m[8] * d.z) / s2, (m[1] * d.x + m[5] * d.y + m[9] * d.z) / s2,
            (m[2] * d.x + m[6] * d.y + m[10] * d.z) / s2};
}

FitResult FitSession::finish(const FitStartResult& best) const {
    const FitProblem& P = full(best.layout);
    FitProblem::Decoded d = P.decode(onAllKnots(best.parameters, best.layout));
    // Whole stages and tidy values, so that the profiles read back the same.
    // The shell keeps its form when the aperture's stage is rounded: α and
    // the step per stage take up the change (the same growth over the
    // measured stretch in the whole number of stages).
    const double wholeLast = std::max(1.0, std::round(d.last));
    const double perStage = d.last / wholeLast;
    d.alpha = std::exp(std::log(d.alpha) * perStage);
    d.step *= perStage;
    d.last = wholeLast;
    d.first = std::round(P.options.missingShare * d.last);
    if (d.last - d.first < kMinWindow) d.first = std::max(0.0, d.last - kMinWindow);
    d.alpha = std::round(d.alpha * 1e6) / 1e6;
    for (double& c : d.C) c = std::round(c * 1e4) / 1e4;
    for (double& t : d.T) t = std::round(t * 1e4) / 1e4;
    auto stagesOf = P.knotStages(d);
    for (double& s : stagesOf) s = std::round(s);
    const int grown = static_cast<int>(d.last);

    FitResult R;
    R.planar = P.planar;
    R.alpha = d.alpha;
    R.stages = grown;
    R.firstStage = static_cast<int>(d.first);
    R.specimenLengthMm = P.length;
    R.beta = P.beta;
    R.gamma = std::round(P.gammaFor(d) * 1e4) / 1e4;
    R.evaluations = best.evaluations;
    R.converged = best.converged;

    Workspace ws;
    auto growWith = [&](double beta) {
        ModelState& m = *ws.model;
        P.setModel(m, d, grown, R.gamma, beta);
        m.curvatureProfile = FitProblem::knotProfile(stagesOf, d.C, grown);
        if (!P.planar) m.torsionProfile = FitProblem::knotProfile(stagesOf, d.T, grown);
        ws.run->orientationAngle = 0;
        ws.run->pendingRibs = 0;
        ws.run->ribCountdown = 0;
        try {
            Start(m, *ws.run, RunInputs{}, nullptr);
        } catch (const RuntimeError& e) {
            R.message = std::string("the fitted shell's run stopped: ") + e.what();
        }
    };
    growWith(R.beta);
    const RunState& r = *ws.run;
    Similarity T;
    P.lay(P.window(r, d.first, d.last), T, nullptr);
    R.mmPerUnit = T.s;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) R.transform[static_cast<size_t>(i * 4 + j)] = T.s * T.R[i][j];
    }
    R.transform[3] = T.t.x;
    R.transform[7] = T.t.y;
    R.transform[11] = T.t.z;
    R.transform[15] = 1;

    // β from the marked body chamber, once the radius at the aperture is known.
    if (P.betaFromMarks && std::isnan(P.specimen.radii.back())) {
        const double rAperture = T.s * r.radiusByStage[grown];
        if (rAperture > 0) {
            const double beta = std::round(P.markedArcMm / rAperture * 1e4) / 1e4;
            if (beta > 0) {
                R.beta = beta;
                R.gamma = std::round(d.step / (beta * (d.alpha - 1)) * 1e4) / 1e4;
                growWith(R.beta);
            }
        }
    }

    // Residuals: each point against the fitted centre line near its own
    // place along the tube (not against another whorl that passes closer).
    Line placed = P.window(r, d.first, d.last);
    for (auto& p : placed.point) p = T.apply(p);
    const std::vector<double> placedLengths = cumulativeLengths(placed.point);
    double sum = 0, rsum = 0;
    int rcount = 0;
    for (size_t i = 0; i < P.specimen.points.size(); ++i) {
        const Nearest q = P.nearestAlong(placed, placedLengths, i);
        FitResidual res;
        res.row = i < P.specimen.rows.size() ? P.specimen.rows[i] : static_cast<int>(i) + 1;
        res.measured = P.specimen.points[i];
        res.fitted = q.point;
        res.stage = q.stage;
        res.distanceMm = q.distance;
        res.radiusMm = P.specimen.radii[i];
        res.fittedRadiusMm = T.s * q.radius;
        if (!std::isnan(res.radiusMm)) {
            rsum += (res.fittedRadiusMm - res.radiusMm) * (res.fittedRadiusMm - res.radiusMm);
            ++rcount;
        }
        sum += q.distance * q.distance;
        R.maxMm = std::max(R.maxMm, q.distance);
        R.residuals.push_back(res);
    }
    R.rmsMm = std::sqrt(sum / P.specimen.points.size());
    R.radiusRmsMm = rcount ? std::sqrt(rsum / rcount) : 0;

    const ModelState& m = *ws.model;
    R.gammaProfile = m.gammaProfile;
    R.curvatureProfile = m.curvatureProfile;
    R.torsionProfile = m.torsionProfile;
    R.betaProfile = m.betaProfile;
    for (int s = 1; s <= std::min<int>(grown, r.lastBuiltStage); ++s) {
        const StageHydrostatics& h = r.hydrostaticsByStage[s];
        if (!h.valid) continue;
        R.stagesTable.push_back({s, h.meanDensity, r.orientationAngleByStage[s], h.stabilityIndex, h.ptRatio});
    }
    R.finalDensity = r.meanDensity;
    R.finalOrientation = r.orientationAngle;

    const double relRms = R.rmsMm / P.length, relMax = R.maxMm / P.length;
    const double relRadius = R.radiusRmsMm / P.length;
    if (relRms <= kGoodRms && relMax <= kGoodMax && relRadius <= kGoodRms)
        R.verdict = FitVerdict::Good;
    else if (relRms <= kRoughRms && relMax <= kRoughMax && relRadius <= kRoughRms)
        R.verdict = FitVerdict::Rough;
    else
        R.verdict = FitVerdict::Failed;
    std::ostringstream msg;
    msg << FitVerdictText(R.verdict) << " fit: RMS " << formatDecimals(R.rmsMm, 3) << " mm ("
        << formatDecimals(100 * relRms, 2) << " % of the length), largest " << formatDecimals(R.maxMm, 3)
        << " mm";
    if (rcount) msg << ", radii RMS " << formatDecimals(R.radiusRmsMm, 3) << " mm";
    if (!R.converged) msg << "; the search did not converge within its budget (best result shown)";
    if (!R.message.empty()) msg << "; " << R.message;
    R.message = msg.str();
    return R;
}

bool FitSpecimen(const Specimen& specimen, const FitOptions& options, FitResult& result, std::string& error,
                 const FitProgressCallback& progress) {
    FitSession session;
    if (!session.prepare(specimen, options, error)) return false;
    const auto began = Clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - began).count(); };
    const int starts = session.startCount();
    const int budget = options.maxEvaluations;
    unsigned threads = options.threads > 0 ? static_cast<unsigned>(options.threads)
                                           : std::max(1u, std::thread::hardware_concurrency());
    threads = std::min<unsigned>(threads, static_cast<unsigned>(starts));

    std::atomic<bool> cancel{false};
    std::atomic<int> counter{0};
    std::mutex mutex;
    std::vector<FitStartResult> results(static_cast<size_t>(starts));
    const double deadline = options.budgetSeconds;
    auto remaining = [&] { return deadline > 0 ? std::max(1e-3, deadline - elapsed()) : 0.0; };

    // Runs jobs 0..count-1 on the worker threads while the calling thread
    // reports progress.
    auto runJobs = [&](int count, const std::function<void(int)>& job) {
        std::atomic<int> next{0};
        std::vector<std::thread> pool;
        std::atomic<int> done{0};
        for (unsigned t = 0; t < std::min<unsigned>(threads, static_cast<unsigned>(count)); ++t)
            pool.emplace_back([&] {
                for (int i = next++; i < count; i = next++) job(i);
                ++done;
            });
        const int workers = static_cast<int>(pool.size());
        while (done.load() < workers) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (deadline > 0 && elapsed() > deadline) cancel = true;
            if (progress) {
                FitProgress fp;
                fp.evaluations = counter.load();
                fp.budget = budget;
                fp.seconds = elapsed();
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    double bestCost = std::numeric_limits<double>::infinity();
                    for (const auto& r : results)
                        if (!r.parameters.empty()) bestCost = std::min(bestCost, r.cost);
                    fp.bestRmsMm = std::isfinite(bestCost) ? std::sqrt(bestCost) * specimen.length() : 0;
                }
                if (!progress(fp)) cancel = true;
            }
        }
        for (auto& t : pool) t.join();
    };

    // Phase 1: a local search from every guess.
    const int perStart = std::max(1, budget * 4 / 10 / starts);
    runJobs(starts, [&](int i) {
        FitStartResult r = session.runStart(i, perStart, &cancel, &counter, remaining());
        std::lock_guard<std::mutex> lock(mutex);
        results[static_cast<size_t>(i)] = std::move(r);
    });
    std::vector<FitStartResult> ranked;
    for (const auto& r : results)
        if (!r.parameters.empty()) ranked.push_back(r);
    std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.cost < b.cost; });
    if (ranked.empty()) {
        error = "the fit was cancelled before its first evaluation";
        return false;
    }
    // Phase 2: the best few, refined with what is left of the budget.
    const int keep = std::min<int>(static_cast<int>(ranked.size()), std::max(4, static_cast<int>(threads)));
    const int left = std::max(0, budget - counter.load());
    if (!cancel && left > 0) {
        std::vector<FitStartResult> refined(ranked.begin(), ranked.begin() + keep);
        runJobs(keep, [&](int i) {
            FitStartResult r = session.refine(refined[static_cast<size_t>(i)], left / keep, &cancel, &counter,
                                              remaining());
            std::lock_guard<std::mutex> lock(mutex);
            refined[static_cast<size_t>(i)] = std::move(r);
        });
        for (const auto& r : refined) ranked.push_back(r);
        std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.cost < b.cost; });
    }
    const bool cancelled = cancel.load() && !(deadline > 0 && elapsed() > deadline);
    FitStartResult best = ranked.front();
    best.evaluations = counter.load();
    result = session.finish(best);
    result.seconds = elapsed();
    result.cancelled = cancelled;
    if (cancelled) result.message += "; cancelled (best result so far)";
    return true;
}

std::string FitResidualsCsv(const FitResult& r) {
    std::ostringstream out;
    out << "row,x_mm,y_mm,z_mm,fitted_x_mm,fitted_y_mm,fitted_z_mm,stage,distance_mm,radius_mm,fitted_radius_mm\n";
    for (const FitResidual& e : r.residuals) {
        out << e.row << ',' << NumberText(e.measured.x) << ',' << NumberText(e.measured.y) << ','
            << NumberText(e.measured.z) << ',' << NumberText(e.fitted.x) << ',' << NumberText(e.fitted.y) << ','
            << NumberText(e.fitted.z) << ',' << NumberText(e.stage) << ',' << NumberText(e.distanceMm) << ','
            << (std::isnan(e.radiusMm) ? std::string() : NumberText(e.radiusMm)) << ','
            << NumberText(e.fittedRadiusMm) << '\n';
    }
    return out.str();
}

std::string FitStagesCsv(const FitResult& r) {
    std::ostringstream out;
    out << "stage,density,orientation_deg,stability,pt_ratio\n";
    for (const FitStageRow& s : r.stagesTable)
        out << s.stage << ',' << NumberText(s.density) << ',' << NumberText(s.orientation) << ','
            << NumberText(s.stability) << ',' << NumberText(s.ptRatio) << '\n';
    return out.str();
}

}  // namespace ammonite
