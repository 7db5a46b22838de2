#include "cli/batch_output.h"

#include "app/log_sink.h"

namespace ammonite::batch {

namespace {
std::string vectorText(const Vec3F4& v) {
    return NumberText(v.x.toDouble()) + "," + NumberText(v.y.toDouble()) + "," + NumberText(v.z.toDouble());
}
}  // namespace

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
        << "segments=" << r.segmentsDrawn << '\n'
        << "stability_index=" << NumberText(r.stabilityIndex) << '\n'
        << "stability_label=" << logic.STBlbl.caption() << '\n';
}

}  // namespace ammonite::batch
