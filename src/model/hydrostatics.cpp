// Hydrostatics of the shell built so far: volumes and centroids of the air
// chamber (phragmocone) and the body chamber, the mean density, the direction
// taken as "up", the life-orientation angle, and the final report of a run
// (report texts, markers, the life orientation the next run is drawn in).
#include <algorithm>
#include <cmath>
#include <string>

#include "model/growth_steps.h"

namespace ammonite {

namespace {

using namespace vec3;

Vec3 rimAt(const RunState& r, long stage) {
    return {r.rimXByStage[stage], r.rimYByStage[stage], r.rimZByStage[stage]};
}

}  // namespace

using growth_steps::Grower;

double StabilityIndex(const Vec3& B, const Vec3& G, double volume) {
    const double dx = B.x - G.x, dy = B.y - G.y, dz = B.z - G.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz) / std::cbrt(volume);
}

std::string OrientationLabel(float angle) {
    // The angle is held in single precision: its tenths are taken there too,
    // so that an angle such as -179.8 is not shown a tenth lower.
    const float tenths = 10.0f * angle;
    return formatNumber(std::floor(static_cast<double>(tenths)) / 10);
}

void Grower::HydrostaticStep() {
    RunState& r = run;
    const long S = static_cast<long>(r.currentStage);
    const double rPrev = r.radiusByStage[S - 1];
    const double rNow = r.radiusByStage[S];

    // The segment of this stage joins the tube.
    r.segmentVolume = r.stepLength * kPi * rPrev * rPrev * rPrev;
    r.volumeMomentX += r.centreXByStage[S - 1] * r.segmentVolume;
    r.volumeMomentY += r.centreYByStage[S - 1] * r.segmentVolume;
    r.volumeMomentZ += r.centreZByStage[S - 1] * r.segmentVolume;
    const double segmentLength = r.stepLength * rPrev;
    if (!(segmentLength >= 0)) r.lengthsAscending = false;
    r.cumulativeLength[S] = r.cumulativeLength[S - 1] + segmentLength;
    r.totalVolume += r.segmentVolume;
    const double V = r.totalVolume;
    const char* const noVolume = "centre of buoyancy of a tube of no volume";
    r.buoyancyCentre = {checkedDivide(r.volumeMomentX, V, noVolume), checkedDivide(r.volumeMomentY, V, noVolume),
                        checkedDivide(r.volumeMomentZ, V, noVolume)};
    r.volumeByStage[S] = V;
    r.buoyancyXByStage[S] = r.buoyancyCentre.x;
    r.buoyancyYByStage[S] = r.buoyancyCentre.y;
    r.buoyancyZByStage[S] = r.buoyancyCentre.z;

    // Where the body chamber begins: stageBeta radii behind the aperture.
    r.bodyStart = static_cast<float>(r.cumulativeLength[S] - r.stageBeta * rNow);
    const double bodyStart = r.bodyStart;
    long j = 0;
    if (r.cumulativeLength[S] >= bodyStart) {
        // The lengths up to S never decrease while every step is forward; the
        // first row at or past bodyStart is then found by bisection, the same
        // row a scan from 0 stops at.
        const double* rows = r.cumulativeLength.data();
        if (r.lengthsAscending) {
            j = std::lower_bound(rows, rows + S + 1, bodyStart) - rows;
        } else {
            while (bodyStart > rows[j]) ++j;
        }
    } else {
        while (bodyStart > r.cumulativeLength[j]) ++j;
    }
    j = std::max(0L, j - 1);
    r.bodyStartStage = static_cast<std::int16_t>(j);
    r.bodyStartFraction =
        checkedDivide(bodyStart - r.cumulativeLength[j], r.cumulativeLength[j + 1] - r.cumulativeLength[j],
                      "body chamber start between two stages of equal length");
    const double t = r.bodyStartFraction;

    // Air chamber: the tube up to bodyStart.
    r.airCentre = {r.buoyancyXByStage[j] + t * (r.buoyancyXByStage[j + 1] - r.buoyancyXByStage[j]),
                   r.buoyancyYByStage[j] + t * (r.buoyancyYByStage[j + 1] - r.buoyancyYByStage[j]),
                   r.buoyancyZByStage[j] + t * (r.buoyancyZByStage[j + 1] - r.buoyancyZByStage[j])};
    r.airVolume = r.volumeByStage[j] + t * (r.volumeByStage[j + 1] - r.volumeByStage[j]);
    const double Va = r.airVolume;
    const Vec3& A = r.airCentre;
    const Vec3& B = r.buoyancyCentre;

    // Body chamber: the rest.
    const char* const wholeBody = "the body chamber takes the whole tube";
    r.bodyCentre = {checkedDivide(A.x * Va - B.x * V, Va - V, wholeBody),
                    checkedDivide(A.y * Va - B.y * V, Va - V, wholeBody),
                    checkedDivide(A.z * Va - B.z * V, Va - V, wholeBody)};
    r.bodyVolume = V - Va;
    const double Vb = r.bodyVolume;
    const Vec3& C = r.bodyCentre;

    const double d0 = in.densities[0], d1 = in.densities[1];
    r.totalMass = d0 * Va + d1 * Vb;
    const double M = r.totalMass;
    const Vec3 moment{d0 * Va * A.x + d1 * Vb * C.x, d0 * Va * A.y + d1 * Vb * C.y, d0 * Va * A.z + d1 * Vb * C.z};
    if (!std::isfinite(M) || !std::isfinite(moment.x) || !std::isfinite(moment.y) || !std::isfinite(moment.z))
        throwOverflow("the mass of the shell is infinite at these densities");
    const char* const noMass = "centre of mass of a shell of no mass";
    r.massCentre = {checkedDivide(moment.x, M, noMass), checkedDivide(moment.y, M, noMass),
                    checkedDivide(moment.z, M, noMass)};
    r.meanDensity = checkedDivide(M, Va + Vb, "density of a shell of no volume");
    r.ptRatio = checkedDivide(r.cumulativeLength[S] - r.stageBeta * rNow, r.cumulativeLength[S],
                              "P/T ratio of a tube of no length");
    r.stabilityIndex = StabilityIndex(B, r.massCentre, V);
    StageHydrostatics& row = r.hydrostaticsByStage[S];
    row.valid = true;
    row.meanDensity = r.meanDensity;
    row.ptRatio = r.ptRatio;
    row.stabilityIndex = r.stabilityIndex;
    row.airCentre = A;
    row.bodyCentre = C;
    row.massCentre = r.massCentre;
    row.buoyancyCentre = B;
    row.bodyStartStage = r.bodyStartStage;
    row.bodyStartFraction = r.bodyStartFraction;

    // Provisional rim point; the construction of the stage replaces it.
    const double advance = r.stepLength * rNow;
    r.rimXByStage[S] = r.rimXByStage[S - 1] + advance * r.axisDirection.x;
    r.rimYByStage[S] = r.rimYByStage[S - 1] + advance * r.axisDirection.y;
    r.rimZByStage[S] = r.rimZByStage[S - 1] + advance * r.axisDirection.z;

    if (in.orientationMode == 0)
        SimpleUpVector();
    else if (in.orientationMode == 2)
        FindTangentPoint();
    row.upVector = r.buoyancyVector;
}

void Grower::SimpleUpVector() {
    RunState& r = run;
    r.buoyancyVector = {r.airCentre.x - r.bodyCentre.x, r.airCentre.y - r.bodyCentre.y,
                        r.airCentre.z - r.bodyCentre.z};
}

void Grower::FindTangentPoint() {
    RunState& r = run;
    const Vec3& G = r.massCentre;
    const Vec3& B = r.buoyancyCentre;
    const double V = r.totalVolume, M = r.totalMass;
    // Walk back along the rim from the aperture until the shell, resting on
    // the segment ending at that rim point, would turn the right way.
    r.tangentStage = toInt16(r.currentStage + 1.0);
    double moment = -1;
    double ex = 0, ez = 1;
    while (moment < 0) {
        r.tangentStage = static_cast<std::int16_t>(r.tangentStage - 1);
        const long i = r.tangentStage;
        const double rx = r.rimXByStage[i], rz = r.rimZByStage[i];
        ex = r.rimXByStage[i - 1] - rx;
        ez = r.rimZByStage[i - 1] - rz;
        const double len = std::sqrt(ex * ex + ez * ez);
        if (len == 0) {
            ex = 0;
            ez = 1;
        } else {
            ex /= len;
            ez /= len;
        }
        const double g = (G.x - rx) * ex + (G.z - rz) * ez;
        const double b = (B.x - rx) * ex + (B.z - rz) * ez;
        moment = kSeaWaterDensity * V * b - M * g;
        if (r.tangentStage == 1) moment = 1;
    }
    if (r.tangentStage == static_cast<long>(r.currentStage))
        SimpleUpVector();
    else
        r.buoyancyVector = {ez, 0, -ex};
}

void Grower::OrientStage(const Vec3& direction) {
    RunState& r = run;
    Vec3 u = r.buoyancyVector;
    const double lu = norm(u);
    if (lu == 0)
        u = {1, 0, 0};
    else
        u = {u.x / lu, u.y / lu, u.z / lu};
    Vec3 d = direction;
    const double ld = norm(d);
    if (ld == 0)
        d = {0, 0, 1};
    else
        d = {d.x / ld, d.y / ld, d.z / ld};

    const double c = -(d.x * u.x + d.y * u.y + d.z * u.z);
    r.tiltCosine = c;
    if (c != 0) {
        // |c| may exceed 1 by a rounding error; the sine is then 0.
        const double sine = std::sqrt(std::max(0.0, 1 - c * c));
        r.orientationAngle = static_cast<float>(std::floor(100 * std::atan(sine / c) * 180 / kPi) / 100);
    } else {
        r.orientationAngle = 0;
    }

    Vec3 w = cross(d, u);
    double lw = norm(w);
    if (lw == 0) {
        w = {0, 1, 0};
        lw = 1;
    }
    Vec3F4& L = out.lifeViewVector.emplace();
    L = {w.x / lw, w.y / lw, w.z / lw};

    if (c <= 0) {
        if (L.y <= 0) {
            r.orientationAngle = r.orientationAngle + 90.0f;
        } else {
            L = {Fixed4::fromRaw(-L.x.raw()), Fixed4::fromRaw(-L.y.raw()), Fixed4::fromRaw(-L.z.raw())};
            r.orientationAngle = 90.0f - r.orientationAngle;
        }
    } else {
        r.orientationAngle = r.orientationAngle - 90.0f;
    }
}

void Grower::FinalReport() {
    // The report's texts are written from the results (WriteRunReport).
    RunState& r = run;
    OrientStage(r.previousDirection);

    // Tangent construction.
    const bool lifeOrientation = in.orientationMode == 2;
    const long t = r.tangentStage;
    const Vec3 R = rimAt(r, t);
    const Vec3F4& lifeView = *out.lifeViewVector;
    Vec3 p1, p2;
    if (lifeOrientation) {
        Vec3 q;
        if (t == out.shownStage) {
            const double k = checkedDivide(r.totalVolume, r.totalMass, "shell of no mass");
            const Vec3& B = r.buoyancyCentre;
            const Vec3& G = r.massCentre;
            q = {R.x + k * (B.x - R.x) - G.x, R.y + k * (B.y - R.y) - G.y, R.z + k * (B.z - R.z) - G.z};
        } else {
            const Vec3 before = rimAt(r, t - 1);
            const Vec3 e{before.x - R.x, before.y - R.y, before.z - R.z};
            const Vec3 L{lifeView.x, lifeView.y, lifeView.z};
            const Vec3 n = cross(e, L);
            q = {R.x + n.x, R.y + n.y, R.z + n.z};
        }
        ApplyViewRotation(q, r.view);
        p1 = q;
    }
    if (lifeOrientation) {
        Vec3 tangentView = R;
        ApplyViewRotation(tangentView, r.view);
        p2 = tangentView;
    }
    // The markers (the tangent point and the two centres) can be drawn from
    // here on, in the orientation of the run just ended.
    out.markersReady = true;

    GrowthCarry& next = out.next;
    if (in.orientationMode == 0) {
        next.orientationSin = 0;
        next.orientationCos = 1;
        next.orientationShiftX = 0;
        next.orientationShiftY = 0;
    }
    if (lifeOrientation) {
        // The next run looks along lifeViewVector and turns the picture so
        // that the line from the tangent point to P1 stands upright.
        out.viewVector = lifeView;
        const double dy = p1.y - p2.y, dx = p1.x - p2.x;
        const double h = std::sqrt(dy * dy + dx * dx);
        const char* const coincide = "the tangent point and its upright coincide";
        next.orientationSin = checkedDivide(dx, h, coincide);
        next.orientationCos = checkedDivide(dy, h, coincide);
        next.orientationShiftX = p2.x;
        next.orientationShiftY = p2.y;
    }

    // The chart's own checks (a radius of 0, γ = 1) end the run as they do
    // when the window draws it.
    out.chartBegan = true;
    growth_steps::CheckRegulationChart(r, out.shownStage);
}

}  // namespace ammonite
