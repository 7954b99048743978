#include "app/open_request.h"

#include <QDataStream>
#include <QIODevice>
#include <QtEndian>

namespace morvane::open_request_wire {
namespace {

QDataStream& prepared(QDataStream& stream) {
  stream.setVersion(QDataStream::Qt_6_0);
  stream.setByteOrder(QDataStream::BigEndian);
  return stream;
}

void writeStrings(QDataStream& out, const QStringList& strings) {
  out << static_cast<quint32>(strings.size());
  for (const QString& s : strings) out << s;
}

// Reads a count and that many strings. The count is checked against the
// bytes left (each string takes at least its 4-byte size) before anything
// is reserved, so a hostile count costs nothing.
bool readStrings(QDataStream& in, qint64 payloadSize, QStringList* strings) {
  quint32 count = 0;
  in >> count;
  if (in.status() != QDataStream::Ok) return false;
  const qint64 left = payloadSize - in.device()->pos();
  if (static_cast<qint64>(count) > left / 4) return false;
  for (quint32 i = 0; i < count; ++i) {
    QString s;
    in >> s;
    if (in.status() != QDataStream::Ok) return false;
    strings->push_back(s);
  }
  return true;
}

}  // namespace

QByteArray encodeRequest(const OpenRequest& request) {
  QByteArray payload;
  QDataStream out(&payload, QIODevice::WriteOnly);
  prepared(out) << kMagic << kVersion;
  writeStrings(out, request.files);
  writeStrings(out, request.missing);
  QByteArray frame(kFrameHeader, '\0');
  qToBigEndian(static_cast<quint32>(payload.size()), frame.data());
  return frame + payload;
}

Frame takeFrame(const QByteArray& received) {
  if (received.size() < kFrameHeader) return {};
  const quint32 size = qFromBigEndian<quint32>(received.constData());
  if (size > kMaxPayload) return {Frame::State::invalid, {}};
  if (received.size() < kFrameHeader + static_cast<qint64>(size)) return {};
  return {Frame::State::complete, received.mid(kFrameHeader, size)};
}

std::optional<OpenRequest> decodeRequest(const QByteArray& payload, Status* status) {
  QDataStream in(payload);
  prepared(in);
  quint32 magic = 0;
  quint16 version = 0;
  in >> magic >> version;
  *status = Status::malformed;
  if (in.status() != QDataStream::Ok || magic != kMagic) return std::nullopt;
  if (version != kVersion) {
    *status = Status::unsupportedVersion;
    return std::nullopt;
  }
  OpenRequest request;
  if (!readStrings(in, payload.size(), &request.files) ||
      !readStrings(in, payload.size(), &request.missing) || !in.atEnd()) {
    return std::nullopt;
  }
  *status = Status::accepted;
  return request;
}

QByteArray encodeReply(Status status) {
  QByteArray reply;
  QDataStream out(&reply, QIODevice::WriteOnly);
  prepared(out) << kMagic << kVersion << static_cast<quint8>(status);
  return reply;
}

Status decodeReply(const QByteArray& reply) {
  if (reply.size() != kReplySize) return Status::malformed;
  QDataStream in(reply);
  prepared(in);
  quint32 magic = 0;
  quint16 version = 0;
  quint8 status = 0;
  in >> magic >> version >> status;
  if (in.status() != QDataStream::Ok || magic != kMagic ||
      status > static_cast<quint8>(Status::malformed)) {
    return Status::malformed;
  }
  return static_cast<Status>(status);
}

}  // namespace morvane::open_request_wire
