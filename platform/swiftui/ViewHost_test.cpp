#include "platform/swiftui/ViewHost.h"

#include "platform/base/DispatchQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/concurrency/ObservationRegistrar.h"
#include "platform/swiftui/Containers.h"

#include "platform/swiftui/Text.h"
#include "platform/swiftui/Toggle.h"
#include "platform/swiftui/ViewState.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <optional>
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
    EXPECT_EQ(host->outline(), "toggle \"Launch at login\" [on]\n");

    auto labelled = ViewHost::make(Toggle(binding, Label("Sound", "speaker")));
    EXPECT_EQ(labelled->outline(), "toggle \"Sound\" [image: speaker, on]\n");

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
    EXPECT_EQ(twoLines->outline(), "toggle \"First\" [off]\n"
                                   "  text \"First\"\n"
                                   "  text \"Second \\\"quoted\\\"\"\n");

    auto form = std::make_shared<Node>();
    form->kind = "Form";
    form->modifiers = {{"formStyle", "grouped"}, {"frame", "width: 320"}};
    form->children = twoLines->nodes();
    EXPECT_EQ(outline({form}), "form [formStyle(grouped), frame(width: 320)]\n"
                               "  toggle \"First\" [off]\n"
                               "    text \"First\"\n"
                               "    text \"Second \\\"quoted\\\"\"\n");
}

TEST_F(ViewHostTest, ActingByLabelChangesStateAndTheBodyFollowsOnTheNextTurn) {
    auto host = ViewHost::make(StateSwitch{"Switch", changes});
    EXPECT_FALSE(host->toggle("Nothing"));
    EXPECT_FALSE(host->click("Nothing"));
    EXPECT_TRUE(host->click("Switch"));
    EXPECT_EQ(host->outline(), "toggle \"Switch\" [on]\n"); // the binding reads the state
    EXPECT_TRUE(changes->empty());                          // the body has not run yet
    env.runUntilIdle();
    EXPECT_EQ(*changes, (std::vector<bool>{true}));
    // Also while a main-queue block waits on an alert.
    std::optional<bool> followedDuringTheAlert;
    DispatchQueue::main().async([&] {
        EXPECT_TRUE(host->toggle("Switch"));
        followedDuringTheAlert =
            RunLoop::main().runModal(RunLoopMode::modalPanel, [&] { return changes->size() == 2; });
    });
    env.runUntilIdle();
    EXPECT_EQ(followedDuringTheAlert, true);
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
    EXPECT_EQ(host->outline(), "toggle \"Switch\" [on]\n");

    model->count = 3;
    env.runUntilIdle();
    EXPECT_EQ(host->outline(), "text \"Odd 3\"\n");
    model->count = 4;
    env.runUntilIdle();
    EXPECT_EQ(host->outline(), "toggle \"Switch\" [off]\n"); // a new view, a new state
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
    EXPECT_EQ(host->outline(), "toggle \"Owned 1\" [on]\n");
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
    EXPECT_EQ(host->outline(), "text \"5\"\n");
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
    EXPECT_EQ(host->outline(), "text \"Anchor\"\npopover\n  text \"Tip\"\n");
    EXPECT_TRUE(host->hover("Anchor", false));
    env.runUntilIdle();
    EXPECT_EQ(host->find("Tip"), nullptr);
}

// An `@Observable` model, read through its registrar.
class ObservableModel {
public:
    int count() const {
        registrar_.access("count");
        return count_;
    }
    void setCount(int value) {
        registrar_.withMutation("count", [&] { count_ = value; });
    }

private:
    ObservationRegistrar registrar_;
    int count_ = 0;
};

struct CountScreen {
    ObservableModel* model;
    View body(ViewContext&) const { return Text("Count " + std::to_string(model->count())); }
};

TEST_F(ViewHostTest, AViewRebuildsWhenAnObservablePropertyItReadChanges) {
    ObservableModel observable;
    auto host = ViewHost::make(CountScreen{&observable});
    EXPECT_EQ(host->outline(), "text \"Count 0\"\n");
    observable.setCount(1);
    env.runUntilIdle();
    EXPECT_EQ(host->outline(), "text \"Count 1\"\n");
    observable.setCount(2);
    observable.setCount(3); // coalesced into one evaluation
    const auto evaluations = host->bodyEvaluations();
    env.runUntilIdle();
    EXPECT_EQ(host->outline(), "text \"Count 3\"\n");
    EXPECT_EQ(host->bodyEvaluations(), evaluations + 1);
}

TEST_F(ViewHostTest, ANewRootKeepsTheStateOfThePlacesStillThere) {
    auto host = ViewHost::make(StateSwitch{"Switch", changes});
    ASSERT_TRUE(host->toggle("Switch"));
    env.runUntilIdle();
    host->setRootView(StateSwitch{"Switch", changes});
    EXPECT_EQ(host->outline(), "toggle \"Switch\" [on]\n");
    host->setRootView(Text("Gone"));
    host->setRootView(StateSwitch{"Switch", changes});
    EXPECT_EQ(host->outline(), "toggle \"Switch\" [off]\n"); // it left: its state went
}

// Counts the builds of its content.
struct Expensive {
    std::shared_ptr<int> builds;
    View body(ViewContext& context) const {
        ++*builds;
        const State<bool> isOn = context.state<bool>("isOn", false);
        return Toggle("Kept", isOn.binding());
    }
};

TEST_F(ViewHostTest, AnEquatableViewIsNotBuiltAgainWhileItsValueStaysEqual) {
    auto builds = std::make_shared<int>(0);
    auto host = ViewHost::make(Text("Start"));
    const auto screen = [&](int value, int parent) {
        return Group({Text("Parent " + std::to_string(parent)),
                      View(Expensive{builds}).equatable(value).modifier("padding")});
    };
    host->setRootView(screen(1, 0));
    ASSERT_EQ(*builds, 1);
    ASSERT_TRUE(host->toggle("Kept"));
    env.runUntilIdle(); // its own state change rebuilds it
    ASSERT_EQ(*builds, 2);
    host->setRootView(screen(1, 1));
    host->setRootView(screen(1, 2));
    EXPECT_EQ(*builds, 2);
    EXPECT_EQ(host->outline(), "text \"Parent 2\"\ntoggle \"Kept\" [on, padding()]\n");
    host->setRootView(screen(2, 3));
    EXPECT_EQ(*builds, 3);
    EXPECT_EQ(host->outline(), "text \"Parent 3\"\ntoggle \"Kept\" [on, padding()]\n");
}

} // namespace
} // namespace zestrel::platform::swiftui
