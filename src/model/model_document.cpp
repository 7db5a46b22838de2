#include "model/model_document.h"

#include <algorithm>

namespace ammonite {

struct ModelDocument::Subscription::Listeners {
    std::vector<std::pair<int, std::shared_ptr<Listener>>> entries;
    int nextId = 1;
};

ModelDocument::Subscription& ModelDocument::Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        reset();
        list_ = std::move(other.list_);
        id_ = other.id_;
        other.id_ = 0;
    }
    return *this;
}

void ModelDocument::Subscription::reset() {
    if (auto list = list_.lock()) {
        auto& e = list->entries;
        e.erase(std::remove_if(e.begin(), e.end(), [this](const auto& entry) { return entry.first == id_; }), e.end());
    }
    list_.reset();
    id_ = 0;
}

ModelDocument::Batch::~Batch() {
    if (document_.batchDepth_ > 1) {
        --document_.batchDepth_;
        return;
    }
    // Listeners may act (and announce) in turn: what they announce is held
    // too, and told after what this batch held.
    while (!document_.held_.empty()) {
        auto held = std::move(document_.held_);
        document_.held_.clear();
        for (const auto& [what, by] : held) document_.deliver(what, by);
    }
    document_.batchDepth_ = 0;
}

ModelDocument::ModelDocument(ModelState& state)
    : state_(state), listeners_(std::make_shared<Subscription::Listeners>()) {}

ModelDocument::Subscription ModelDocument::listen(Listener listener) {
    const int id = listeners_->nextId++;
    listeners_->entries.emplace_back(id, std::make_shared<Listener>(std::move(listener)));
    return Subscription(listeners_, id);
}

void ModelDocument::announce(Change what, const void* by) {
    ++revision_;
    if (batchDepth_ > 0) {
        const std::pair<Change, const void*> entry{what, by};
        if (std::find(held_.begin(), held_.end(), entry) == held_.end()) held_.push_back(entry);
        return;
    }
    deliver(what, by);
}

void ModelDocument::deliver(Change what, const void* by) {
    // A listener may stop listening, or start, while it is told.
    const auto entries = listeners_->entries;
    for (const auto& [id, listener] : entries) {
        const auto& now = listeners_->entries;
        const bool stillListening =
            std::any_of(now.begin(), now.end(), [id = id](const auto& entry) { return entry.first == id; });
        if (stillListening) (*listener)(what, by);
    }
}

void ModelDocument::setGrowthIncrement(float value, const void* by) {
    state_.growthIncrement = value;
    announce(Change::GrowthIncrement, by);
}

void ModelDocument::setAlpha(double value, const void* by) {
    state_.alpha = value;
    announce(Change::Profiles, by);
}

const ParameterProfile& ModelDocument::profile(ProfileKind which) const { return profileSlot(which); }

ParameterProfile& ModelDocument::profileSlot(ProfileKind which) const {
    switch (which) {
    case ProfileKind::Gamma: return state_.gammaProfile;
    case ProfileKind::Curvature: return state_.curvatureProfile;
    case ProfileKind::Torsion: return state_.torsionProfile;
    case ProfileKind::Beta: break;
    }
    return state_.betaProfile;
}

void ModelDocument::setProfile(ProfileKind which, const ParameterProfile& profile, const void* by) {
    profileSlot(which) = profile;
    announce(Change::Profiles, by);
}

void ModelDocument::setDrawScale(Fixed4 value, const void* by) {
    state_.drawScale = value;
    announce(Change::DrawScale, by);
}

void ModelDocument::setOriginX(Fixed4 value, const void* by) {
    state_.originX = value;
    announce(Change::Origin, by);
}

void ModelDocument::setOriginY(Fixed4 value, const void* by) {
    state_.originY = value;
    announce(Change::Origin, by);
}

void ModelDocument::setViewVector(const Vec3F4& value, const void* by) {
    state_.viewVector = value;
    announce(Change::View, by);
}

void ModelDocument::setLightVector(const Vec3F4& value, const void* by) {
    state_.lightVector = value;
    announce(Change::Light, by);
}

void ModelDocument::setDensity(int index, double value, const void* by) {
    state_.densities.at(static_cast<size_t>(index)) = value;
    announce(Change::Densities, by);
}

void ModelDocument::setRibbing(bool on, const void* by) {
    state_.ribbingOn = on ? 1 : 0;
    announce(Change::Switches, by);
}

void ModelDocument::setLifeOrientation(bool on, const void* by) {
    state_.orientationMode = static_cast<std::int16_t>(on ? OrientationMode::Life : OrientationMode::Fixed);
    if (!on) {
        state_.orientationCos = 1;
        state_.orientationSin = 0;
    }
    announce(Change::Switches, by);
}

void ModelDocument::setReferStage(ReferStage stage, const void* by) {
    state_.referStage = static_cast<std::int16_t>(stage);
    announce(Change::Switches, by);
}

}  // namespace ammonite
