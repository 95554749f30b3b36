// The help lookup: HKEY_CURRENT_USER\Software\Halvenor\Corvane\<plug-in name>, value
// "HelpFile", read-only, looked up afresh on every request. The path goes from the
// registry to the viewer as UTF-16 (RegQueryValueExW, GetFileAttributesW, HtmlHelpW):
// Windows' ANSI functions turn what the code page lacks into "?", and a profile folder
// named in another script would never be found.
#include "about/UHelpTopics.h"

#include <utility>

#include "base/UTextUtils.h"
#include "platform/Platform.h"
#include "plugin/UHostServices.h"
#include "resources/Strings.h"

namespace tarvik::about {
namespace {

using platform::Os;
using platform::RegistryValue;

constexpr wchar_t kKeyPrefix[] = L"Software\\Halvenor\\Corvane\\";
constexpr wchar_t kHelpFileValue[] = L"HelpFile";
constexpr wchar_t kPageSeparator[] = L"::\\";
constexpr wchar_t kTopicPage[] = L"index.html#";

// The registry's own error text for a value of the wrong type, with the value's name.
std::wstring TypeErrorText(const std::wstring& valueName) {
    return base::FillPlaceholders(Os().LoadWideText(resources::IDS_REGISTRY_TYPE_ERROR), {valueName});
}

// One key of the current user's opened for reading, closed with the object. The key is never
// created: a key that is not there stays absent.
class TRegistryReader {
public:
    // Read access is all the lookup needs; a user without write rights to the key is
    // still let in.
    bool OpenKey(const std::wstring& path) {
        key_.reset();
        std::uint32_t error = 0;
        key_ = Os().OpenRegistryKey(path, platform::kKeyRead, error);
        return static_cast<bool>(key_);
    }

    void CloseKey() noexcept { key_.reset(); }

    // False when the open key has no value of that name.
    bool ReadValue(const std::wstring& name, RegistryValue& value) {
        return key_ && Os().QueryRegistryValue(key_.get(), name, value);
    }

private:
    platform::UniqueRegistryKey key_;
};

// A text value as stored (UTF-16LE): literal (an expandable text keeps its %references%),
// up to its first zero, an odd last byte left out; no bytes read as the empty text. Any
// other type is the registry's error.
std::wstring ValueText(const RegistryValue& value, const std::wstring& name) {
    if (value.data.empty()) {
        return {};
    }
    if (value.type != platform::kRegSz && value.type != platform::kRegExpandSz) {
        throw TRegistryTypeError(TypeErrorText(name));
    }
    std::wstring text;
    for (std::size_t at = 0; at + 1 < value.data.size(); at += 2) {
        const auto unit = static_cast<wchar_t>(value.data[at] | value.data[at + 1] << 8);
        if (unit == L'\0') {
            break;
        }
        text += unit;
    }
    return text;
}

bool IsExistingFile(const std::wstring& path) {
    if (path.empty()) {
        return false;
    }
    const std::uint32_t attributes = Os().FileAttributes(path);
    return attributes != platform::kInvalidFileAttributes &&
           (attributes & platform::kFileAttributeDirectory) == 0;
}

}  // namespace

bool ShowHelpTopic(const std::string& topic) {
    TRegistryReader registry;
    if (!registry.OpenKey(kKeyPrefix + Os().LoadWideText(resources::IDS_PLUGIN_NAME))) {
        return false;
    }
    RegistryValue value;
    if (!registry.ReadValue(kHelpFileValue, value)) {
        return false;
    }
    const std::wstring helpFile = ValueText(value, kHelpFileValue);
    registry.CloseKey();
    if (!IsExistingFile(helpFile)) {
        return false;
    }
    return OpenHtmlHelpTopic(helpFile, kTopicPage + Os().AnsiToWide(topic));
}

bool OpenHtmlHelpTopic(const std::wstring& helpFile, const std::wstring& topicUrl) {
    platform::Platform& os = Os();
    return os.HtmlHelp(os.ActiveWindow(), helpFile + kPageSeparator + topicUrl,
                       platform::kHhDisplayTopic, 0) != nullptr;
}

void ShowHelpTopicOrSayMissing(const std::string& topic) {
    if (!ShowHelpTopic(topic)) {
        plugin::ShowHostMessage(Os().LoadText(resources::IDS_MISSING_HELP_MESSAGE));
    }
}

}  // namespace tarvik::about
