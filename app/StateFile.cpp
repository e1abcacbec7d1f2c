#include "StateFile.h"

#include "TextHelpers.h"
#include "UniqueHandle.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace vandreth {

namespace {

constexpr const char* kFolderName = "Vandreth";
constexpr const char* kFileName = "pc-client-state.json";
constexpr const wchar_t* kPartialSuffix = L".partial";

// How long a load tries again while another program holds the file, and how often.
constexpr auto kHeldFileRetries = std::chrono::seconds(2);
constexpr DWORD kHeldFilePauseMs = 100;

// A file beside the state file that no save has finished with for this long is left over.
constexpr auto kLeftoverAge = std::chrono::minutes(1);

// Environment text is in the process code page, which the manifest makes UTF-8.
std::filesystem::path pathFromUtf8(const std::string& text)
{
    return std::filesystem::path(widen(text));
}

using FileHandle = UniqueHandle<HANDLE, &CloseHandle>;
using FindHandle = UniqueHandle<HANDLE, &FindClose>;

// The file opened for reading, sharing everything (a save may replace it meanwhile); no handle
// when it cannot be, and the reason in GetLastError.
FileHandle openForReading(const std::filesystem::path& file)
{
    const HANDLE handle =
        CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return FileHandle(handle != INVALID_HANDLE_VALUE ? handle : nullptr);
}

// One attempt at reading the whole file: its bytes, or the error that stopped it.
struct ReadAttempt {
    std::string bytes;
    DWORD error = ERROR_SUCCESS;
};

ReadAttempt readWhole(const std::filesystem::path& file)
{
    const FileHandle handle = openForReading(file);
    if (!handle) {
        return {{}, GetLastError()};
    }
    ReadAttempt attempt;
    char buffer[16384];
    DWORD read = 0;
    while (ReadFile(handle.get(), buffer, sizeof(buffer), &read, nullptr)) {
        if (read == 0) {
            return attempt;
        }
        attempt.bytes.append(buffer, read);
    }
    return {{}, GetLastError()};
}

// Another program has the file open without sharing, or has locked a part of it.
bool isHeldByAnother(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool isMissing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The file created anew for writing, with no sharing; no handle when it cannot be.
FileHandle createForWriting(const std::filesystem::path& file)
{
    const HANDLE handle =
        CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return FileHandle(handle != INVALID_HANDLE_VALUE ? handle : nullptr);
}

// Where a save writes before its move: beside `path`, under a name that no other thread, of
// this process or of another running one, uses, so that two clients saving at once never write
// into one file.
std::filesystem::path partialPath(const std::filesystem::path& path)
{
    std::filesystem::path partial = path;
    partial +=
        L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetCurrentThreadId()) + kPartialSuffix;
    return partial;
}

// The line ends of a Windows text file, as a text-mode stream writes them.
std::string withCrLfLineEnds(const std::string& text)
{
    std::string bytes;
    bytes.reserve(text.size() + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
    for (const char c : text) {
        if (c == '\n') {
            bytes += '\r';
        }
        bytes += c;
    }
    return bytes;
}

// True for the name of a file that partialPath gives for the state file named `stateFileName`:
// that name, ".", a process id, "-", a thread id and ".partial".
bool isPartialFileOf(const std::wstring& name, const std::wstring& stateFileName)
{
    const std::wstring prefix = stateFileName + L".";
    const std::wstring suffix = kPartialSuffix;
    if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) || !name.ends_with(suffix)) {
        return false;
    }
    const std::wstring ids = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const std::size_t dash = ids.find(L'-');
    const auto isNumber = [](const std::wstring& text) {
        return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    };
    return dash != std::wstring::npos && isNumber(ids.substr(0, dash)) && isNumber(ids.substr(dash + 1));
}

std::chrono::nanoseconds sinceFileTime(const FILETIME& then, const FILETIME& now)
{
    const auto ticks = [](const FILETIME& time) {
        return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    };
    return std::chrono::nanoseconds((ticks(now) - ticks(then)) * 100);
}

// Removes the files that saves of `path` left beside it and that nothing has written for a minute.
void removeLeftoverPartials(const std::filesystem::path& path)
{
    const std::wstring pattern = path.wstring() + L".*" + kPartialSuffix;
    WIN32_FIND_DATAW found{};
    const HANDLE first = FindFirstFileW(pattern.c_str(), &found);
    if (first == INVALID_HANDLE_VALUE) {
        return;
    }
    const FindHandle search(first);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            isPartialFileOf(found.cFileName, path.filename().wstring()) &&
            sinceFileTime(found.ftLastWriteTime, now) > kLeftoverAge) {
            DeleteFileW((path.parent_path() / found.cFileName).c_str());
        }
    } while (FindNextFileW(search.get(), &found));
}

bool writeAll(HANDLE file, const std::string& bytes)
{
    constexpr std::size_t kLargestWrite = 1u << 30;
    for (std::size_t written = 0; written < bytes.size();) {
        const auto chunk = static_cast<DWORD>(std::min(bytes.size() - written, kLargestWrite));
        DWORD done = 0;
        if (!WriteFile(file, bytes.data() + written, chunk, &done, nullptr) || done == 0) {
            return false;
        }
        written += done;
    }
    return true;
}

// Creates `file` anew with `bytes` and flushes them to the disk before closing it: a move that
// follows must never put a file in place whose data a power cut could still lose.
bool writeToDisk(const std::filesystem::path& file, const std::string& bytes)
{
    const FileHandle handle = createForWriting(file);
    return handle && writeAll(handle.get(), bytes) && FlushFileBuffers(handle.get());
}

}  // namespace

std::filesystem::path appDataDirectory()
{
    const char* appData = std::getenv("APPDATA");
    const std::filesystem::path base =
        appData != nullptr ? pathFromUtf8(appData) : std::filesystem::temp_directory_path();
    return base / kFolderName;
}

std::filesystem::path statePath()
{
    const std::filesystem::path folder = appDataDirectory();
    std::filesystem::create_directories(folder);
    return folder / kFileName;
}

StateFileRead readStateFile(const std::filesystem::path& path)
{
    const auto giveUpAt = std::chrono::steady_clock::now() + kHeldFileRetries;
    for (;;) {
        ReadAttempt attempt = readWhole(path);
        if (attempt.error == ERROR_SUCCESS) {
            return {StateFileRead::Outcome::Read, std::move(attempt.bytes)};
        }
        if (isMissing(attempt.error)) {
            return {StateFileRead::Outcome::Missing, {}};
        }
        if (!isHeldByAnother(attempt.error) || std::chrono::steady_clock::now() >= giveUpAt) {
            return {StateFileRead::Outcome::Unreadable, {}};
        }
        Sleep(kHeldFilePauseMs);
    }
}

StoredState readStoredState(std::istream& in)
{
    nlohmann::json value;
    in >> value;
    return StoredState{jsonString(value, "origin", ""), jsonString(value, "device_id", ""),
                       jsonString(value, "access_token", "")};
}

std::string stateText(const std::string& origin, const std::string& deviceId, const std::string& accessToken)
{
    nlohmann::json state{{"origin", origin}, {"device_id", deviceId}};
    if (!accessToken.empty()) {
        state["access_token"] = accessToken;
    }
    return state.dump(2, ' ', false, nlohmann::json::error_handler_t::strict);
}

bool replaceFileText(const std::filesystem::path& path, const std::string& text)
{
    const std::filesystem::path partial = partialPath(path);
    const bool replaced =
        writeToDisk(partial, withCrLfLineEnds(text)) &&
        MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!replaced) {
        DeleteFileW(partial.c_str());
    }
    removeLeftoverPartials(path);
    return replaced;
}

}  // namespace vandreth
