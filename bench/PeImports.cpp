#include "PeImports.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

namespace vandreth::bench {

namespace {

class PeImage {
public:
    explicit PeImage(std::vector<char> bytes) : bytes_(std::move(bytes)) {}

    bool load()
    {
        const auto* dos = at<IMAGE_DOS_HEADER>(0);
        if (dos == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE) {
            return false;
        }
        const auto ntOffset = static_cast<std::size_t>(dos->e_lfanew);
        nt_ = at<IMAGE_NT_HEADERS64>(ntOffset);
        if (nt_ == nullptr || nt_->Signature != IMAGE_NT_SIGNATURE ||
            nt_->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
            return false;
        }
        sectionsOffset_ = ntOffset + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) + nt_->FileHeader.SizeOfOptionalHeader;
        return true;
    }

    const IMAGE_DATA_DIRECTORY* directory(std::size_t index) const
    {
        if (index >= nt_->OptionalHeader.NumberOfRvaAndSizes) {
            return nullptr;
        }
        const IMAGE_DATA_DIRECTORY* entry = &nt_->OptionalHeader.DataDirectory[index];
        return entry->VirtualAddress != 0 ? entry : nullptr;
    }

    ULONGLONG imageBase() const { return nt_->OptionalHeader.ImageBase; }

    // The file offset of a relative virtual address, or nothing outside every section.
    std::optional<std::size_t> offsetOf(DWORD rva) const
    {
        for (WORD i = 0; i < nt_->FileHeader.NumberOfSections; ++i) {
            const auto* section = at<IMAGE_SECTION_HEADER>(sectionsOffset_ + i * sizeof(IMAGE_SECTION_HEADER));
            if (section == nullptr) {
                return std::nullopt;
            }
            const DWORD size = std::max(section->Misc.VirtualSize, section->SizeOfRawData);
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + size) {
                return static_cast<std::size_t>(rva - section->VirtualAddress) + section->PointerToRawData;
            }
        }
        return std::nullopt;
    }

    template <typename T>
    const T* at(std::size_t offset) const
    {
        if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T)) {
            return nullptr;
        }
        return reinterpret_cast<const T*>(bytes_.data() + offset);
    }

    std::optional<std::string> stringAt(DWORD rva) const
    {
        const auto offset = offsetOf(rva);
        if (!offset || *offset >= bytes_.size()) {
            return std::nullopt;
        }
        const auto begin = bytes_.begin() + static_cast<std::ptrdiff_t>(*offset);
        const auto end = std::find(begin, bytes_.end(), '\0');
        if (end == bytes_.end()) {
            return std::nullopt;
        }
        return std::string(begin, end);
    }

private:
    std::vector<char> bytes_;
    const IMAGE_NT_HEADERS64* nt_ = nullptr;
    std::size_t sectionsOffset_ = 0;
};

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

std::optional<std::vector<ImportedDll>> importedDlls(const std::wstring& path)
{
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    PeImage image(std::vector<char>{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()});
    if (!image.load()) {
        return std::nullopt;
    }
    std::vector<ImportedDll> dlls;
    if (const auto* imports = image.directory(IMAGE_DIRECTORY_ENTRY_IMPORT)) {
        auto offset = image.offsetOf(imports->VirtualAddress);
        for (; offset; *offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
            const auto* descriptor = image.at<IMAGE_IMPORT_DESCRIPTOR>(*offset);
            if (descriptor == nullptr) {
                return std::nullopt;
            }
            if (descriptor->Name == 0) {
                break;
            }
            const auto name = image.stringAt(descriptor->Name);
            if (!name) {
                return std::nullopt;
            }
            dlls.push_back(ImportedDll{*name, false});
        }
    }
    if (const auto* delayed = image.directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT)) {
        auto offset = image.offsetOf(delayed->VirtualAddress);
        for (; offset; *offset += sizeof(IMAGE_DELAYLOAD_DESCRIPTOR)) {
            const auto* descriptor = image.at<IMAGE_DELAYLOAD_DESCRIPTOR>(*offset);
            if (descriptor == nullptr) {
                return std::nullopt;
            }
            if (descriptor->DllNameRVA == 0) {
                break;
            }
            // Old linkers wrote addresses rather than offsets into the image.
            const DWORD nameRva = descriptor->Attributes.RvaBased != 0
                                      ? descriptor->DllNameRVA
                                      : static_cast<DWORD>(descriptor->DllNameRVA - image.imageBase());
            const auto name = image.stringAt(nameRva);
            if (!name) {
                return std::nullopt;
            }
            dlls.push_back(ImportedDll{*name, true});
        }
    }
    return dlls;
}

bool shipsWithWindows(const std::string& dll)
{
    static constexpr std::array<std::string_view, 10> kBroughtAlong{
        "libstdc++", "libgcc", "libwinpthread", "libc++", "libunwind", "msvcp", "vcruntime", "vccorlib", "concrt",
        "ucrtbased"};
    const std::string name = lowerCase(dll);
    for (const std::string_view prefix : kBroughtAlong) {
        if (name.compare(0, prefix.size(), prefix) == 0) {
            return false;
        }
    }
    char systemFolder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(systemFolder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    const std::string candidate = std::string(systemFolder, length) + "\\" + dll;
    return GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace vandreth::bench
