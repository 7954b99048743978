// Plain reasons for every failure a user meets in a conversion. LibreOffice,
// the worker and the system report in their own terms ("Error Area:Io
// Class:General Code:13", "killed by signal 6", "Permission denied"); this
// is the one place that turns them into a sentence saying what stands in
// the way, looking at the document, the target and the text itself. The
// original text stays with the reason as its details (for error reports
// and the log).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "engine/failure_reason.h"
#include "platform/status.h"

namespace morvane {

// Whether `text` is in LibreOffice's own terms (its error codes, the names
// of its functions), not fit to be shown to a user as it is.
bool inOfficeTerms(const std::string& text);

// Why the document at `path` could not be opened: `failure` as the worker
// reported it. A failure already explained (one with details) is kept.
FailureReason explainLoadFailure(const std::string& path, const Status& failure);

// Why `target` could not be written: `failure` as the worker or the system
// reported it. `neededRoom`: about how many bytes the file would have
// taken (a disk with less room left counts as full). A failure already
// explained is kept.
FailureReason explainSaveFailure(const std::string& target, const Status& failure,
                                 std::uintmax_t neededRoom = 0);

// Why reading (`writing` false) or writing `path` failed, from the
// system's words for the error in `text` ("Permission denied", "No space
// left on device"); the text as it is when it names no error known here.
FailureReason explainFileError(const std::string& path, bool writing, const std::string& text);

// The document at `path` is of another kind than the application wants:
// LibreOffice read it as a `found` document ("text", "spreadsheet",
// "presentation", "drawing"), `application` opens `wanted` ones.
FailureReason wrongKindOfFile(const std::string& path, const std::string& found,
                              const std::string& application, const std::string& wanted);

// The file holds nothing at all (0 bytes).
FailureReason emptyFile();

// How the check of an iWork document ended the worker that read it. The
// check reads nothing but the document, so whatever ends it is the
// document's doing.
enum class CheckEnding { crashed, timedOut, tooLarge };

// The check of a document of `application` ended as `ending`; `limit` is
// the limit it passed ("120 s", or the memory cap in MB), `details` what
// the worker reported.
FailureReason checkEnded(const std::string& application, CheckEnding ending,
                         const std::string& limit, const std::string& details);

// What the check of a document of `application` found wrong, from the
// checker's own words (`problem`): the usual findings in fixed words, any
// other as a damaged document with the problem as its details.
FailureReason unreadableDocument(const std::string& application, const std::string& problem);

// The folder that `target` was to be written into was removed during the
// run (`replaced`: and another one made in its place).
FailureReason targetFolderGone(const std::string& target, bool replaced);

// The worker ended while it served a document: `exitStatus` as waitpid
// reports it, `lastMessage` its last line of output (may be empty).
FailureReason workerStopped(int exitStatus, const std::string& lastMessage);

// The worker was ended for growing past `capBytes` while serving a document.
FailureReason workerTooLarge(std::uint64_t capBytes);

// The worker gave no answer within `limit`, and was ended.
FailureReason workerTooSlow(std::chrono::milliseconds limit);

// A readable text for a time limit: "120 s", "1500 ms".
std::string formatTimeLimit(std::chrono::milliseconds limit);

// Whether the file is an encrypted Office document (an OLE container with
// an EncryptionInfo stream) or an iWork document with a password.
bool isPasswordProtected(const std::string& path);

}  // namespace morvane
