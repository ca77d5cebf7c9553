#pragma once

#include "platform/appkit/NSColor.h"
#include "platform/appkit/NSView.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

// Controls that choose a value: what the kit finds in the view tree and configures, so the
// stand-ins keep their value and show it in the outline.

namespace zestrel::platform {

// A slider between a minimum and a maximum.
class NSSlider : public NSControl {
public:
    using NSControl::NSControl;
    std::string className() const override { return "NSSlider"; }
    double doubleValue() const { return value_; }
    void setDoubleValue(double value) { value_ = value; }
    double minValue() const { return minValue_; }
    void setMinValue(double value) { minValue_ = value; }
    double maxValue() const { return maxValue_; }
    void setMaxValue(double value) { maxValue_ = value; }
    void describeOutline(OutlineNode& node) const override {
        node.kind = "slider";
        node.label = Value(value_).describe();
    }

private:
    double value_ = 0;
    double minValue_ = 0;
    double maxValue_ = 1;
};

// Up and down arrows that step a value.
class NSStepper : public NSControl {
public:
    using NSControl::NSControl;
    std::string className() const override { return "NSStepper"; }
    double doubleValue() const { return value_; }
    void setDoubleValue(double value) { value_ = value; }
    double increment() const { return increment_; }
    void setIncrement(double increment) { increment_ = increment; }
    void describeOutline(OutlineNode& node) const override {
        node.kind = "stepper";
        node.label = Value(value_).describe();
    }

private:
    double value_ = 0;
    double increment_ = 1;
};

// A date and time chooser.
class NSDatePicker : public NSControl {
public:
    using NSControl::NSControl;
    std::string className() const override { return "NSDatePicker"; }
    Date dateValue() const { return date_; }
    void setDateValue(Date date) { date_ = date; }
    void describeOutline(OutlineNode& node) const override {
        node.kind = "date picker";
        node.label = Value(date_).describe();
    }

private:
    Date date_{};
};

// A row of segments, one of them selected (-1: none).
class NSSegmentedControl : public NSControl {
public:
    using NSControl::NSControl;
    std::string className() const override { return "NSSegmentedControl"; }
    std::int64_t segmentCount() const { return static_cast<std::int64_t>(labels_.size()); }
    void setSegmentCount(std::int64_t count) {
        labels_.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, count)));
    }
    void setLabel(std::string label, std::int64_t segment) {
        if (segment >= 0 && segment < segmentCount()) {
            labels_[static_cast<std::size_t>(segment)] = std::move(label);
        }
    }
    std::int64_t selectedSegment() const { return selected_; }
    void setSelectedSegment(std::int64_t segment) { selected_ = segment; }
    void describeOutline(OutlineNode& node) const override {
        node.kind = "segmented control";
        for (std::size_t i = 0; i < labels_.size(); ++i) {
            OutlineNode segment;
            segment.kind = "segment";
            segment.label = labels_[i];
            if (static_cast<std::int64_t>(i) == selected_) {
                segment.traits.emplace_back("selected");
            }
            node.children.push_back(std::move(segment));
        }
    }

private:
    std::vector<std::string> labels_;
    std::int64_t selected_ = -1;
};

// A well that shows a colour.
class NSColorWell : public NSControl {
public:
    using NSControl::NSControl;
    std::string className() const override { return "NSColorWell"; }
    const Color& color() const { return color_; }
    void setColor(Color color) { color_ = color; }
    void describeOutline(OutlineNode& node) const override { node.kind = "color well"; }

private:
    Color color_{1, 1, 1, 1};
};

// Tabs over pages of views.
class NSTabView : public NSView {
public:
    using NSView::NSView;
    std::string className() const override { return "NSTabView"; }
    void describeOutline(OutlineNode& node) const override { node.kind = "tab view"; }
};

} // namespace zestrel::platform
