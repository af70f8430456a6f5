// The splash clip's file on Windows, read past the system's cache where its volume allows:
// from a CD the cache would read ahead many times the headers that the window waits for.
#pragma once

#include <memory>
#include <string>

#include "form_system.h"

namespace launcher {

// Opens the clip and reads its first page; its errors are worded with the program's texts.
base::Result<std::unique_ptr<forms::FileReader>> OpenClipFile(const std::wstring& name,
                                                              forms::FormSystem& texts);

}  // namespace launcher
