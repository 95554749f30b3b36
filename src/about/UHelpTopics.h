// Context help of every dialog: the help file is found through the current user's
// registry and opened in the HTML Help viewer on one topic of its page.
#pragma once

#include <string>

#include "base/UFailure.h"

namespace tarvik::about {

// "HelpFile" is stored with a type that is not text. Carries the registry's own error
// text, as the dialogs show it (UTF-16 on Windows).
class TRegistryTypeError : public base::TFailure {
public:
    explicit TRegistryTypeError(std::wstring text)
        : base::TFailure("registry value of the wrong type"), text_(std::move(text)) {}
    const std::wstring& Text() const noexcept { return text_; }

private:
    std::wstring text_;
};

// True when the viewer opened on `topic`; false when the help file is not registered,
// not there, or the viewer opened nothing. Throws TRegistryTypeError as above.
bool ShowHelpTopic(const std::string& topic);

// Opens the viewer on the help file, "::\" and the topic address, with the window active
// for this thread as caller; true when the viewer returned a window.
bool OpenHtmlHelpTopic(const std::wstring& helpFile, const std::wstring& topicUrl);

// What every dialog does for help: ShowHelpTopic, and when that answers false the
// missing-help message of the string table through the host. Throws
// TRegistryTypeError as ShowHelpTopic does.
void ShowHelpTopicOrSayMissing(const std::string& topic);

}  // namespace tarvik::about
