// Text between the 8-bit strings of our members (the system's multibyte code
// page, as the C runtime's file functions take them) and Windows' UTF-16.
#pragma once

#include <string>

namespace vexal::platform {

std::wstring toWide(const std::string& text);
std::string fromWide(const wchar_t* text, size_t length);
inline std::string fromWide(const std::wstring& text) { return fromWide(text.data(), text.size()); }

}  // namespace vexal::platform
