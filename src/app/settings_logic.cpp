#include "app/settings_logic.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace ammonite {

// ---- option buttons ---------------------------------------------------------

void OptionButtonModel::select() {
    if (selected_) return;
    selected_ = true;
    if (peer_) peer_->deselect();
    if (viewUpdate) viewUpdate();
    if (onClick) onClick();
}

void OptionButtonModel::deselect() {
    if (!selected_) return;
    selected_ = false;
    if (viewUpdate) viewUpdate();
}

void OptionButtonModel::group(OptionButtonModel& a, OptionButtonModel& b) {
    a.peer_ = &b;
    b.peer_ = &a;
}

// ---- number texts -------------------------------------------------------------

namespace settings_text {
std::string plainFixed4(Fixed4 v) { return formatFixed4(v); }
std::string plainSingle(float v) { return formatSingle(v); }
std::string plainDouble(double v) { return formatNumber(v); }
std::string padded(const std::string& plain) {
    if (!plain.empty() && plain[0] == '-') return dropLeadingZero(plain);
    return " " + dropLeadingZero(plain);
}
std::string paddedFixed4(Fixed4 v) { return padded(plainFixed4(v)); }
std::string paddedSingle(float v) { return padded(plainSingle(v)); }
std::string paddedDouble(double v) { return padded(plainDouble(v)); }
}  // namespace settings_text

using namespace settings_text;

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

bool startsNegative(const std::string& text) {
    for (char c : text) {
        if (c == ' ' || c == '\t') continue;
        return c == '-';
    }
    return false;
}

// The leading number of a box for a four-decimal field; a number the field
// cannot hold is an overflow.
Fixed4 leadingFixed4(const std::string& text) {
    return Fixed4(parseLeadingNumber(text));
}

float leadingSingle(const std::string& text) {
    const double v = parseLeadingNumber(text);
    if (std::isinf(static_cast<float>(v))) throwOverflow("number too large for the growth increment");
    return static_cast<float>(v);
}

// When the leading number of a box does not fit its field: +∞ or -∞ by its
// sign, so that a limit check brings it to the nearer limit. 0 when it fits.
template <class Read>
double overflowDirection(const std::string& text, Read read) {
    try {
        read(text);
        return 0;
    } catch (const RuntimeError& e) {
        if (e.kind() != RuntimeError::Kind::Overflow) throw;
        return startsNegative(text) ? -kInfinity : kInfinity;
    }
}

// The whole text of a density box as a number.
enum class WholeText { Number, TooLarge, NotNumber };
WholeText readWholeText(const std::string& text, double& out) {
    if (tryParseWholeNumber(text, out)) return WholeText::Number;
    // A well-formed number beyond the double range, such as "1e400"?
    size_t b = text.find_first_not_of(" \t");
    size_t e = text.find_last_not_of(" \t");
    if (b == std::string::npos) return WholeText::NotNumber;
    std::string t = text.substr(b, e - b + 1);
    bool wellFormed = !t.empty();
    for (char c : t)
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E'))
            wellFormed = false;
    if (!wellFormed) return WholeText::NotNumber;
    char* end = nullptr;
    double v = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || !std::isinf(v)) return WholeText::NotNumber;
    out = v;
    return WholeText::TooLarge;
}

template <class Model, class Handler>
void runQuietly(Model& model, Handler Model::*handler, const std::function<void()>& step) {
    auto saved = std::move(model.*handler);
    model.*handler = nullptr;
    try {
        step();
    } catch (...) {
        model.*handler = std::move(saved);
        throw;
    }
    model.*handler = std::move(saved);
}

}  // namespace

// ---- the window ------------------------------------------------------------------

SettingsWindowLogic::SettingsWindowLogic(ModelState& m, DrawingSurface& preview)
    : ownDocument_(std::make_unique<ModelDocument>(m)), document(*ownDocument_), model(m), previewSurface(preview) {
    init();
}

SettingsWindowLogic::SettingsWindowLogic(ModelDocument& d, DrawingSurface& preview)
    : document(d), model(d.state()), previewSurface(preview) {
    init();
}

void SettingsWindowLogic::init() {
    VLGlbl.setCaption("P");
    VLTlbl.setCaption("Q");
    LLGlbl.setCaption("P");
    LLTlbl.setCaption("Q");
    OptionButtonModel::group(INITIALopt, FINALopt);
    OptionButtonModel::group(SCRNopt, FRAMEopt);
    wire();
}

SettingsWindowLogic::AngleControls SettingsWindowLogic::view() {
    return {VXtxt, VYtxt, VZtxt, VIEWhsc, VIEWvsc, VLGlbl, VLTlbl, model.viewVector};
}

SettingsWindowLogic::AngleControls SettingsWindowLogic::light() {
    return {LXtxt, LYtxt, LZtxt, LIGHThsc, LIGHTvsc, LLGlbl, LLTlbl, model.lightVector};
}

void SettingsWindowLogic::wire() {
    // Change handlers: the number at the start of the text, into the field.
    GItxt.onChange = [this] { document.setGrowthIncrement(leadingSingle(GItxt.text()), this); };
    SCLtxt.onChange = [this] { document.setDrawScale(leadingFixed4(SCLtxt.text()), this); };
    OXtxt.onChange = [this] { document.setOriginX(leadingFixed4(OXtxt.text()), this); };
    OYtxt.onChange = [this] { document.setOriginY(leadingFixed4(OYtxt.text()), this); };
    auto component = [this](Vec3F4 vector, Fixed4 Vec3F4::*axis, const TextBoxModel& box) {
        vector.*axis = leadingFixed4(box.text());
        return vector;
    };
    VXtxt.onChange = [=] { document.setViewVector(component(model.viewVector, &Vec3F4::x, VXtxt), this); };
    VYtxt.onChange = [=] { document.setViewVector(component(model.viewVector, &Vec3F4::y, VYtxt), this); };
    VZtxt.onChange = [=] { document.setViewVector(component(model.viewVector, &Vec3F4::z, VZtxt), this); };
    LXtxt.onChange = [=] { document.setLightVector(component(model.lightVector, &Vec3F4::x, LXtxt), this); };
    LYtxt.onChange = [=] { document.setLightVector(component(model.lightVector, &Vec3F4::y, LYtxt), this); };
    LZtxt.onChange = [=] { document.setLightVector(component(model.lightVector, &Vec3F4::z, LZtxt), this); };

    // Leave-field checks.
    GItxt.onLeave = [this] { onLimitedBoxLeft(GItxt); };
    SCLtxt.onLeave = [this] { onLimitedBoxLeft(SCLtxt); };
    OXtxt.onLeave = [this] { onLimitedBoxLeft(OXtxt); };
    OYtxt.onLeave = [this] { onLimitedBoxLeft(OYtxt); };
    VXtxt.onLeave = [this] { onVectorBoxLeft(VXtxt, model.viewVector.x); };
    VYtxt.onLeave = [this] { onVectorBoxLeft(VYtxt, model.viewVector.y); };
    VZtxt.onLeave = [this] {
        onVectorBoxLeft(VZtxt, model.viewVector.z);
        onZBoxLeft(view());
    };
    LXtxt.onLeave = [this] { onVectorBoxLeft(LXtxt, model.lightVector.x); };
    LYtxt.onLeave = [this] { onVectorBoxLeft(LYtxt, model.lightVector.y); };
    LZtxt.onLeave = [this] {
        onVectorBoxLeft(LZtxt, model.lightVector.z);
        onZBoxLeft(light());
    };
    DAtxt.onLeave = [this] { onDensityLeft(DAtxt, 0); };
    DBtxt.onLeave = [this] { onDensityLeft(DBtxt, 1); };

    // Scroll bars.
    ORIGINhsc.onChange = [this] {
        document.setOriginX(ORIGINhsc.value(), this);
        OXtxt.setText(std::to_string(ORIGINhsc.value()));
        DrawPreview();
    };
    ORIGINvsc.onChange = [this] {
        document.setOriginY(ORIGINvsc.value(), this);
        OYtxt.setText(std::to_string(ORIGINvsc.value()));
        DrawPreview();
    };
    VIEWhsc.onChange = [this] { onAngleBarChanged(view(), true); };
    VIEWvsc.onChange = [this] { onAngleBarChanged(view(), false); };
    LIGHThsc.onChange = [this] { onAngleBarChanged(light(), true); };
    LIGHTvsc.onChange = [this] { onAngleBarChanged(light(), false); };

    // Switches and choices.
    RIBcbx.onClick = [this] { document.setRibbing(RIBcbx.checked(), this); };
    ORIENTcbx.onClick = [this] { onOrientationClicked(); };
    INITIALopt.onClick = [this] { document.setReferStage(ReferStage::Initial, this); };
    FINALopt.onClick = [this] { document.setReferStage(ReferStage::Final, this); };
    SCRNopt.onClick = [this] { DrawPreview(); };
    FRAMEopt.onClick = [this] { DrawPreview(); };
}

bool SettingsWindowLogic::Guard(const std::function<void()>& action) {
    // The other windows hear of the action's changes once it has ended.
    ModelDocument::Batch batch(document);
    return guard_.run(action);
}

void SettingsWindowLogic::Load() {
    // The switches as they are in force (set without running their clicks,
    // which would change the model).
    runQuietly(RIBcbx, &CheckBoxModel::onClick, [this] { RIBcbx.setChecked(document.ribbing()); });
    runQuietly(ORIENTcbx, &CheckBoxModel::onClick,
               [this] { ORIENTcbx.setChecked(document.orientation() != OrientationMode::Fixed); });

    // 1. The boxes in the padded form; their change handlers store the same
    // values back.
    GItxt.setText(paddedSingle(model.growthIncrement));
    SCLtxt.setText(paddedFixed4(model.drawScale));
    OXtxt.setText(paddedFixed4(model.originX));
    OYtxt.setText(paddedFixed4(model.originY));
    VXtxt.setText(paddedFixed4(model.viewVector.x));
    VYtxt.setText(paddedFixed4(model.viewVector.y));
    VZtxt.setText(paddedFixed4(model.viewVector.z));
    LXtxt.setText(paddedFixed4(model.lightVector.x));
    LYtxt.setText(paddedFixed4(model.lightVector.y));
    LZtxt.setText(paddedFixed4(model.lightVector.z));
    DAtxt.setText(paddedDouble(model.densities[0]));
    DBtxt.setText(paddedDouble(model.densities[1]));

    // 2. The origin bars at the whole origin; an origin beyond a bar's range
    // puts the bar at its end and keeps the model value.
    setOriginBar(ORIGINhsc, model.originX, true);
    setOriginBar(ORIGINvsc, model.originY, true);

    // 3. "Refer to".
    if (document.referStage() == ReferStage::Final)
        FINALopt.select();
    else
        INITIALopt.select();

    // 4.-5. The angles of the light, then of the view: labels before bars,
    // since a bar's handler reads both labels.
    for (AngleControls c : {light(), view()}) {
        work.direction = c.vector;
        work.azimuth = c.azimuthBar.value();
        DirectionToAngles(work);
        showAngles(c);
    }

    // 6.
    DrawPreview();
}

void SettingsWindowLogic::setOriginBar(ScrollBarModel& bar, Fixed4 value, bool quietWhenClamped) {
    const double whole = roundHalfEven(value);
    if (quietWhenClamped && (whole < bar.lowest() || whole > bar.highest())) {
        const int end = whole < bar.lowest() ? bar.lowest() : bar.highest();
        runQuietly(bar, &ScrollBarModel::onChange, [&] { bar.setValue(end); });
        return;
    }
    bar.setValue(toInt16(whole));
}

void SettingsWindowLogic::onLimitedBoxLeft(TextBoxModel& box) {
    if (&box == &GItxt) {
        double v = overflowDirection(GItxt.text(), leadingSingle);
        if (v == 0) v = model.growthIncrement;
        if (v > 1) v = 1;
        if (v < 0.05) v = 0.05;
        document.setGrowthIncrement(static_cast<float>(v), this);
        GItxt.setText(paddedSingle(model.growthIncrement));
        return;
    }
    Fixed4& field = &box == &SCLtxt ? model.drawScale : &box == &OXtxt ? model.originX : model.originY;
    const double low = &box == &SCLtxt ? 1 : 0;
    const double high = &box == &SCLtxt ? 10 : &box == &OXtxt ? 800 : 750;
    double v = overflowDirection(box.text(), leadingFixed4);
    if (v == 0) v = field;
    if (v > high) v = high;
    if (v < low) v = low;
    field = v;
    announce(&box == &SCLtxt ? ModelDocument::Change::DrawScale : ModelDocument::Change::Origin);
    box.setText(paddedFixed4(field));
    if (&box == &SCLtxt) return;
    if (&box == &OXtxt)
        setOriginBar(ORIGINhsc, model.originX, false);
    else
        setOriginBar(ORIGINvsc, model.originY, false);
    DrawPreview();
}

void SettingsWindowLogic::onVectorBoxLeft(TextBoxModel& box, Fixed4& component) {
    // A number the component cannot hold was refused while typing: the box
    // shows the value in force again.
    if (overflowDirection(box.text(), leadingFixed4) != 0) box.setText(plainFixed4(component));
}

void SettingsWindowLogic::onZBoxLeft(AngleControls c) {
    work.direction = c.vector;
    // Kept by a vector with no horizontal part, so the azimuth bar stays.
    work.azimuth = c.azimuthBar.value();
    DirectionToAngles(work);
    showAngles(c);
    DrawPreview();
}

void SettingsWindowLogic::showAngles(AngleControls c) {
    c.azimuthLabel.setCaption(std::to_string(static_cast<int>(work.azimuth)));
    c.elevationLabel.setCaption(std::to_string(static_cast<int>(work.elevation)));
    c.azimuthBar.setValue(static_cast<int>(work.azimuth));
    // The azimuth bar's handler may have run in between; it leaves the
    // working angles as the labels show them.
    c.elevationBar.setValue(-static_cast<int>(work.elevation));
}

void SettingsWindowLogic::onAngleBarChanged(AngleControls c, bool azimuthBar) {
    // 1. The moved bar's label.
    if (azimuthBar)
        c.azimuthLabel.setCaption(std::to_string(c.azimuthBar.value()));
    else
        c.elevationLabel.setCaption(std::to_string(-c.elevationBar.value()));
    // 2.-3. Both labels read back as the angles.
    work.azimuth = parseLeadingNumber(c.azimuthLabel.caption());
    work.elevation = static_cast<float>(parseLeadingNumber(c.elevationLabel.caption()));
    AnglesToDirection(work);
    // 4. The three boxes; their change handlers store the vector.
    const Vec3F4 d = work.direction;
    c.x.setText(plainFixed4(d.x));
    c.y.setText(plainFixed4(d.y));
    c.z.setText(plainFixed4(d.z));
    // 5.
    DrawPreview();
}

void SettingsWindowLogic::onDensityLeft(TextBoxModel& box, int index) {
    double& field = model.densities[static_cast<size_t>(index)];
    const double low = index == 0 ? 0 : kSeaWaterDensity;
    const double high = index == 0 ? kSeaWaterDensity : kInfinity;
    double v = 0;
    switch (readWholeText(box.text(), v)) {
    case WholeText::NotNumber:
        // Not a number: the box shows the value in force again.
        box.setText(plainDouble(field));
        return;
    case WholeText::TooLarge:
        // Beyond any number: to the limit on that side, or refused.
        if (v > 0 && std::isinf(high)) {
            box.setText(plainDouble(field));
            return;
        }
        field = v > 0 ? high : low;
        announce(ModelDocument::Change::Densities);
        box.setText(plainDouble(field));
        return;
    case WholeText::Number:
        break;
    }
    field = v;
    bool limited = false;
    if (field < low) field = low, limited = true;
    if (field > high) field = high, limited = true;
    announce(ModelDocument::Change::Densities);
    if (limited) box.setText(plainDouble(field));
}

void SettingsWindowLogic::onOrientationClicked() {
    if (ORIENTcbx.checked()) {
        document.setLifeOrientation(true, this);
        VXtxt.setText(paddedFixed4(model.lifeViewVector.x));
        VYtxt.setText(paddedFixed4(model.lifeViewVector.y));
        VZtxt.setText(paddedFixed4(model.lifeViewVector.z));
    } else {
        document.setLifeOrientation(false, this);
    }
}

void SettingsWindowLogic::DrawPreview() {
    ammonite::DrawPreview(previewSurface, model, FRAMEopt.selected(), work.direction, previewFields);
    if (previewDrawn) previewDrawn();
}

void SettingsWindowLogic::ClickConfirm() {
    Guard([this] { DrawPreview(); });
    if (confirmed) confirmed();
}

}  // namespace ammonite
