#include "shell/file_hand_over.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <vector>

namespace {

using Paths = std::vector<std::string>;

// Lists as a second copy hands them over.
const Paths kMessageCases[] = {
    {},
    {"/home/u/song.mml"},
    // blanks, line breaks and Shift-JIS bytes are all part of a name
    {"/home/u/my song.mml", "/home/u/two\nlines.MUS", "/home/u/\x8B\xC8.mml"},
    {"/a", "/a", "/b"},
};

TEST(HandOverMessageTest, ListsArriveWholeAndOnlyWhenComplete) {
  for (const Paths& paths : kMessageCases) {
    SCOPED_TRACE(testing::PrintToString(paths));
    const QByteArray message = EncodeHandOver(paths);
    Paths decoded = {"left over"};
    ASSERT_TRUE(DecodeHandOver(message, &decoded));
    EXPECT_EQ(decoded, paths);
    // Bytes after the end mark belong to nothing.
    ASSERT_TRUE(DecodeHandOver(message + QByteArray("/x\0", 3), &decoded));
    EXPECT_EQ(decoded, paths);
    // Any shorter part of the message is still waiting for bytes.
    for (qsizetype length = 0; length < message.size(); ++length) {
      EXPECT_FALSE(DecodeHandOver(message.left(length), &decoded)) << length;
    }
  }
}

class FileHandOverTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.isValid()); }

  // Runs `handOver` on a thread of its own, as a second copy would, while this thread's event
  // loop serves the running copy's side.
  HandOverResult Run(std::function<HandOverResult()> handOver) {
    std::future<HandOverResult> result = std::async(std::launch::async, std::move(handOver));
    while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    QCoreApplication::processEvents();
    return result.get();
  }

  HandOverResult HandOver(const Paths& paths, int timeoutMs = 5000) {
    const QString folder = folder_.path();
    return Run([folder, paths, timeoutMs] { return HandOverFiles(folder, paths, timeoutMs); });
  }

  QTemporaryDir folder_;
};

TEST_F(FileHandOverTest, RunningCopyTakesEachListInOrder) {
  FileReceiver receiver;
  ASSERT_TRUE(receiver.Listen(folder_.path()));
  std::vector<Paths> received;
  QObject::connect(&receiver, &FileReceiver::FilesReceived,
                   [&](const Paths& paths) { received.push_back(paths); });

  EXPECT_EQ(HandOver({"/home/u/b.mml", "/home/u/a.MUS"}), HandOverResult::kTaken);
  EXPECT_EQ(HandOver({"/home/u/\x8B\xC8.mml"}), HandOverResult::kTaken);
  const std::vector<Paths> expected = {{"/home/u/b.mml", "/home/u/a.MUS"},
                                       {"/home/u/\x8B\xC8.mml"}};
  EXPECT_EQ(received, expected);
}

TEST_F(FileHandOverTest, SocketLeftByACrashedCopyIsReplaced) {
  QFile left(HandOverSocketPath(folder_.path()));
  ASSERT_TRUE(left.open(QIODevice::WriteOnly));
  left.close();
  FileReceiver receiver;
  ASSERT_TRUE(receiver.Listen(folder_.path()));
  int lists = 0;
  QObject::connect(&receiver, &FileReceiver::FilesReceived, [&](const Paths&) { ++lists; });
  EXPECT_EQ(HandOver({"/home/u/a.mml"}), HandOverResult::kTaken);
  EXPECT_EQ(lists, 1);
}

TEST_F(FileHandOverTest, NothingListeningIsWorthAnotherTry) {
  EXPECT_EQ(HandOver({"/home/u/a.mml"}), HandOverResult::kNoListener);
  // A receiver that has gone away leaves no socket that would answer.
  {
    FileReceiver receiver;
    ASSERT_TRUE(receiver.Listen(folder_.path()));
  }
  EXPECT_EQ(HandOver({"/home/u/a.mml"}), HandOverResult::kNoListener);
}

TEST_F(FileHandOverTest, CopyThatClosesWithoutAnsweringTookNothing) {
  // A copy whose window has just closed drops the connection unanswered.
  QLocalServer closing;
  ASSERT_TRUE(closing.listen(HandOverSocketPath(folder_.path())));
  QObject::connect(&closing, &QLocalServer::newConnection, [&] {
    QLocalSocket* socket = closing.nextPendingConnection();
    QObject::connect(socket, &QLocalSocket::readyRead, socket, &QLocalSocket::abort);
  });
  EXPECT_EQ(HandOver({"/home/u/a.mml"}), HandOverResult::kNoListener);
}

TEST_F(FileHandOverTest, CopyThatStaysSilentIsNotSentTheFilesAgain) {
  // A copy busy elsewhere reads nothing and answers nothing within the time allowed.
  QLocalServer silent;
  ASSERT_TRUE(silent.listen(HandOverSocketPath(folder_.path())));
  EXPECT_EQ(HandOver({"/home/u/a.mml"}, 300), HandOverResult::kNoAnswer);
}

}  // namespace
