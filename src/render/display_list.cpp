#include "render/display_list.h"

#include "render/shading.h"

#include <algorithm>
#include <limits>

namespace ammonite {

namespace {

std::uint16_t storedWidth(int width) {
    return static_cast<std::uint16_t>(std::clamp(width, 1, int(std::numeric_limits<std::uint16_t>::max())));
}

}  // namespace

void DisplayList::dropItems() {
    // clear() keeps the capacity: a window that redraws records about as much
    // again, without growing the vector anew.
    items_.clear();
    texts_.clear();
    shells_.clear();
}

void DisplayList::clear(Rgb background) {
    dropItems();
    hasBackground_ = true;
    background_ = background;
}

void DisplayList::reset() {
    dropItems();
    hasBackground_ = false;
    background_ = Rgb(255, 255, 255);
}

void DisplayList::addLine(double x1, double y1, double x2, double y2, Rgb colour, int width) {
    Item item;
    item.kind = Kind::Line;
    item.width = storedWidth(width);
    item.colour = colour;
    item.x1 = static_cast<float>(x1);
    item.y1 = static_cast<float>(y1);
    item.x2 = static_cast<float>(x2);
    item.y2 = static_cast<float>(y2);
    items_.push_back(item);
}

void DisplayList::addPoint(double x, double y, Rgb colour, int width) {
    Item item;
    item.kind = Kind::Point;
    item.width = storedWidth(width);
    item.colour = colour;
    item.x1 = static_cast<float>(x);
    item.y1 = static_cast<float>(y);
    items_.push_back(item);
}

void DisplayList::addCircle(double cx, double cy, double radius, Rgb outline, bool filled, Rgb fill) {
    Item item;
    item.kind = Kind::Circle;
    item.filled = filled;
    item.colour = outline;
    item.fill = fill;
    item.x1 = static_cast<float>(cx);
    item.y1 = static_cast<float>(cy);
    item.x2 = static_cast<float>(radius);
    items_.push_back(item);
}

void DisplayList::addText(double x, double y, const std::string& utf8, Rgb colour) {
    Item item;
    item.kind = Kind::Text;
    item.colour = colour;
    item.x1 = static_cast<float>(x);
    item.y1 = static_cast<float>(y);
    item.index = static_cast<std::uint32_t>(texts_.size());
    texts_.push_back(utf8);
    items_.push_back(item);
}

void DisplayList::addShadedShell(std::shared_ptr<const ShadedShellSnapshot> shell) {
    if (!shell) return;
    Item item;
    item.kind = Kind::ShadedShell;
    item.index = static_cast<std::uint32_t>(shells_.size());
    shells_.push_back(std::move(shell));
    items_.push_back(item);
}

void PaintDisplayList(DrawingSurface& surface, const DisplayList& list) {
    for (const DisplayList::Item& item : list.items()) {
        switch (item.kind) {
            case DisplayList::Kind::Line:
                surface.setDrawWidth(item.width);
                surface.line(item.x1, item.y1, item.x2, item.y2, item.colour);
                break;
            case DisplayList::Kind::Point:
                surface.setDrawWidth(item.width);
                surface.point(item.x1, item.y1, item.colour);
                break;
            case DisplayList::Kind::Circle:
                surface.setFillStyle(item.filled ? 0 : 1);
                surface.setFillColour(item.fill);
                surface.circle(item.x1, item.y1, item.x2, item.colour);
                break;
            case DisplayList::Kind::Text:
                surface.setForeColour(item.colour);
                surface.setCurrentPosition(item.x1, item.y1);
                surface.print(list.text(item), true);
                break;
            case DisplayList::Kind::ShadedShell: {
                const ShadedShellSnapshot& shell = list.shell(item);
                PaintShadedShell(surface, ShadeScene{shell.run, shell.model, shell.ribFactor});
                break;
            }
        }
    }
}

}  // namespace ammonite
