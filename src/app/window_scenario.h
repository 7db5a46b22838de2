// The main window's inputs as a scenario, and a scenario opened in the main
// window. The window keeps the scenario its shell was grown from: the inputs
// as they stood at the first START after a fresh start (program start or an
// opened scenario), and how many STARTs followed on the very inputs the last
// START left (each START hands the next what the model carries over). Inputs
// edited between STARTs begin a new scenario of one START.
#pragma once

#include <optional>
#include <string>

#include "app/main_window_logic.h"
#include "model/scenario.h"

namespace ammonite {

class WindowScenario {
public:
    explicit WindowScenario(MainWindowLogic& logic) : logic_(logic) {}

    // The scenario of the window as it stands; false with a one-line error
    // when its inputs cannot be held by a scenario (a profile loaded from a
    // file may break the rules).
    bool current(Scenario& out, std::string& error) const;

    // Call right before and right after the START the user presses, and
    // after SHADE.
    void startPressed();
    void startFinished();
    void shadePressed();

    // Opens a scenario from a fresh start: the model's defaults and a new run
    // state, the scenario's profiles and settings in the model, its stage
    // count and scale typed into the boxes, the bars moved, START pressed as
    // often as it says and SHADE when it says. Other windows showing the
    // model must then read it again.
    void open(const Scenario& scenario);

    // The scenario last opened or saved (the defaults before either).
    const Scenario& reference() const { return reference_; }
    void saved(const Scenario& scenario) { reference_ = scenario; }
    // The inputs differ from the reference (texts, runs and SHADE aside).
    bool edited() const;

private:
    // The inputs as the model and the controls hold them now.
    bool inputs(Scenario& out, std::string& error) const;

    MainWindowLogic& logic_;
    std::optional<Scenario> grown_;      // inputs of the first START of the sequence
    std::optional<Scenario> afterLast_;  // inputs as the last START left them
    int runs_ = 0;
    bool shaded_ = false;
    Scenario reference_;
};

}  // namespace ammonite
