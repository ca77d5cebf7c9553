#include "platform/swiftui/ViewHost.h"

#include "platform/swiftui/Text.h"
#include "platform/swiftui/Toggle.h"
#include "platform/swiftui/ViewState.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <vector>

namespace zestrel::platform::swiftui {
namespace {

class Model final : public combine::ObservableObject {
public:
    combine::Published<int> count{*this, 0};
    bool isOn = false;
};

// A switch over its own state that reports its changes.
struct StateSwitch {
    std::string title;
    std::shared_ptr<std::vector<bool>> changes;
    View body(ViewContext& context) const {
        const State<bool> isOn = context.state<bool>("isOn", false);
        return Toggle(title, isOn.binding()).onChange(isOn.get(), [changes = changes](bool value) {
            changes->push_back(value);
        });
    }
};

// Shows the switch while the model's count is even; counts its own evaluations.
struct Screen {
    std::shared_ptr<Model> model;
    std::shared_ptr<std::vector<bool>> changes;
    View body(ViewContext& context) const {
        const auto observed = context.observe(model);
        if (observed->count.get() % 2 == 0) {
            return StateSwitch{"Switch", changes};
        }
        return Text("Odd " + std::to_string(observed->count.get()));
    }
};

class ViewHostTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
    std::shared_ptr<Model> model = std::make_shared<Model>();
    std::shared_ptr<std::vector<bool>> changes = std::make_shared<std::vector<bool>>();
};

TEST_F(ViewHostTest, OutlineShowsOneNodeALineWithPlainLabelsFoldedIntoTheSwitch) {
    bool on = true;
    const Binding<bool> binding([&] { return on; }, [&](const bool& value) { on = value; });
    auto host = ViewHost::make(Toggle("Launch at login", binding));
    EXPECT_EQ(host->outline(), "Toggle \"Launch at login\" [on]\n");

    auto labelled = ViewHost::make(Toggle(binding, Label("Sound", "speaker")));
    EXPECT_EQ(labelled->outline(), "Toggle \"Sound\" image:speaker [on]\n");

    struct TwoLines {
        View body(ViewContext&) const {
            return Toggle(Binding<bool>::constant(false), twoLineLabel());
        }
        static View twoLineLabel() {
            return View(View::Build([](ViewContext& context, Nodes& into) {
                Text("First").build(context, into);
                Text("Second \"quoted\"").build(context, into);
            }));
        }
    };
    auto twoLines = ViewHost::make(TwoLines{});
    EXPECT_EQ(twoLines->outline(), "Toggle \"First\" [off]\n"
                                   "  Text \"First\"\n"
                                   "  Text \"Second \\\"quoted\\\"\"\n");

    auto form = std::make_shared<Node>();
    form->kind = "Form";
    form->modifiers = {{"formStyle", "grouped"}, {"frame", "width: 320"}};
    form->children = twoLines->nodes();
    EXPECT_EQ(outline({form}), "Form .formStyle(grouped) .frame(width: 320)\n"
                               "  Toggle \"First\" [off]\n"
                               "    Text \"First\"\n"
                               "    Text \"Second \\\"quoted\\\"\"\n");
}

TEST_F(ViewHostTest, ActingByLabelChangesStateAndTheBodyFollowsOnTheNextTurn) {
    auto host = ViewHost::make(StateSwitch{"Switch", changes});
    EXPECT_FALSE(host->toggle("Nothing"));
    EXPECT_FALSE(host->click("Nothing"));
    EXPECT_TRUE(host->click("Switch"));
    EXPECT_EQ(host->outline(), "Toggle \"Switch\" [on]\n"); // the binding reads the state
    EXPECT_TRUE(changes->empty());                          // the body has not run yet
    env.runUntilIdle();
    EXPECT_EQ(*changes, (std::vector<bool>{true}));
    EXPECT_TRUE(host->toggle("Switch"));
    env.runUntilIdle();
    EXPECT_EQ(*changes, (std::vector<bool>{true, false}));
}

TEST_F(ViewHostTest, OnChangeRunsOnlyForAValueThatDiffersFromThePreviousEvaluation) {
    auto host = ViewHost::make(Screen{model, changes});
    model->count = 2; // the switch's view is evaluated again with its state unchanged
    env.runUntilIdle();
    EXPECT_TRUE(changes->empty());
    host->toggle("Switch");
    env.runUntilIdle();
    EXPECT_EQ(*changes, (std::vector<bool>{true}));
}

TEST_F(ViewHostTest, AnnouncementsInOneTurnCoalesceIntoOneEvaluation) {
    auto host = ViewHost::make(Screen{model, changes});
    const auto before = host->bodyEvaluations();
    model->count = 2;
    model->count = 4;
    model->count = 6;
    EXPECT_EQ(host->bodyEvaluations(), before);
    env.runUntilIdle();
    EXPECT_EQ(host->bodyEvaluations(), before + 2); // the screen, and the switch inside it
    env.runUntilIdle();
    EXPECT_EQ(host->bodyEvaluations(), before + 2);
}

TEST_F(ViewHostTest, StateIsKeptByPlaceAndDroppedWithTheViewThatLeaves) {
    auto host = ViewHost::make(Screen{model, changes});
    host->toggle("Switch");
    env.runUntilIdle();
    model->count = 2;
    env.runUntilIdle();
    EXPECT_EQ(host->outline(), "Toggle \"Switch\" [on]\n");

    model->count = 3;
    env.runUntilIdle();
    EXPECT_EQ(host->outline(), "Text \"Odd 3\"\n");
    model->count = 4;
    env.runUntilIdle();
    EXPECT_EQ(host->outline(), "Toggle \"Switch\" [off]\n"); // a new view, a new state
    EXPECT_EQ(*changes, (std::vector<bool>{true}));          // and no change from the old one
}

TEST_F(ViewHostTest, StateObjectIsMadeOnceAndObserved) {
    struct Owner {
        std::shared_ptr<int> made;
        View body(ViewContext& context) const {
            auto object = context.stateObject<Model>("model", [made = made] {
                ++*made;
                return std::make_shared<Model>();
            });
            return Toggle("Owned " + std::to_string(object->count.get()),
                          Binding<bool>([object] { return object->count.get() > 0; },
                                        [object](const bool&) { object->count = 1; }));
        }
    };
    auto made = std::make_shared<int>(0);
    auto host = ViewHost::make(Owner{made});
    host->toggle("Owned 0");
    env.runUntilIdle();
    EXPECT_EQ(host->outline(), "Toggle \"Owned 1\" [on]\n");
    EXPECT_EQ(*made, 1);
}

TEST_F(ViewHostTest, ViewStorageKeepsTheFirstBoxAcrossNewViewValues) {
    struct Stored {
        ViewStorage<int> storage;
        std::shared_ptr<ViewStorage<int>> seen;
        View body(ViewContext& context) const {
            *seen = storage.installed(context, "storage");
            return Text(std::to_string(seen->get()));
        }
    };
    struct Parent {
        std::shared_ptr<Model> model;
        std::shared_ptr<ViewStorage<int>> seen;
        View body(ViewContext& context) const {
            context.observe(model);
            return Stored{ViewStorage<int>(1), seen}; // a fresh box every time
        }
    };
    auto seen = std::make_shared<ViewStorage<int>>();
    auto host = ViewHost::make(Parent{model, seen});
    seen->set(5);
    const auto evaluations = host->bodyEvaluations();
    env.runUntilIdle();
    EXPECT_EQ(host->bodyEvaluations(), evaluations); // writing the box re-evaluates nothing
    model->count = 1;
    env.runUntilIdle();
    EXPECT_EQ(host->outline(), "Text \"5\"\n");
}

TEST_F(ViewHostTest, HoverOpensAPopoverThatLeavesWhenItsBindingTurnsFalse) {
    struct Hovered {
        View body(ViewContext& context) const {
            const auto shown = context.state<bool>("shown", false);
            return Text("Anchor")
                .onHover([shown](bool isHovering) { shown.set(isHovering); })
                .popover(shown.binding(), Text("Tip"));
        }
    };
    auto host = ViewHost::make(Hovered{});
    EXPECT_FALSE(host->hover("Tip", true));
    EXPECT_TRUE(host->hover("Anchor", true));
    env.runUntilIdle();
    EXPECT_EQ(host->outline(), "Text \"Anchor\"\nPopover\n  Text \"Tip\"\n");
    EXPECT_TRUE(host->hover("Anchor", false));
    env.runUntilIdle();
    EXPECT_EQ(host->find("Tip"), nullptr);
}

} // namespace
} // namespace zestrel::platform::swiftui
