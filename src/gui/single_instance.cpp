#include "gui/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>

namespace gui {

SingleInstance::SingleInstance(const std::string& programFolder) {
  auto key =
      QCryptographicHash::hash(QByteArray::fromStdString(programFolder), QCryptographicHash::Sha1)
          .toHex()
          .left(16);
  m_name = "tarnwick-" + QString::fromLatin1(key);
  m_lock = std::make_unique<QLockFile>(QDir::temp().filePath(m_name + ".lock"));
  m_lock->setStaleLockTime(0);  // only a lock whose process is gone is stale
  m_first = m_lock->tryLock(0);
  if (!m_first)
    return;
  QLocalServer::removeServer(m_name);  // a socket left by an instance that crashed
  m_server.listen(m_name);
  connect(&m_server, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        while (socket->canReadLine()) {
          auto path = QString::fromUtf8(socket->readLine()).trimmed();
          if (!path.isEmpty())
            emit archiveRequested(path);
        }
      });
    }
  });
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
