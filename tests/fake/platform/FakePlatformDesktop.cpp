// The in-memory model of the services the dialogs use: the registry (case-insensitive
// key paths, access refused to keys a user may not write), file attributes, the HTML
// Help viewer of hhctrl.ocx, and the common file and folder choosers, which tests answer.
#include <algorithm>
#include <deque>
#include <map>
#include <set>

#include "platform/FakePlatform.h"

namespace tarvik::platform {
namespace {

// Registry paths and file names compare without regard to ASCII letter case.
std::wstring Folded(const std::wstring& text) {
    std::wstring folded = text;
    std::transform(folded.begin(), folded.end(), folded.begin(), [](wchar_t c) {
        return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    });
    return folded;
}

std::wstring KeyName(RegistryRoot root, const std::wstring& path) {
    return (root == RegistryRoot::LocalMachine ? L"hklm\\" : L"hkcu\\") + Folded(path);
}

bool IsTextType(std::uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

}  // namespace

std::vector<unsigned char> Utf16Bytes(const std::wstring& text) {
    std::vector<unsigned char> bytes;
    for (const wchar_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
    }
    return bytes;
}

struct FakePlatform::Desktop {
    struct Key {
        bool writable = true;
        std::map<std::wstring, RegistryValue> values;  // by folded name
    };
    std::map<std::wstring, Key> keys;  // by KeyName
    std::map<std::uintptr_t, std::wstring> openKeys;
    std::uintptr_t nextKey = 0x1000;

    std::map<std::wstring, std::uint32_t> files;  // attributes by folded path

    bool htmlHelpMissing = false;
    bool helpFilesDamaged = false;
    std::vector<HtmlHelpCall> htmlHelpCalls;
    std::size_t viewers = 0;
    std::string helpLibrary;

    std::deque<std::optional<FileChoice>> fileAnswers;
    std::deque<std::optional<std::wstring>> folderAnswers;
    std::vector<FileDialogCall> fileDialogCalls;
    std::vector<FolderBrowserCall> folderBrowserCalls;

    Key& MakeKey(RegistryRoot root, const std::wstring& path) {
        // Every parent exists once a key does.
        for (std::size_t end = path.find(L'\\'); end != std::wstring::npos;
             end = path.find(L'\\', end + 1)) {
            keys.emplace(KeyName(root, path.substr(0, end)), Key{});
        }
        return keys[KeyName(root, path)];
    }
};

FakePlatform::Desktop* FakePlatform::NewDesktop() {
    return new Desktop();
}

void FakePlatform::DesktopDeleter::operator()(Desktop* desktop) const {
    delete desktop;
}

// --- Registry ----------------------------------------------------------------------------------
// Windows keeps names and text values as UTF-16: an ANSI name or text is converted through
// the code page when it is stored, as RegSetValueExA does, and read back as it is kept.

UniqueRegistryKey FakePlatform::OpenRegistryKey(const std::wstring& path, std::uint32_t access,
                                                std::uint32_t& error) {
    constexpr std::uint32_t kErrorAccessDenied = 5;
    Desktop& d = *desktop_;
    const auto found = d.keys.find(KeyName(RegistryRoot::CurrentUser, path));
    if (found == d.keys.end()) {
        error = 2;  // ERROR_FILE_NOT_FOUND
        return {};
    }
    if (!found->second.writable && (access & ~kKeyRead) != 0) {
        error = kErrorAccessDenied;
        return {};
    }
    error = kErrorSuccess;
    const std::uintptr_t handle = d.nextKey;
    d.nextKey += 4;
    d.openKeys.emplace(handle, found->first);
    return UniqueRegistryKey(*this, reinterpret_cast<RegistryKey>(handle));
}

void FakePlatform::CloseRegistryKey(RegistryKey key) {
    desktop_->openKeys.erase(reinterpret_cast<std::uintptr_t>(key));
}

bool FakePlatform::QueryRegistryValue(RegistryKey key, const std::wstring& name,
                                      RegistryValue& value) {
    Desktop& d = *desktop_;
    const auto open = d.openKeys.find(reinterpret_cast<std::uintptr_t>(key));
    if (open == d.openKeys.end()) {
        return false;
    }
    const auto& values = d.keys[open->second].values;
    const auto found = values.find(Folded(name));
    if (found == values.end()) {
        return false;
    }
    value = found->second;
    return true;
}

void FakePlatform::SetRegistryKey(RegistryRoot root, const std::string& path, bool writable) {
    desktop_->MakeKey(root, AnsiToWide(path)).writable = writable;
}

void FakePlatform::SetRegistryValue(RegistryRoot root, const std::string& path,
                                    const std::string& name, std::uint32_t type,
                                    const std::vector<unsigned char>& data) {
    RegistryValue value{type, data};
    if (IsTextType(type)) {
        value.data = Utf16Bytes(AnsiToWide(std::string(data.begin(), data.end())));
    }
    desktop_->MakeKey(root, AnsiToWide(path)).values[Folded(AnsiToWide(name))] = value;
}

void FakePlatform::SetRegistryText(RegistryRoot root, const std::string& path,
                                   const std::string& name, const std::string& text,
                                   std::uint32_t type) {
    std::vector<unsigned char> data(text.begin(), text.end());
    data.push_back(0);
    SetRegistryValue(root, path, name, type, data);
}

void FakePlatform::SetRegistryText(RegistryRoot root, const std::string& path,
                                   const std::string& name, const std::wstring& text,
                                   std::uint32_t type) {
    std::vector<unsigned char> data = Utf16Bytes(text);
    data.push_back(0);
    data.push_back(0);
    desktop_->MakeKey(root, AnsiToWide(path)).values[Folded(AnsiToWide(name))] =
        RegistryValue{type, data};
}

bool FakePlatform::RegistryKeyExists(RegistryRoot root, const std::string& path) const {
    return desktop_->keys.count(KeyName(root, Widened(path))) != 0;
}

std::size_t FakePlatform::OpenRegistryKeys() const {
    return desktop_->openKeys.size();
}

// --- Files ---------------------------------------------------------------------------------------

std::uint32_t FakePlatform::FileAttributes(const std::wstring& path) {
    // A wildcard is no part of a file's name: what an ANSI conversion made of a letter the
    // code page lacks ("?") finds nothing.
    const std::size_t name = path.rfind(L"\\\\?\\", 0) == 0 ? 4 : 0;  // past a "\\?\" prefix
    if (path.find_first_of(L"?*", name) != std::wstring::npos) {
        SetLastError(123);  // ERROR_INVALID_NAME
        return kInvalidFileAttributes;
    }
    const auto found = desktop_->files.find(Folded(path));
    if (found == desktop_->files.end()) {
        SetLastError(2);  // ERROR_FILE_NOT_FOUND
        return kInvalidFileAttributes;
    }
    return found->second;
}

void FakePlatform::AddFile(const std::string& path) {
    AddFile(AnsiToWide(path));
}

void FakePlatform::AddFile(const std::wstring& path) {
    desktop_->files[Folded(path)] = 0x20;  // FILE_ATTRIBUTE_ARCHIVE
}

void FakePlatform::AddFolder(const std::string& path) {
    AddFolder(AnsiToWide(path));
}

void FakePlatform::AddFolder(const std::wstring& path) {
    desktop_->files[Folded(path)] = kFileAttributeDirectory;
}

// --- HTML Help ----------------------------------------------------------------------------------

WindowHandle FakePlatform::HtmlHelp(WindowHandle caller, const std::wstring& file,
                                    unsigned command, std::uintptr_t data) {
    Desktop& d = *desktop_;
    if (d.helpLibrary.empty()) {
        d.helpLibrary = "C:\\Windows\\system32\\hhctrl.ocx";
    }
    if (d.htmlHelpMissing) {
        return nullptr;
    }
    d.htmlHelpCalls.push_back({caller, file, command, data});
    if (command == kHhCloseAll) {
        d.viewers = 0;
        return nullptr;
    }
    const std::wstring helpFile = file.substr(0, file.find(L"::"));
    const auto found = d.files.find(Folded(helpFile));
    if (command != kHhDisplayTopic || found == d.files.end() ||
        (found->second & kFileAttributeDirectory) != 0 || d.helpFilesDamaged) {
        return nullptr;
    }
    ++d.viewers;
    // One viewer window, as hhctrl.ocx reuses its window for the same file.
    return reinterpret_cast<WindowHandle>(std::uintptr_t{0x4848});
}

void FakePlatform::SetHtmlHelpMissing(bool missing) {
    desktop_->htmlHelpMissing = missing;
}

void FakePlatform::SetHelpFilesDamaged(bool damaged) {
    desktop_->helpFilesDamaged = damaged;
}

const std::vector<FakePlatform::HtmlHelpCall>& FakePlatform::HtmlHelpCalls() const {
    return desktop_->htmlHelpCalls;
}

std::size_t FakePlatform::HelpViewersOpen() const {
    return desktop_->viewers;
}

const std::string& FakePlatform::HelpLibraryLoaded() const {
    return desktop_->helpLibrary;
}

// --- Choosers -------------------------------------------------------------------------------------

bool FakePlatform::ChooseFiles(WindowHandle owner, bool save, FileChoice& choice) {
    Desktop& d = *desktop_;
    d.fileDialogCalls.push_back({owner, save});
    if (d.fileAnswers.empty()) {
        return false;
    }
    std::optional<FileChoice> answer = std::move(d.fileAnswers.front());
    d.fileAnswers.pop_front();
    if (!answer) {
        return false;
    }
    choice = std::move(*answer);
    return true;
}

bool FakePlatform::BrowseForFolder(WindowHandle owner, const std::wstring& caption,
                                   std::wstring& path) {
    Desktop& d = *desktop_;
    d.folderBrowserCalls.push_back({owner, caption});
    if (d.folderAnswers.empty()) {
        return false;
    }
    std::optional<std::wstring> answer = std::move(d.folderAnswers.front());
    d.folderAnswers.pop_front();
    if (!answer) {
        return false;
    }
    path = std::move(*answer);
    return true;
}

void FakePlatform::AnswerFileDialog(std::optional<FileChoice> choice) {
    desktop_->fileAnswers.push_back(std::move(choice));
}

void FakePlatform::AnswerFolderBrowser(std::optional<std::wstring> path) {
    desktop_->folderAnswers.push_back(std::move(path));
}

const std::vector<FakePlatform::FileDialogCall>& FakePlatform::FileDialogCalls() const {
    return desktop_->fileDialogCalls;
}

const std::vector<FakePlatform::FolderBrowserCall>& FakePlatform::FolderBrowserCalls() const {
    return desktop_->folderBrowserCalls;
}

}  // namespace tarvik::platform
