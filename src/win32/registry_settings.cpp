#include "win32/registry_settings.h"

#include <windows.h>

#include <vector>

#include "platform/windows/windows_text.h"

namespace win32 {

using platform::windows::narrow;
using platform::windows::wide;

namespace {

std::wstring keyOf(const std::string& app, const std::string& section) {
  return L"Software\\" + wide(app) + L"\\" + wide(section);
}

}  // namespace

std::string RegistrySettings::get(const std::string& app, const std::string& section,
                                  const std::string& key, const std::string& fallback) {
  const std::wstring path = keyOf(app, section), name = wide(key);
  DWORD bytes = 0;
  if (::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr,
                     &bytes) != ERROR_SUCCESS)
    return fallback;
  std::vector<wchar_t> value(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr,
                     value.data(), &bytes) != ERROR_SUCCESS)
    return fallback;
  return narrow(value.data());
}

void RegistrySettings::set(const std::string& app, const std::string& section,
                           const std::string& key, const std::string& value) {
  HKEY handle = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, keyOf(app, section).c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &handle, nullptr) != ERROR_SUCCESS)
    return;
  const std::wstring text = wide(value);
  ::RegSetValueExW(handle, wide(key).c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(handle);
}

}  // namespace win32
