// Text helpers of the browser hosts (cefhost, cef1host): UTF-8 output and the file URL of a
// page. Header-only: each host is one program of its own.
#pragma once

#include <windows.h>

#include <cctype>
#include <cstring>
#include <cwchar>
#include <string>

inline std::string utf8(const wchar_t* text, size_t length) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &out[0], n, nullptr, nullptr);
  return out;
}

// file:///Z:/dir/page.html for a page path; bytes outside plain ASCII are percent-encoded.
inline std::wstring fileUrl(const wchar_t* page) {
  wchar_t full[MAX_PATH];
  DWORD n = GetFullPathNameW(page, MAX_PATH, full, nullptr);
  if (n == 0 || n >= MAX_PATH) return L"";
  std::string path = utf8(full, n);
  std::wstring url = L"file:///";
  const char* plain = "/:.-_~";
  for (unsigned char c : path) {
    if (c == '\\') c = '/';
    if (isalnum(c) || strchr(plain, c)) {
      url += static_cast<wchar_t>(c);
    } else {
      wchar_t hex[4];
      swprintf(hex, 4, L"%%%02X", c);
      url += hex;
    }
  }
  return url;
}
