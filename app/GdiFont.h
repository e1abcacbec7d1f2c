#pragma once
// Owns one HFONT and deletes it when reset or destroyed.

#include "UniqueHandle.h"

#include <windows.h>

namespace vandreth {

using GdiFont = UniqueHandle<HFONT, &DeleteObject>;

}  // namespace vandreth
