// Last error and system texts, global blocks, the locale's comparison, and the
// library's string table as the platform hands it out.
#include <cstring>

#include "ConformanceStage.h"
#include "resources/Strings.h"

namespace tarvik::conformance {
namespace {

constexpr std::uint32_t kErrorMessageNotFound = 317;

bool EndsWithLineBreak(const std::string& text) {
    return text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

TEST_P(BaseServicesConformance, SystemTextsEndInALineBreakAndUnknownCodesHaveNone) {
    for (std::uint32_t code : {platform::kErrorSuccess, platform::kErrorNotEnoughMemory,
                               platform::kErrorInvalidWindowHandle,
                               platform::kErrorHotkeyAlreadyRegistered,
                               platform::kErrorHotkeyNotRegistered}) {
        const std::string text = os().SystemMessage(code);
        EXPECT_GT(text.size(), 2u) << code;
        EXPECT_TRUE(EndsWithLineBreak(text)) << code << ": " << text;
        EXPECT_EQ(text.find('\0'), std::string::npos) << code;
    }
    os().SetLastError(0);
    EXPECT_EQ(os().SystemMessage(0x2000ABCD), "");
    EXPECT_EQ(os().LastError(), kErrorMessageNotFound);

    os().SetLastError(platform::kErrorHotkeyNotRegistered);
    EXPECT_EQ(os().LastError(), platform::kErrorHotkeyNotRegistered);
}

TEST_P(BaseServicesConformance, GlobalBlocksCanBeFilledAndAreFreedWithANullAnswer) {
    void* block = os().GlobalAlloc(16);
    ASSERT_NE(block, nullptr);
    std::memcpy(block, "Ctrl+Alt+F5", 12);
    EXPECT_STREQ(static_cast<const char*>(block), "Ctrl+Alt+F5");
    EXPECT_EQ(os().GlobalFree(block), nullptr);

    void* empty = os().GlobalAlloc(0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(os().GlobalFree(empty), nullptr);
}

// What a host may leave in a cell: only the allocator's own fixed blocks are its own.
TEST_P(BaseServicesConformance, OnlyTheAllocatorsOwnFixedBlocksAreRecognised) {
    static char staticText[] = "a text of the host's image";
    auto* block = static_cast<char*>(os().GlobalAlloc(16));
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(os().IsGlobalFixedBlock(block));
    EXPECT_FALSE(os().IsGlobalFixedBlock(staticText));
    EXPECT_FALSE(os().IsGlobalFixedBlock(block + 3)) << "the middle of a block";

    // Handed to GlobalFree anyway, a foreign address comes back unreleased.
    os().SetLastError(0);
    EXPECT_EQ(os().GlobalFree(staticText), staticText);
    if (stage().IsWine()) {
        EXPECT_NE(os().LastError(), 0u);
    } else {
        EXPECT_EQ(os().LastError(), 6u);  // ERROR_INVALID_HANDLE
    }
    EXPECT_STREQ(staticText, "a text of the host's image");
    EXPECT_EQ(os().GlobalFree(block), nullptr);
}

TEST_P(BaseServicesConformance, TextsCompareEqualIgnoringTheCaseOfTheCodePagesLetters) {
    auto& os = this->os();
    EXPECT_TRUE(os.EqualIgnoreCase("Ctrl+Alt", "CTRL+alt"));
    EXPECT_TRUE(os.EqualIgnoreCase("Num +", "num +"));
    EXPECT_TRUE(os.EqualIgnoreCase("", ""));
    EXPECT_FALSE(os.EqualIgnoreCase("Ctrl", "Ctr"));
    EXPECT_FALSE(os.EqualIgnoreCase("Num +", "Num -"));
    EXPECT_FALSE(os.EqualIgnoreCase("A", ""));
    EXPECT_FALSE(os.EqualIgnoreCase("F1", "F11"));
    if (stage().AnsiCodePage() == 1251) {
        // "Клавиши" / "КЛАВИШИ", "Ёлка" / "ёЛКА"
        EXPECT_TRUE(os.EqualIgnoreCase("\xCA\xEB\xE0\xE2\xE8\xF8\xE8",
                                       "\xCA\xCB\xC0\xC2\xC8\xD8\xC8"));
        EXPECT_TRUE(os.EqualIgnoreCase("\xA8\xEB\xEA\xE0", "\xB8\xCB\xCA\xC0"));
        EXPECT_FALSE(os.EqualIgnoreCase("\xC5", "\xA8"));  // Е is not Ё
    } else {
        // "Ärger" / "ÄRGER", "Öl" / "öL"
        EXPECT_TRUE(os.EqualIgnoreCase("\xC4rger", "\xC4RGER"));
        EXPECT_TRUE(os.EqualIgnoreCase("\xD6l", "\xF6L"));
        EXPECT_FALSE(os.EqualIgnoreCase("\xC4", "A"));
    }
}

TEST_P(BaseServicesConformance, LibraryTextsArriveInTheAnsiCodePage) {
    EXPECT_EQ(os().LoadText(resources::IDS_PLUGIN_NAME), "Tarvik");
    EXPECT_EQ(os().LoadText(resources::IDS_NAME_ON_KEY_PRESS), "tvOnKeyPress");
    const std::string keys = os().LoadText(resources::IDS_CATEGORY_KEYS);  // "Клавиши"
    if (stage().AnsiCodePage() == 1251) {
        EXPECT_EQ(keys, "\xCA\xEB\xE0\xE2\xE8\xF8\xE8");
    } else {
        EXPECT_EQ(keys, "???????");
    }
    EXPECT_EQ(os().LoadText(4000), "");
}

}  // namespace
}  // namespace tarvik::conformance
