#include "WideText.h"

#include <windows.h>

#include <climits>

namespace vexal::platform {

std::wstring toWide(const std::string& text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), n);
    return wide;
}

std::string fromWide(const wchar_t* text, size_t length) {
    if (!text || length == 0 || length > INT_MAX) return {};
    const int size = static_cast<int>(length);
    const int n = WideCharToMultiByte(CP_ACP, 0, text, size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string narrow(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, size, narrow.data(), n, nullptr, nullptr);
    return narrow;
}

}  // namespace vexal::platform
