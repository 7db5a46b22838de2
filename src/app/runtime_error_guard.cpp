#include "app/runtime_error_guard.h"

#include "core/numeric.h"

namespace ammonite {

bool RuntimeErrorGuard::run(const std::function<void()>& action) {
    const bool outermost = depth_ == 0;
    if (outermost && clearsStatus) statusLine_.setCaption("");
    ++depth_;
    bool ok = true;
    try {
        action();
    } catch (const RuntimeError& e) {
        statusLine_.setCaption(e.what());
        ok = false;
    } catch (...) {
        --depth_;
        throw;
    }
    --depth_;
    if (outermost && ended) ended();
    return ok;
}

}  // namespace ammonite
