#include "app/open_request.h"

#include <gtest/gtest.h>

#include <QDataStream>
#include <QIODevice>
#include <QtEndian>

namespace morvane {
namespace {

namespace wire = open_request_wire;

QByteArray framed(const QByteArray& payload) {
  QByteArray header(4, '\0');
  qToBigEndian(static_cast<quint32>(payload.size()), header.data());
  return header + payload;
}

// A payload written field by field, as a foreign or hostile sender might.
template <typename... Fields>
QByteArray payloadOf(const Fields&... fields) {
  QByteArray payload;
  QDataStream out(&payload, QIODevice::WriteOnly);
  out.setVersion(QDataStream::Qt_6_0);
  (out << ... << fields);
  return payload;
}

std::optional<OpenRequest> decode(const QByteArray& payload, wire::Status* status) {
  return wire::decodeRequest(payload, status);
}

TEST(OpenRequestWireTest, RequestsSurviveTheTripInAnyPieces) {
  const OpenRequest request{{"/home/ü/Bericht.pages", "file:///tmp/a%20b.key", ""},
                            {"/gone/ça.numbers"}};
  const QByteArray frame = wire::encodeRequest(request);
  // Incomplete until the last byte is there, whatever came so far.
  for (qsizetype n = 0; n < frame.size(); ++n) {
    EXPECT_EQ(wire::takeFrame(frame.left(n)).state, wire::Frame::State::incomplete) << n;
  }
  // Bytes after the frame are not part of it.
  const wire::Frame whole = wire::takeFrame(frame + "junk");
  ASSERT_EQ(whole.state, wire::Frame::State::complete);
  wire::Status status{};
  EXPECT_EQ(decode(whole.payload, &status), request);
  EXPECT_EQ(status, wire::Status::accepted);

  const wire::Frame empty = wire::takeFrame(wire::encodeRequest({}));
  EXPECT_EQ(decode(empty.payload, &status), OpenRequest{});
}

TEST(OpenRequestWireTest, OversizedFramesAreRefusedFromTheHeader) {
  QByteArray header(4, '\0');
  qToBigEndian(wire::kMaxPayload + 1, header.data());
  EXPECT_EQ(wire::takeFrame(header).state, wire::Frame::State::invalid);
  qToBigEndian(0xffffffffu, header.data());
  EXPECT_EQ(wire::takeFrame(header).state, wire::Frame::State::invalid);
}

TEST(OpenRequestWireTest, MalformedPayloadsAreRefusedWithoutHarm) {
  const quint32 magic = wire::kMagic;
  const quint16 v1 = wire::kVersion;
  wire::Status status{};
  struct Case {
    const char* what;
    QByteArray payload;
  };
  const Case cases[] = {
      {"empty", QByteArray()},
      {"wrong magic", payloadOf(quint32{0x12345678}, v1, quint32{0}, quint32{0})},
      {"cut short", payloadOf(magic, v1, quint32{1})},
      // A count that would reserve gigabytes if it were believed.
      {"huge count", payloadOf(magic, v1, quint32{0xffffffff}, quint32{0})},
      {"count past the data", payloadOf(magic, v1, quint32{3}, QString("a"), quint32{0})},
      {"string longer than the data", payloadOf(magic, v1, quint32{1}, quint32{0x7ffffff0})},
      {"odd string size", payloadOf(magic, v1, quint32{1}, quint32{3}, quint16{0x61}, quint8{0})},
      {"trailing bytes", payloadOf(magic, v1, quint32{0}, quint32{0}, quint8{1})},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(decode(c.payload, &status), std::nullopt) << c.what;
    EXPECT_EQ(status, wire::Status::malformed) << c.what;
  }
  EXPECT_EQ(decode(payloadOf(magic, quint16{2}, quint32{0}, quint32{0}), &status), std::nullopt);
  EXPECT_EQ(status, wire::Status::unsupportedVersion);
  EXPECT_EQ(wire::takeFrame(framed(cases[3].payload)).state, wire::Frame::State::complete);
}

TEST(OpenRequestWireTest, RepliesCarryTheirStatus) {
  for (wire::Status s :
       {wire::Status::accepted, wire::Status::unsupportedVersion, wire::Status::malformed}) {
    const QByteArray reply = wire::encodeReply(s);
    EXPECT_EQ(reply.size(), wire::kReplySize);
    EXPECT_EQ(wire::decodeReply(reply), s);
  }
  QByteArray bad = wire::encodeReply(wire::Status::accepted);
  EXPECT_EQ(wire::decodeReply(bad.left(6)), wire::Status::malformed);
  bad[0] = 'X';
  EXPECT_EQ(wire::decodeReply(bad), wire::Status::malformed);
  EXPECT_EQ(wire::decodeReply(payloadOf(wire::kMagic, wire::kVersion, quint8{9})),
            wire::Status::malformed);
}

}  // namespace
}  // namespace morvane
