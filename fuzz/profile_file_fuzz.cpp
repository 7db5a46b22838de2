// libFuzzer target for the profile data file reader. Every input must either
// load (then the profiles are within bounds and saving and reading back gives
// the same text) or be refused with a one-line message while the contents it
// was read onto stay exactly as they were.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "model/profile_file.h"

using namespace ammonite;

namespace {

bool same(const ProfileFileContents& a, const ProfileFileContents& b) {
    if (std::memcmp(&a.alpha, &b.alpha, sizeof a.alpha) != 0) return false;
    if (std::memcmp(a.stageRange.data(), b.stageRange.data(), sizeof a.stageRange) != 0) return false;
    for (size_t p = 0; p < 4; ++p)
        if (!(a.profiles[p] == b.profiles[p])) return false;
    return true;
}

bool stageOk(double s) { return s >= 0 && s <= kMaxStage; }

const ModelState& startModel() {
    static const std::unique_ptr<ModelState> m = [] {
        auto s = std::make_unique<ModelState>();
        s->setDefaultProfiles();
        s->alpha = 1.005;
        s->stageRange = {0, 3000};
        // Old points above the counts, which a load must keep.
        for (auto* p : {&s->gammaProfile, &s->curvatureProfile, &s->torsionProfile, &s->betaProfile})
            for (int i = p->count + 1; i <= ParameterProfile::kMaxCount; ++i) p->setPoint(i, 7 * i, -i);
        return s;
    }();
    return *m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const ProfileFileContents before = ProfileFileContents::from(startModel());
    ProfileFileContents got = before;
    std::string error;
    if (!ParseProfileFile(bytes, got, error)) {
        if (!same(got, before)) std::abort();                                  // half-read model
        if (error.empty() || error.find('\n') != std::string::npos) std::abort();  // not one line
        return 0;
    }
    // Loaded: everything within the bounds of the stage tables.
    if (!std::isfinite(got.alpha) || !stageOk(got.stageRange[0]) || !stageOk(got.stageRange[1])) std::abort();
    for (const ParameterProfile& p : got.profiles) {
        if (p.count < 0 || p.count > ParameterProfile::kMaxCount) std::abort();
        for (int i = 0; i <= p.count; ++i)
            if (!stageOk(p.stages[i]) || !std::isfinite(p.values[i])) std::abort();
    }
    // Saving and reading back is stable: the second save gives the same text.
    auto model = std::make_unique<ModelState>(startModel());
    got.commitTo(*model);
    const std::string saved = FormatProfileFile(*model);
    ProfileFileContents again = ProfileFileContents::from(startModel());
    if (!ParseProfileFile(saved, again, error)) std::abort();
    auto model2 = std::make_unique<ModelState>(startModel());
    again.commitTo(*model2);
    if (FormatProfileFile(*model2) != saved) std::abort();
    return 0;
}
