#include "foundation/ZeroSizeView.h"

#include "platform/data/KeyedArchive.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

namespace pf = platform;
namespace ui = platform::swiftui;

class Counter final : public pf::combine::ObservableObject {
public:
    pf::combine::Published<int> count{*this, 0};
};

// A label beside an unseen helper view; the counter re-evaluates it.
struct Row {
    std::shared_ptr<Counter> counter;
    ui::View body(ui::ViewContext& context) const {
        const int count = context.observe(counter)->count.get();
        return ui::View(ui::View::Build([count](ui::ViewContext& inner, ui::Nodes& into) {
            ui::Text("Row " + std::to_string(count)).build(inner, into);
            ui::ViewContext helper = inner.child("helper");
            ui::View(ZeroSizeView{}).build(helper, into);
        }));
    }
};

TEST(ZeroSizeViewTest, HoldsOneEmptyViewThatAsksForNoRoom) {
    pf::testing::TestEnvironment environment;
    auto host = ui::ViewHost::make(ZeroSizeView{});
    EXPECT_EQ(host->outline(), "nsview representable \"XViewType\"\n");
    const auto node = host->find("XViewType");
    ASSERT_NE(node, nullptr);
    const auto view = std::dynamic_pointer_cast<XViewType>(node->platformView);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->frame(), pf::CGRect{});
    EXPECT_EQ(view->intrinsicContentSize(), (pf::CGSize{0, 0}));
}

TEST(ZeroSizeViewTest, TheViewIsMadeOnceForItsPlace) {
    pf::testing::TestEnvironment environment;
    const auto counter = std::make_shared<Counter>();
    auto host = ui::ViewHost::make(Row{counter});
    const auto first = host->find("XViewType")->platformView;
    ASSERT_NE(first, nullptr);
    counter->count = 1;
    host->update();
    ASSERT_NE(host->find("Row 1"), nullptr);
    EXPECT_EQ(host->find("XViewType")->platformView, first);
}

// What another program might have archived under the view's class name.
class ForeignArchive final : public pf::NSObject, public pf::NSCoding {
public:
    explicit ForeignArchive(pf::Value::Dictionary fields) : fields_(std::move(fields)) {}
    std::string className() const override { return "XViewType"; }
    pf::Value::Dictionary encodedFields() const override { return fields_; }

private:
    pf::Value::Dictionary fields_;
};

std::shared_ptr<XViewType> unarchive(const pf::Data& archive) {
    return std::dynamic_pointer_cast<XViewType>(
        pf::NSKeyedUnarchiver::unarchivedObject(
            {XViewType::archivableClass(), {"NSNumber", {}}, {"NSString", {}}}, archive)
            .asObject());
}

TEST(ZeroSizeViewTest, FromAnArchiveTheViewKeepsWhatWasArchived) {
    auto original = std::make_shared<XViewType>();
    original->setFrame(pf::CGRect{1, 2, 30, 40});
    original->setHidden(true);
    original->setIdentifier("spacer");
    const auto view = unarchive(pf::NSKeyedArchiver::archivedData(pf::Value(original), true));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->frame(), (pf::CGRect{1, 2, 30, 40}));
    EXPECT_TRUE(view->isHidden());
    EXPECT_EQ(view->identifier(), "spacer");
    EXPECT_EQ(view->intrinsicContentSize(), (pf::CGSize{0, 0}));

    // Fields left out keep a new view's values.
    const auto bare = unarchive(pf::NSKeyedArchiver::archivedData(
        pf::Value(std::make_shared<ForeignArchive>(pf::Value::Dictionary{})), true));
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->frame(), pf::CGRect{});
    const auto partial = unarchive(pf::NSKeyedArchiver::archivedData(
        pf::Value(std::make_shared<ForeignArchive>(
            pf::Value::Dictionary{{"NSFrameWidth", pf::Value(8)}})),
        true));
    ASSERT_NE(partial, nullptr);
    EXPECT_EQ(partial->frame(), (pf::CGRect{0, 0, 8, 0}));
    EXPECT_FALSE(bare->isHidden());
}

TEST(ZeroSizeViewTest, AMalformedArchiveMakesNoView) {
    for (const pf::Value::Dictionary& fields : {
             pf::Value::Dictionary{{"NSFrameWidth", pf::Value("wide")}},
             pf::Value::Dictionary{{"NSFrameX", pf::Value(true)}},
             pf::Value::Dictionary{{"NSHidden", pf::Value("yes")}},
             pf::Value::Dictionary{{"NSIdentifier", pf::Value(7)}},
         }) {
        const pf::Data archive = pf::NSKeyedArchiver::archivedData(
            pf::Value(std::make_shared<ForeignArchive>(fields)), true);
        try {
            unarchive(archive);
            ADD_FAILURE() << "a view was made";
        } catch (const pf::Error& error) {
            EXPECT_EQ(error.code(), 4864);
        }
    }
}

} // namespace
} // namespace zestrel
