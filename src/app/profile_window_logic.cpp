// The profile window's commands: load, activation and its timer, the
// parameter buttons, "Point Del.", "OK"-independent redraws and the data file.
#include "app/profile_window_logic.h"

#include "session/gallery_files.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "model/profile_file.h"

namespace fs = std::filesystem;

namespace ammonite {

ProfileWindowLogic::ProfileWindowLogic(ModelState& m, ChartLayers& c)
    : ownDocument_(std::make_unique<ModelDocument>(m)), document(*ownDocument_), model(m), chart(c) {
    init();
}

ProfileWindowLogic::ProfileWindowLogic(ModelDocument& d, ChartLayers& c) : document(d), model(d.state()), chart(c) {
    init();
}

void ProfileWindowLogic::init() {
    // The status line says how the window stands until an action says otherwise.
    guard_.clearsStatus = false;
    guard_.ended = [this] {
        if (surfaceChanged) surfaceChanged();
    };
    DScmd.setCaption("\xCE\xB1 = 1.002");  // design text, replaced by Load
    XCMtxt.onChange = [this] {
        if (!dragging && editingPoints()) ApplyTypedPoint();
    };
    YCMtxt.onChange = [this] {
        if (!dragging && editingPoints()) ApplyTypedPoint();
    };
    DShsc.onChange = [this] {
        document.setAlpha(1 + DShsc.value() * 0.0001, this);
        DScmd.setCaption("\xCE\xB1 = " + formatNumber(model.alpha));
        DrawProfiles();
    };
}

bool ProfileWindowLogic::Guard(const std::function<void()>& action) {
    // The other windows hear of an action that changed what the chart edits
    // once it has ended, whether or not it ended on an error.
    const bool outermost = !guard_.running();
    ModelDocument::Batch batch(document);  // α set by the bar is told once, with the rest
    const EditSnapshot before = outermost ? snapshot() : EditSnapshot{};
    const bool ok = guard_.run(action);
    if (outermost && !snapshot().sameAs(before)) document.announce(ModelDocument::Change::Profiles, this);
    return ok;
}

ParameterProfile& ProfileWindowLogic::profile(int index) {
    switch (index) {
        case 0: return model.gammaProfile;
        case 1: return model.curvatureProfile;
        case 2: return model.torsionProfile;
        case 3: return model.betaProfile;
        default: throwOutOfRange("no profile " + std::to_string(index));
    }
}

void ProfileWindowLogic::DrawProfiles() {
    drawProfiles(chart, {&model.gammaProfile, &model.curvatureProfile, &model.torsionProfile, &model.betaProfile},
                 editingPoints() ? editMode - 1 : -1);
    setAlphaControls(editMode == kFinalStage);
}

void ProfileWindowLogic::DrawEditedProfile(bool withSelection) {
    if (!editingPoints()) return;
    const int p = editMode - 1;
    const ParameterProfile& prof = profile(p);
    const int n = std::min<int>(prof.count, ParameterProfile::kMaxCount);
    // With every slot in use, the last point is the one numbered as "none".
    const bool shown = withSelection && selectedPoint >= 0 && selectedPoint <= n &&
                       (selectedPoint != kNoPoint || n == ParameterProfile::kMaxCount);
    drawEditedProfile(chart, p, prof, shown ? selectedPoint : -1);
}

void ProfileWindowLogic::setAlphaControls(bool shown) {
    if (shown == alphaControlsShown) return;
    alphaControlsShown = shown;
    if (alphaControlsChanged) alphaControlsChanged();
}

void ProfileWindowLogic::setFileList(bool shown) {
    fileListShown = shown;
    if (fileListChanged) fileListChanged();
}

void ProfileWindowLogic::setTimer(bool on) {
    timerOn = on;
    if (timerChanged) timerChanged();
}

// Whether the folder holds a profile file (*.txt) already.
static bool folderHasProfileFiles(const std::string& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ".txt") return true;
    return false;
}

// Makes sure the folder "ammonite" exists below the current directory;
// `message` says what was done or what went wrong.
bool ProfileWindowLogic::ensureProfileFolder(std::string& message) {
    std::error_code ec;
    fs::path folder = kProfileFolderName;
    if (fs::is_directory(folder, ec)) return true;
    fs::path full = fs::absolute(folder, ec).lexically_normal();
    if (fs::exists(folder, ec)) {
        message = full.string() + " exists but is not a folder; profile files cannot be kept there.";
        return false;
    }
    if (!fs::create_directories(folder, ec)) {
        message = "Cannot create the folder " + full.string() + ": " + ec.message();
        return false;
    }
    message = "Created the folder " + full.string() + " for profile files.";
    return true;
}

void ProfileWindowLogic::Load() {
    Guard([this] {
        // 1. The file list's folder, created when it is missing.
        std::string message;
        bool ok = ensureProfileFolder(message);
        std::error_code ec;
        fileListFolder = fs::absolute(kProfileFolderName, ec).lexically_normal().string();
        model.profileFolderPath = fileListFolder;
        if (message.empty() && ok) message = "Profile files are kept in " + fileListFolder + ".";
        // A new or empty profile folder gets the gallery's example forms.
        if (ok && !folderHasProfileFiles(fileListFolder)) {
            std::string galleryError;
            const int copied = CopyGalleryInto(fileListFolder, galleryError);
            if (copied > 0)
                message += " " + std::to_string(copied) + " example forms from the gallery were put there.";
        }
        statusLine.setCaption(message);
        // 2.
        document.setProfileWindowOpened(true);
        // 3. Chart constants and the α caption.
        chartLeft = 21;
        chartBaseline = 400;
        gammaScale = 40;
        curvatureScale = 200;
        torsionScale = 200;
        betaScale = 20;
        DScmd.setCaption("\xCE\xB1 = " + formatNumber(model.alpha));
        // 4.
        DrawChartBackground();
        setTimer(true);
    });
}

void ProfileWindowLogic::Activate() { setTimer(true); }

void ProfileWindowLogic::TimerTick() {
    Guard([this] { DrawProfiles(); });
    setTimer(false);
}

void ProfileWindowLogic::ClickFreeArea() {
    statusLine.setCaption("");
    Guard([this] {
        DrawChartBackground();
        DrawProfiles();
    });
}

void ProfileWindowLogic::ClickProfileButton(int mode) {
    if (mode < kGamma || mode > kBeta) return;
    statusLine.setCaption("");
    Guard([&] {
        chart.clear();
        editMode = static_cast<std::int16_t>(mode);
        // The selection and the boxes belonged to the profile edited before:
        // nothing typed now may move a point of this one.
        selectedPoint = kNoPoint;
        typingEdit_ = false;
        clearBoxes();
        DrawProfiles();
        axisLineColour = kEditedAxisColour;
        switch (mode) {
            case kGamma: drawGammaAxis(chart); break;
            case kBeta: drawBetaAxis(chart); break;
            default: drawCurvatureTorsionAxis(chart); break;
        }
        DrawEditedProfile(false);
    });
}

void ProfileWindowLogic::ClickAlpha() {
    statusLine.setCaption("");
    Guard([this] {
        editMode = kFinalStage;
        selectedPoint = kNoPoint;
        typingEdit_ = false;
        clearBoxes();
        DrawProfiles();
        DrawMarker(model.lastStage);
    });
}

void ProfileWindowLogic::ClickPointDel() {
    statusLine.setCaption("");
    Guard([this] {
        if (editMode == kFinalStage) {
            UndoCut();
        } else if (editingPoints()) {
            DeletePoint();
        }
    });
}

void ProfileWindowLogic::ClickSave() {
    statusLine.setCaption("");
    Guard([this] { SaveProfiles(); });
}

void ProfileWindowLogic::SaveProfiles() {
    std::string created;
    if (!ensureProfileFolder(created)) {
        statusLine.setCaption(created + " Nothing was saved.");
        return;
    }
    std::string path = std::string(kProfileFolderName) + "/" + kProfileFileName, error;
    std::error_code ec;
    if (confirmOverwrite && fs::exists(path, ec) && !confirmOverwrite(path)) {
        statusLine.setCaption("Kept " + path + " as it was; nothing was saved.");
        return;
    }
    if (!WriteProfileFile(path, model, error)) {
        statusLine.setCaption("Not saved: " + error);
        return;
    }
    statusLine.setCaption((created.empty() ? "" : created + " ") + "Saved " + path + ".");
}

void ProfileWindowLogic::refreshFileNames() {
    fileNames.clear();
    std::error_code ec;
    for (fs::directory_iterator it(fileListFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        std::error_code fec;
        // The name pattern "*.txt" takes any case of the extension.
        std::string ext = p.extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        if (!it->is_directory(fec) && ext == ".txt") fileNames.push_back(p.filename().string());
    }
    std::sort(fileNames.begin(), fileNames.end(), [](const std::string& a, const std::string& b) {
        std::string la = a, lb = b;
        std::transform(la.begin(), la.end(), la.begin(), [](unsigned char c) { return std::tolower(c); });
        std::transform(lb.begin(), lb.end(), lb.begin(), [](unsigned char c) { return std::tolower(c); });
        return la != lb ? la < lb : a < b;
    });
    if (ec)
        statusLine.setCaption("Cannot list " + fileListFolder + ": " + ec.message());
    else if (fileNames.empty())
        statusLine.setCaption("No profile files (*.txt) in " + fileListFolder + " yet; \"D-save\" writes one.");
}

void ProfileWindowLogic::ClickLoad() {
    statusLine.setCaption("");
    Guard([this] {
        fileListFolder = model.profileFolderPath;
        refreshFileNames();
        setFileList(true);
    });
}

void ProfileWindowLogic::ClickFile(const std::string& name) {
    statusLine.setCaption("");
    Guard([&] { LoadProfiles(name); });
}

void ProfileWindowLogic::LoadProfiles(const std::string& name) {
    std::string error;
    const EditSnapshot before = snapshot();
    if (!ReadProfileFile(fileListFolder + "/" + name, model, error)) {
        statusLine.setCaption("Not loaded: " + error);
        return;
    }
    undo_.push_back(before);
    typingEdit_ = false;
    selectedPoint = kNoPoint;
    clearBoxes();
    DScmd.setCaption("\xCE\xB1 = " + formatNumber(model.alpha));
    markerStage = model.stageRange[1];
    cutDone_ = false;
    DrawChartBackground();
    DrawProfiles();
    // The chart shows what the mode shows, as after a click on its button.
    if (editMode == kFinalStage) DrawMarker(model.lastStage);
    DrawEditedProfile(false);
    setFileList(false);
    statusLine.setCaption("Loaded " + name + ".");
    notifyStages();
}

}  // namespace ammonite
