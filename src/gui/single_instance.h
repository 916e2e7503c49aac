// One window per program folder. The first instance holds a lock file and listens on a
// local socket named after the program folder; a later instance hands the archive it
// was started with to the first one (a double-clicked archive opens in the running
// window) and ends at once. The lock file and the socket live in the system's temporary
// folder under one name per program folder, and go with the first instance: at a clean
// end, at a close in the middle of a command and at SIGINT, SIGTERM or SIGHUP.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "platform/temporary.h"

namespace gui {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  explicit SingleInstance(const std::string& programFolder);
  ~SingleInstance() override;

  // True for the first instance, which listens from here on.
  bool isFirst() const { return m_first; }
  // For a later instance: passes `archive` (an absolute path) to the first one. Waits a
  // second at most; a first instance that does not answer is left alone.
  void forward(const QString& archive) const;

  // The name shared by the lock file (NAME.lock) and the socket in the temporary folder.
  const QString& name() const { return m_name; }

 signals:
  // Emitted from the event loop, never from inside the socket's own signal: the receiver
  // may run a whole command (message boxes, yields) without the socket going away under it.
  void archiveRequested(const QString& path);

 private:
  void readLines(class QLocalSocket* socket);

  QString m_name;
  std::unique_ptr<QLockFile> m_lock;
  QLocalServer m_server;
  // The lock file and the socket, removed with everything else the process leaves behind
  // when it is ended by a signal or closed mid-command.
  std::optional<platform::TemporaryFile> m_lockGuard, m_socketGuard;
  bool m_first = false;
};

}  // namespace gui
