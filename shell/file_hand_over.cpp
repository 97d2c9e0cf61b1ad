#include "shell/file_hand_over.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <memory>

namespace {

constexpr char kSocketName[] = "QUAVREX_RUNNING.socket";

// A command line holds at most a few megabytes; a longer message is not a list of files.
constexpr qsizetype kMaxMessageBytes = 16 << 20;
// A copy that connects and then sends nothing is dropped after this long.
constexpr int kIdleConnectionMs = 30000;

}  // namespace

QString HandOverSocketPath(const QString& folder) {
  return folder + u'/' + QString::fromLatin1(kSocketName);
}

QByteArray EncodeHandOver(const std::vector<std::string>& paths) {
  QByteArray message;
  for (const std::string& path : paths) {
    message.append(path.data(), static_cast<qsizetype>(path.size()));
    message.append('\0');
  }
  message.append('\0');
  return message;
}

bool DecodeHandOver(const QByteArray& bytes, std::vector<std::string>* paths) {
  std::vector<std::string> found;
  for (qsizetype start = 0; start < bytes.size();) {
    const qsizetype end = bytes.indexOf('\0', start);
    if (end < 0) {
      return false;  // a path whose end has not arrived yet
    }
    if (end == start) {
      *paths = std::move(found);
      return true;
    }
    found.emplace_back(bytes.constData() + start, static_cast<size_t>(end - start));
    start = end + 1;
  }
  return false;
}

FileReceiver::FileReceiver(QObject* parent) : QObject(parent), server_(new QLocalServer(this)) {
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &FileReceiver::Accept);
}

FileReceiver::~FileReceiver() = default;

bool FileReceiver::Listen(const QString& folder) {
  const QString path = HandOverSocketPath(folder);
  // Whoever made a socket there is gone: the instance lock, which the caller holds, would
  // otherwise still be theirs.
  QLocalServer::removeServer(path);
  return server_->listen(path);
}

void FileReceiver::Accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
    QTimer::singleShot(kIdleConnectionMs, socket, &QLocalSocket::abort);
  }
}

void FileReceiver::Read(QLocalSocket* socket) {
  // The bytes of an unfinished message wait in the socket's own buffer until the end mark.
  const QByteArray pending = socket->peek(socket->bytesAvailable());
  std::vector<std::string> paths;
  if (!DecodeHandOver(pending, &paths)) {
    if (pending.size() > kMaxMessageBytes) {
      socket->abort();
    }
    return;
  }
  socket->readAll();
  // Confirmed before the files are used, so the other copy can end while they compile.
  socket->write(&kHandOverTaken, 1);
  socket->flush();
  socket->disconnectFromServer();
  emit FilesReceived(paths);
}

HandOverResult HandOverFiles(const QString& folder, const std::vector<std::string>& paths,
                             int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(HandOverSocketPath(folder));
  if (!socket.waitForConnected(timeoutMs)) {
    return HandOverResult::kNoListener;
  }
  socket.write(EncodeHandOver(paths));
  const QDeadlineTimer deadline(timeoutMs);
  while (socket.bytesToWrite() > 0) {
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
      // Not all sent: the running copy cannot have taken a list it has not seen whole.
      return HandOverResult::kNoListener;
    }
  }
  const QDeadlineTimer answerDeadline(timeoutMs);
  while (socket.bytesAvailable() < 1) {
    if (!socket.waitForReadyRead(static_cast<int>(answerDeadline.remainingTime()))) {
      // A copy that closes without answering has stopped taking files (its window closed);
      // one that stays silent may still take them later.
      return socket.state() == QLocalSocket::ConnectedState ? HandOverResult::kNoAnswer
                                                            : HandOverResult::kNoListener;
    }
  }
  char answer = 0;
  socket.getChar(&answer);
  return answer == kHandOverTaken ? HandOverResult::kTaken : HandOverResult::kNoListener;
}
