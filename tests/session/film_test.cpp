// Films of a grown shell: the frames agree with the per-stage tables (the
// stage each frame shows and the life orientation it is drawn in), they
// change from one to the next, and the recording keeps order, stops when
// cancelled and refuses bad settings and targets with a reason.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "session/film_recording.h"
#include "session/scenario_session.h"
#include "session/session.h"
#include "core/numeric.h"
#include "model/profile_file.h"
#include "model/scenario_file.h"
#include "render/shell_mesh.h"

using namespace ammonite;

namespace {

// A gallery form with a hook: its orientation swings as it grows.
Session& grownForm() {
    static Session* s = [] {
        auto* session = new Session;
        Scenario form;
        std::string error;
        if (!ReadScenarioFile(std::string(AMMONITE_SOURCE_GALLERY) + "/ancyloceras.toml", form, error))
            ADD_FAILURE() << error;
        GrowScenario(form, *session);
        return session;
    }();
    return *s;
}

class Frames : public FilmSink {
public:
    std::vector<std::vector<std::uint32_t>> pixels;
    std::vector<int> order;
    int width = 0, height = 0;
    bool finished = false, abandoned = false;
    bool frame(int index, const PixelBuffer& p, std::string&) override {
        order.push_back(index);
        width = p.width, height = p.height;
        std::vector<std::uint32_t> copy;
        for (int y = 0; y < p.height; ++y)
            copy.insert(copy.end(), p.pixels + y * p.stride, p.pixels + y * p.stride + p.width);
        pixels.push_back(std::move(copy));
        return true;
    }
    bool finish(std::string&) override { return finished = true; }
    void abandon() override { abandoned = true; }
};

struct Axis {
    double angle = 0;   // degrees from the picture's x axis, in (-90, 90]
    double ratio = 0;   // long over short spread
    long pixels = 0;
};

Axis principalAxis(const std::vector<bool>& mask, int width, int height) {
    double n = 0, mx = 0, my = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (mask[static_cast<size_t>(y * width + x)]) n += 1, mx += x, my += y;
    Axis a;
    a.pixels = static_cast<long>(n);
    if (n < 10) return a;
    mx /= n, my /= n;
    double sxx = 0, syy = 0, sxy = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (mask[static_cast<size_t>(y * width + x)]) {
                sxx += (x - mx) * (x - mx);
                syy += (y - my) * (y - my);
                sxy += (x - mx) * (y - my);
            }
    a.angle = 0.5 * std::atan2(2 * sxy, sxx - syy) * 180 / 3.141592653589793;
    const double mean = (sxx + syy) / 2, spread = std::sqrt((sxx - syy) * (sxx - syy) / 4 + sxy * sxy);
    a.ratio = (mean + spread) / std::max(1e-9, mean - spread);
    return a;
}

double axisDifference(double a, double b) {
    double d = std::fmod(std::abs(a - b), 180.0);
    return std::min(d, 180 - d);
}

// The shell's pixels in a frame: neither the sky nor the sky under the
// water line, whose colours depend on the row alone.
std::vector<bool> shellPixels(const std::vector<std::uint32_t>& frame, int width, int height) {
    std::vector<bool> mask(frame.size());
    for (int y = 0; y < height; ++y) {
        std::map<std::uint32_t, int> seen;  // the two background colours are the commonest in a row
        for (int x = 0; x < width; ++x) ++seen[frame[static_cast<size_t>(y * width + x)] & 0xFFFFFF];
        std::vector<std::pair<int, std::uint32_t>> counts;
        for (auto& [c, k] : seen) counts.push_back({k, c});
        std::sort(counts.rbegin(), counts.rend());
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = frame[static_cast<size_t>(y * width + x)] & 0xFFFFFF;
            bool background = false;
            for (size_t i = 0; i < counts.size() && i < 2; ++i)
                if (counts[i].second == c && counts[i].first > width / 8) background = true;
            mask[static_cast<size_t>(y * width + x)] = !background;
        }
    }
    return mask;
}

// The silhouette of the tube of `stage`, placed by the tables alone: centre
// of mass at the origin, the stage's "up" upward, seen by the film's camera.
std::vector<bool> expectedSilhouette(const Session& s, const FilmPlan& plan, int k, int stage, int upStage) {
    const int width = plan.settings().width, height = plan.settings().height;
    ShellMesh mesh;
    MeshOptions options;
    options.ringPoints = 24;
    options.stage = stage;
    std::string error;
    EXPECT_TRUE(BuildShellMesh(*s.model, *s.run, options, mesh, error)) << error;
    const StageHydrostatics& row = s.run->hydrostaticsByStage[upStage];
    MeshScene scene;
    scene.frame = FrameWithUp(row.upVector);
    scene.pivot = s.run->hydrostaticsByStage[stage].massCentre;
    std::vector<bool> mask(static_cast<size_t>(width * height));
    for (const MeshObject* o : {&mesh.phragmocone, &mesh.bodyChamber}) {
        for (const auto& t : o->triangles) {
            ScreenPoint p[3];
            for (int i = 0; i < 3; ++i) {
                const auto& v = o->vertices[t[static_cast<size_t>(i)]];
                p[i] = ProjectToScreen({v[0], v[1], v[2]}, plan.camera(k), scene, width, height);
            }
            const double area = (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[1].y - p[0].y) * (p[2].x - p[0].x);
            if (std::abs(area) < 1e-12) continue;
            const int x0 = std::max(0, static_cast<int>(std::min({p[0].x, p[1].x, p[2].x})));
            const int x1 = std::min(width - 1, static_cast<int>(std::max({p[0].x, p[1].x, p[2].x})) + 1);
            const int y0 = std::max(0, static_cast<int>(std::min({p[0].y, p[1].y, p[2].y})));
            const int y1 = std::min(height - 1, static_cast<int>(std::max({p[0].y, p[1].y, p[2].y})) + 1);
            for (int y = y0; y <= y1; ++y)
                for (int x = x0; x <= x1; ++x) {
                    const double px = x + 0.5, py = y + 0.5;
                    const double w0 = ((p[1].x - px) * (p[2].y - py) - (p[1].y - py) * (p[2].x - px)) / area;
                    const double w1 = ((p[2].x - px) * (p[0].y - py) - (p[2].y - py) * (p[0].x - px)) / area;
                    const double w2 = 1 - w0 - w1;
                    if (w0 >= 0 && w1 >= 0 && w2 >= 0) mask[static_cast<size_t>(y * width + x)] = true;
                }
        }
    }
    return mask;
}

FilmSettings shortGrowth() {
    FilmSettings s;
    s.width = 240;
    s.height = 180;
    s.fps = 6;
    s.seconds = 1;
    return s;
}

}  // namespace

TEST(Film, GrowthFramesFollowTheStagesAndTheirOrientation) {
    Session& s = grownForm();
    ASSERT_TRUE(s.run->hasRun) << s.runtimeError;
    FilmPlan plan;
    std::string error;
    ASSERT_TRUE(plan.prepare(*s.model, *s.run, shortGrowth(), error)) << error;
    ASSERT_EQ(plan.frameCount(), 6);
    EXPECT_EQ(plan.frame(0).stage, plan.firstStage());
    EXPECT_EQ(plan.frame(5).stage, s.model->shownStage);
    for (int k = 1; k < plan.frameCount(); ++k) EXPECT_GT(plan.frame(k).stage, plan.frame(k - 1).stage);

    Frames frames;
    FilmReport report;
    ASSERT_TRUE(DrawFilm(plan, FilmTools{}, frames, FilmControl{}, report, error)) << error;
    ASSERT_EQ(frames.pixels.size(), 6u);
    EXPECT_TRUE(frames.finished);
    EXPECT_EQ(frames.order, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    for (size_t k = 1; k < frames.pixels.size(); ++k) {
        size_t changed = 0;
        for (size_t i = 0; i < frames.pixels[k].size(); ++i) changed += frames.pixels[k][i] != frames.pixels[k - 1][i];
        EXPECT_GT(changed, 20u) << "frames " << k << " and " << k + 1 << " are alike";
    }

    // Frame k shows stage k's orientation: the principal axis of the drawn
    // shell is that of the tube placed by the stage's own row of the tables.
    int checked = 0, told = 0;
    for (int k = 1; k < plan.frameCount(); ++k) {
        const int stage = plan.frame(k).stage;
        const Axis drawn = principalAxis(shellPixels(frames.pixels[static_cast<size_t>(k)], 240, 180), 240, 180);
        const Axis expected = principalAxis(expectedSilhouette(s, plan, k, stage, stage), 240, 180);
        ASSERT_GT(drawn.pixels, 50) << "frame " << k + 1 << " shows no shell";
        // A round outline has no axis to speak of, and on a tiny one the
        // markers of the two centres weigh too much.
        if (expected.ratio < 2 || expected.pixels < 400) continue;
        ++checked;
        EXPECT_LT(axisDifference(drawn.angle, expected.angle), 2.0)
            << "frame " << k + 1 << " (stage " << stage << "): drawn " << drawn.angle << "°, table "
            << expected.angle << "°";
        // The check sees a wrong orientation: the first frame's "up" turns the axis away.
        const Axis wrong = principalAxis(expectedSilhouette(s, plan, k, stage, plan.frame(0).stage), 240, 180);
        if (axisDifference(wrong.angle, expected.angle) > 10) ++told;
    }
    EXPECT_GE(checked, 2);
    EXPECT_GE(told, 1);
}

TEST(Film, TurntableTurnsOnceAndBothKindsShareTheFrames) {
    Session& s = grownForm();
    FilmSettings settings = shortGrowth();
    settings.kind = FilmKind::Turntable;
    settings.seconds = 2;
    FilmPlan plan;
    std::string error;
    ASSERT_TRUE(plan.prepare(*s.model, *s.run, settings, error)) << error;
    ASSERT_EQ(plan.frameCount(), 12);
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(plan.frame(k).stage, s.model->shownStage);
        EXPECT_NEAR(plan.frame(k).turn, 2 * 3.141592653589793 * k / 12, 1e-12);
    }
    settings.kind = FilmKind::Both;
    ASSERT_TRUE(plan.prepare(*s.model, *s.run, settings, error)) << error;
    ASSERT_EQ(plan.frameCount(), 12);
    EXPECT_EQ(plan.frame(0).turn, 0);
    EXPECT_LT(plan.frame(0).stage, s.model->shownStage);
    EXPECT_GT(plan.frame(11).turn, 0);
    // A turntable stage the run does not have is refused by number.
    settings.turnStage = s.model->shownStage + 5;
    EXPECT_FALSE(plan.prepare(*s.model, *s.run, settings, error));
    EXPECT_NE(error.find(std::to_string(s.model->shownStage + 5)), std::string::npos) << error;
}

TEST(Film, CaptionReadsTheStagesRow) {
    Session& s = grownForm();
    FilmPlan plan;
    std::string error;
    ASSERT_TRUE(plan.prepare(*s.model, *s.run, shortGrowth(), error)) << error;
    const int stage = plan.frame(2).stage;
    const auto lines = plan.caption(stage);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Stage " + std::to_string(stage) + " of " + std::to_string(s.model->shownStage));
    EXPECT_EQ(lines[1], "Orientation " + OrientationLabel(s.run->orientationAngleByStage[stage]) + "\xC2\xB0");
    const auto& row = s.run->hydrostaticsByStage[stage];
    EXPECT_EQ(lines[2], "Density " + formatNumber(std::floor(1000 * row.meanDensity) / 1000) + " g/cm\xC2\xB3");
    EXPECT_EQ(lines[3], "Stability " + formatDecimals(row.stabilityIndex, 3));
}

TEST(Film, BadSettingsAndTargetsAreRefusedWithTheirReason) {
    FilmSettings s;
    std::string error;
    EXPECT_TRUE(CheckFilmSettings(s, error));
    s.width = 641;
    EXPECT_FALSE(CheckFilmSettings(s, error));
    EXPECT_NE(error.find("even"), std::string::npos) << error;
    s = FilmSettings{};
    s.fps = 0;
    EXPECT_FALSE(CheckFilmSettings(s, error));
    EXPECT_NE(error.find("frame rate"), std::string::npos) << error;
    s = FilmSettings{};
    s.seconds = 0;
    EXPECT_FALSE(CheckFilmSettings(s, error));
    int w = 0, h = 0;
    EXPECT_TRUE(ParseFilmSize("1920x1080", w, h));
    EXPECT_EQ(w, 1920);
    EXPECT_EQ(h, 1080);
    for (const char* bad : {"1920", "x1080", "1920x", "19a0x1080", "-2x4", "1920x1080x3"})
        EXPECT_FALSE(ParseFilmSize(bad, w, h)) << bad;
    FilmFormat format{};
    EXPECT_TRUE(FilmFormatOf("talk/Shell.MP4", format, error));
    EXPECT_EQ(format, FilmFormat::Mp4);
    EXPECT_TRUE(FilmFormatOf("a.webm", format, error));
    EXPECT_EQ(format, FilmFormat::WebM);
    EXPECT_FALSE(FilmFormatOf("film.avi", format, error));
    EXPECT_NE(error.find(".mp4"), std::string::npos);
    EXPECT_FALSE(FilmFormatOf("dir.mp4/film", format, error));

    // No finished run: nothing to film.
    ModelState model;
    RunState run;
    FilmPlan plan;
    EXPECT_FALSE(plan.prepare(model, run, FilmSettings{}, error));
    EXPECT_NE(error.find("grow a shell"), std::string::npos) << error;
}

TEST(Film, CancelStopsTheRecordingAndAbandonsItsTarget) {
    Session& s = grownForm();
    FilmPlan plan;
    std::string error;
    FilmSettings settings = shortGrowth();
    settings.seconds = 5;
    ASSERT_TRUE(plan.prepare(*s.model, *s.run, settings, error)) << error;
    Frames frames;
    std::atomic<bool> cancel{false};
    FilmControl control;
    control.cancel = &cancel;
    control.progress = [&](int done, int) {
        if (done == 3) cancel = true;
    };
    FilmReport report;
    EXPECT_FALSE(DrawFilm(plan, FilmTools{}, frames, control, report, error));
    EXPECT_EQ(error, "cancelled");
    EXPECT_TRUE(report.cancelled);
    EXPECT_TRUE(frames.abandoned);
    EXPECT_FALSE(frames.finished);
    EXPECT_EQ(frames.pixels.size(), 3u);
}

TEST(Film, WithoutFfmpegAVideoIsRefusedByNameBeforeAnyFrame) {
    Session& s = grownForm();
    FilmPlan plan;
    std::string error;
    ASSERT_TRUE(plan.prepare(*s.model, *s.run, shortGrowth(), error)) << error;
    const char* path = std::getenv("PATH");
    const std::string saved = path ? path : "";
    setenv("PATH", "", 1);
    EXPECT_EQ(FindProgram("ffmpeg"), "");
    FilmTarget target;
    target.file = "never_written.mp4";
    FilmReport report;
    const bool ok = RecordFilm(plan, target, FilmTools{}, FilmControl{}, report, error);
    setenv("PATH", saved.c_str(), 1);
    EXPECT_FALSE(ok);
    EXPECT_NE(error.find("ffmpeg"), std::string::npos) << error;
    EXPECT_EQ(report.frames, 0);
    EXPECT_NE(::access("never_written.mp4", F_OK), 0);
}

TEST(Film, MetadataNamesTheProgramTheFilmAndTheInputs) {
    Session& s = grownForm();
    FilmSettings settings = shortGrowth();
    const std::string text = FilmMetadata(*s.model, settings, "ammonite-batch --film x.mp4");
    EXPECT_NE(text.find("ammonite "), std::string::npos);
    EXPECT_NE(text.find("film=growth 240x180 6 fps 1 s"), std::string::npos) << text;
    EXPECT_NE(text.find("inputs=ammonite-batch --film x.mp4"), std::string::npos);
    EXPECT_NE(text.find(FormatProfileFile(*s.model)), std::string::npos);
    // With the scenario that grew the shell, its text takes the profiles' place.
    Scenario form;
    std::string error;
    ASSERT_TRUE(ReadScenarioFile(std::string(AMMONITE_SOURCE_GALLERY) + "/ancyloceras.toml", form, error)) << error;
    const std::string scenario = ScenarioToml(form);
    const std::string withScenario = FilmMetadata(*s.model, settings, "batch", scenario);
    EXPECT_NE(withScenario.find("scenario:\n" + scenario), std::string::npos) << withScenario;
    EXPECT_EQ(withScenario.find("profiles:"), std::string::npos);
}
