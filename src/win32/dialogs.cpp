// The window's dialogs: message boxes and questions, the file chooser, the folder browser
// and the folder opener.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

#include "platform/windows/windows_text.h"
#include "util/version.h"
#include "win32/form1.h"

namespace win32 {

using platform::windows::narrow;
using platform::windows::wide;

namespace {

UINT messageIcon(app::Icon icon) {
  switch (icon) {
    case app::Icon::None:
      return 0;
    case app::Icon::Information:
      return MB_ICONINFORMATION;
    case app::Icon::Exclamation:
      return MB_ICONEXCLAMATION;
    case app::Icon::Critical:
      return MB_ICONERROR;
    case app::Icon::Question:
      return MB_ICONQUESTION;
  }
  return 0;
}

const std::wstring& title() {
  static const std::wstring text = wide(util::kProductName);
  return text;
}

// The folder browser of older systems: a tree of folders, starting at the desktop.
std::optional<std::string> browseWithTree(HWND owner, const std::wstring& caption) {
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.lpszTitle = caption.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE list = ::SHBrowseForFolderW(&info);
  if (!list)
    return std::nullopt;
  std::vector<wchar_t> path(32768);
  const bool got = ::SHGetPathFromIDListEx(list, path.data(), static_cast<DWORD>(path.size()), 0);
  ::CoTaskMemFree(list);
  if (!got || path[0] == L'\0')
    return std::nullopt;
  return narrow(path.data());
}

}  // namespace

void Form1::messageBox(app::Icon icon, const std::string& text) {
  ::MessageBoxW(m_hwnd, wide(text).c_str(), title().c_str(), MB_OK | messageIcon(icon));
}

std::size_t Form1::ask(app::Icon icon, const std::string& text,
                       const std::vector<std::string>& answers) {
  if (answers.empty())
    return 0;
  std::vector<std::wstring> captions;
  std::vector<TASKDIALOG_BUTTON> buttons;
  for (const auto& answer : answers)
    captions.push_back(wide(answer));
  for (std::size_t i = 0; i < captions.size(); ++i)
    buttons.push_back({static_cast<int>(1000 + i), captions[i].c_str()});
  const std::wstring content = wide(text);
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof config;
  config.hwndParent = m_hwnd;
  // Escape and the close box pick the last answer.
  config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_USE_HICON_MAIN;
  config.pszWindowTitle = title().c_str();
  config.hMainIcon = ::LoadIconW(nullptr, icon == app::Icon::Question      ? IDI_QUESTION
                                          : icon == app::Icon::Critical    ? IDI_ERROR
                                          : icon == app::Icon::Exclamation ? IDI_WARNING
                                                                           : IDI_INFORMATION);
  config.pszContent = content.c_str();
  config.cButtons = static_cast<UINT>(buttons.size());
  config.pButtons = buttons.data();
  config.nDefaultButton = buttons.front().nButtonID;
  int picked = 0;
  if (FAILED(::TaskDialogIndirect(&config, &picked, nullptr, nullptr)))
    return answers.size() - 1;
  const auto index = static_cast<std::size_t>(picked - 1000);
  return picked >= 1000 && index < answers.size() ? index : answers.size() - 1;
}

std::optional<std::string> Form1::chooseFile(const std::string& caption, const std::string& filter,
                                             const std::string& initialFolder) {
  // "desc (*.ext)|*.ext" becomes the chooser's pairs of NUL-ended strings.
  std::wstring filters = wide(filter);
  for (auto& c : filters)
    if (c == L'|')
      c = L'\0';
  filters.append(2, L'\0');
  const std::wstring titleText = wide(caption), folder = wide(initialFolder);
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = m_hwnd;
  ofn.lpstrFilter = filters.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.lpstrTitle = titleText.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
              OFN_NOCHANGEDIR | OFN_LONGNAMES;
  if (!::GetOpenFileNameW(&ofn) || file[0] == L'\0')
    return std::nullopt;
  return narrow(file.data());
}

std::optional<std::string> Form1::browseFolder(const std::string& caption) {
  const std::wstring titleText = wide(caption);
  IFileOpenDialog* dialog = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&dialog))))
    return browseWithTree(m_hwnd, titleText);
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  dialog->SetTitle(titleText.c_str());
  IShellItem* start = nullptr;
  if (SUCCEEDED(::SHCreateItemFromParsingName(wide(m_state.folders.extractedFiles).c_str(), nullptr,
                                              IID_PPV_ARGS(&start)))) {
    dialog->SetFolder(start);
    start->Release();
  }
  std::optional<std::string> chosen;
  IShellItem* result = nullptr;
  if (SUCCEEDED(dialog->Show(m_hwnd)) && SUCCEEDED(dialog->GetResult(&result))) {
    PWSTR path = nullptr;
    if (SUCCEEDED(result->GetDisplayName(SIGDN_FILESYSPATH, &path)) && path && *path)
      chosen = narrow(path);
    ::CoTaskMemFree(path);
    result->Release();
  }
  dialog->Release();
  return chosen;
}

bool Form1::openFolder(const std::string& path) {
  // The file manager with the folder open, not waited for.
  const std::wstring arguments = L"/e,\"" + wide(path) + L"\"";
  const auto started =
      ::ShellExecuteW(m_hwnd, L"open", L"explorer.exe", arguments.c_str(), nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(started) > 32;
}

}  // namespace win32
