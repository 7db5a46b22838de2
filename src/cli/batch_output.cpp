#include "cli/batch_output.h"

#include <charconv>

#include "model/log_sink.h"

namespace ammonite::batch {

namespace {
template <typename T>
std::string shortest(T value) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

std::string vectorText(const Vec3F4& v) {
    return NumberText(v.x.toDouble()) + "," + NumberText(v.y.toDouble()) + "," + NumberText(v.z.toDouble());
}
}  // namespace

std::string NumberText(double value) { return shortest(value == 0 ? 0.0 : value); }
std::string NumberText(float value) { return shortest(value == 0 ? 0.0f : value); }

void WriteTables(std::ostream& out, const MainWindowLogic& logic, long lastStage) {
    const RunState& r = logic.run;
    const ModelState& m = logic.model;
    out << "stage,radius,centre_x,centre_y,centre_z,rim_x,rim_y,rim_z,gamma,curvature,torsion,beta,step,"
           "rib_mark,cumulative_length,volume,buoyancy_x,buoyancy_y,buoyancy_z,view_x,view_y,view_depth,"
           "orientation_angle\n";
    std::string row;
    for (long s = 0; s <= lastStage; ++s) {
        row.clear();
        row += std::to_string(s);
        auto add = [&row](const std::string& text) {
            row += ',';
            row += text;
        };
        auto addF4 = [&](Fixed4 v) { add(NumberText(v.toDouble())); };
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
        row += '\n';
        out << row;
    }
}

void WriteLog(std::ostream& out, const std::vector<std::vector<std::string>>& lines) {
    for (const auto& items : lines) out << MemoryLog::join(items) << '\n';
}

void WriteSummary(std::ostream& out, const MainWindowLogic& logic) {
    const RunState& r = logic.run;
    const ModelState& m = logic.model;
    out << "shown_stage=" << m.shownStage << '\n'
        << "last_stage=" << m.lastStage << '\n'
        << "alpha=" << NumberText(m.alpha) << '\n'
        << "orientation_label=" << logic.ORIlbl.caption() << '\n'
        << "density_label=" << logic.DNSlbl.caption() << '\n'
        << "pt_ratio_text=" << logic.PTRtxt.text() << '\n'
        << "tangent_stage=" << r.tangentStage << '\n'
        << "view_vector=" << vectorText(m.viewVector) << '\n'
        << "life_view_vector=" << vectorText(m.lifeViewVector) << '\n'
        << "orientation_sin=" << NumberText(m.orientationSin) << '\n'
        << "orientation_cos=" << NumberText(m.orientationCos) << '\n'
        << "orientation_shift_x=" << NumberText(m.orientationShiftX) << '\n'
        << "orientation_shift_y=" << NumberText(m.orientationShiftY) << '\n'
        << "pending_ribs=" << r.pendingRibs << '\n'
        << "rib_countdown=" << r.ribCountdown << '\n'
        << "segments=" << r.segmentsDrawn << '\n';
}

}  // namespace ammonite::batch
