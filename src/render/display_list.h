// A record of what was drawn on a surface since its last clear, kept so that
// the picture can be painted again elsewhere (a vector file). Every item
// holds its resolved position, colours and width in single precision, which
// is what the surfaces draw with. The shaded shell is kept as one item: the
// model and run tables it was painted from, so that it can be painted again
// by the shading code itself instead of as millions of lines.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/model_state.h"
#include "model/run_state.h"
#include "render/surface.h"

namespace ammonite {

// What painting the shaded shell needs, as it stood when painting started.
struct ShadedShellSnapshot {
    ModelState model;
    RunState run;
    std::vector<double> ribFactor;
};

class DisplayList {
public:
    enum class Kind : std::uint8_t { Line, Point, Circle, Text, ShadedShell };

    struct Item {
        Kind kind = Kind::Line;
        bool filled = false;       // circle: filled with `fill`
        std::uint16_t width = 1;   // line, point
        Rgb colour;                // line, point, text; the outline of a circle
        Rgb fill;                  // circle
        float x1 = 0, y1 = 0;      // line start; point, circle centre; top-left of a text
        float x2 = 0, y2 = 0;      // line end; x2 is the radius of a circle
        std::uint32_t index = 0;   // text: into texts(); shaded shell: into shells()
    };

    // The picture is wiped: everything recorded so far goes, and the picture
    // now lies on `background`.
    void clear(Rgb background);
    // Forgets everything, the background too.
    void reset();

    void addLine(double x1, double y1, double x2, double y2, Rgb colour, int width);
    void addPoint(double x, double y, Rgb colour, int width);
    void addCircle(double cx, double cy, double radius, Rgb outline, bool filled, Rgb fill);
    // (x, y) is the top-left corner of the text.
    void addText(double x, double y, const std::string& utf8, Rgb colour);
    void addShadedShell(std::shared_ptr<const ShadedShellSnapshot> shell);

    const std::vector<Item>& items() const { return items_; }
    size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    const std::string& text(const Item& item) const { return texts_.at(item.index); }
    const ShadedShellSnapshot& shell(const Item& item) const { return *shells_.at(item.index); }

    // Whether a clear was recorded, and the colour it cleared to.
    bool hasBackground() const { return hasBackground_; }
    Rgb background() const { return background_; }

private:
    void dropItems();

    std::vector<Item> items_;
    std::vector<std::string> texts_;
    std::vector<std::shared_ptr<const ShadedShellSnapshot>> shells_;
    bool hasBackground_ = false;
    Rgb background_{255, 255, 255};
};

// Paints every item of the list on `surface` in order (not its clear), the
// shaded shell by the shading code itself. The surface's colours, line width
// and position are left as the items leave them.
void PaintDisplayList(DrawingSurface& surface, const DisplayList& list);

// Stops a surface from recording for as long as it lives (for painting that
// is recorded as one item of its own).
class RecorderPause {
public:
    explicit RecorderPause(DrawingSurface& surface) : surface_(surface), list_(surface.recorder()) {
        surface_.setRecorder(nullptr);
    }
    ~RecorderPause() { surface_.setRecorder(list_); }
    RecorderPause(const RecorderPause&) = delete;
    RecorderPause& operator=(const RecorderPause&) = delete;
    DisplayList* list() const { return list_; }

private:
    DrawingSurface& surface_;
    DisplayList* list_;
};

}  // namespace ammonite
