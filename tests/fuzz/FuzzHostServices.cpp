// The host services on any text and against a host whose replies are any text: the
// splitter, the quote escape and the trimming against their rules, the list, version,
// message and picker requests against what the host sent, and every global block
// accounted for: the library frees the host's replies and its own copies, and never
// hands the allocator an address that is not one of its blocks.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "base/UTextUtils.h"
#include "plugin/UHostServices.h"

namespace tarvik::fuzz {
namespace {

using platform::Os;

// A text the host keeps in its own memory (not a global block).
char hostStatic[] = "the host's own text";

// What the host answers and what it saw; one input at a time.
struct FakeHost {
    std::string reply;         // list, version and picker replies
    int replyMode = 0;         // 0 a global block, 1 null, 2 the host's own text
    std::vector<std::string> messages;
    std::vector<std::string> pickerTexts;
    int messageMode = 0;       // request 9: 0 leave, 1 null, 2 own text, 3 own block
};
FakeHost* host = nullptr;

char* GlobalCopy(const std::string& text) {
    auto* block = static_cast<char*>(Os().GlobalAlloc(text.size() + 1));
    if (block != nullptr) {
        std::memcpy(block, text.c_str(), text.size() + 1);
    }
    return block;
}

void TARVIK_CALL InterfaceAccess(std::int32_t code, char** cell) {
    if (host == nullptr || cell == nullptr) {
        return;
    }
    switch (code) {
        case 3: case 4: case 5: case 6:
            Require(*cell == nullptr, "a list or version request with a filled cell");
            *cell = host->replyMode == 0 ? GlobalCopy(host->reply)
                    : host->replyMode == 1 ? nullptr : hostStatic;
            break;
        case 9:
            Require(*cell != nullptr, "request 9 with a null cell");
            host->messages.push_back(*cell);
            if (host->messageMode != 0) {
                // The host takes the library's block and puts something else there.
                Os().GlobalFree(*cell);
                *cell = host->messageMode == 1 ? nullptr
                        : host->messageMode == 2 ? hostStatic : GlobalCopy(host->reply);
            }
            break;
        default:  // pickers: the cell holds the library's copy, read-only
            Require(*cell != nullptr, "a picker request with a null cell");
            host->pickerTexts.push_back(*cell);
            if (host->replyMode == 0) {
                *cell = &host->reply[0];
            } else if (host->replyMode == 1) {
                *cell = nullptr;
            }
            break;
    }
}

std::string UpToZero(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

void CheckPureHelpers(const std::string& separator, const std::string& text) {
    // SplitText: the parts joined with the separator give the text back, and no part
    // holds the separator; an empty separator gives the whole text.
    const std::vector<std::string> parts = plugin::SplitText(separator, text);
    Require(!parts.empty(), "SplitText gave no part");
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        joined += (i == 0 ? "" : separator) + parts[i];
        Require(separator.empty() || parts[i].find(separator) == std::string::npos,
                "a part that holds the separator");
    }
    Require(joined == text, "the parts do not join back to the text");
    Require(!separator.empty() || parts.size() == 1, "an empty separator split the text");

    // EscapeQuotes: every quote becomes [#34], everything else stays in place.
    const std::string escaped = plugin::EscapeQuotes(text);
    std::size_t at = 0;
    for (const char c : text) {
        if (c == '"') {
            Require(escaped.compare(at, 5, "[#34]") == 0, "a quote not written [#34]");
            at += 5;
        } else {
            Require(at < escaped.size() && escaped[at] == c, "a character moved or changed");
            ++at;
        }
    }
    Require(at == escaped.size() && escaped.find('"') == std::string::npos,
            "EscapeQuotes added or kept a quote");

    // Trim: the text is blanks, the result, blanks; the result has no blank at its ends.
    const std::string trimmed = base::Trim(text);
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    Require(trimmed.empty() || (!blank(trimmed.front()) && !blank(trimmed.back())),
            "Trim left a blank at an end");
    const std::size_t first = text.find(trimmed);
    Require(first != std::string::npos, "Trim gave a text that is not in the original");
    if (!trimmed.empty()) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            const bool inside = i >= first && i < first + trimmed.size();
            Require(inside || blank(text[i]), "Trim removed more than blanks");
        }
    } else {
        for (const char c : text) {
            Require(blank(c), "Trim gave empty for a text with a non-blank");
        }
    }
}

// The list a reply gives: split at CR, each part trimmed, empty parts dropped.
std::vector<std::string> ExpectedList(const std::string& reply) {
    std::vector<std::string> list;
    std::string part;
    const std::string text = UpToZero(reply) + "\r";
    for (const char c : text) {
        if (c == '\r') {
            const std::string trimmed = base::Trim(part);
            if (!trimmed.empty()) {
                list.push_back(trimmed);
            }
            part.clear();
        } else {
            part += c;
        }
    }
    return list;
}

bool ExpectedVersion5(const std::string& version) {
    std::size_t digits = 0;
    while (digits < version.size() && version[digits] >= '0' && version[digits] <= '9') {
        ++digits;
    }
    std::size_t first = 0;  // past leading zeros
    while (first + 1 < digits && version[first] == '0') {
        ++first;
    }
    return digits > 0 && (digits - first > 1 || version[first] >= '5');
}

void CheckRequests(FuzzedDataProvider& input, platform::FakePlatform& fake) {
    FakeHost state;
    host = &state;
    plugin::Callbacks().InterfaceAccessProc = &InterfaceAccess;
    while (input.remaining_bytes() > 0) {
        state.replyMode = input.ConsumeIntegralInRange(0, 2);
        state.messageMode = input.ConsumeIntegralInRange(0, 3);
        state.reply = input.ConsumeRandomLengthString(64);
        // Names come from the host's zero-terminated texts; a message or a cell text
        // may hold a zero byte, which ends what the host reads.
        const std::string raw = input.ConsumeRandomLengthString(32);
        const std::string text = UpToZero(raw);
        const std::string hostReply = state.replyMode == 0 ? UpToZero(state.reply)
                                      : state.replyMode == 1 ? "" : hostStatic;
        switch (input.ConsumeIntegralInRange(0, 5)) {
            case 0: {
                std::vector<std::string> list = {"stays only without a host"};
                plugin::GetHostList(plugin::THostListKind::Subroutines, list);
                Require(list == ExpectedList(hostReply), "a list that is not the reply's");
                break;
            }
            case 1: {
                const bool exists = plugin::HostSubroutineExists(text);
                bool expected = false;
                const std::string wanted = base::Trim(UpToZero(text));
                for (const std::string& entry : ExpectedList(hostReply)) {
                    expected = expected || (!wanted.empty() && fake.EqualIgnoreCase(entry, wanted));
                }
                Require(exists == expected, "HostSubroutineExists disagrees with the list");
                break;
            }
            case 2:
                Require(plugin::IsHostVersion5OrLater() == ExpectedVersion5(hostReply),
                        [&] { return "the version test disagrees with \"" + hostReply + "\""; });
                break;
            case 3: {
                const std::size_t before = state.messages.size();
                const bool failing = input.ConsumeBool();
                if (failing) {
                    fake.FailAllocations(1);
                }
                plugin::ShowHostMessage(raw);
                fake.FailAllocations(0);
                if (failing) {
                    Require(state.messages.size() == before, "a message sent without a copy");
                } else {
                    Require(state.messages.size() == before + 1 &&
                                state.messages.back() == UpToZero(text),
                            "the message did not reach the host intact");
                }
                break;
            }
            case 4: {
                const auto kind = static_cast<plugin::THostPickerKind>(
                    input.ConsumeIntegralInRange(0, 5));
                std::string result = "not cleared";
                plugin::PickFromHost(kind, text, result);
                const bool refused =
                    (kind == plugin::THostPickerKind::Variable ||
                     kind == plugin::THostPickerKind::Kind2) &&
                    !ExpectedVersion5(hostReply);
                if (refused) {
                    Require(result.empty(), "a refused pick gave a text");
                } else if (state.replyMode == 0) {
                    Require(result == UpToZero(state.reply), "the pick is not the host's text");
                } else if (state.replyMode == 1) {
                    Require(result.empty(), "a null pick gave a text");
                } else {
                    Require(result == UpToZero(text), "an unchanged cell is not the current text");
                }
                break;
            }
            default: {
                // A cell that holds a foreign address, a null, or a block of our own.
                char* cell = input.ConsumeBool() ? hostStatic : nullptr;
                plugin::AssignHostText(&cell, raw);
                Require(cell == nullptr || std::string(cell) == UpToZero(text),
                        "the cell does not hold the text");
                Require(std::string(hostStatic) == "the host's own text",
                        "a foreign text was touched");
                plugin::FreeHostText(&cell);
                Require(cell == nullptr, "FreeHostText left the cell set");
                break;
            }
        }
        Require(fake.ForeignFrees() == 0, "an address that is no block was handed to GlobalFree");
        Require(fake.LiveBlocks() == 0, "a global block was left behind");
    }
    plugin::Callbacks().InterfaceAccessProc = nullptr;
    host = nullptr;
}

}  // namespace
}  // namespace tarvik::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvik;
    FuzzedDataProvider input(data, size);
    // The US-English layout under either code page.
    fuzz::KeptFakeScope scope(3 * (input.ConsumeIntegral<std::uint8_t>() % 2));
    const std::string separator = input.ConsumeRandomLengthString(4);
    const std::string text = input.ConsumeRandomLengthString(256);
    fuzz::CheckPureHelpers(separator, text);
    fuzz::CheckRequests(input, scope.Fake());
    scope.Finish();
    return 0;
}
