// Plain models of a window's controls with the toolkit's event rules:
// setting a text or a position from code runs the control's change handler at
// once, nested, and only when the value actually changes. The window layer
// shows them through `viewUpdate` and forwards the user's edits to the same
// setters, so the windows and the headless tool behave alike.
#pragma once

#include <functional>
#include <string>

#include "core/numeric.h"

namespace ammonite {

class TextBoxModel {
public:
    const std::string& text() const { return text_; }
    void setText(const std::string& text) {
        if (text == text_) return;
        text_ = text;
        if (viewUpdate) viewUpdate();
        if (onChange) onChange();
    }
    // The focus leaves the box (keyboard or mouse).
    void leave() {
        if (onLeave) onLeave();
    }
    std::function<void()> onChange;
    std::function<void()> onLeave;
    std::function<void()> viewUpdate;

private:
    std::string text_;
};

class LabelModel {
public:
    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& caption) {
        if (caption == caption_) return;
        caption_ = caption;
        if (viewUpdate) viewUpdate();
    }
    std::function<void()> viewUpdate;

private:
    std::string caption_;
};

class ScrollBarModel {
public:
    ScrollBarModel(int min = 0, int max = 32767, int smallChange = 1, int largeChange = 1, int value = 0)
        : min_(min), max_(max), small_(smallChange), large_(largeChange), value_(value) {}
    int value() const { return value_; }
    int min() const { return min_; }
    int max() const { return max_; }
    int smallChange() const { return small_; }
    int largeChange() const { return large_; }
    // A position outside the bar's range is an invalid value, as the toolkit
    // would report it.
    void setValue(int value) {
        if (value < lowest() || value > highest())
            throwInvalidArgument("scroll position " + std::to_string(value) + " is outside " +
                                 std::to_string(min_) + ".." + std::to_string(max_));
        if (value == value_) return;
        value_ = value;
        if (viewUpdate) viewUpdate();
        if (onChange) onChange();
    }
    int lowest() const { return min_ < max_ ? min_ : max_; }
    int highest() const { return min_ < max_ ? max_ : min_; }
    std::function<void()> onChange;
    std::function<void()> viewUpdate;

private:
    int min_, max_, small_, large_, value_;
};

class CheckBoxModel {
public:
    explicit CheckBoxModel(bool checked = false) : checked_(checked) {}
    bool checked() const { return checked_; }
    void setChecked(bool checked) {
        if (checked == checked_) return;
        checked_ = checked;
        if (viewUpdate) viewUpdate();
        if (onClick) onClick();
    }
    std::function<void()> onClick;
    std::function<void()> viewUpdate;

private:
    bool checked_;
};

}  // namespace ammonite
