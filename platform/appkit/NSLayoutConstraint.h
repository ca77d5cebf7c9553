#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/Value.h"

#include <memory>
#include <vector>

namespace zestrel::platform {

class NSView;

// A layout rule between view edges or sizes: first.attribute = second.attribute + constant
// (or a fixed constant when there is no second item), or at most or at least that. Nothing is laid
// out; constraints are kept by the first item's view once activated, for callers and tests to read.
class NSLayoutConstraint final : public NSObject {
public:
    enum class Attribute {
        left,
        right,
        top,
        bottom,
        leading,
        trailing,
        width,
        height,
        centerX,
        centerY,
        notAnAttribute
    };

    static std::shared_ptr<NSLayoutConstraint> make(const std::shared_ptr<NSView>& first,
                                                    Attribute firstAttribute,
                                                    const std::shared_ptr<NSView>& second,
                                                    Attribute secondAttribute, CGFloat constant);
    // The first attribute is at most (or at least) the second plus the constant.
    enum class Relation { lessThanOrEqual = -1, equal = 0, greaterThanOrEqual = 1 };
    static std::shared_ptr<NSLayoutConstraint> make(const std::shared_ptr<NSView>& first,
                                                    Attribute firstAttribute, Relation relation,
                                                    const std::shared_ptr<NSView>& second,
                                                    Attribute secondAttribute, CGFloat constant);
    // Activates them all at once: each joins its first item's constraints.
    static void activateConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& all);

    std::string className() const override { return "NSLayoutConstraint"; }

    std::shared_ptr<NSView> firstItem() const { return first_.lock(); }
    Attribute firstAttribute() const { return firstAttribute_; }
    std::shared_ptr<NSView> secondItem() const { return second_.lock(); }
    Attribute secondAttribute() const { return secondAttribute_; }
    Relation relation() const { return relation_; }
    CGFloat constant() const { return constant_; }
    float priority() const { return priority_; }
    void setPriority(float priority) { priority_ = priority; }
    bool isActive() const { return active_; }

private:
    std::weak_ptr<NSView> first_;
    Attribute firstAttribute_ = Attribute::notAnAttribute;
    std::weak_ptr<NSView> second_;
    Attribute secondAttribute_ = Attribute::notAnAttribute;
    CGFloat constant_ = 0;
    Relation relation_ = Relation::equal;
    float priority_ = 1000;
    bool active_ = false;
};

} // namespace zestrel::platform
