#include "app/single_instance.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QtEndian>
#include <cstring>
#include <filesystem>

#include "testing/qt_helpers.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
namespace wire = open_request_wire;
using Role = SingleInstance::Role;
using namespace std::chrono_literals;

QString q(const fs::path& p) { return QString::fromStdString(p.string()); }

TEST(SocketPathTest, OnePerUserAndDisplay) {
  SessionPlace place{"/run/user/1000", "", ":0", 1000, "/tmp"};
  EXPECT_EQ(socketPathFor(place), "/run/user/1000/morvane.x_0.socket");
  place.x11Display = ":0.0";  // the same display, another screen
  EXPECT_EQ(socketPathFor(place), "/run/user/1000/morvane.x_0.socket");
  place.x11Display = "localhost:10.0";
  EXPECT_EQ(socketPathFor(place), "/run/user/1000/morvane.xlocalhost_10.socket");
  place.waylandDisplay = "wayland-1";  // the session's own display wins
  EXPECT_EQ(socketPathFor(place), "/run/user/1000/morvane.wayland-1.socket");
  place.waylandDisplay = "../../etc/x";  // never leaves the folder
  EXPECT_EQ(socketPathFor(place), "/run/user/1000/morvane..._.._etc_x.socket");
  place = {"", "", "", 1000, "/tmp"};
  EXPECT_EQ(socketPathFor(place), "/tmp/morvane-1000/morvane.none.socket");
  place.runtimeDir = "relative/run";
  EXPECT_EQ(socketPathFor(place), "/tmp/morvane-1000/morvane.none.socket");
  place.runtimeDir = "/" + QString(120, 'r');  // too long for a socket address
  EXPECT_EQ(socketPathFor(place), "/tmp/morvane-1000/morvane.none.socket");
}

class SingleInstanceTest : public ::testing::Test {
 protected:
  SingleInstanceTest() { fs::permissions(tmp_.path(), fs::perms::owner_all); }
  QString path() const { return q(tmp_.path() / "morvane.test.socket"); }
  static SingleInstance::Timeouts quick() {
    SingleInstance::Timeouts t;
    t.reply = 500ms;
    t.request = 300ms;
    return t;
  }

  testing::TempDir tmp_;
};

TEST_F(SingleInstanceTest, TheSecondHandsItsRequestToTheFirst) {
  auto first = std::make_unique<SingleInstance>(path());
  const SingleInstance::Result started = first->start({{"/a.pages"}, {}});
  ASSERT_EQ(started.role, Role::primary) << started.problem.toStdString();
  EXPECT_TRUE(first->listening());
  EXPECT_TRUE(QFile::exists(path()));
  EXPECT_FALSE(QFile::exists(path() + ".lock"));  // held only while starting
  EXPECT_EQ(QFileInfo(path()).permissions() &
                (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
            QFile::Permissions());
  QSignalSpy requests(first.get(), &SingleInstance::openRequested);

  const OpenRequest request{{"/x/Bericht.pages", "file:///y/z.key"}, {"/gone.numbers"}};
  SingleInstance second(path());
  EXPECT_EQ(second.start(request).role, Role::handedOver);
  EXPECT_FALSE(second.listening());
  // Served on a later turn of the event loop, after the answer.
  ASSERT_TRUE(testing::waitFor([&] { return requests.size() == 1; }));
  EXPECT_EQ(requests[0][0].value<OpenRequest>(), request);

  // One with no files only asks for the window.
  SingleInstance third(path());
  EXPECT_EQ(third.start({}).role, Role::handedOver);
  ASSERT_TRUE(testing::waitFor([&] { return requests.size() == 2; }));
  EXPECT_EQ(requests[1][0].value<OpenRequest>(), OpenRequest{});

  first.reset();
  EXPECT_FALSE(QFile::exists(path()));  // nothing left behind
  EXPECT_EQ(fs::directory_iterator(tmp_.path()), fs::directory_iterator());
}

TEST_F(SingleInstanceTest, ASocketLeftByACrashedInstanceIsTakenOver) {
  // Bound, then its process went: the file stays, nobody listens.
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray encoded = QFile::encodeName(path());
  std::memcpy(address.sun_path, encoded.constData(), encoded.size());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
  ASSERT_TRUE(QFile::exists(path()));

  SingleInstance first(path());
  EXPECT_EQ(first.start({}).role, Role::primary);
  QSignalSpy requests(&first, &SingleInstance::openRequested);
  SingleInstance second(path());
  EXPECT_EQ(second.start({{"/a"}, {}}).role, Role::handedOver);
  EXPECT_TRUE(testing::waitFor([&] { return requests.size() == 1; }));
}

TEST_F(SingleInstanceTest, AFolderOthersMayEnterIsNotUsed) {
  fs::permissions(tmp_.path(), fs::perms::owner_all | fs::perms::others_all);
  SingleInstance instance(path());
  const SingleInstance::Result result = instance.start({});
  EXPECT_EQ(result.role, Role::alone);
  EXPECT_TRUE(result.problem.contains("alone")) << result.problem.toStdString();
  EXPECT_FALSE(QFile::exists(path()));

  // A missing folder is made for this user only.
  SingleInstance inNew(q(tmp_.path() / "new" / "s.socket"));
  EXPECT_EQ(inNew.start({}).role, Role::primary);
  EXPECT_EQ(fs::status(tmp_.path() / "new").permissions(), fs::perms::owner_all);
}

// What a raw client gets back for `bytes`, and whether the server then
// closed the connection.
struct Exchange {
  QByteArray reply;
  bool closed = false;
};
Exchange sendRaw(const QString& path, const QByteArray& bytes) {
  QLocalSocket socket;
  socket.connectToServer(path);
  EXPECT_TRUE(socket.waitForConnected(1000));
  socket.write(bytes);
  Exchange exchange;
  exchange.closed = testing::waitFor(
      [&] {
        exchange.reply += socket.readAll();
        return socket.state() == QLocalSocket::UnconnectedState;
      },
      3000);
  exchange.reply += socket.readAll();
  return exchange;
}

TEST_F(SingleInstanceTest, HostileRequestsAreAnsweredOrDroppedAndServingGoesOn) {
  SingleInstance first(path(), quick());
  ASSERT_EQ(first.start({}).role, Role::primary);
  QSignalSpy requests(&first, &SingleInstance::openRequested);

  QByteArray huge(4, '\0');
  qToBigEndian(0xfffffff0u, huge.data());
  Exchange e = sendRaw(path(), huge);
  EXPECT_TRUE(e.closed);
  EXPECT_EQ(wire::decodeReply(e.reply), wire::Status::malformed);

  QByteArray garbage = wire::encodeRequest({{"/a"}, {}});
  garbage[5] = 'X';  // the magic
  e = sendRaw(path(), garbage);
  EXPECT_TRUE(e.closed);
  EXPECT_EQ(wire::decodeReply(e.reply), wire::Status::malformed);

  QByteArray newer;
  QDataStream(&newer, QIODevice::WriteOnly)
      << quint32{8} << wire::kMagic << quint16{2} << quint16{0};
  e = sendRaw(path(), newer);
  EXPECT_EQ(wire::decodeReply(e.reply), wire::Status::unsupportedVersion);

  // Half a request, then silence: dropped when its time is up.
  e = sendRaw(path(), wire::encodeRequest({{"/a"}, {}}).left(10));
  EXPECT_TRUE(e.closed);
  EXPECT_TRUE(e.reply.isEmpty());

  EXPECT_EQ(requests.size(), 0);
  SingleInstance second(path(), quick());
  EXPECT_EQ(second.start({{"/b"}, {}}).role, Role::handedOver);
  ASSERT_TRUE(testing::waitFor([&] { return requests.size() == 1; }));
  EXPECT_EQ(requests[0][0].value<OpenRequest>().files, QStringList{"/b"});
}

TEST_F(SingleInstanceTest, ARunningInstanceThatDoesNotAnswerLeavesTheStartAlone) {
  QLocalServer mute;  // accepts, never answers
  ASSERT_TRUE(mute.listen(path()));
  SingleInstance second(path(), quick());
  const SingleInstance::Result result = second.start({{"/a"}, {}});
  EXPECT_EQ(result.role, Role::alone);
  EXPECT_EQ(result.problem, "the running Morvane does not answer");
  EXPECT_FALSE(second.listening());
}

TEST_F(SingleInstanceTest, AnInstanceThatQuitsMidRequestIsReplaced) {
  // Accepts and closes at once, then is gone: the start listens itself.
  auto quitting = std::make_unique<QLocalServer>();
  ASSERT_TRUE(quitting->listen(path()));
  QObject::connect(quitting.get(), &QLocalServer::newConnection, [&] {
    quitting->nextPendingConnection()->abort();
    quitting->close();
  });
  SingleInstance second(path(), quick());
  const SingleInstance::Result result = second.start({{"/a"}, {}});
  EXPECT_EQ(result.role, Role::primary) << result.problem.toStdString();
}

}  // namespace
}  // namespace morvane
