#pragma once
// The DLLs a program needs before it can run, read from its PE file's import tables.

#include <optional>
#include <string>
#include <vector>

namespace vandreth::bench {

struct ImportedDll {
    std::string name;
    bool delayLoaded = false;
};

// The DLLs of the import table, then those of the delay-load table, in table order; nothing
// when the file is not a 64-bit PE image that can be read.
std::optional<std::vector<ImportedDll>> importedDlls(const std::wstring& path);

// True for a DLL that Windows itself ships: one in the system folder that is not one of the
// compiler runtimes that programs bring along (which a system folder may also hold).
bool shipsWithWindows(const std::string& dll);

}  // namespace vandreth::bench
