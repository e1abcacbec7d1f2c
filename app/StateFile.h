#pragma once
// The state file: %APPDATA%\Vandreth\pc-client-state.json, a small JSON object with the
// service origin, the device id and, while linked, the access token.

#include <filesystem>
#include <istream>
#include <string>

namespace vandreth {

// The three values as the file holds them, read leniently: a member that is missing or not a
// string reads as empty text.
struct StoredState {
    std::string origin;
    std::string deviceId;
    std::string accessToken;
};

// The folder of the state file: "Vandreth" in the folder that APPDATA names (even when it is
// set to empty text), or in the temporary folder when APPDATA is not set. Creates nothing.
std::filesystem::path appDataDirectory();

// Creates the state file's folder with its parents, then gives the file's path.
std::filesystem::path statePath();

// What reading the state file found: its bytes, no file at all, or a file that is there but
// could not be read.
struct StateFileRead {
    enum class Outcome { Read, Missing, Unreadable };
    Outcome outcome = Outcome::Missing;
    std::string bytes;
};

// Reads the whole file. A backup, an indexer or a virus scan may hold it open without sharing
// for a moment: a sharing or lock violation is tried again for about two seconds in all.
StateFileRead readStateFile(const std::filesystem::path& path);

// Reads the first JSON value of `in`. Throws when the stream holds no JSON value.
StoredState readStoredState(std::istream& in);

// The file's text with '\n' line ends: sorted keys, indent 2, no line end after the brace.
// "access_token" is left out when `accessToken` is empty. Throws for text that is not UTF-8.
std::string stateText(const std::string& origin, const std::string& deviceId, const std::string& accessToken);

// Writes `text`, each '\n' as CR LF, to a file of its own beside `path`, flushes it to the disk,
// then moves it over `path` in one step: `path` always holds an old or a new text in full, also
// when another process saves at the same time. On any failure `path` keeps its old content, the
// file beside it is gone and false comes back. Files that earlier saves left beside `path`
// (a process killed in mid-save leaves its own) are removed once they are a minute old; a
// younger one may be another running client's save in progress.
bool replaceFileText(const std::filesystem::path& path, const std::string& text);

}  // namespace vandreth
