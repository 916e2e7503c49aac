// One window per program folder. The first instance holds a lock file and listens on a
// local socket named after the program folder; a later instance hands the archive it
// was started with to the first one (a double-clicked archive opens in the running
// window) and ends at once.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <memory>
#include <string>

namespace gui {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  explicit SingleInstance(const std::string& programFolder);

  // True for the first instance, which listens from here on.
  bool isFirst() const { return m_first; }
  // For a later instance: passes `archive` (an absolute path) to the first one. Waits a
  // second at most; a first instance that does not answer is left alone.
  void forward(const QString& archive) const;

 signals:
  void archiveRequested(const QString& path);

 private:
  QString m_name;
  std::unique_ptr<QLockFile> m_lock;
  QLocalServer m_server;
  bool m_first = false;
};

}  // namespace gui
