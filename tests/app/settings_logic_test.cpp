#include <gtest/gtest.h>

#include <memory>

#include "app/main_window_logic.h"
#include "app/settings_logic.h"

using namespace ammonite;

namespace {

// The model as the main window's load step leaves it.
void fillDefaults(ModelState& m) {
    RecordingSurface surface;
    MemoryLog log;
    MainWindowLogic(m, surface, log).Load();
}

struct SettingsFixture {
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    RecordingSurface preview{800, 600};
    std::unique_ptr<SettingsWindowLogic> w;
    int previews = 0;
    explicit SettingsFixture(bool load = true) {
        fillDefaults(*model);
        if (load) open();
    }
    void open() {
        w = std::make_unique<SettingsWindowLogic>(*model, preview);
        w->previewDrawn = [this] { ++previews; };
        EXPECT_TRUE(w->Guard([this] { w->Load(); }));
    }
    SettingsWindowLogic* operator->() { return w.get(); }
};

bool sameBytes(const ModelState& a, const ModelState& b) {
    return a.growthIncrement == b.growthIncrement && a.drawScale.raw() == b.drawScale.raw() &&
           a.originX.raw() == b.originX.raw() && a.originY.raw() == b.originY.raw() &&
           a.viewVector.x.raw() == b.viewVector.x.raw() && a.viewVector.y.raw() == b.viewVector.y.raw() &&
           a.viewVector.z.raw() == b.viewVector.z.raw() && a.lightVector.x.raw() == b.lightVector.x.raw() &&
           a.lightVector.y.raw() == b.lightVector.y.raw() && a.lightVector.z.raw() == b.lightVector.z.raw() &&
           a.densities == b.densities && a.ribbingOn == b.ribbingOn && a.orientationMode == b.orientationMode &&
           a.referStage == b.referStage && a.orientationCos == b.orientationCos &&
           a.orientationSin == b.orientationSin;
}

}  // namespace

TEST(SettingsLoad, DefaultsFillTheControlsAndLeaveTheModelUnchanged) {
    SettingsFixture w(false);
    ModelState before = *w.model;
    w.open();
    EXPECT_TRUE(sameBytes(before, *w.model));
    EXPECT_EQ(w->GItxt.text(), " .05");
    EXPECT_EQ(w->SCLtxt.text(), " 2");
    EXPECT_EQ(w->OXtxt.text(), "500");  // rewritten by the origin bar
    EXPECT_EQ(w->OYtxt.text(), "650");
    EXPECT_EQ(w->VXtxt.text(), " 0");
    EXPECT_EQ(w->VYtxt.text(), " 1");
    EXPECT_EQ(w->VZtxt.text(), " 0");
    EXPECT_EQ(w->LXtxt.text(), "1");  // rewritten by the light elevation bar
    EXPECT_EQ(w->LYtxt.text(), "0");
    EXPECT_EQ(w->LZtxt.text(), "1");
    EXPECT_EQ(w->DAtxt.text(), " .6");
    EXPECT_EQ(w->DBtxt.text(), " 1.3");
    EXPECT_EQ(w->ORIGINhsc.value(), 500);
    EXPECT_EQ(w->ORIGINvsc.value(), 650);
    EXPECT_EQ(w->LIGHThsc.value(), 0);
    EXPECT_EQ(w->LIGHTvsc.value(), -45);
    EXPECT_EQ(w->VIEWhsc.value(), 90);
    EXPECT_EQ(w->VIEWvsc.value(), 0);
    EXPECT_EQ(w->LLGlbl.caption(), "0");
    EXPECT_EQ(w->LLTlbl.caption(), "45");
    EXPECT_EQ(w->VLGlbl.caption(), "90");
    EXPECT_EQ(w->VLTlbl.caption(), "0");
    EXPECT_TRUE(w->INITIALopt.selected());
    EXPECT_FALSE(w->FINALopt.selected());
    EXPECT_FALSE(w->SCRNopt.selected() || w->FRAMEopt.selected());
    EXPECT_TRUE(w->RIBcbx.checked() && w->ORIENTcbx.checked());
    EXPECT_GE(w.previews, 1);
    EXPECT_EQ(w->statusLine.caption(), "");
}

TEST(SettingsLoad, ReloadMirrorsTheModel) {
    SettingsFixture w;
    w.model->referStage = 1;
    w.model->ribbingOn = 0;
    w.model->orientationMode = 0;
    w.model->lifeViewVector = {0.6, 0.8, 0};
    w.model->lightVector = {-1, 0, 0};
    w.model->viewVector = {1, 1, 0};  // typed, never turned into angles
    w.open();
    EXPECT_TRUE(w->FINALopt.selected());
    EXPECT_EQ(w.model->referStage, 1);
    EXPECT_FALSE(w->RIBcbx.checked());
    EXPECT_FALSE(w->ORIENTcbx.checked());
    EXPECT_EQ(w.model->orientationMode, 0);
    EXPECT_EQ(w->LIGHThsc.value(), 180);
    EXPECT_EQ(w->LXtxt.text(), "-1");  // from the bar's handler
    // The view bar moves to 45, so its handler rewrites the typed vector.
    EXPECT_EQ(w->VIEWhsc.value(), 45);
    EXPECT_EQ(w->VXtxt.text(), "0.7071");
    EXPECT_DOUBLE_EQ(w.model->viewVector.x, 0.7071);
}

TEST(SettingsLoad, OriginBeyondTheBarsIsKept) {
    SettingsFixture w;
    w.model->originX = 5000;
    w.model->originY = -20.5;
    w.open();
    EXPECT_EQ(w->ORIGINhsc.value(), 800);
    EXPECT_EQ(w->ORIGINvsc.value(), 0);
    EXPECT_DOUBLE_EQ(w.model->originX, 5000);
    EXPECT_DOUBLE_EQ(w.model->originY, -20.5);
    EXPECT_EQ(w->OXtxt.text(), " 5000");
    EXPECT_EQ(w->OYtxt.text(), "-20.5");
    EXPECT_EQ(w->statusLine.caption(), "");
}

TEST(SettingsLimits, ParameterBoxes) {
    SettingsFixture w;
    w->Enter(w->GItxt, "2");
    EXPECT_EQ(w->GItxt.text(), " 1");
    EXPECT_EQ(w.model->growthIncrement, 1.0f);
    w->Enter(w->GItxt, "0.01");
    EXPECT_EQ(w->GItxt.text(), " .05");
    EXPECT_EQ(w.model->growthIncrement, 0.05f);
    w->Enter(w->GItxt, "0.3");
    EXPECT_EQ(w->GItxt.text(), " .3");

    w->Enter(w->SCLtxt, "0.5");
    EXPECT_EQ(w->SCLtxt.text(), " 1");
    EXPECT_DOUBLE_EQ(w.model->drawScale, 1);
    w->Enter(w->SCLtxt, "25");
    EXPECT_DOUBLE_EQ(w.model->drawScale, 10);
    w->Enter(w->SCLtxt, "2.5");
    EXPECT_EQ(w->SCLtxt.text(), " 2.5");
    EXPECT_DOUBLE_EQ(w.model->drawScale, 2.5);
}

TEST(SettingsLimits, TypedValueIsInTheModelBeforeTheCheck) {
    SettingsFixture w;
    w->Type(w->OXtxt, "5000");
    EXPECT_DOUBLE_EQ(w.model->originX, 5000);
    EXPECT_EQ(w->ORIGINhsc.value(), 500);
    w->Leave(w->OXtxt);
    EXPECT_DOUBLE_EQ(w.model->originX, 800);
}

TEST(SettingsLimits, OriginBoxesAndBars) {
    SettingsFixture w;
    w->Enter(w->OXtxt, "900");
    EXPECT_DOUBLE_EQ(w.model->originX, 800);
    EXPECT_EQ(w->ORIGINhsc.value(), 800);
    EXPECT_EQ(w->OXtxt.text(), "800");  // plain: the bar's handler wrote it
    w->Enter(w->OXtxt, "-5");
    EXPECT_DOUBLE_EQ(w.model->originX, 0);
    EXPECT_EQ(w->OXtxt.text(), "0");
    w->Enter(w->OYtxt, "800");
    EXPECT_DOUBLE_EQ(w.model->originY, 750);
    EXPECT_EQ(w->ORIGINvsc.value(), 750);

    // A fraction stays as typed when the bar already stands at its whole.
    w->Enter(w->OYtxt, "750.3");
    EXPECT_DOUBLE_EQ(w.model->originY, 750);  // limited first
    w->Enter(w->OYtxt, "749.7");
    EXPECT_EQ(w->OYtxt.text(), " 749.7");
    EXPECT_DOUBLE_EQ(w.model->originY, 749.7);
    w->Enter(w->OYtxt, "100.4");
    EXPECT_EQ(w->ORIGINvsc.value(), 100);
    EXPECT_DOUBLE_EQ(w.model->originY, 100);
    EXPECT_EQ(w->OYtxt.text(), "100");

    // The bars reach beyond what typing allows.
    w->MoveBar(w->ORIGINhsc, -600);
    EXPECT_DOUBLE_EQ(w.model->originX, -600);
    EXPECT_EQ(w->OXtxt.text(), "-600");
    w->MoveBar(w->ORIGINvsc, 1400);
    EXPECT_DOUBLE_EQ(w.model->originY, 1400);
}

TEST(SettingsLimits, Densities) {
    SettingsFixture w;
    w->Enter(w->DAtxt, "1.2");
    EXPECT_DOUBLE_EQ(w.model->densities[0], 1.026);
    EXPECT_EQ(w->DAtxt.text(), "1.026");
    w->Enter(w->DAtxt, "-1");
    EXPECT_DOUBLE_EQ(w.model->densities[0], 0);
    EXPECT_EQ(w->DAtxt.text(), "0");
    w->Enter(w->DAtxt, "0.8");
    EXPECT_DOUBLE_EQ(w.model->densities[0], 0.8);
    EXPECT_EQ(w->DAtxt.text(), "0.8");
    w->Enter(w->DBtxt, "1");
    EXPECT_DOUBLE_EQ(w.model->densities[1], 1.026);
    EXPECT_EQ(w->DBtxt.text(), "1.026");
    w->Enter(w->DBtxt, "5");
    EXPECT_DOUBLE_EQ(w.model->densities[1], 5);
    // Typing alone changes nothing: the value is taken on leaving.
    w->Type(w->DBtxt, "7");
    EXPECT_DOUBLE_EQ(w.model->densities[1], 5);
}

TEST(SettingsLimits, DensityTextThatIsNotANumberIsReplaced) {
    SettingsFixture w;
    for (const char* text : {"abc", "", "  ", "1.2.3", "0.8x"}) {
        w->Enter(w->DAtxt, text);
        EXPECT_DOUBLE_EQ(w.model->densities[0], 0.6) << text;
        EXPECT_EQ(w->DAtxt.text(), "0.6") << text;
    }
    w->Enter(w->DBtxt, "x");
    EXPECT_DOUBLE_EQ(w.model->densities[1], 1.3);
    EXPECT_EQ(w->DBtxt.text(), "1.3");
    EXPECT_EQ(w->statusLine.caption(), "");
}

TEST(SettingsLimits, NumbersTooLargeForTheirField) {
    SettingsFixture w;
    // Limited boxes go to the limit on the number's side.
    w->Enter(w->GItxt, "1e39");
    EXPECT_EQ(w.model->growthIncrement, 1.0f);
    EXPECT_EQ(w->GItxt.text(), " 1");
    w->Enter(w->SCLtxt, "-1e300");
    EXPECT_DOUBLE_EQ(w.model->drawScale, 1);
    w->Enter(w->OXtxt, "99999999999999999999");
    EXPECT_DOUBLE_EQ(w.model->originX, 800);
    EXPECT_EQ(w->ORIGINhsc.value(), 800);
    w->Enter(w->OYtxt, "1e400");
    EXPECT_DOUBLE_EQ(w.model->originY, 750);

    // A vector box refuses it: the status line says so while typing, the
    // component keeps its value and the box shows it again on leaving.
    w->Type(w->VXtxt, "1e20");
    EXPECT_NE(w->statusLine.caption().find("Overflow"), std::string::npos);
    EXPECT_DOUBLE_EQ(w.model->viewVector.x, 0);
    w->Leave(w->VXtxt);
    EXPECT_EQ(w->VXtxt.text(), "0");
    w->Enter(w->LZtxt, "-1e20");
    EXPECT_DOUBLE_EQ(w.model->lightVector.z, 1);
    EXPECT_EQ(w->LZtxt.text(), "1");

    // Densities: to the limit, or refused where there is none.
    w->Enter(w->DAtxt, "1e400");
    EXPECT_DOUBLE_EQ(w.model->densities[0], 1.026);
    w->Enter(w->DBtxt, "-1e400");
    EXPECT_DOUBLE_EQ(w.model->densities[1], 1.026);
    w->Enter(w->DBtxt, "1e400");
    EXPECT_DOUBLE_EQ(w.model->densities[1], 1.026);
    EXPECT_EQ(w->DBtxt.text(), "1.026");
}

TEST(SettingsDirections, TypedViewVectorSnapsToItsWholeDegreeAngles) {
    SettingsFixture w;
    w->Type(w->VXtxt, "1");
    w->Type(w->VYtxt, "1");
    w->Type(w->VZtxt, "0");
    w->Leave(w->VZtxt);
    EXPECT_EQ(w->VIEWhsc.value(), 45);
    EXPECT_EQ(w->VLGlbl.caption(), "45");
    EXPECT_EQ(w->VXtxt.text(), "0.7071");
    EXPECT_EQ(w->VYtxt.text(), "0.7071");
    EXPECT_EQ(w->VZtxt.text(), "0");
    EXPECT_DOUBLE_EQ(w.model->viewVector.x, 0.7071);
    EXPECT_DOUBLE_EQ(w.model->viewVector.y, 0.7071);
    EXPECT_DOUBLE_EQ(w.model->viewVector.z, 0);
}

TEST(SettingsDirections, TypedVectorStaysWhenTheBarsDoNotMove) {
    SettingsFixture w;
    w->MoveBar(w->VIEWhsc, 0);
    ASSERT_EQ(w->VIEWvsc.value(), 0);
    w->Type(w->VXtxt, "2");
    w->Type(w->VYtxt, "0");
    w->Type(w->VZtxt, "0");
    w->Leave(w->VZtxt);
    EXPECT_DOUBLE_EQ(w.model->viewVector.x, 2);
    EXPECT_DOUBLE_EQ(w.model->viewVector.y, 0);
    EXPECT_DOUBLE_EQ(w.model->viewVector.z, 0);
    EXPECT_EQ(w->VXtxt.text(), "2");
}

TEST(SettingsDirections, LeavingXOrYDoesNothing) {
    SettingsFixture w;
    int before = w.previews;
    w->Enter(w->VXtxt, "1");
    w->Enter(w->LYtxt, "3");
    EXPECT_EQ(w->VIEWhsc.value(), 90);
    EXPECT_EQ(w->LIGHThsc.value(), 0);
    EXPECT_EQ(w.previews, before);
    EXPECT_DOUBLE_EQ(w.model->lightVector.y, 3);
}

TEST(SettingsDirections, ElevationBarAtItsTop) {
    SettingsFixture w;
    w->MoveBar(w->VIEWvsc, -90);
    EXPECT_EQ(w->VLTlbl.caption(), "90");
    EXPECT_EQ(w->VZtxt.text(), "788898.1238");
    EXPECT_EQ(w.model->viewVector.z.raw(), 7888981238LL);
    EXPECT_EQ(w->VXtxt.text(), "0");
    EXPECT_EQ(w->VYtxt.text(), "1");
    w->MoveBar(w->LIGHTvsc, 90);
    EXPECT_EQ(w->LLTlbl.caption(), "-90");
    EXPECT_EQ(w.model->lightVector.z.raw(), -7888981238LL);
}

TEST(SettingsDirections, NestedOrderOfTheZBoxCheck) {
    // Leaving VZtxt moves VIEWhsc, whose handler rewrites the three boxes and
    // stores the vector, before the check moves VIEWvsc.
    SettingsFixture w;
    std::vector<std::string> seen;
    auto onX = w->VXtxt.onChange;
    w->VXtxt.onChange = [&, onX] {
        onX();
        seen.push_back("VX " + w->VXtxt.text() + " vsc " + std::to_string(w->VIEWvsc.value()));
    };
    auto onVsc = w->VIEWvsc.onChange;
    w->VIEWvsc.onChange = [&, onVsc] {
        seen.push_back("vsc x=" + formatFixed4(w.model->viewVector.x));
        onVsc();
    };
    w->Type(w->VXtxt, "1");
    w->Type(w->VYtxt, "1");
    w->Type(w->VZtxt, "1");
    seen.clear();
    w->Leave(w->VZtxt);  // azimuth 45, elevation 35
    // The elevation bar's own rewrite of VX gives the same text: no handler.
    std::vector<std::string> expected = {"VX 0.7071 vsc 0", "vsc x=0.7071"};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(w->VZtxt.text(), "0.7002");
    EXPECT_EQ(w->VLTlbl.caption(), "35");
}

TEST(SettingsDirections, VerticalOrZeroVectorKeepsTheWindowUsable) {
    SettingsFixture w;
    w->Type(w->VYtxt, "0");
    w->Enter(w->VZtxt, "1");  // (0, 0, 1): straight down the z axis
    EXPECT_EQ(w->statusLine.caption(), "");
    EXPECT_EQ(w->VIEWhsc.value(), 90);  // azimuth bar stays
    EXPECT_EQ(w->VIEWvsc.value(), -90);
    EXPECT_EQ(w->VLTlbl.caption(), "90");
    // The elevation bar moved, so the vector becomes its angles' vector.
    EXPECT_EQ(w.model->viewVector.z.raw(), 7888981238LL);

    w->Type(w->LXtxt, "0");
    w->Enter(w->LZtxt, "0");  // zero light: no direction
    EXPECT_EQ(w->statusLine.caption(), "");
    EXPECT_EQ(w->LIGHThsc.value(), 0);
    EXPECT_EQ(w->LIGHTvsc.value(), 0);
    // The bar moved from -45 to 0: the light becomes (1, 0, 0).
    EXPECT_DOUBLE_EQ(w.model->lightVector.x, 1);

    // A zero light whose bars already stand at 0, 0 stays zero; the preview
    // draws without a light line.
    w->Type(w->LXtxt, "0");
    w.preview.ops.clear();
    w->Enter(w->LZtxt, "0");
    EXPECT_DOUBLE_EQ(w.model->lightVector.x, 0);
    EXPECT_EQ(w->statusLine.caption(), "");
    for (const auto& op : w.preview.ops) EXPECT_NE(op.text, " L");
}

TEST(SettingsSwitches, LifeOrientation) {
    SettingsFixture w;
    w.model->lifeViewVector = {0.6, -0.8, 0.5};
    w.model->orientationSin = 0.3;
    w.model->orientationCos = 0.9;
    w->Tick(w->ORIENTcbx, false);
    EXPECT_EQ(w.model->orientationMode, 0);
    EXPECT_EQ(w.model->orientationSin, 0);
    EXPECT_EQ(w.model->orientationCos, 1);
    EXPECT_EQ(w->VYtxt.text(), " 1");  // view boxes untouched
    EXPECT_DOUBLE_EQ(w.model->viewVector.y, 1);

    w->Tick(w->ORIENTcbx, true);
    EXPECT_EQ(w.model->orientationMode, 2);
    EXPECT_EQ(w->VXtxt.text(), " .6");
    EXPECT_EQ(w->VYtxt.text(), "-.8");
    EXPECT_EQ(w->VZtxt.text(), " .5");
    EXPECT_DOUBLE_EQ(w.model->viewVector.x, 0.6);
    EXPECT_DOUBLE_EQ(w.model->viewVector.y, -0.8);
    EXPECT_DOUBLE_EQ(w.model->viewVector.z, 0.5);
    EXPECT_EQ(w->VIEWhsc.value(), 90);  // angles are not updated by the copy
}

TEST(SettingsSwitches, RibbingReferAndFixedTo) {
    SettingsFixture w;
    w->Tick(w->RIBcbx, false);
    EXPECT_EQ(w.model->ribbingOn, 0);
    w->Tick(w->RIBcbx, true);
    EXPECT_EQ(w.model->ribbingOn, 1);
    w->Choose(w->FINALopt);
    EXPECT_EQ(w.model->referStage, 1);
    EXPECT_FALSE(w->INITIALopt.selected());
    w->Choose(w->INITIALopt);
    EXPECT_EQ(w.model->referStage, 0);

    int before = w.previews;
    w.preview.ops.clear();
    w->Choose(w->FRAMEopt);
    EXPECT_EQ(w.previews, before + 1);
    size_t lines = 0;
    for (const auto& op : w.preview.ops) lines += op.kind == RecordingSurface::Op::Line;
    EXPECT_EQ(lines, 7u);  // frame mode draws the foot lines
    w->Choose(w->SCRNopt);
    EXPECT_FALSE(w->FRAMEopt.selected());
}

TEST(SettingsSwitches, ScaleSetHereReachesTheMainWindowsBoxThroughTheDocument) {
    auto model = std::make_unique<ModelState>();
    ModelDocument document(*model);
    RecordingSurface surface, preview{800, 600};
    MemoryLog log;
    MainWindowLogic main(document, surface, log);
    main.Load();
    SettingsWindowLogic settings(document, preview);
    ASSERT_TRUE(settings.Guard([&] { settings.Load(); }));
    int heard = 0;
    const auto counting = document.listen([&](ModelDocument::Change what, const void*) {
        heard += what == ModelDocument::Change::DrawScale;
    });

    // Typed beyond the settings' range: the main window's box shows it at
    // once; leaving the box brings both to the limit.
    settings.Type(settings.SCLtxt, "30");
    EXPECT_EQ(heard, 2);  // the settings window's, then the main window's own
    EXPECT_EQ(main.SCLtxt.text(), "30");
    EXPECT_DOUBLE_EQ(model->drawScale, 30);
    settings.Leave(settings.SCLtxt);
    EXPECT_EQ(main.SCLtxt.text(), "10");
    EXPECT_EQ(main.statusLine.caption(), "");
    EXPECT_DOUBLE_EQ(model->drawScale, 10);

    // What the user types in the main window's box stays as typed.
    main.TypeScale("3.50");
    EXPECT_EQ(main.SCLtxt.text(), "3.50");
    EXPECT_DOUBLE_EQ(model->drawScale, 3.5);
    // The settings window's switches go through the document too.
    settings.Tick(settings.RIBcbx, false);
    EXPECT_FALSE(document.ribbing());
    settings.Choose(settings.FINALopt);
    EXPECT_EQ(document.referStage(), ReferStage::Final);
}

TEST(SettingsText, PaddedAndPlainForms) {
    using namespace settings_text;
    EXPECT_EQ(paddedSingle(0.05f), " .05");
    EXPECT_EQ(paddedFixed4(2), " 2");
    EXPECT_EQ(paddedDouble(1.3), " 1.3");
    EXPECT_EQ(paddedFixed4(-0.5), "-.5");
    EXPECT_EQ(paddedFixed4(0), " 0");
    EXPECT_EQ(plainFixed4(0.70710678), "0.7071");
    EXPECT_EQ(plainFixed4(-1), "-1");
    EXPECT_EQ(plainDouble(1.026), "1.026");
}
