// A loaded module's calls into system libraries, redirected: the entries of its import
// address table for named functions point at replacements while the patch lives, and
// get their original targets back when it goes. An entry is found by the name the
// module imports it under or, for an import by ordinal, by its current target.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tarvik::testing_support {

struct ImportReplacement {
    const char* library;  // "user32.dll"
    const char* name;     // "CreateWindowExW"
    const void* replacement;
};

// What a module imports from one library, by name ("#12" for an import by ordinal).
inline std::vector<std::string> ImportedNames(HMODULE module, const char* library);

class ImportPatch {
public:
    ImportPatch(HMODULE module, const std::vector<ImportReplacement>& replacements);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    // The replacements that found an entry, as "library!name".
    const std::vector<std::string>& Patched() const { return patched_; }

private:
    struct Slot {
        void** entry;
        void* original;
    };

    // False once the module is no longer loaded where it was (FreeLibrary took it and
    // its table with it): nothing is written back then.
    bool StillLoaded() const;

    HMODULE module_;
    std::vector<Slot> slots_;
    std::vector<std::string> patched_;
};

namespace import_table {

inline bool SameName(const char* a, const char* b) {
    return lstrcmpiA(a, b) == 0;
}

// Calls `visit(name, entry)` for each import of `library` by `module`, `name` null for
// an import by ordinal (then `ordinal` holds it).
template <typename Visit>
void ForEachImport(HMODULE module, const char* library, Visit visit) {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (module == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE) {
        return;
    }
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) {
        return;
    }
    for (auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         descriptor->Name != 0; ++descriptor) {
        if (!SameName(reinterpret_cast<const char*>(base + descriptor->Name), library)) {
            continue;
        }
        auto* entries = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
        const auto* names = descriptor->OriginalFirstThunk != 0
                                ? reinterpret_cast<const IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk)
                                : nullptr;
        for (std::size_t i = 0; entries[i].u1.Function != 0; ++i) {
            const char* name = nullptr;
            ULONGLONG ordinal = 0;
            if (names != nullptr && !IMAGE_SNAP_BY_ORDINAL(names[i].u1.Ordinal)) {
                name = reinterpret_cast<const char*>(
                    reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names[i].u1.AddressOfData)->Name);
            } else if (names != nullptr) {
                ordinal = IMAGE_ORDINAL(names[i].u1.Ordinal);
            }
            visit(name, ordinal, reinterpret_cast<void**>(&entries[i].u1.Function));
        }
    }
}

}  // namespace import_table

inline std::vector<std::string> ImportedNames(HMODULE module, const char* library) {
    std::vector<std::string> imported;
    import_table::ForEachImport(module, library, [&](const char* name, ULONGLONG ordinal, void**) {
        imported.push_back(name != nullptr ? std::string(name) : "#" + std::to_string(ordinal));
    });
    return imported;
}

inline ImportPatch::ImportPatch(HMODULE module, const std::vector<ImportReplacement>& replacements)
    : module_(module) {
    for (const ImportReplacement& replacement : replacements) {
        const HMODULE exporter = GetModuleHandleA(replacement.library);
        void* const target = exporter != nullptr
                                 ? reinterpret_cast<void*>(GetProcAddress(exporter, replacement.name))
                                 : nullptr;
        bool found = false;
        import_table::ForEachImport(module, replacement.library, [&](const char* name, ULONGLONG, void** entry) {
            const bool byName = name != nullptr && import_table::SameName(name, replacement.name);
            const bool byTarget = name == nullptr && target != nullptr && *entry == target;
            if (!byName && !byTarget) {
                return;
            }
            DWORD protection = 0;
            if (!VirtualProtect(entry, sizeof(void*), PAGE_READWRITE, &protection)) {
                return;
            }
            slots_.push_back(Slot{entry, *entry});
            *entry = const_cast<void*>(replacement.replacement);
            VirtualProtect(entry, sizeof(void*), protection, &protection);
            found = true;
        });
        if (found) {
            patched_.push_back(std::string(replacement.library) + "!" + replacement.name);
        }
    }
}

inline bool ImportPatch::StillLoaded() const {
    HMODULE current = nullptr;
    return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(module_), &current) &&
           current == module_;
}

inline ImportPatch::~ImportPatch() {
    if (!StillLoaded()) {
        return;
    }
    for (auto slot = slots_.rbegin(); slot != slots_.rend(); ++slot) {
        DWORD protection = 0;
        if (VirtualProtect(slot->entry, sizeof(void*), PAGE_READWRITE, &protection)) {
            *slot->entry = slot->original;
            VirtualProtect(slot->entry, sizeof(void*), protection, &protection);
        }
    }
}

}  // namespace tarvik::testing_support
