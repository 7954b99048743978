// OpenRequest: the files one start of `morvane FILE…` asks to open, and
// the message that carries it from a second process to the running one.
// Both ends speak this small framed format over a local socket; a reader
// never trusts what it is sent (sizes are checked before anything is
// allocated).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace morvane {

struct OpenRequest {
  // Existing files and folders: absolute paths, or file URLs as given.
  QStringList files;
  // Absolute paths the user named that do not exist; shown in a warning.
  QStringList missing;

  bool operator==(const OpenRequest&) const = default;
};

// The message format. A request is one frame: a 32-bit big-endian size of
// the rest, then a QDataStream (Qt 6.0 encoding) holding the magic, the
// version, the count and strings of `files`, the count and strings of
// `missing`. The answer is the magic, the version and one status byte.
namespace open_request_wire {

constexpr quint32 kMagic = 0x4d52564e;  // "MRVN"
constexpr quint16 kVersion = 1;
// Command lines are at most a few megabytes (ARG_MAX); twice that in UTF-16.
constexpr quint32 kMaxPayload = 8 * 1024 * 1024;
constexpr int kFrameHeader = 4;
constexpr int kReplySize = 7;

enum class Status : quint8 { accepted = 0, unsupportedVersion = 1, malformed = 2 };

// The whole frame for `request`, size header included.
QByteArray encodeRequest(const OpenRequest& request);

// What a reader makes of the bytes it has so far.
struct Frame {
  enum class State { incomplete, complete, invalid } state = State::incomplete;
  QByteArray payload;  // when complete
};
// Looks at the start of `received`: incomplete until the whole frame is
// there, invalid when the size header exceeds kMaxPayload.
Frame takeFrame(const QByteArray& received);

// Decodes a frame's payload; `status` says why when it fails.
std::optional<OpenRequest> decodeRequest(const QByteArray& payload, Status* status);

QByteArray encodeReply(Status status);
// The status in a reply of kReplySize bytes; malformed when it is none.
Status decodeReply(const QByteArray& reply);

}  // namespace open_request_wire
}  // namespace morvane
