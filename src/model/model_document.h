// The model the windows share, as a document that announces its changes.
// The profile window, the settings window and the main window set the
// model's inputs through it; whoever shows the model (the main window's
// scale box, VIEW's live regrowth) listens and follows at once instead of
// looking again and again. The switches and choices that the model keeps as
// small numbers (the growth arithmetic and the profile file read them so)
// are yes/no and named choices here.
//
// One user action may set many values: within a batch the announcements are
// held and each kind is told once, in the order it first came, when the
// outermost batch closes, so a listener never sees an action half done.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "model/model_state.h"

namespace ammonite {

// The orientation of the shell in the pictures: fixed, or turned each stage
// into its life position.
enum class OrientationMode : std::int16_t { Fixed = 0, Life = 2 };
// Which stage the settings' view and light refer to.
enum class ReferStage : std::int16_t { Initial = 0, Final = 1 };
// One of the four profiles the stage tables are interpolated from.
enum class ProfileKind { Gamma, Curvature, Torsion, Beta };

class ModelDocument {
public:
    // What was set. One announcement may stand for several fields.
    enum class Change {
        Profiles,         // the four profiles, α or the stage range
        Stages,           // the number of stages a START grows
        GrowthIncrement,
        DrawScale,
        Origin,
        View,             // the view direction
        Light,            // the light direction
        Densities,
        Switches,         // ribbing, life orientation, the stage the view refers to
        Thresholds,       // the regulation thresholds of the main window's bars
        Run,              // a START or SHADE ran: the run and what it carried over
        Replaced,         // the whole model was replaced (an opened scenario)
    };
    // `by` names who set it (null when nobody in particular): a window that
    // listens can leave its own changes alone.
    using Listener = std::function<void(Change what, const void* by)>;

    // Keeps a listener for as long as it lives; harmless after the document
    // is gone.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(Subscription&&) noexcept = default;
        Subscription& operator=(Subscription&& other) noexcept;
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;
        ~Subscription() { reset(); }
        void reset();

    private:
        friend class ModelDocument;
        struct Listeners;
        Subscription(std::weak_ptr<Listeners> list, int id) : list_(std::move(list)), id_(id) {}
        std::weak_ptr<Listeners> list_;
        int id_ = 0;
    };

    // Holds the announcements of one action until it ends.
    class Batch {
    public:
        explicit Batch(ModelDocument& document) : document_(document) { ++document_.batchDepth_; }
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        ModelDocument& document_;
    };

    explicit ModelDocument(ModelState& state);
    ModelDocument(const ModelDocument&) = delete;
    ModelDocument& operator=(const ModelDocument&) = delete;

    const ModelState& state() const { return state_; }
    // For the steps that write many fields at once (a START, a profile edit,
    // an opened scenario): they announce what they changed when done.
    ModelState& state() { return state_; }

    // Counts the announcements: a view that remembers it knows whether the
    // model was set since.
    std::uint64_t revision() const { return revision_; }

    [[nodiscard]] Subscription listen(Listener listener);
    void announce(Change what, const void* by = nullptr);

    // ---- setters: each value set is announced ----
    void setGrowthIncrement(float value, const void* by = nullptr);
    // α and the profiles are announced as a change of the profiles.
    void setAlpha(double value, const void* by = nullptr);
    const ParameterProfile& profile(ProfileKind which) const;
    void setProfile(ProfileKind which, const ParameterProfile& profile, const void* by = nullptr);
    void setDrawScale(Fixed4 value, const void* by = nullptr);
    void setOriginX(Fixed4 value, const void* by = nullptr);
    void setOriginY(Fixed4 value, const void* by = nullptr);
    void setViewVector(const Vec3F4& value, const void* by = nullptr);
    void setLightVector(const Vec3F4& value, const void* by = nullptr);
    void setDensity(int index, double value, const void* by = nullptr);  // 0 air chamber, 1 body chamber

    // ---- switches and choices ----
    bool ribbing() const { return state_.ribbingOn == 1; }
    void setRibbing(bool on, const void* by = nullptr);
    OrientationMode orientation() const { return static_cast<OrientationMode>(state_.orientationMode); }
    bool lifeOrientation() const { return orientation() == OrientationMode::Life; }
    // Switched off, the shell stands as it was built again (no life turn).
    void setLifeOrientation(bool on, const void* by = nullptr);
    ReferStage referStage() const { return state_.referStage == 1 ? ReferStage::Final : ReferStage::Initial; }
    void setReferStage(ReferStage stage, const void* by = nullptr);
    // The regulation model took over the last run's growth (after stage 200).
    bool regulatedGrowth() const { return state_.regulatedGrowth == 1; }
    // Once the profile window has been opened, the main window's load step
    // keeps the profiles it holds.
    bool profileWindowOpened() const { return state_.profileWindowOpened == 1; }
    void setProfileWindowOpened(bool opened) { state_.profileWindowOpened = opened ? 1 : 0; }

private:
    void deliver(Change what, const void* by);
    ParameterProfile& profileSlot(ProfileKind which) const;

    ModelState& state_;
    std::shared_ptr<Subscription::Listeners> listeners_;
    std::uint64_t revision_ = 0;
    int batchDepth_ = 0;
    std::vector<std::pair<Change, const void*>> held_;
};

}  // namespace ammonite
