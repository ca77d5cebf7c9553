#include "platform/desktop/KeyboardLayout.h"

#include "platform/base/NotificationCenter.h"
#include "platform/desktop/CGEvent.h"
#include "platform/desktop/EventSystem.h"
#include "platform/desktop/InputSource.h"
#include "platform/desktop/NSEvent.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <map>

namespace zestrel::platform {
namespace {

using Flags = NSEvent::ModifierFlags;

class KeyboardLayoutTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;

    static std::shared_ptr<NSEvent> keyDown(std::uint16_t keyCode, Flags flags = {}) {
        auto event = CGEventCreateKeyboardEvent(nullptr, keyCode, true);
        CGEventSetFlags(event, CGEventFlags{flags.rawValue});
        return NSEvent::eventWithCGEvent(event);
    }
};

struct CharacterCase {
    std::shared_ptr<KeyboardLayout> (*layout)();
    std::uint16_t keyCode;
    const char* plain;
    const char* shifted;
};

TEST_F(KeyboardLayoutTest, CharacterKeysFollowTheLayout) {
    const CharacterCase cases[] = {
        {KeyboardLayout::us, 0, "a", "A"},       {KeyboardLayout::us, 6, "z", "Z"},
        {KeyboardLayout::us, 7, "x", "X"},       {KeyboardLayout::us, 8, "c", "C"},
        {KeyboardLayout::us, 9, "v", "V"},       {KeyboardLayout::us, 16, "y", "Y"},
        {KeyboardLayout::us, 18, "1", "!"},      {KeyboardLayout::us, 29, "0", ")"},
        {KeyboardLayout::us, 49, " ", " "},      {KeyboardLayout::us, 83, "1", "1"},
        {KeyboardLayout::us, 65, ".", "."},      {KeyboardLayout::german, 6, "y", "Y"},
        {KeyboardLayout::german, 16, "z", "Z"},  {KeyboardLayout::german, 7, "x", "X"},
        {KeyboardLayout::german, 41, "ö", "Ö"},  {KeyboardLayout::german, 27, "ß", "?"},
        {KeyboardLayout::german, 65, ",", ","},  {KeyboardLayout::russian, 7, "ч", "Ч"},
        {KeyboardLayout::russian, 8, "с", "С"},  {KeyboardLayout::russian, 0, "ф", "Ф"},
        {KeyboardLayout::russian, 18, "1", "!"}, {KeyboardLayout::russian, 20, "3", "№"},
    };
    for (const auto& c : cases) {
        const auto layout = c.layout();
        SCOPED_TRACE(layout->identifier() + " " + std::to_string(c.keyCode));
        EXPECT_EQ(layout->characters(c.keyCode, false), c.plain);
        EXPECT_EQ(layout->characters(c.keyCode, true), c.shifted);
    }
}

TEST_F(KeyboardLayoutTest, RussianTypesNoLatinLetter) {
    const auto russian = KeyboardLayout::russian();
    for (std::uint16_t keyCode = 0; keyCode < 128; ++keyCode) {
        const auto text = russian->characters(keyCode, false);
        if (text && text->size() == 1) {
            EXPECT_FALSE(std::isalpha(static_cast<unsigned char>((*text)[0])))
                << "key " << keyCode << " types " << *text;
        }
    }
    EXPECT_FALSE(russian->isASCIICapable());
}

TEST_F(KeyboardLayoutTest, KeysWithoutCharactersAreSpecialOrModifierKeys) {
    const auto us = KeyboardLayout::us();
    EXPECT_EQ(us->specialKey(122), NSEvent::SpecialKey::f1);
    EXPECT_EQ(us->specialKey(90), NSEvent::SpecialKey::f20);
    EXPECT_EQ(us->specialKey(126), NSEvent::SpecialKey::upArrow);
    EXPECT_EQ(us->specialKey(36), NSEvent::SpecialKey::carriageReturn);
    EXPECT_EQ(us->specialKey(76), NSEvent::SpecialKey::enter);
    EXPECT_EQ(us->specialKey(48, true), NSEvent::SpecialKey::backTab);
    EXPECT_EQ(us->specialKey(51), NSEvent::SpecialKey::delete_);
    EXPECT_EQ(us->specialKey(7), std::nullopt);
    EXPECT_EQ(us->specialKey(53), std::nullopt);  // Escape is a character
    EXPECT_EQ(us->characters(72, false), "\x10"); // a function key without a special key

    const std::map<std::uint16_t, Flags> modifiers = {
        {54, Flags::command}, {55, Flags::command}, {56, Flags::shift}, {57, Flags::capsLock},
        {58, Flags::option},  {59, Flags::control}, {60, Flags::shift}, {61, Flags::option},
        {62, Flags::control}, {63, Flags::function}};
    for (std::uint16_t keyCode = 0; keyCode < 128; ++keyCode) {
        const auto it = modifiers.find(keyCode);
        EXPECT_EQ(KeyboardLayout::modifierFlag(keyCode),
                  it == modifiers.end() ? std::nullopt : std::optional(it->second))
            << keyCode;
    }
}

TEST_F(KeyboardLayoutTest, ScanningKeyCodesGivesKeypadDigitsTheLastWord) {
    // The highest key code typing a character wins a table built in ascending order.
    std::map<std::string, std::uint16_t> table;
    for (std::uint16_t keyCode = 0; keyCode < 128; ++keyCode) {
        const auto event = keyDown(keyCode);
        if (event && event->type() == NSEvent::EventType::keyDown && !event->specialKey()) {
            if (auto text = event->charactersIgnoringModifiers(); text && *text != "\x10") {
                table[*text] = keyCode;
            }
        }
    }
    EXPECT_EQ(table.at("x"), 7);
    EXPECT_EQ(table.at("c"), 8);
    EXPECT_EQ(table.at("1"), 83);
    EXPECT_EQ(table.at("-"), 78);
    EXPECT_FALSE(table.contains("\x10"));
}

TEST_F(KeyboardLayoutTest, TranslationGivesControlCharactersForFunctionKeys) {
    const auto us = KeyboardLayout::us();
    char16_t buffer[4] = {};
    std::size_t length = 0;
    std::uint32_t deadKeys = 0;
    ASSERT_EQ(UCKeyTranslate(us.get(), 7, kUCKeyActionDisplay, 0, LMGetKbdType(), 0, &deadKeys, 4,
                             &length, buffer),
              noErr);
    EXPECT_EQ(std::u16string(buffer, length), u"x");
    UCKeyTranslate(us.get(), 7, kUCKeyActionDown, 0x02, 0, 0, &deadKeys, 4, &length, buffer);
    EXPECT_EQ(std::u16string(buffer, length), u"X");
    UCKeyTranslate(us.get(), 122, kUCKeyActionDisplay, 0, 0, 0, &deadKeys, 4, &length, buffer);
    EXPECT_EQ(std::u16string(buffer, length), u"\x10");
    UCKeyTranslate(KeyboardLayout::russian().get(), 7, kUCKeyActionDisplay, 0, 0, 0, &deadKeys, 4,
                   &length, buffer);
    EXPECT_EQ(std::u16string(buffer, length), u"ч");
    UCKeyTranslate(us.get(), 7, kUCKeyActionUp, 0, 0, 0, &deadKeys, 4, &length, buffer);
    EXPECT_EQ(length, 0u);
    UCKeyTranslate(us.get(), 127, kUCKeyActionDisplay, 0, 0, 0, &deadKeys, 4, &length, buffer);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(
        UCKeyTranslate(nullptr, 7, kUCKeyActionDisplay, 0, 0, 0, &deadKeys, 4, &length, buffer),
        paramErr);
}

TEST_F(KeyboardLayoutTest, EachLayoutLookupStepCanBeMadeToFail) {
    const auto sources = InputSources::current();
    char16_t buffer[4] = {};
    std::size_t length = 9;
    std::uint32_t deadKeys = 0;

    sources->setTranslationFailure(paramErr);
    EXPECT_EQ(UCKeyTranslate(KeyboardLayout::us().get(), 7, kUCKeyActionDisplay, 0, LMGetKbdType(),
                             0, &deadKeys, 4, &length, buffer),
              paramErr);
    EXPECT_EQ(length, 0u); // a failed translation produces no units
    sources->setTranslationFailure(noErr);
    EXPECT_EQ(UCKeyTranslate(KeyboardLayout::us().get(), 7, kUCKeyActionDisplay, 0, LMGetKbdType(),
                             0, &deadKeys, 4, &length, buffer),
              noErr);

    sources->setLayoutDataMissing(true);
    const auto ascii = TISCopyCurrentASCIICapableKeyboardLayoutInputSource();
    ASSERT_TRUE(ascii);
    EXPECT_TRUE(TISGetInputSourceProperty(ascii, kTISPropertyUnicodeKeyLayoutData).isAbsent());
    EXPECT_EQ(TISGetInputSourceProperty(ascii, kTISPropertyInputSourceID),
              Value("com.apple.keylayout.US")); // the other properties stay
    sources->setLayoutDataMissing(false);
    EXPECT_FALSE(TISGetInputSourceProperty(ascii, kTISPropertyUnicodeKeyLayoutData).isAbsent());

    sources->setASCIICapableSourceMissing(true);
    EXPECT_FALSE(TISCopyCurrentASCIICapableKeyboardLayoutInputSource());
    EXPECT_TRUE(TISCopyCurrentKeyboardLayoutInputSource()); // only the ASCII-capable lookup fails
    sources->setASCIICapableSourceMissing(false);
    EXPECT_EQ(TISCopyCurrentASCIICapableKeyboardLayoutInputSource(), ascii);
}

TEST_F(KeyboardLayoutTest, SelectingAndEnablingSourcesIsAnnouncedOnTheDistributedCentre) {
    std::vector<std::string> heard;
    auto token = NotificationCenter::distributedCenter()->addObserver(
        std::nullopt, {}, [&heard](const Notification& n) { heard.push_back(n.name); });

    const auto sources = InputSources::current();
    EXPECT_EQ(
        TISGetInputSourceProperty(TISCopyCurrentKeyboardInputSource(), kTISPropertyInputSourceID),
        Value("com.apple.keylayout.US"));
    EXPECT_EQ(
        TISGetInputSourceProperty(TISCopyCurrentKeyboardInputSource(), kTISPropertyLocalizedName),
        Value("U.S."));
    EXPECT_TRUE(
        TISGetInputSourceProperty(TISCopyCurrentKeyboardInputSource(), kTISPropertyInputModeID)
            .isAbsent());

    EXPECT_EQ(sources->select("com.apple.keylayout.German"), noErr);
    EXPECT_EQ(sources->select("com.apple.keylayout.German"), noErr); // no change, no notice
    EXPECT_EQ(sources->select("com.apple.keylayout.Dvorak"), paramErr);
    EXPECT_EQ(sources->setEnabled("com.apple.keylayout.US", false), noErr);
    EXPECT_EQ(sources->select("com.apple.keylayout.US"), paramErr); // disabled
    EXPECT_EQ(sources->select("com.apple.keylayout.Russian"), noErr);
    EXPECT_EQ(heard, (std::vector<std::string>{kTISNotifySelectedKeyboardInputSourceChanged,
                                               kTISNotifyEnabledKeyboardInputSourcesChanged,
                                               kTISNotifySelectedKeyboardInputSourceChanged}));

    // Russian types no Latin letters, so the ASCII-capable source stays German.
    EXPECT_EQ(TISCopyCurrentKeyboardLayoutInputSource()->identifier(),
              "com.apple.keylayout.Russian");
    const auto ascii = TISCopyCurrentASCIICapableKeyboardLayoutInputSource();
    EXPECT_EQ(ascii->identifier(), "com.apple.keylayout.German");
    const auto data = TISGetInputSourceProperty(ascii, kTISPropertyUnicodeKeyLayoutData)
                          .asObject<KeyboardLayout>();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->characters(6, false), "y");
    NotificationCenter::distributedCenter()->removeObserver(token);
}

TEST_F(KeyboardLayoutTest, EventCharactersComeFromTheLayoutCurrentAtConversion) {
    const auto cgEvent = CGEventCreateKeyboardEvent(nullptr, 6, true);
    const auto onUS = NSEvent::eventWithCGEvent(cgEvent);
    ASSERT_EQ(InputSources::current()->select("com.apple.keylayout.German"), noErr);
    const auto onGerman = NSEvent::eventWithCGEvent(cgEvent);
    ASSERT_TRUE(onUS && onGerman);
    EXPECT_EQ(onUS->characters(), "z");
    EXPECT_EQ(onGerman->characters(), "y");
    // The Quartz event carries no characters: its copy converts anew.
    ASSERT_EQ(InputSources::current()->select("com.apple.keylayout.Russian"), noErr);
    EXPECT_EQ(NSEvent::eventWithCGEvent(onGerman->cgEvent())->characters(), "я");
}

TEST_F(KeyboardLayoutTest, ModifiersChangeCharactersButNotThoseIgnoringModifiers) {
    const auto commandShift = keyDown(7, Flags::command | Flags::shift);
    EXPECT_EQ(commandShift->characters(), "X");
    EXPECT_EQ(commandShift->charactersIgnoringModifiers(), "X"); // Shift still counts
    const auto capsLock = keyDown(7, Flags::command | Flags::capsLock);
    EXPECT_EQ(capsLock->characters(), "X");
    EXPECT_EQ(capsLock->charactersIgnoringModifiers(), "x");
    EXPECT_EQ(capsLock->charactersByApplyingModifiers(Flags::numericPad), "x");
    EXPECT_EQ(keyDown(18, Flags::capsLock)->characters(), "1"); // Caps Lock shifts letters only
    EXPECT_EQ(capsLock->eventModifierFlags(), Flags::command | Flags::capsLock);
    EXPECT_EQ(capsLock->keyCode(), 7);
    EXPECT_EQ(keyDown(122)->specialKey(), NSEvent::SpecialKey::f1);
    EXPECT_EQ(keyDown(122)->characters(), "\uF704");
}

TEST_F(KeyboardLayoutTest, ModifierKeysMakeFlagsChangedEvents) {
    const auto down = CGEventCreateKeyboardEvent(nullptr, 55, true);
    EXPECT_EQ(down->type(), CGEventType::flagsChanged);
    EXPECT_EQ(down->flags(), kCGEventFlagMaskCommand);
    EXPECT_EQ(CGEventCreateKeyboardEvent(nullptr, 55, false)->flags(), CGEventFlags{});
    const auto event = NSEvent::eventWithCGEvent(down);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->type(), NSEvent::EventType::flagsChanged);
    EXPECT_EQ(event->characters(), std::nullopt);
    EXPECT_EQ(CGEventCreateKeyboardEvent(nullptr, 7, false)->type(), CGEventType::keyUp);
}

TEST_F(KeyboardLayoutTest, ConversionsFailWhenTheFaultSwitchesSaySo) {
    const auto cgEvent = CGEventCreateKeyboardEvent(nullptr, 7, true);
    const auto event = NSEvent::eventWithCGEvent(cgEvent);
    EXPECT_FALSE(NSEvent::eventWithCGEvent(
        std::make_shared<CGEvent>(CGEventType::tapDisabledByTimeout, 0, CGEventFlags{})));

    EventSystem::current()->setFaults({.nsEventFromCGEvent = true});
    EXPECT_FALSE(NSEvent::eventWithCGEvent(cgEvent));
    EventSystem::current()->setFaults({.cgEventFromNSEvent = true});
    EXPECT_FALSE(event->cgEvent());
    EventSystem::current()->setFaults({.keyboardEventCreation = true});
    EXPECT_FALSE(CGEventCreateKeyboardEvent(nullptr, 7, true));
    EventSystem::current()->setFaults({.eventSourceCreation = true});
    EXPECT_FALSE(CGEventSourceCreate(kCGEventSourceStateCombinedSessionState));
    EventSystem::current()->setFaults({});
    EXPECT_TRUE(event->cgEvent());
}

TEST_F(KeyboardLayoutTest, RewritingTheKeyCodeFieldChangesTheKey) {
    const auto source = CGEventSourceCreate(kCGEventSourceStateCombinedSessionState);
    CGEventSourceSetLocalEventsFilterDuringSuppressionState(
        source,
        kCGEventFilterMaskPermitLocalMouseEvents | kCGEventFilterMaskPermitSystemDefinedEvents,
        CGEventSuppressionState::suppressionInterval);
    EXPECT_EQ(source->localEventsFilter(CGEventSuppressionState::suppressionInterval), 5u);
    const auto event = CGEventCreateKeyboardEvent(source, 7, true);
    CGEventSetIntegerValueField(event, kCGKeyboardEventKeycode, 8);
    CGEventSetFlags(event, kCGEventFlagMaskCommand | kCGEventFlagMaskAlternate);
    EXPECT_EQ(CGEventGetIntegerValueField(event, kCGKeyboardEventKeycode), 8);
    EXPECT_EQ(CGEventGetFlags(event).rawValue, 0x180000u);
    EXPECT_EQ(CGEventGetIntegerValueField(event, CGEventField::eventSourceStateID), 0);
    EXPECT_EQ(NSEvent::eventWithCGEvent(event)->charactersIgnoringModifiers(), "c");
}

} // namespace
} // namespace zestrel::platform
