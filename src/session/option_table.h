// Every input a user can set from outside the windows, in one table: the
// batch tool's command line, the Python package's grow() keywords and the
// inputs a sweep (or the morphospace window) can vary. Each entry gives the
// name, the kind of value, the unit, the allowed range or choices, the
// default and the help text; the limits are written here once and read by
// every reader of the table.
//
// Adding an option: append one entry to the table in option_table.cpp, and
// give it its handling where it acts (for a batch option, the store in the
// batch tool's parser and the code that uses the stored value).
#pragma once

#include <string>
#include <vector>

#include "core/input_limits.h"
#include "core/numeric.h"

namespace ammonite {

// ---- the limits: core/input_limits.h ----

// ---- the table ----

enum class OptionType {
    Flag,       // no value: given or not
    BoxText,    // the text typed into a box of the main window, read by the box's rule
    Numbers,    // `count` numbers separated by commas (one number when count is 1)
    Wholes,     // `count` whole numbers separated by commas
    Switch,     // one of `choices` (on, off)
    Path,       // a file name, not empty
    SweepAxis,  // NAME=FROM:TO:STEPS
};

// Who reads an entry.
enum OptionUse : unsigned {
    kBatchOption = 1,    // --NAME on the batch tool's command line
    kGrowKeyword = 2,    // NAME= of the Python package's grow()
    kSweepInput = 4,     // NAME of a sweep axis (and of the morphospace window's axis menu)
};

// Inputs a sweep sets at each of its points.
enum class SweepTarget {
    None,
    Stages,       // typed into the stage box
    Alpha,        // radius ratio per stage up to stage 200, set before every START
    DensityAir,
    DensityBody,
    St1, St2,     // size thresholds: raw positions of the bars ST1, ST2
    Ft1, Ft2,     // fatigue thresholds: raw positions of the bars FT1, FT2
    Gamma, Curvature, Torsion, Beta,  // the profile made constant at this value
};

struct OptionEntry {
    std::string name;      // as the user writes it: --NAME, NAME=, a sweep's NAME
    OptionType type = OptionType::Flag;
    unsigned uses = 0;     // OptionUse bits
    int count = 1;         // values of a list
    std::string unit;      // "" for none
    // Allowed values: one range for every value, or one per value; none for
    // any number.
    std::vector<ValueRange> ranges;
    std::vector<std::string> choices;  // of a switch
    std::string defaultText;           // "" when the window's own value stands
    std::string metavar;               // the value's shape in the usage text
    // What the input does, as the usage text prints it: one or more lines.
    std::string help;
    std::string group;                 // the heading of the usage text it stands under
    std::string alias;                 // another spelling (-h)
    // Why a value outside the range is refused, when more can be said than
    // "bad value" ("a density cannot be negative").
    std::string rangeRule;
    int divides = 0;                   // a whole value must divide this (0: no rule)
    bool rounds = false;               // a box text read as a whole number (halves to even)
    std::vector<std::string> labels;   // names of the list's values (ST1, ...)
    // Sweep inputs: what a point sets, and the first range the morphospace
    // window offers (its menu lists them by menuRank).
    SweepTarget target = SweepTarget::None;
    std::string menuFrom, menuTo;
    int menuRank = 0;

    bool whole() const { return type == OptionType::Wholes; }
    // The allowed range of value i (null when any number goes).
    const ValueRange* rangeOf(size_t i) const;
    // Help as one line.
    std::string oneLineHelp() const;
};

// The whole table, in the order of the usage text (the sweep inputs last).
const std::vector<OptionEntry>& OptionTable();
// The entry named `name` among the entries used as `use`, or null. A batch
// option is also found by its alias.
const OptionEntry* FindOption(const std::string& name, OptionUse use);
// The entries used as `use`, in the table's order.
std::vector<const OptionEntry*> OptionsFor(OptionUse use);
// The sweep inputs in the order of the morphospace window's menu.
std::vector<const OptionEntry*> MorphoMenuInputs();
// The sweep input that sets `target`.
const OptionEntry* SweepInput(SweepTarget target);

// A value as read from its text.
struct OptionValue {
    std::string text;             // as given
    std::vector<double> numbers;  // Numbers, Wholes, BoxText (the box's reading)
    bool on = false;              // Switch: the first choice; Flag: given
};

// Reads the text given for `entry`; `field` names it in messages ("--scale").
// On a bad value returns false with `reason` set when more can be said than
// that the value is bad (empty otherwise).
bool ReadOptionText(const OptionEntry& entry, const std::string& field, const std::string& text, OptionValue& value,
                    std::string& reason);

// A range as its usage text writes it ("0..1000").
std::string RangeText(const ValueRange& range);

// The usage text of the batch options, grouped under their headings, each
// option's help aligned in a column.
std::string BatchOptionsUsage();

}  // namespace ammonite
