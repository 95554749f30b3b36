// The entry points, the catalogue and the library's life, as a host sees them.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ForwardingPlatform.h"
#include "Host.h"
#include "LinkedPluginTest.h"
#include "PluginApi.h"
#include "hotkeys/UHotKeys.h"
#include "platform/FakePlatform.h"
#include "plugin/UBoundary.h"
#include "plugin/ULibraryProc.h"
#include "ui/UDialog.h"

namespace tarvik {
namespace {

using host::CatalogueCall;
using host::Host;
using host::PluginLibrary;

using BoundaryTest = test_support::LinkedPluginTest;

struct ExpectedEntry {
    std::int32_t number;
    const char* name;
    const char* description;
    std::vector<std::uint8_t> kinds;
    std::int32_t count;
};

// The catalogue as the host must receive it under the Cyrillic code page, in order.
std::vector<ExpectedEntry> ExpectedCatalogue() {
    // The texts are written in UTF-8 here; Cp1251 turns them into what the host sees.
    return {
        {0, "Клавиши", "", {0}, 0},
        {1, "TarvikAdd", "TarvikAdd", {1, 6}, 2},
        {2, "TarvikChange", "Изменить ранее установленную комбинацию горячих клавиш.", {3, 1, 6}, 3},
        {3, "TarvikRemove", "Удалить ранее установленную комбинацию горячих клавиш.", {1, 6}, 2},
        {4, "TarvikRemoveById", "Удалить ранее установленную комбинацию горячих клавиш по ее идентификатору.", {1, 6}, 2},
        {0, "Дополнительно", "", {0}, 0},
        {5, "TarvikClear", "Удалить все ранее установленные комбинации горячих клавишей.", {0}, 0},
        {6, "TarvikIsValid", "Определить возможно ли создать заданную комбинации горячих клавиш.", {1, 6}, 2},
        {7, "TarvikIsAvailable", "Определить свободна ли заданная комбинация горячих клавиш.", {1, 6}, 2},
        {0, "События", "", {0}, 0},
        {8, "tvOnKeyPress", "Установить подпрограмму когда комбинация клавиш будет нажата.", {1, 6, 6}, 3},
    };
}

// UTF-8 Cyrillic to code page 1251, for the expectations above.
std::string ToCp1251(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            out += static_cast<char>(byte);
            continue;
        }
        const unsigned code = ((byte & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3Fu);
        if (code >= 0x410 && code <= 0x44F) {
            out += static_cast<char>(0xC0 + (code - 0x410));
        } else if (code == 0x401) {
            out += static_cast<char>(0xA8);
        } else if (code == 0x451) {
            out += static_cast<char>(0xB8);
        } else {
            out += '?';
        }
    }
    return out;
}

void ExpectCatalogue(const std::vector<CatalogueCall>& calls, std::size_t from) {
    const std::vector<ExpectedEntry> expected = ExpectedCatalogue();
    ASSERT_GE(calls.size(), from + expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const CatalogueCall& call = calls[from + i];
        const ExpectedEntry& want = expected[i];
        SCOPED_TRACE("catalogue call " + std::to_string(i + 1));
        EXPECT_EQ(call.number, want.number);
        EXPECT_EQ(call.name, ToCp1251(want.name));
        EXPECT_EQ(call.description, ToCp1251(want.description));
        EXPECT_EQ(call.kinds, want.kinds);
        EXPECT_EQ(call.kindsHigh, static_cast<std::int32_t>(want.kinds.size()) - 1);
        EXPECT_EQ(call.count, want.count);
    }
}

TEST_F(BoundaryTest, InitPlugInHandsBackDescriptionNameAndAuthorInHostBlocks) {
    fake.SetAnsiCodePage(1251);
    char* name = nullptr;
    char* author = nullptr;
    char* description = nullptr;
    plugin->Api().InitPlugIn(0, &name, &author, &description);
    ASSERT_NE(name, nullptr);
    ASSERT_NE(author, nullptr);
    ASSERT_NE(description, nullptr);
    EXPECT_STREQ(name, "Tarvik");
    EXPECT_STREQ(author, "Halvenor");
    EXPECT_EQ(std::string(description),
              ToCp1251("С помощью этого плагина вы можете назначить горячие клавиши для своих публикаций."));
    EXPECT_EQ(fake.LiveBlocks(), 3u);

    // Called again with the same cells, the old blocks go back before new ones come.
    plugin->Api().InitPlugIn(0, &name, &author, &description);
    EXPECT_EQ(fake.LiveBlocks(), 3u);
    for (char* cell : {name, author, description}) {
        fake.GlobalFree(cell);
    }
}

TEST_F(BoundaryTest, InitPlugInToleratesNullCellAddresses) {
    char* name = nullptr;
    plugin->Api().InitPlugIn(0, &name, nullptr, nullptr);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "Tarvik");
    fake.GlobalFree(name);
}

TEST_F(BoundaryTest, RegisterPlugInRegistersTheWholeCatalogueEveryTime) {
    fake.SetAnsiCodePage(1251);
    plugin->Connect();
    ASSERT_EQ(plugin->Catalogue.size(), 11u);
    ExpectCatalogue(plugin->Catalogue, 0);

    plugin->Api().RegisterPlugIn(nullptr, 0, 0, nullptr);  // a host with no registration callback
    plugin->Connect();
    ASSERT_EQ(plugin->Catalogue.size(), 22u);
    ExpectCatalogue(plugin->Catalogue, 11);
}

TEST_F(BoundaryTest, ExecActionOutsideTheCatalogueAnswersFalseAndWritesNothing) {
    plugin->Connect();
    plugin->Events.clear();
    char text[] = "Ctrl+Alt+F5";
    char variable[] = "HK";
    char* params[] = {text, variable, variable};
    for (std::int32_t number : {0, 9, -1, 100, INT32_MIN}) {
        EXPECT_EQ(plugin->ExecRaw(number, params), 0) << number;
    }
    EXPECT_TRUE(plugin->Events.empty());
    EXPECT_EQ(fake.Registrations(), 0u);
}

// The standard library's own failures reach the boundary's catch and give the entry
// point's failure answer. The Windows test programs link the DLL's replacements of the
// runtime's throw helpers, so this holds for them as well.
TEST(Boundary, StandardLibraryFailuresGiveTheFailureAnswer) {
    const std::function<void()> failures[] = {
        [] { static_cast<void>(std::vector<int>(2).at(2)); },
        [] { static_cast<void>(std::string("Ctrl").substr(5)); },
        [] {
            std::vector<char> text;
            text.reserve(text.max_size() + 1);
        },
        [] { static_cast<void>(std::stoi("F5")); },
    };
    for (std::size_t i = 0; i < std::size(failures); ++i) {
        bool finished = false;
        EXPECT_EQ(plugin::GuardedBool([&] {
                      failures[i]();
                      finished = true;
                      return true;
                  }),
                  plugin::kFalse)
            << "failure " << i;
        plugin::Guarded([&] {
            failures[i]();
            finished = true;
        });
        EXPECT_FALSE(finished) << "failure " << i;
    }
}

// The global allocator as the plug-in uses it: the size of every block it asks for.
class AllocationRecorder final : public test_support::ForwardingPlatform {
public:
    using ForwardingPlatform::ForwardingPlatform;
    void* GlobalAlloc(std::size_t bytes) override {
        sizes.push_back(bytes);
        return os.GlobalAlloc(bytes);
    }
    std::vector<std::size_t> sizes;
};

TEST(InitPlugIn, HandsBackTheDescriptionThenTheNameThenTheAuthor) {
    platform::FakePlatform fake;
    AllocationRecorder recorder(fake);
    platform::SetOs(&recorder);
    {
        std::string error;
        auto library = PluginLibrary::Load("", error);
        ASSERT_NE(library, nullptr);
        // Cells that hold texts of the host's own (not global blocks) are refilled,
        // and what they held is left alone.
        char hostName[] = "host's name";
        char hostAuthor[] = "host's author";
        char* name = hostName;
        char* author = hostAuthor;
        char* description = nullptr;
        recorder.sizes.clear();
        library->Api().InitPlugIn(0, &name, &author, &description);
        ASSERT_NE(description, nullptr);
        const std::size_t descriptionSize = std::strlen(description) + 1;
        EXPECT_EQ(recorder.sizes, (std::vector<std::size_t>{descriptionSize, 7, 9}));
        EXPECT_STREQ(name, "Tarvik");
        EXPECT_STREQ(author, "Halvenor");
        EXPECT_STREQ(hostName, "host's name");
        EXPECT_STREQ(hostAuthor, "host's author");
        EXPECT_EQ(fake.ForeignFrees(), 0u) << "a host text was handed to GlobalFree";
        for (char* cell : {name, author, description}) {
            fake.GlobalFree(cell);
        }
    }
    EXPECT_EQ(fake.LiveBlocks(), 0u);
    platform::SetOs(nullptr);
}

TEST_F(BoundaryTest, EditActionOpensNothingForCommandsWithoutEditorAndMessageIsInert) {
    plugin->Connect();
    char* cells[] = {nullptr, nullptr, nullptr};
    for (std::int32_t number : {-1, 0, 5, 9}) {
        EXPECT_EQ(plugin->Api().EditAction(number, cells), 0) << number;
    }
    EXPECT_EQ(cells[0], nullptr);
    plugin->Events.clear();
    plugin->Api().Message();
    EXPECT_TRUE(plugin->Events.empty());
}

TEST(LibraryLife, LoadingAndUnloadingWithoutCallsLeavesNothingBehind) {
    platform::FakePlatform fake;
    platform::SetOs(&fake);
    {
        std::string error;
        auto library = PluginLibrary::Load("", error);
        ASSERT_NE(library, nullptr);
        EXPECT_EQ(fake.LiveWindows(), 1u) << "the hidden window exists from load on";
        EXPECT_EQ(fake.Registrations(), 0u);
    }
    EXPECT_EQ(fake.LiveWindows(), 0u);
    EXPECT_EQ(fake.LiveAtoms(), 0u);
    EXPECT_EQ(fake.LayoutList(100).size(), 1u) << "the US-English layout the process had stays";
    EXPECT_EQ(fake.LayoutCalls(), 0u);
    platform::SetOs(nullptr);
}

// Loading the library, every command, a press, an editor, the About box and unloading
// touch no keyboard layout; only the English mode loads US-English, which the unload
// takes away again when the process did not have it.
TEST(LibraryLife, OnlyTheEnglishModeLoadsALayoutAndUnloadingTakesItBack) {
    using platform::FakePlatform;
    platform::FakePlatform fake;
    const std::vector<platform::LayoutHandle> russianOnly = {FakePlatform::Russian()};
    fake.SetLayouts(russianOnly, FakePlatform::Russian());
    platform::SetOs(&fake);
    ui::ScopedHeadlessUser author([](ui::HeadlessDialog& dialog) { dialog.PressEnter(); });
    for (int cycle = 0; cycle < 3; ++cycle) {
        const bool english = cycle > 0;  // the first cycle never asks for English names
        const std::size_t callsBefore = fake.LayoutCalls();
        std::string error;
        auto library = PluginLibrary::Load("", error);
        ASSERT_NE(library, nullptr);
        Host plugin(library->Api());
        plugin.Connect();
        plugin.Subroutines = {"OnHotkey"};
        EXPECT_TRUE(plugin.Exec(1, {"Ctrl+Alt+F5", "A"}));
        EXPECT_TRUE(plugin.Exec(1, {"Ctrl+Shift+F6", "B"}));
        EXPECT_TRUE(plugin.Exec(2, {plugin.Variable("B").value_or(""), "Ctrl+Shift+F7", "B"}));
        EXPECT_TRUE(plugin.Exec(6, {"Ctrl+F8", "V"}));
        EXPECT_TRUE(plugin.Exec(7, {"Ctrl+F8", "V"}));
        EXPECT_TRUE(plugin.Exec(8, {"OnHotkey", "ID", "KEY"}));
        ASSERT_TRUE(fake.PressKey(platform::kModControl | platform::kModAlt, 116));
        EXPECT_EQ(fake.PumpMessages(), 1);
        EXPECT_EQ(plugin.Variable("KEY"), std::nullopt) << "the press ran and cleared";
        std::vector<std::optional<std::string>> slots = {std::string("Ctrl+F9"), std::string("C")};
        EXPECT_TRUE(plugin.Edit(1, slots));
        plugin.About();
        EXPECT_TRUE(plugin.Exec(3, {"Ctrl+Alt+F5", "R"}));
        EXPECT_TRUE(plugin.Exec(4, {plugin.Variable("B").value_or(""), "R"}));
        EXPECT_TRUE(plugin.Exec(1, {"Ctrl+Shift+F6", "B"}));
        EXPECT_TRUE(plugin.Exec(5, {}));
        EXPECT_TRUE(plugin.Exec(1, {"Ctrl+Alt+F5", "A"}));
        EXPECT_EQ(fake.LayoutCalls(), callsBefore) << "no layout loaded, activated or unloaded, cycle " << cycle;
        if (english) {
            EXPECT_EQ(hotkeys::HotKeyToText(0x4000 | 45, false), "Ctrl+Insert");
            EXPECT_EQ(fake.LayoutList(100).size(), 2u) << "US-English is loaded for the process";
            EXPECT_EQ(fake.ThreadLayout(), FakePlatform::Russian());
        }
        library.reset();
        EXPECT_EQ(fake.Registrations(), 0u);
        EXPECT_EQ(fake.LiveAtoms(), 0u);
        EXPECT_EQ(fake.LiveWindows(), 0u);
        EXPECT_EQ(fake.LayoutList(100), russianOnly);
        if (!english) {
            EXPECT_EQ(fake.LayoutCalls(), callsBefore) << "the unload has nothing of its own to unload";
        }
    }
    EXPECT_EQ(fake.LayoutLoads(), 2u);
    EXPECT_EQ(fake.LayoutUnloads(), 2u);
    platform::SetOs(nullptr);
}

// A host that loads the plug-in on its user-interface thread and frees it from a worker.
TEST(LibraryLife, UnloadedFromAnotherThreadNothingReachesTheLibraryAndTheLoadingThreadFinishes) {
    using platform::FakePlatform;
    constexpr std::uint32_t kWorker = 2;
    FakePlatform fake;
    platform::SetOs(&fake);
    {
        std::string error;
        auto library = PluginLibrary::Load("", error);
        ASSERT_NE(library, nullptr);
        auto plugin = std::make_unique<Host>(library->Api());
        plugin->Connect();
        ASSERT_TRUE(plugin->Exec(1, {"Ctrl+Alt+F5", "A"}));
        ASSERT_TRUE(plugin->Exec(1, {"Ctrl+Shift+F6", "B"}));
        plugin.reset();
        fake.SetCallingThread(kWorker);
        library.reset();
        fake.SetCallingThread(FakePlatform::kMainThread);
    }
    EXPECT_EQ(fake.LiveAtoms(), 0u) << "every atom reference goes with the unload";
    EXPECT_EQ(fake.SinkWindows(), 0u) << "no window leads into the unloaded code";
    EXPECT_EQ(fake.Registrations(), 2u) << "the window holds them until its thread pumps";
    EXPECT_TRUE(fake.PressKey(platform::kModControl | platform::kModAlt, 116));
    fake.PumpMessages();
    EXPECT_EQ(fake.Registrations(), 0u);
    EXPECT_EQ(fake.LiveWindows(), 0u);
    EXPECT_EQ(fake.LayoutList(100).size(), 1u);

    // Loaded again on the worker, it works there: its window is the worker's.
    fake.SetCallingThread(kWorker);
    {
        std::string error;
        auto library = PluginLibrary::Load("", error);
        ASSERT_NE(library, nullptr);
        Host plugin(library->Api());
        plugin.Connect();
        ASSERT_TRUE(plugin.Exec(1, {"Ctrl+Alt+F5", "A"}));
        EXPECT_NE(plugin.Variable("A").value_or("0"), "0") << plugin.Variable("LastError").value_or("");
        plugin.Subroutines = {"Sub"};
        ASSERT_TRUE(plugin.Exec(8, {"Sub", "ID", ""}));
        plugin.Events.clear();
        ASSERT_TRUE(fake.PressKey(platform::kModControl | platform::kModAlt, 116));
        fake.SetCallingThread(FakePlatform::kMainThread);
        EXPECT_EQ(fake.PumpMessages(), 0) << "the main thread does not dispatch the worker's messages";
        fake.SetCallingThread(kWorker);
        EXPECT_EQ(fake.PumpMessages(), 1);
        EXPECT_EQ(plugin.Events.size(), 5u) << "request 5, the id, request 5, GoSub, ClearVariables";
    }
    EXPECT_EQ(fake.Registrations(), 0u) << "unloaded on its own thread, at once";
    EXPECT_EQ(fake.LiveWindows(), 0u);
    EXPECT_EQ(fake.LiveAtoms(), 0u);
    EXPECT_EQ(fake.ForeignFrees(), 0u);
    platform::SetOs(nullptr);
}

// When the process ends, the system takes windows, hotkeys and memory back itself; the
// global atoms would outlive the process, so they are the one thing released.
TEST(LibraryLife, AtProcessEndOnlyTheAtomReferencesAreReleased) {
    platform::FakePlatform fake;
    fake.SetLayouts({platform::FakePlatform::Russian()}, platform::FakePlatform::Russian());
    platform::SetOs(&fake);
    std::string error;
    auto library = PluginLibrary::Load("", error);
    ASSERT_NE(library, nullptr);
    {
        Host plugin(library->Api());
        plugin.Connect();
        ASSERT_TRUE(plugin.Exec(1, {"Ctrl+Alt+F5", "A"}));
        ASSERT_TRUE(plugin.Exec(1, {"Ctrl+Shift+F6", "B"}));
    }
    plugin::LibraryProcessEnd();
    EXPECT_EQ(fake.LiveAtoms(), 0u);
    EXPECT_EQ(fake.Registrations(), 2u) << "no call into the window system";
    EXPECT_EQ(fake.LiveWindows(), 1u);
    EXPECT_EQ(fake.LayoutUnloads(), 0u) << "no layout is unloaded";
    library.reset();  // the shut-down has nothing left to run
    EXPECT_EQ(fake.LiveWindows(), 1u);
    EXPECT_EQ(fake.LayoutUnloads(), 0u);
    platform::SetOs(nullptr);
}

}  // namespace
}  // namespace tarvik
