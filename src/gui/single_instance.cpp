#include "gui/single_instance.h"

#include <fcntl.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTimer>

namespace gui {

namespace {

// One name per program folder, however the folder was spelled (links, "..", a trailing
// separator).
QString instanceName(const std::string& programFolder) {
  QString folder = QString::fromStdString(programFolder);
  const QString canonical = QFileInfo(folder).canonicalFilePath();
  if (!canonical.isEmpty())
    folder = canonical;
  const auto key =
      QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
  return "tarnwick-" + QString::fromLatin1(key);
}

}  // namespace

SingleInstance::SingleInstance(const std::string& programFolder)
    : m_name(instanceName(programFolder)) {
  const QString lockPath = QDir::temp().filePath(m_name + ".lock");
  m_lock = std::make_unique<QLockFile>(lockPath);
  m_lock->setStaleLockTime(0);  // only a lock whose process is gone is stale
  m_first = m_lock->tryLock(0);
  if (!m_first)
    return;
  m_lockGuard.emplace(std::filesystem::path(lockPath.toStdString()));
  QLocalServer::removeServer(m_name);  // a socket left by an instance that was killed
  if (m_server.listen(m_name))
    m_socketGuard.emplace(std::filesystem::path(m_server.fullServerName().toStdString()));
  connect(&m_server, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readLines(socket); });
    }
  });
}

SingleInstance::~SingleInstance() {
  m_server.close();
  m_lock->unlock();
  // The guards' destructors remove whatever of the two files is still there.
}

void SingleInstance::readLines(QLocalSocket* socket) {
  QStringList paths;
  while (socket->canReadLine()) {
    auto path = QString::fromUtf8(socket->readLine()).trimmed();
    if (!path.isEmpty())
      paths << path;
  }
  // Opening an archive runs a command that yields to the event loop; there the socket may
  // disconnect and be deleted. So the paths are handed on from the event loop, after this
  // slot has let go of the socket.
  for (const auto& path : paths)
    QTimer::singleShot(0, this, [this, path] { emit archiveRequested(path); });
}

void SingleInstance::forward(const QString& archive) const {
  if (archive.isEmpty())
    return;
  QLocalSocket socket;
  socket.connectToServer(m_name);
  if (!socket.waitForConnected(1000))
    return;
  socket.write(archive.toUtf8() + '\n');
  socket.waitForBytesWritten(1000);
  socket.disconnectFromServer();
}

}  // namespace gui
