#include "model/stage_results.h"

#include <charconv>

#include "core/version.h"

namespace ammonite {

namespace {
template <typename T>
std::string shortest(T value) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

// The growth columns, named as ammonite-batch first wrote them; the
// hydrostatic columns after them carry their units in their names.
constexpr const char* kHeader =
    "stage,radius,centre_x,centre_y,centre_z,rim_x,rim_y,rim_z,gamma,curvature,torsion,beta,step,"
    "rib_mark,cumulative_length,volume,buoyancy_x,buoyancy_y,buoyancy_z,view_x,view_y,view_depth,"
    "orientation_angle,"
    "mean_density_g_cm3,pt_ratio_percent,"
    "air_centre_x_mm,air_centre_y_mm,air_centre_z_mm,"
    "body_centre_x_mm,body_centre_y_mm,body_centre_z_mm,"
    "mass_centre_x_mm,mass_centre_y_mm,mass_centre_z_mm,"
    "stability_index";
constexpr int kHydrostaticColumns = 12;
}  // namespace

std::string NumberText(double value) { return shortest(value == 0 ? 0.0 : value); }
std::string NumberText(float value) { return shortest(value == 0 ? 0.0f : value); }

std::string StageTablesHeader() { return kHeader; }

void WriteStageTables(std::ostream& out, const ModelState& m, const RunState& r, long lastStage) {
    out << kHeader << '\n';
    std::string row;
    for (long s = 0; s <= lastStage; ++s) {
        row.clear();
        row += std::to_string(s);
        auto add = [&row](const std::string& text) {
            row += ',';
            row += text;
        };
        auto addF4 = [&](Fixed4 v) { add(NumberText(v.toDouble())); };
        auto addVec = [&](const Vec3& v) {
            add(NumberText(v.x));
            add(NumberText(v.y));
            add(NumberText(v.z));
        };
        addF4(r.radiusByStage[s]);
        addF4(r.centreXByStage[s]);
        addF4(r.centreYByStage[s]);
        addF4(r.centreZByStage[s]);
        addF4(r.rimXByStage[s]);
        addF4(r.rimYByStage[s]);
        addF4(r.rimZByStage[s]);
        addF4(m.gammaByStage[s]);
        addF4(m.curvatureByStage[s]);
        addF4(m.torsionByStage[s]);
        add(NumberText(m.betaByStage[s]));
        addF4(m.gammaBetaByStage[s]);
        add(std::to_string(r.ribMark[s]));
        add(NumberText(r.cumulativeLength[s]));
        addF4(r.volumeByStage[s]);
        addF4(r.buoyancyXByStage[s]);
        addF4(r.buoyancyYByStage[s]);
        addF4(r.buoyancyZByStage[s]);
        addF4(r.viewXByStage[s]);
        addF4(r.viewYByStage[s]);
        addF4(r.viewDepthByStage[s]);
        add(NumberText(r.orientationAngleByStage[s]));
        const StageHydrostatics& h = r.hydrostaticsByStage[s];
        if (h.valid) {
            add(NumberText(h.meanDensity));
            add(NumberText(100 * h.ptRatio));
            addVec(h.airCentre);
            addVec(h.bodyCentre);
            addVec(h.massCentre);
            add(NumberText(h.stabilityIndex));
        } else {
            row.append(kHydrostaticColumns, ',');
        }
        row += '\n';
        out << row;
    }
}

namespace {
std::string vectorText(const Vec3F4& v) {
    return NumberText(v.x.toDouble()) + "," + NumberText(v.y.toDouble()) + "," + NumberText(v.z.toDouble());
}
}  // namespace

void WriteRunSummary(std::ostream& out, const ModelState& m, const RunState& r) {
    out << "shown_stage=" << m.shownStage << '\n'
        << "last_stage=" << m.lastStage << '\n'
        << "alpha=" << NumberText(m.alpha) << '\n'
        << "orientation_label=" << r.report.orientationLabel << '\n'
        << "density_label=" << r.report.densityLabel << '\n'
        << "pt_ratio_text=" << r.report.ptRatioText << '\n'
        << "tangent_stage=" << r.tangentStage << '\n'
        << "view_vector=" << vectorText(m.viewVector) << '\n'
        << "life_view_vector=" << vectorText(m.lifeViewVector) << '\n'
        << "orientation_sin=" << NumberText(m.orientationSin) << '\n'
        << "orientation_cos=" << NumberText(m.orientationCos) << '\n'
        << "orientation_shift_x=" << NumberText(m.orientationShiftX) << '\n'
        << "orientation_shift_y=" << NumberText(m.orientationShiftY) << '\n'
        << "pending_ribs=" << r.pendingRibs << '\n'
        << "rib_countdown=" << r.ribCountdown << '\n'
        << "segments=" << r.segmentsDrawn << '\n'
        << "stability_index=" << NumberText(r.stabilityIndex) << '\n'
        << "stability_label=" << r.report.stabilityLabel << '\n'
        << "generator=" << kGenerator << '\n';
}

}  // namespace ammonite
