// The recording window and settings, and the started program folder a window command works in.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/commands/context.h"
#include "app/startup.h"
#include "app/window_port.h"
#include "support/temp_dir.h"

namespace testing_support {

struct MessageRecord {
  app::Icon icon;
  std::string text;
  bool operator==(const MessageRecord&) const = default;
};
using Messages = std::vector<MessageRecord>;
inline void PrintTo(const MessageRecord& m, std::ostream* out) {
  *out << "{icon " << static_cast<int>(m.icon) << ", \"" << m.text << "\"}";
}

// Records controls, list, log pane, messages and choosers; dialogs return pre-set answers.
struct FakeWindow : app::Window {
  void setText(std::string_view control, const std::string& text) override {
    texts[std::string(control)] = text;
  }
  std::string text(std::string_view control) const {
    auto it = texts.find(std::string(control));
    return it == texts.end() ? std::string() : it->second;
  }
  void repaint(std::string_view) override {}
  void clearList() override {
    items.clear();
    selected.clear();
  }
  void addItems(const std::vector<std::string>& more) override {
    items.insert(items.end(), more.begin(), more.end());
  }
  int itemCount() const override { return static_cast<int>(items.size()); }
  bool isSelected(int index) const override { return selected.count(index) > 0; }
  int selectedCount() const override { return static_cast<int>(selected.size()); }
  void selectAll() override {
    for (int i = 0; i < itemCount(); ++i)
      selected.insert(i);
  }
  void setHorizontalExtent(int pixels) override { horizontalExtent = pixels; }
  void setProgressWidth(double) override {}
  void setBusy(bool on) override { busy = on; }
  void setLogPane(const std::string& text, bool caretAtEnd) override {
    log = text;
    caretEnd = caretAtEnd;
  }
  void messageBox(app::Icon icon, const std::string& text) override {
    messages.push_back({icon, text});
    if (onMessage)
      onMessage();
  }
  std::size_t ask(app::Icon icon, const std::string& text,
                  const std::vector<std::string>& offered) override {
    questions.push_back({icon, text});
    offeredAnswers = offered;
    return next(answers, offered.size() - 1);  // none left: the box is closed
  }
  std::optional<std::string> chooseFile(const std::string& title, const std::string& filter,
                                        const std::string& initialFolder) override {
    chooserCalls.push_back({title, filter, initialFolder});
    return next(fileAnswers, {});
  }
  std::optional<std::string> browseFolder(const std::string& title) override {
    browseTitles.push_back(title);
    return next(folderAnswers, {});
  }
  bool isChecked(std::string_view) const override { return false; }
  bool openFolder(const std::string& path) override {
    openedFolders.push_back(path);
    return fileManagerWorks;
  }
  void yield() override {}

  struct ChooserCall {
    std::string title, filter, initialFolder;
  };
  std::map<std::string, std::string> texts;
  std::vector<std::string> items;
  std::set<int> selected;
  int horizontalExtent = 0;
  bool busy = false, caretEnd = false, fileManagerWorks = true;
  std::string log;
  Messages messages, questions;
  std::function<void()> onMessage;
  std::vector<std::string> offeredAnswers;  // the buttons of the last question
  std::deque<std::size_t> answers;
  std::vector<ChooserCall> chooserCalls;
  std::deque<std::optional<std::string>> fileAnswers, folderAnswers;
  std::vector<std::string> browseTitles, openedFolders;

 private:
  template <typename T>
  static T next(std::deque<T>& queue, T none) {
    if (queue.empty())
      return none;
    T first = queue.front();
    queue.pop_front();
    return first;
  }
};

struct FakeSettings : app::Settings {
  std::string get(const std::string& app, const std::string& section, const std::string& key,
                  const std::string& fallback) override {
    auto it = values.find(app + "/" + section + "/" + key);
    return it == values.end() ? fallback : it->second;
  }
  void set(const std::string& app, const std::string& section, const std::string& key,
           const std::string& value) override {
    values[app + "/" + section + "/" + key] = value;
  }
  std::map<std::string, std::string> values;
};

struct CommandHarness {
  TempDir home;
  FakeWindow window;
  FakeSettings settings;
  app::AppState state;
  app::Shell shell{window, state};
  app::Session session;
  app::CommandContext context{shell, settings, session};
  CommandHarness() { app::Startup(window, state, home.str()); }
};

// The log pane's text for `lines`, each "\n" in it a line end.
inline std::string crlfText(std::string_view lines) {
  std::string out;
  for (char c : lines)
    out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

}  // namespace testing_support
