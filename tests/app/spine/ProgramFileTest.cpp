// The program's file, VandrethClient.exe, as Windows reads it: the manifest embedded in it (the
// one that the test programs carry too) and what the system makes of it, and the version
// resource that Explorer's Properties show, whose version the user agent names.

#include "ClientProcess.h"
#include "HttpClient.h"
#include "UniqueHandle.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vandreth::test {
namespace {

using DataModule = UniqueHandle<HMODULE, &FreeLibrary>;
using ActivationContext = UniqueHandle<HANDLE, &ReleaseActCtx>;

// The resource that the loader reads the process's manifest from.
constexpr WORD kManifestId = 1;

// The bytes of the manifest resource in `module`; nothing when it has none.
std::optional<std::string> manifestBytes(HMODULE module)
{
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(kManifestId), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    const HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
        return std::nullopt;
    }
    return std::string(static_cast<const char*>(bytes), SizeofResource(module, found));
}

// The activation context that the system makes from the program's manifest when it starts it.
ActivationContext programContext()
{
    const std::wstring program = clientProgram().wstring();
    ACTCTXW request{};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = program.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(kManifestId);
    const HANDLE context = CreateActCtxW(&request);
    return ActivationContext(context != INVALID_HANDLE_VALUE ? context : nullptr);
}

// The assemblies of an activation context, each as its encoded identity: the name, then the
// attributes (Microsoft.Windows.Common-Controls,processorArchitecture="amd64",...,version="6.0...").
std::vector<std::wstring> assemblyIdentities(HANDLE context)
{
    SIZE_T size = 0;
    QueryActCtxW(0, context, nullptr, ActivationContextDetailedInformation, nullptr, 0, &size);
    std::vector<std::byte> details(size);
    if (!QueryActCtxW(0, context, nullptr, ActivationContextDetailedInformation, details.data(), size, &size)) {
        return {};
    }
    const DWORD count =
        reinterpret_cast<const ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(details.data())->ulAssemblyCount;
    std::vector<std::wstring> identities;
    for (DWORD index = 1; index <= count; ++index) {
        QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext, nullptr, 0, &size);
        std::vector<std::byte> assembly(size);
        if (QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext, assembly.data(), size,
                         &size)) {
            identities.emplace_back(
                reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(assembly.data())
                    ->lpAssemblyEncodedAssemblyIdentity);
        }
    }
    return identities;
}

bool isCommonControlsVersion6(const std::wstring& identity)
{
    return identity.starts_with(L"Microsoft.Windows.Common-Controls,") &&
           identity.find(L"version=\"6.") != std::wstring::npos;
}

// A windowsSettings value of an activation context; nothing when the manifest does not set it.
std::optional<std::wstring> windowsSetting(HANDLE context, const wchar_t* settingsNamespace, const wchar_t* name)
{
    wchar_t value[64] = {};
    SIZE_T written = 0;
    if (!QueryActCtxSettingsW(0, context, settingsNamespace, name, value, std::size(value), &written)) {
        return std::nullopt;
    }
    return std::wstring(value);
}

// The program's version resource, whole; empty when it has none.
std::vector<std::byte> versionResource()
{
    const std::wstring program = clientProgram().wstring();
    DWORD unused = 0;
    std::vector<std::byte> block(GetFileVersionInfoSizeW(program.c_str(), &unused));
    if (block.empty() || !GetFileVersionInfoW(program.c_str(), 0, static_cast<DWORD>(block.size()), block.data())) {
        return {};
    }
    return block;
}

// The value at `path` in a version resource, with its size in bytes; null when there is none.
const void* versionValue(const std::vector<std::byte>& block, const std::wstring& path, UINT* size)
{
    void* value = nullptr;
    return VerQueryValueW(block.data(), path.c_str(), &value, size) ? value : nullptr;
}

std::optional<VS_FIXEDFILEINFO> fixedFileInfo(const std::vector<std::byte>& block)
{
    UINT size = 0;
    const void* value = versionValue(block, L"\\", &size);
    if (value == nullptr || size < sizeof(VS_FIXEDFILEINFO)) {
        return std::nullopt;
    }
    return *static_cast<const VS_FIXEDFILEINFO*>(value);
}

TEST(ProgramFile, EmbedsTheManifestThatTheTestProgramsCarry)
{
    const DataModule program(LoadLibraryExW(clientProgram().wstring().c_str(), nullptr,
                                            LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(program) << "error " << GetLastError();
    const std::optional<std::string> embedded = manifestBytes(program.get());
    ASSERT_TRUE(embedded.has_value());
    EXPECT_NE(embedded->find("<assembly"), std::string::npos);
    // So that what the tests see of the window is what the program's users get.
    EXPECT_EQ(manifestBytes(GetModuleHandleW(nullptr)), embedded);
}

TEST(ProgramFile, ManifestAsksForThemedControlsCrispTextAndUtf8AndLeavesTheProcessDpiUnaware)
{
    const ActivationContext context = programContext();
    ASSERT_TRUE(context) << "error " << GetLastError();

    const std::vector<std::wstring> assemblies = assemblyIdentities(context.get());
    EXPECT_TRUE(std::any_of(assemblies.begin(), assemblies.end(), isCommonControlsVersion6))
        << "the common controls version 6 are not among the program's " << assemblies.size() << " assemblies";

    struct Setting {
        const wchar_t* settingsNamespace;
        const wchar_t* name;
        std::optional<std::wstring> value;
    };
    const Setting settings[] = {
        {L"http://schemas.microsoft.com/SMI/2017/WindowsSettings", L"gdiScaling", L"true"},
        {L"http://schemas.microsoft.com/SMI/2019/WindowsSettings", L"activeCodePage", L"UTF-8"},
        // DPI-unaware: the window keeps its layout in pixels at every scale.
        {L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware", std::nullopt},
        {L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness", std::nullopt},
    };
    for (const Setting& setting : settings) {
        SCOPED_TRACE(testing::Message() << setting.name);
        EXPECT_EQ(windowsSetting(context.get(), setting.settingsNamespace, setting.name), setting.value);
    }
}

TEST(ProgramFile, VersionResourceNamesTheProgramInUsEnglish)
{
    const std::vector<std::byte> block = versionResource();
    ASSERT_FALSE(block.empty()) << "error " << GetLastError();

    const std::optional<VS_FIXEDFILEINFO> fixed = fixedFileInfo(block);
    ASSERT_TRUE(fixed.has_value());
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    // 1.0.0.0: the major and minor parts in the high and low words of MS, the rest in LS.
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    UINT size = 0;
    const auto* translation = static_cast<const WORD*>(versionValue(block, L"\\VarFileInfo\\Translation", &size));
    ASSERT_NE(translation, nullptr);
    ASSERT_EQ(size, 2 * sizeof(WORD));
    EXPECT_EQ(translation[0], 0x0409);  // US English
    EXPECT_EQ(translation[1], 1200);    // UTF-16

    const std::pair<const wchar_t*, std::wstring> texts[] = {
        {L"FileDescription", L"Vandreth Client"}, {L"FileVersion", L"1.0.0.0"},
        {L"InternalName", L"VandrethClient.exe"}, {L"OriginalFilename", L"VandrethClient.exe"},
        {L"ProductName", L"Vandreth Client"},     {L"ProductVersion", L"1.0.0.0"},
    };
    for (const auto& [name, expected] : texts) {
        SCOPED_TRACE(testing::Message() << name);
        const auto* text = static_cast<const wchar_t*>(
            versionValue(block, std::wstring(L"\\StringFileInfo\\040904B0\\") + name, &size));
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::wstring(text), expected);
    }
}

TEST(ProgramFile, UserAgentNamesTheMajorAndMinorVersionOfTheProgramsFile)
{
    const std::optional<VS_FIXEDFILEINFO> fixed = fixedFileInfo(versionResource());
    ASSERT_TRUE(fixed.has_value());
    const std::string version =
        std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS));
    EXPECT_EQ(std::string(kUserAgent), "Vandreth-WindowsClient/" + version);
}

}  // namespace
}  // namespace vandreth::test
