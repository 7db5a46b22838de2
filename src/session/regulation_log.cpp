#include "session/regulation_log.h"

#include "core/numeric.h"

namespace ammonite {

void RegulationLogWriter::regulationBegan(double fatigue, double schedule, double rib) {
    log_.line({kRegulationLogHeading});
    log_.line({});
    log_.line({formatNumber(fatigue), formatNumber(schedule), formatNumber(rib)});
}

void RegulationLogWriter::regulationStep(const RegulationEvent& decided) {
    items_[0] = std::to_string(decided.event);
    items_[0] += "：";
    items_[1] = std::to_string(decided.ribMark);
    log_.line(items_);
}

}  // namespace ammonite
