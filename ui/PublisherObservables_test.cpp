#include "ui/PublisherObservables.h"

#include "platform/concurrency/Subjects.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <memory>

namespace zestrel {
namespace {

namespace sui = platform::swiftui;
using platform::combine::PassthroughSubject;

struct Page {
    std::shared_ptr<ListenOnlyPublisherObservable> changes;
    std::shared_ptr<int> evaluations;
    sui::View body(sui::ViewContext& context) const {
        context.observe(changes);
        ++*evaluations;
        return sui::Text("Page");
    }
};

TEST(ListenOnlyPublisherObservableTest, EachValueRedrawsOnTheMainQueueAndCompletionNothing) {
    platform::testing::TestEnvironment env;
    PassthroughSubject<int> subject;
    auto changes = std::make_shared<ListenOnlyPublisherObservable>(subject.eraseToAnyPublisher());
    auto evaluations = std::make_shared<int>(0);
    auto host = sui::ViewHost::make(Page{changes, evaluations});

    for (int value : {1, 2, 3}) {
        subject.send(value);
        EXPECT_EQ(*evaluations, value) << "delivered on the main queue, not at once";
        env.runUntilIdle();
    }
    EXPECT_EQ(*evaluations, 4);

    subject.send(platform::combine::Completion<platform::combine::Never>::finished());
    env.runUntilIdle();
    EXPECT_EQ(*evaluations, 4);
}

} // namespace
} // namespace zestrel
