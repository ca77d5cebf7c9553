#pragma once

#include "platform/appkit/CALayer.h"
#include "platform/appkit/NSColor.h"

#include <string>

namespace zestrel::platform {

class CGContext;

// A layer that draws one line of text at the top of its bounds, aligned across them and
// cut short with an ellipsis when asked and too wide. The face is the context's built-in
// one whatever the font's name; the font's size applies.
class CATextLayer : public CALayer {
public:
    enum class AlignmentMode { natural, left, right, center, justified };
    enum class TruncationMode { none, start, end, middle };
    // The part of the size above the baseline, as the platform's sans-serif faces have it.
    static constexpr CGFloat kAscent = 0.95;

    std::string className() const override { return "CATextLayer"; }

    const std::string& string() const { return string_; }
    void setString(std::string text) { string_ = std::move(text); }
    const std::string& fontName() const { return fontName_; }
    void setFontName(std::string name) { fontName_ = std::move(name); }
    CGFloat fontSize() const { return fontSize_; }
    void setFontSize(CGFloat size) { fontSize_ = size; }
    const Color& foregroundColor() const { return foregroundColor_; }
    void setForegroundColor(Color color) { foregroundColor_ = color; }
    AlignmentMode alignmentMode() const { return alignment_; }
    void setAlignmentMode(AlignmentMode mode) { alignment_ = mode; }
    TruncationMode truncationMode() const { return truncation_; }
    void setTruncationMode(TruncationMode mode) { truncation_ = mode; }

    void draw(CGContext& context) const override;

private:
    std::string string_;
    std::string fontName_ = "Helvetica";
    CGFloat fontSize_ = 36;
    Color foregroundColor_{1, 1, 1, 1};
    AlignmentMode alignment_ = AlignmentMode::natural;
    TruncationMode truncation_ = TruncationMode::none;
};

} // namespace zestrel::platform
