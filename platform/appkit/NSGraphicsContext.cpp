#include "platform/appkit/NSGraphicsContext.h"

#include "platform/appkit/NSView.h"

namespace zestrel::platform {

namespace {

thread_local NSGraphicsContext* currentContext = nullptr;

void drawInOwnCoordinates(NSView& view, CGContext& context) {
    {
        NSGraphicsContext graphics(context, view.isFlipped());
        NSGraphicsContext::Scope scope(graphics);
        context.saveGState();
        view.draw(view.bounds());
        context.restoreGState();
    }
    for (const auto& subview : view.subviews()) {
        if (subview->isHidden()) {
            continue;
        }
        context.saveGState();
        context.concatCTM(subview->transformToSuperview());
        drawInOwnCoordinates(*subview, context);
        context.restoreGState();
    }
}

} // namespace

NSGraphicsContext* NSGraphicsContext::current() {
    return currentContext;
}

NSGraphicsContext::Scope::Scope(NSGraphicsContext& context) : previous_(currentContext) {
    currentContext = &context;
}

NSGraphicsContext::Scope::~Scope() {
    currentContext = previous_;
}

void drawHierarchy(NSView& view, CGContext& context) {
    if (view.isHidden()) {
        return;
    }
    context.saveGState();
    context.concatCTM(view.transformToSuperview());
    drawInOwnCoordinates(view, context);
    context.restoreGState();
}

} // namespace zestrel::platform
