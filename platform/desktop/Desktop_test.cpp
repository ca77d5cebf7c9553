#include "platform/desktop/Desktop.h"

#include "platform/base/ProcessLocal.h"
#include "platform/desktop/CGEvent.h"
#include "platform/desktop/CodeSigning.h"
#include "platform/desktop/EventSystem.h"
#include "platform/desktop/InputSource.h"
#include "platform/desktop/NSWorkspace.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

using testing::DesktopEnvironment;

struct Posted {
    std::string name;
    std::shared_ptr<NSRunningApplication> app;
};

class DesktopTest : public ::testing::Test {
protected:
    // Records the workspace notifications of the current process.
    void listen() {
        token_ = NotificationCenter::workspaceCenter()->addObserver(
            std::nullopt, Value(), [this](const Notification& notification) {
                auto entry = notification.userInfo.find(NSWorkspaceApplicationKey);
                posted_.push_back(
                    {notification.name, entry == notification.userInfo.end()
                                            ? nullptr
                                            : entry->second.asObject<NSRunningApplication>()});
            });
    }
    std::vector<std::string> postedNames() const {
        std::vector<std::string> names;
        for (const auto& p : posted_) {
            names.push_back(p.name + " " + p.app->bundleIdentifier().value_or("?"));
        }
        return names;
    }

    DesktopEnvironment env;
    ObserverToken token_;
    std::vector<Posted> posted_;
};

TEST_F(DesktopTest, StandardDesktopRunsTheFinderInFrontAndThisProgramAsAnAccessory) {
    auto workspace = NSWorkspace::shared();
    auto apps = workspace->runningApplications();
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0]->bundleIdentifier(), "com.apple.finder");
    EXPECT_EQ(apps[1]->bundleIdentifier(), "com.quorvik.Zestrel");
    EXPECT_EQ(workspace->frontmostApplication(), apps[0]);
    EXPECT_EQ(workspace->menuBarOwningApplication(), apps[0]);
    EXPECT_TRUE(apps[0]->isActive());

    auto own = NSRunningApplication::current();
    EXPECT_EQ(own, apps[1]);
    EXPECT_EQ(own->activationPolicy(), NSApplicationActivationPolicy::accessory);
    EXPECT_FALSE(own->isActive());
    EXPECT_EQ(own->localizedName(), "Zestrel");
    EXPECT_NE(own->processIdentifier(), apps[0]->processIdentifier());
    EXPECT_EQ(own->launchDate(), currentDate());
    EXPECT_EQ(env.desktop().keyboardFocusProcessIdentifier(), apps[0]->processIdentifier());
}

TEST_F(DesktopTest, LaunchAndTerminatePostTheirNotificationsWithTheApplication) {
    listen();
    auto textEdit = env.desktop().launch(kTextEditBundleIdentifier);
    EXPECT_EQ(postedNames(),
              (std::vector<std::string>{
                  "NSWorkspaceDidLaunchApplicationNotification com.apple.TextEdit",
                  "NSWorkspaceDidActivateApplicationNotification com.apple.TextEdit"}));
    EXPECT_EQ(posted_[0].app, textEdit);
    EXPECT_EQ(NSRunningApplication::runningApplicationWithProcessIdentifier(
                  textEdit->processIdentifier()),
              textEdit);
    EXPECT_FALSE(env.desktop().windowServer().windows(textEdit->processIdentifier()).empty());

    posted_.clear();
    EXPECT_TRUE(textEdit->terminate());
    EXPECT_EQ(postedNames(),
              (std::vector<std::string>{
                  "NSWorkspaceDidTerminateApplicationNotification com.apple.TextEdit",
                  "NSWorkspaceDidActivateApplicationNotification com.apple.finder"}));
    EXPECT_TRUE(textEdit->isTerminated());
    EXPECT_FALSE(textEdit->isActive());
    EXPECT_FALSE(textEdit->terminate());
    EXPECT_TRUE(env.desktop().windowServer().windows(textEdit->processIdentifier()).empty());
    EXPECT_EQ(NSWorkspace::shared()->frontmostApplication()->bundleIdentifier(),
              "com.apple.finder");
}

TEST_F(DesktopTest, FrontmostObserversGetOldAndNewButTheMenuBarStaysWithTheRegularApp) {
    auto workspace = NSWorkspace::shared();
    std::vector<std::pair<std::string, std::string>> frontChanges;
    auto name = [](const Value& v) {
        auto app = v.asObject<NSRunningApplication>();
        return app ? app->bundleIdentifier().value_or("?") : std::string("nil");
    };
    workspace->keyValueObservers().addObserver(
        "frontmostApplication", NSKeyValueObservingOptionOld | NSKeyValueObservingOptionNew,
        [&](const KeyValueNotification& n) {
            frontChanges.emplace_back(name(n.change.at(NSKeyValueChangeOldKey)),
                                      name(n.change.at(NSKeyValueChangeNewKey)));
        });
    int menuBarChanges = 0;
    workspace->keyValueObservers().addObserver(
        "menuBarOwningApplication", NSKeyValueObservingOptionNew,
        [&](const KeyValueNotification&) { ++menuBarChanges; });

    auto textEdit = env.desktop().launch(kTextEditBundleIdentifier);
    NSRunningApplication::current()->activate();
    EXPECT_EQ(frontChanges, (std::vector<std::pair<std::string, std::string>>{
                                {"com.apple.finder", "com.apple.TextEdit"},
                                {"com.apple.TextEdit", "com.quorvik.Zestrel"}}));
    EXPECT_EQ(menuBarChanges, 1);
    EXPECT_EQ(workspace->frontmostApplication(), NSRunningApplication::current());
    EXPECT_EQ(workspace->menuBarOwningApplication(), textEdit);
    EXPECT_TRUE(NSRunningApplication::current()->isActive());
    EXPECT_FALSE(textEdit->isActive());
}

TEST_F(DesktopTest, AnApplicationRelaunchesWithANewProcessIdentifier) {
    auto finder = NSRunningApplication::runningApplicationsWithBundleIdentifier("com.apple.finder");
    ASSERT_EQ(finder.size(), 1u);
    EXPECT_EQ(env.desktop().launch(kFinderBundleIdentifier), finder[0]); // already running
    listen();
    finder[0]->terminate();
    EXPECT_EQ(NSWorkspace::shared()->frontmostApplication(), nullptr);
    auto again = env.desktop().launch(kFinderBundleIdentifier);
    EXPECT_NE(again->processIdentifier(), finder[0]->processIdentifier());
    EXPECT_EQ(NSRunningApplication::runningApplicationsWithBundleIdentifier("com.apple.finder"),
              (std::vector<std::shared_ptr<NSRunningApplication>>{again}));
    EXPECT_EQ(postedNames(),
              (std::vector<std::string>{
                  "NSWorkspaceDidTerminateApplicationNotification com.apple.finder",
                  "NSWorkspaceDidLaunchApplicationNotification com.apple.finder",
                  "NSWorkspaceDidActivateApplicationNotification com.apple.finder"}));
}

TEST_F(DesktopTest, RelaunchKeepsTheDesktopAndLosesTheProcess) {
    static ProcessLocal<int> counter;
    *counter = 7;
    auto pasteboard = NSPasteboard::general();
    pasteboard->clearContents();
    pasteboard->setString("kept", NSPasteboardType::string);
    const auto count = pasteboard->changeCount();
    auto file = env.writeFile(env.home() / "note.txt", "hello");
    listen();
    auto before = NSRunningApplication::current();

    auto after = env.desktop().relaunchOwnApplication();

    // The old process hears nothing once it has ended, not even its own end; the new one
    // starts with no observers.
    EXPECT_TRUE(postedNames().empty());
    EXPECT_EQ(*counter, 0);
    EXPECT_TRUE(before->isTerminated());
    EXPECT_NE(after->processIdentifier(), before->processIdentifier());
    EXPECT_EQ(NSRunningApplication::current(), after);
    EXPECT_EQ(NSPasteboard::general(), pasteboard);
    EXPECT_EQ(pasteboard->changeCount(), count);
    EXPECT_EQ(pasteboard->stringForType(NSPasteboardType::string), "kept");
    EXPECT_EQ(DesktopEnvironment::readFile(file), "hello");
    EXPECT_EQ(NSWorkspace::shared()->frontmostApplication()->bundleIdentifier(),
              "com.apple.finder");
    env.desktop().launch(kTextEditBundleIdentifier);
    EXPECT_TRUE(posted_.empty());
}

TEST_F(DesktopTest, InstalledApplicationsAreFoundByBundleIdentifierAndScheme) {
    auto workspace = NSWorkspace::shared();
    EXPECT_EQ(workspace->urlForApplicationWithBundleIdentifier("com.binarynights.ForkLift"),
              URL::fileURL("/Applications/ForkLift.app", true));
    EXPECT_EQ(workspace->urlForApplicationWithBundleIdentifier("com.binarynights.forklift-setapp"),
              URL::fileURL("/Applications/Setapp/ForkLift.app", true));
    EXPECT_EQ(workspace->urlForApplicationWithBundleIdentifier("com.example.missing"),
              std::nullopt);
    EXPECT_EQ(workspace->urlForApplicationToOpenURL(*URL::parse("mailto:a@b.c")),
              URL::fileURL("/System/Applications/Mail.app", true));
    EXPECT_EQ(workspace->urlForApplicationToOpenURL(*URL::parse("gopher://x")), std::nullopt);
    EXPECT_THROW(env.desktop().launch("com.example.missing"), Error);

    auto forkLift = env.desktop().launchAt(URL::fileURL("/Applications/ForkLift.app", true));
    EXPECT_EQ(forkLift->bundleIdentifier(), "com.binarynights.ForkLift");
    EXPECT_EQ(forkLift->executableURL(),
              URL::fileURL("/Applications/ForkLift.app/Contents/MacOS/ForkLift"));
}

TEST_F(DesktopTest, OpeningThisProgramAsANewInstanceAsksForARelaunch) {
    auto workspace = NSWorkspace::shared();
    std::shared_ptr<NSRunningApplication> opened;
    bool called = false;
    workspace->openApplicationAtURL(*NSRunningApplication::current()->bundleURL(),
                                    {.activates = false, .createsNewApplicationInstance = true},
                                    [&](auto app, auto error) {
                                        called = true;
                                        opened = app;
                                        EXPECT_FALSE(error.has_value());
                                    });
    EXPECT_FALSE(called); // answered on the main queue
    env.runUntilIdle();
    EXPECT_TRUE(called);
    EXPECT_TRUE(env.desktop().relaunchRequested());
    env.desktop().relaunchOwnApplication();
    EXPECT_FALSE(env.desktop().relaunchRequested());

    std::optional<Error> failure;
    NSWorkspace::shared()->openApplicationAtURL(URL::fileURL("/Applications/None.app", true), {},
                                                [&](auto, auto error) { failure = error; });
    env.runUntilIdle();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->code(), -10814);
}

TEST_F(DesktopTest, CodeIsUnsignedUntilItsInformationIsSet) {
    const int finderPID = NSWorkspace::shared()->frontmostApplication()->processIdentifier();
    SecCodeRef code;
    ASSERT_EQ(SecCodeCopyGuestWithAttributes(nullptr, {{kSecGuestAttributePid, Value(finderPID)}},
                                             kSecCSDefaultFlags, code),
              errSecSuccess);
    SecStaticCodeRef staticCode;
    ASSERT_EQ(SecCodeCopyStaticCode(code, kSecCSDefaultFlags, staticCode), errSecSuccess);
    Value info;
    EXPECT_EQ(SecCodeCopySigningInformation(staticCode, 0, info), errSecCSUnsigned);

    const Value::Dictionary signedByBundle{{kSecCodeInfoIdentifier, Value("com.apple.finder")}};
    env.desktop().setSigningInformation(
        URL::fileURL("/System/Library/CoreServices/Finder.app", true), signedByBundle);
    EXPECT_EQ(SecCodeCopySigningInformation(staticCode, 0, info), errSecSuccess);
    EXPECT_EQ(info, Value(signedByBundle));

    const Value::Dictionary ownOfProcess{{kSecCodeInfoIdentifier, Value("impostor")}};
    env.desktop().setSigningInformation(finderPID, ownOfProcess);
    EXPECT_EQ(SecCodeCopySigningInformation(staticCode, 0, info), errSecSuccess);
    EXPECT_EQ(info, Value(ownOfProcess));

    SecStaticCodeRef onDisk;
    ASSERT_EQ(SecStaticCodeCreateWithPath(
                  URL::fileURL("/System/Library/CoreServices/Finder.app", true), 0, onDisk),
              errSecSuccess);
    EXPECT_EQ(SecCodeCopySigningInformation(onDisk, 0, info), errSecSuccess);
    EXPECT_EQ(info, Value(signedByBundle));

    EXPECT_EQ(
        SecCodeCopyGuestWithAttributes(nullptr, {{kSecGuestAttributePid, Value(99999)}}, 0, code),
        errSecCSNoSuchCode);
    EXPECT_EQ(SecStaticCodeCreateWithPath(URL::fileURL("/Applications/None.app", true), 0, onDisk),
              errSecCSStaticCodeNotFound);
    EXPECT_EQ(SecCopyErrorMessageString(-1234567), std::nullopt);
    EXPECT_TRUE(SecCopyErrorMessageString(errSecCSUnsigned).has_value());
}

TEST_F(DesktopTest, ApplicationsAndRecordedHelpersExistAndHaveCode) {
    const int finderPID = NSWorkspace::shared()->frontmostApplication()->processIdentifier();
    EXPECT_EQ(env.desktop().processGroupIdentifier(finderPID), finderPID);
    constexpr int kDaemon = 88;
    EXPECT_EQ(env.desktop().processGroupIdentifier(kDaemon), std::nullopt);
    env.desktop().setParentProcessIdentifier(kDaemon, 1);
    EXPECT_EQ(env.desktop().processGroupIdentifier(kDaemon), kDaemon);

    // A daemon is no application, yet it has code and can be signed.
    const Value::Dictionary signing{{kSecCodeInfoIdentifier, Value("com.example.daemon")}};
    env.desktop().setSigningInformation(kDaemon, signing);
    SecCodeRef code;
    ASSERT_EQ(SecCodeCopyGuestWithAttributes(nullptr, {{kSecGuestAttributePid, Value(kDaemon)}},
                                             kSecCSDefaultFlags, code),
              errSecSuccess);
    SecStaticCodeRef staticCode;
    ASSERT_EQ(SecCodeCopyStaticCode(code, kSecCSDefaultFlags, staticCode), errSecSuccess);
    Value info;
    EXPECT_EQ(SecCodeCopySigningInformation(staticCode, 0, info), errSecSuccess);
    EXPECT_EQ(info, Value(signing));

    env.desktop().terminate(finderPID);
    EXPECT_EQ(env.desktop().processGroupIdentifier(finderPID), std::nullopt);
    EXPECT_EQ(SecCodeCopyGuestWithAttributes(nullptr, {{kSecGuestAttributePid, Value(finderPID)}},
                                             kSecCSDefaultFlags, code),
              errSecCSNoSuchCode);
}

TEST_F(DesktopTest, TheTaskAnswersEntitlementsOfThisProgramsSignature) {
    auto task = SecTaskCreateFromSelf();
    ASSERT_NE(task, nullptr);
    EXPECT_TRUE(SecTaskCopyValueForEntitlement(task, "com.apple.security.app-sandbox").isAbsent());
    env.desktop().setSigningInformation(
        *NSRunningApplication::current()->bundleURL(),
        {{kSecCodeInfoEntitlementsDict,
          Value(Value::Dictionary{{"com.apple.security.app-sandbox", Value(true)}})}});
    EXPECT_EQ(SecTaskCopyValueForEntitlement(task, "com.apple.security.app-sandbox"), Value(true));
}

TEST_F(DesktopTest, TheLaunchEventNamesTheLauncherAndALoginItemLaunch) {
    auto finderPID = NSWorkspace::shared()->frontmostApplication()->processIdentifier();
    auto event = NSAppleEventManager::sharedAppleEventManager().currentAppleEvent();
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->eventClass(), kCoreEventClass);
    EXPECT_EQ(event->eventID(), kAEOpenApplication);
    ASSERT_NE(event->attributeDescriptorForKeyword(keySenderPIDAttr), nullptr);
    EXPECT_EQ(event->attributeDescriptorForKeyword(keySenderPIDAttr)->int32Value(), finderPID);
    EXPECT_EQ(event->paramDescriptorForKeyword(keyAEPropData), nullptr);

    env.desktop().relaunchOwnApplication(
        {.asLoginItem = true, .launchedBy = 0, .addressedFrom = 88});
    event = NSAppleEventManager::sharedAppleEventManager().currentAppleEvent();
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->attributeDescriptorForKeyword(keySenderPIDAttr), nullptr);
    ASSERT_NE(event->paramDescriptorForKeyword(keyAEPropData), nullptr);
    EXPECT_EQ(event->paramDescriptorForKeyword(keyAEPropData)->enumCodeValue(),
              keyAELaunchedAsLogInItem);
    auto address = event->attributeDescriptorForKeyword(keyAddressAttr);
    ASSERT_NE(address, nullptr);
    auto kernel = address->coerceToDescriptorType(typeKernelProcessID);
    ASSERT_NE(kernel, nullptr);
    EXPECT_EQ(kernel->int32Value(), 88);
    EXPECT_EQ(address->coerceToDescriptorType(typeEnumerated), nullptr);
}

void postChord(std::uint16_t keyCode, CGEventFlags flags) {
    for (bool down : {true, false}) {
        auto event = CGEventCreateKeyboardEvent(nullptr, keyCode, down);
        CGEventSetFlags(event, flags);
        CGEventPost(CGEventTapLocation::hid, event);
    }
}

TEST_F(DesktopTest, PostedKeysReachTheApplicationWithKeyboardFocus) {
    auto finder = env.finder();
    postChord(testing::kVKC, kCGEventFlagMaskCommand);
    EXPECT_EQ(
        finder->receivedEvents(),
        (std::vector<ReceivedKeyEvent>{{testing::kVKC, NSEvent::ModifierFlags::command, "c"}}));

    // The characters come from the layout current when the key arrives.
    ASSERT_EQ(InputSources::current()->select("com.apple.keylayout.German"), 0);
    postChord(16, kCGEventFlagMaskCommand); // the key right of T: Z on a German keyboard
    EXPECT_EQ(finder->receivedEvents().back().characters, "z");

    auto editor = env.launch<TextEditorApplication>(kTextEditBundleIdentifier, true);
    postChord(16, kCGEventFlagMaskShift);
    EXPECT_EQ(editor->text(), "Z");
    EXPECT_EQ(finder->receivedEvents().size(), 2u);

    std::vector<std::uint16_t> ownKeys;
    env.desktop().setOwnKeyEventHandler([&](std::uint16_t keyCode, NSEvent::ModifierFlags,
                                            const std::string&) { ownKeys.push_back(keyCode); });
    NSRunningApplication::current()->activate();
    postChord(testing::kVKV, kCGEventFlagMaskCommand);
    EXPECT_EQ(ownKeys, std::vector<std::uint16_t>{testing::kVKV});
    EXPECT_EQ(EventSystem::current()->ownProcessIdentifier(),
              NSRunningApplication::current()->processIdentifier());
}

TEST_F(DesktopTest, TheLogKeepsItsLastLines) {
    for (std::size_t i = 0; i <= Desktop::kKeptLogLines; ++i) {
        env.desktop().log("line " + std::to_string(i));
    }
    const auto lines = env.desktop().logLines();
    ASSERT_EQ(lines.size(), Desktop::kKeptLogLines);
    EXPECT_EQ(lines.front(), "line 1");
    EXPECT_EQ(lines.back(), "line " + std::to_string(Desktop::kKeptLogLines));
}

} // namespace
} // namespace zestrel::platform
