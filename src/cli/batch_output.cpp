#include "cli/batch_output.h"

#include "app/log_sink.h"

namespace ammonite::batch {

void WriteLog(std::ostream& out, const std::vector<std::vector<std::string>>& lines) {
    for (const auto& items : lines) out << MemoryLog::join(items) << '\n';
}

}  // namespace ammonite::batch
