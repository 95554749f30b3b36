// What the in-memory platform knows of Windows that Wine cannot confirm: the three
// keyboard layouts' own tables and names, the exact system texts, and the staging and
// counters the unit tests build on.
#include "ConformanceStage.h"
#include "platform/FakePlatform.h"
#include "resources/Strings.h"

namespace tarvik::conformance {
namespace {

using platform::FakePlatform;
using platform::kModControl;

constexpr std::int32_t kExtended = 1 << 24;
constexpr std::int32_t kEitherHand = 1 << 25;

std::int32_t ScanParameter(unsigned scan) {
    return static_cast<std::int32_t>(scan << 16);
}

TEST(FakeWindowsModel, UsEnglishLayoutNamesKeysAsWindowsDoes) {
    FakePlatform os;
    const std::pair<unsigned, const char*> names[] = {
        {17, "Ctrl"}, {107, "Num +"}, {12, "Num 5"}, {33, "Page Up"}, {46, "Delete"},
        {19, "Pause"}, {'A', "A"}, {222, "'"}, {111, "Num /"}, {191, "/"}, {175, "B"},
        {170, ""}, {124, ""}, {7, ""}, {144, "Num Lock"}, {91, "Left Windows"},
        {92, "Right Windows"}, {93, "Application"},
    };
    for (const auto& [code, name] : names) {
        EXPECT_EQ(KeyName(os, code), name) << code;
    }
    EXPECT_EQ(os.KeyNameText(ScanParameter(0x45) | kExtended), "Num Lock");
    EXPECT_EQ(os.KeyNameText(ScanParameter(0x1D) | kExtended), "Right Ctrl");
    EXPECT_EQ(os.KeyNameText(ScanParameter(0x1C) | kExtended), "Num Enter");
    EXPECT_EQ(os.KeyNameText(ScanParameter(0x36)), "Right Shift");
    EXPECT_EQ(os.KeyNameText(ScanParameter(0x36) | kEitherHand), "Shift");
    EXPECT_EQ(os.KeyNameText(ScanParameter(0x7C)), "F13");
    EXPECT_EQ(os.MapVirtualKeyCode(0x47, 1), 0x24u);  // the keypad's 7 is Home to Windows
    EXPECT_EQ(os.MapVirtualKeyCode(0xE01D, 3), 0xA3u);
    EXPECT_EQ(os.MapVirtualKeyCode(0xAF, 4), 0xE030u);
}

TEST(FakeWindowsModel, GermanLayoutSwapsYAndZAndNamesKeysInGerman) {
    FakePlatform os;
    os.SetLayouts({FakePlatform::German()}, FakePlatform::German());
    EXPECT_EQ(os.MapVirtualKeyCode('Z', 0), 0x15u);
    EXPECT_EQ(os.MapVirtualKeyCode('Y', 0), 0x2Cu);
    const std::pair<unsigned, const char*> names[] = {
        {17, "STRG"}, {16, "UMSCHALT"}, {18, "ALT"}, {8, "R\xDC" "CKTASTE"},
        {13, "EINGABE"}, {32, "LEER"}, {33, "BILD-NACH-OBEN"}, {36, "POS1"},
        {46, "ENTF"}, {96, "0 (ZEHNERTASTATUR)"}, {107, "+ (ZEHNERTASTATUR)"},
        {186, "\xDC"}, {192, "\xD6"}, {219, "\xDF"}, {220, "ZIRKUMFLEX"}, {221, "AKUT"},
        {'Z', "Z"}, {111, "/ (ZEHNERTASTATUR)"}, {144, "NUM-FESTSTELL"},
        {91, "LINKE WINDOWS"}, {92, "RECHTE WINDOWS"}, {93, "ANWENDUNG"},
    };
    for (const auto& [code, name] : names) {
        EXPECT_EQ(KeyName(os, code), name) << code;
    }
}

TEST(FakeWindowsModel, RussianLayoutNamesCharacterKeysByTheirCyrillicLetter) {
    FakePlatform os;
    os.SetLayouts({FakePlatform::Russian()}, FakePlatform::Russian());
    os.SetAnsiCodePage(1251);
    EXPECT_EQ(KeyName(os, 'A'), "\xD4");   // Ф
    EXPECT_EQ(KeyName(os, 'Q'), "\xC9");   // Й
    EXPECT_EQ(KeyName(os, 192), "\xA8");   // Ё
    EXPECT_EQ(KeyName(os, 190), "\xDE");   // Ю
    EXPECT_EQ(KeyName(os, 191), ".");
    EXPECT_EQ(KeyName(os, '5'), "5");
    EXPECT_EQ(KeyName(os, 17), "Ctrl");
    EXPECT_EQ(KeyName(os, 33), "Page Up");
    EXPECT_EQ(KeyName(os, 111), "Num /");
    EXPECT_EQ(KeyName(os, 144), "Num Lock");
    EXPECT_EQ(KeyName(os, 93), "Application");
    os.SetAnsiCodePage(1252);
    EXPECT_EQ(KeyName(os, 'A'), "?");
}

TEST(FakeWindowsModel, LayoutsLoadActivateAndUnloadAsStaged) {
    FakePlatform os;
    const auto us = FakePlatform::UsEnglish();
    const auto german = FakePlatform::German();
    const auto russian = FakePlatform::Russian();

    EXPECT_EQ(os.LoadLayout("00000407", platform::kKlfNoTellShell), german);
    EXPECT_EQ(os.LoadLayout("00000407", platform::kKlfNoTellShell), german);
    EXPECT_EQ(os.LayoutList(100), (std::vector<platform::LayoutHandle>{us, german}));
    EXPECT_EQ(os.LayoutList(1), (std::vector<platform::LayoutHandle>{us}));
    EXPECT_EQ(os.ThreadLayout(), us);
    EXPECT_EQ(os.LayoutLoads(), 1u);
    EXPECT_EQ(os.LoadLayout("00000419", 1), russian);  // KLF_ACTIVATE
    EXPECT_EQ(os.ThreadLayout(), russian);
    EXPECT_EQ(os.ActivateLayout(german, 0), russian);
    EXPECT_EQ(os.KeyNameText(ScanParameter(0x1D)), "STRG");
    EXPECT_EQ(os.MapVirtualKeyCode('Z', 0), 0x15u);
    EXPECT_EQ(os.MapVirtualKeyCodeEx('Z', 0, us), 0x2Cu);  // the given layout, not the active

    EXPECT_TRUE(os.UnloadLayout(german));  // the active one: the first left takes over
    EXPECT_EQ(os.ThreadLayout(), us);
    EXPECT_EQ(os.LayoutUnloads(), 1u);
    os.SetLastError(0);
    EXPECT_FALSE(os.UnloadLayout(german));
    EXPECT_EQ(os.LastError(), 1457u);
    EXPECT_EQ(os.ActivateLayout(german, 0), nullptr);
    EXPECT_EQ(os.ThreadLayout(), us);
    EXPECT_EQ(os.LoadLayout("0000040C", 0), nullptr);
    EXPECT_EQ(os.LoadLayout("409", 0), nullptr);
    EXPECT_EQ(os.LayoutCalls(), 9u) << "every load, activation and unload counts, refused ones too";
}

TEST(FakeWindowsModel, GlobalBlocksAreCountedAndFailuresStaged) {
    FakePlatform os;
    void* kept = os.GlobalAlloc(8);
    void* freed = os.GlobalAlloc(8);
    EXPECT_EQ(os.LiveBlocks(), 2u);
    EXPECT_EQ(os.GlobalFree(freed), nullptr);
    EXPECT_EQ(os.LiveBlocks(), 1u);

    int local = 0;
    os.SetLastError(0);
    EXPECT_EQ(os.GlobalFree(&local), &local);
    EXPECT_EQ(os.LastError(), 6u);

    os.FailAllocations(1);
    os.SetLastError(0);
    EXPECT_EQ(os.GlobalAlloc(8), nullptr);
    EXPECT_EQ(os.LastError(), platform::kErrorNotEnoughMemory);
    void* later = os.GlobalAlloc(8);
    EXPECT_NE(later, nullptr);
    EXPECT_EQ(os.LiveBlocks(), 2u);
    os.GlobalFree(later);
    os.GlobalFree(kept);
    EXPECT_EQ(os.LiveBlocks(), 0u);
}

TEST(FakeWindowsModel, AtomTableFillsUpAndGivesFreedNumbersOut) {
    FakePlatform os;
    os.SetAtomCapacity(2);
    const auto first = os.AddGlobalAtom("First");
    const auto second = os.AddGlobalAtom("Second");
    EXPECT_EQ(os.AddGlobalAtom("FIRST"), first);
    EXPECT_EQ(os.AtomReferences("first"), 2);
    EXPECT_EQ(os.LiveAtoms(), 2u);
    os.SetLastError(0);
    EXPECT_EQ(os.AddGlobalAtom("Third"), 0);
    EXPECT_EQ(os.LastError(), platform::kErrorNotEnoughMemory);

    EXPECT_EQ(os.DeleteGlobalAtom(second), 0);
    EXPECT_EQ(os.AddGlobalAtom("Third"), second);
    EXPECT_EQ(os.AtomReferences("Second"), 0);
}

TEST(FakeWindowsModel, HotKeysHeldElsewhereOrRefusedOnDemand) {
    FakePlatform os;
    const auto window = os.CreateHiddenWindow(nullptr);
    os.HoldInOtherProcess(kModControl, 'Q');
    EXPECT_TRUE(os.IsHeld(kModControl, 'Q'));
    EXPECT_EQ(os.Registrations(), 0u);
    EXPECT_FALSE(os.PressKey(kModControl, 'Q'));
    os.ReleaseInOtherProcess(kModControl, 'Q');
    EXPECT_FALSE(os.IsHeld(kModControl, 'Q'));

    os.RefuseNextRegistration(5);
    EXPECT_FALSE(os.RegisterHotKey(window, 1, kModControl, 'Q'));
    EXPECT_EQ(os.LastError(), 5u);
    EXPECT_TRUE(os.RegisterHotKey(window, 1, kModControl | 0x4000, 'Q'));  // MOD_NOREPEAT
    EXPECT_TRUE(os.IsHeld(kModControl, 'Q'));
    EXPECT_FALSE(os.RegisterHotKey(nullptr, 2, kModControl, 'Q'));

    EXPECT_TRUE(os.RegisterHotKey(nullptr, 2, kModControl, 'W'));
    EXPECT_EQ(os.Registrations(), 2u);
    EXPECT_FALSE(os.PressKey(kModControl, 'W'));  // the thread's: no window hears it
    EXPECT_TRUE(os.UnregisterHotKey(nullptr, 2));
    EXPECT_TRUE(os.DestroyHiddenWindow(window));
    EXPECT_EQ(os.Registrations(), 0u);
}

class CountingSink final : public platform::MessageSink {
public:
    explicit CountingSink(FakePlatform& os) : os_(os) {}
    std::intptr_t HandleMessage(platform::WindowHandle window, std::uint32_t message,
                                std::uintptr_t, std::intptr_t) noexcept override {
        messages.push_back(message);
        if (message == closeMessage) {
            os_.DestroyHiddenWindow(window);
        }
        return 0;
    }

    std::vector<std::uint32_t> messages;
    std::uint32_t closeMessage = 0x0400;

private:
    FakePlatform& os_;
};

TEST(FakeWindowsModel, QueuedMessagesForWindowsThatAreGoneAreDropped) {
    FakePlatform os;
    CountingSink sink(os);
    const auto window = os.CreateHiddenWindow(&sink);
    EXPECT_EQ(os.SinkWindows(), 1u);
    os.PostMessage(window, 0x0401, 0, 0);
    os.PostMessage(window, 0x0400, 0, 0);  // the sink destroys its window on this one
    os.PostMessage(window, 0x0402, 0, 0);
    EXPECT_EQ(os.PumpMessages(), 2);
    EXPECT_EQ(sink.messages, (std::vector<std::uint32_t>{0x0401, 0x0400}));
    EXPECT_EQ(os.LiveWindows(), 0u);
    EXPECT_EQ(os.SinkWindows(), 0u);
}

TEST(FakeWindowsModel, StringTableTextsFollowTheCodePageAndMissingOnesSetErrors) {
    FakePlatform os;
    os.SetAnsiCodePage(1251);
    EXPECT_EQ(os.LoadText(resources::IDS_CATEGORY_EVENTS), "\xD1\xEE\xE1\xFB\xF2\xE8\xFF");
    os.SetLastError(0);
    EXPECT_EQ(os.LoadText(resources::IDS_PLUGIN_NAME + 5), "");  // in an existing bundle
    EXPECT_EQ(os.LastError(), 0u);
    EXPECT_EQ(os.LoadText(4000), "");
    EXPECT_EQ(os.LastError(), 1814u);

    EXPECT_TRUE(os.EqualIgnoreCase("\x80\xA8", "\x90\xB8"));  // Ђ Ё / ђ ё
    os.SetAnsiCodePage(1252);
    EXPECT_TRUE(os.EqualIgnoreCase("\x8A\x9F", "\x9A\xFF"));  // Š Ÿ / š ÿ
    EXPECT_FALSE(os.EqualIgnoreCase("\xD7", "\xF7"));         // × and ÷ are no letters
}

}  // namespace
}  // namespace tarvik::conformance
