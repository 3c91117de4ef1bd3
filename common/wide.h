// The one place where the Win32 side's wchar_t text meets the portable side's char16_t text.
// Both are UTF-16 code units on Windows, so the conversions are views, not copies.
#pragma once

#include <string>
#include <string_view>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide text must be UTF-16, as on Windows");

inline std::u16string_view U16(std::wstring_view text) {
  return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}
inline std::u16string_view U16(const wchar_t* text) { return U16(std::wstring_view(text ? text : L"")); }
inline std::u16string_view U16(const std::wstring& text) { return U16(std::wstring_view(text)); }

inline std::wstring_view W(std::u16string_view text) {
  return {reinterpret_cast<const wchar_t*>(text.data()), text.size()};
}
inline const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline std::wstring WStr(std::u16string_view text) { return std::wstring(W(text)); }
inline std::u16string U16Str(std::wstring_view text) { return std::u16string(U16(text)); }
