#ifndef QUAVREX_SHELL_FILE_HAND_OVER_H_
#define QUAVREX_SHELL_FILE_HAND_OVER_H_

#include <QByteArray>
#include <QObject>
#include <QString>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

// Score files handed from a second copy of the program to the running one, over a local socket
// beside the instance lock, so that a file opened from a file manager while the window is up is
// compiled there instead of being lost.
//
// Message: each path as the bytes the file system names it by, followed by a zero byte; an
// empty path (a lone zero byte) ends the list. File names never hold a zero byte, so nothing
// needs escaping. The running copy answers one byte, kHandOverTaken, once the list is queued.

inline constexpr char kHandOverTaken = 'K';

// The message that hands over `paths` (none of them empty or holding a zero byte).
QByteArray EncodeHandOver(const std::vector<std::string>& paths);

// Reads the message at the front of `bytes`. True with the list in `paths` once the end mark
// has arrived; false while bytes are still missing.
bool DecodeHandOver(const QByteArray& bytes, std::vector<std::string>* paths);

// The running copy's side: takes the lists other copies hand over.
class FileReceiver : public QObject {
  Q_OBJECT

 public:
  explicit FileReceiver(QObject* parent = nullptr);
  ~FileReceiver() override;

  // Listens on the socket in `folder`, open to this user only. A socket left behind by a copy
  // that crashed is replaced, so call this only while holding the instance lock. False when no
  // socket can be made there; the program then runs without taking files from other copies.
  bool Listen(const QString& folder);

 signals:
  // A list handed over, in the order the other copy was given it; it has been told so already.
  void FilesReceived(const std::vector<std::string>& paths);

 private:
  void Accept();
  void Read(QLocalSocket* socket);

  QLocalServer* server_;
};

// How a hand-over went.
enum class HandOverResult {
  kTaken,       // the running copy has queued the files
  kNoListener,  // nothing listens, or it went away before taking the files: worth another try
  kNoAnswer,    // the files were sent but not confirmed in time; they may or may not be taken
};

// The second copy's side: hands `paths` to the copy listening in `folder`, waiting at most
// `timeoutMs` for each step (connecting, sending, the answer).
HandOverResult HandOverFiles(const QString& folder, const std::vector<std::string>& paths,
                             int timeoutMs);

// The path of the hand-over socket in `folder`.
QString HandOverSocketPath(const QString& folder);

#endif  // QUAVREX_SHELL_FILE_HAND_OVER_H_
