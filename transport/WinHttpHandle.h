#pragma once
// Owns one HINTERNET (session, connection or request) and closes it when it goes out of scope.

#include "UniqueHandle.h"

#include <windows.h>
#include <winhttp.h>

namespace vandreth {

using WinHttpHandle = UniqueHandle<HINTERNET, &WinHttpCloseHandle>;

}  // namespace vandreth
