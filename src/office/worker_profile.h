// The LibreOffice profile a worker starts on: a copy of a prepared template
// when there is one (the template is made once per machine, under a lock,
// by a LibreOffice of its own), with the workers' settings put into
// whatever became of the template.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/env.h"
#include "platform/status.h"

namespace morvane {

// Sets up a fresh profile: LibreOffice started on `profile` (its own files
// in the folder `scratch`), opening and closing `document`, then shut down
// properly, which leaves a profile that starts at once. *office gets
// LibreOffice's version ("7.4.7.2"), "" when it did not tell it. Fails
// when any step does.
using ProfileSetUp =
    std::function<Status(const std::string& profile, const std::string& document,
                         const std::string& scratch, std::string* office)>;

class WorkerProfile {
 public:
  // `templatePath`: the prepared profile to copy (OfficeConfig's
  // profileTemplate), "" for none. `stop` tells that the worker was
  // aborted: waits and copies then give up. The wait for a template that
  // another worker builds is polled on `clock`.
  WorkerProfile(Env& env, std::string templatePath, StopRequested stop,
                Clock& clock = systemClock())
      : env_(env), clock_(clock), template_(std::move(templatePath)), stop_(std::move(stop)) {}

  // Makes the profile at `profile`: a copy of the template, made first by
  // `setUp` when it is missing (LibreOffice starts afresh when it cannot
  // be made or copied), with the workers' settings in any case. After an
  // abort it may leave the profile without them: the launch gives up.
  void prepare(const std::string& profile, const ProfileSetUp& setUp);

 private:
  void makeTemplateOnce(const ProfileSetUp& setUp);
  void makeTemplate(const ProfileSetUp& setUp);
  // Builds the template in `staging`, and puts it in place.
  void buildTemplate(const std::string& staging, const ProfileSetUp& setUp);
  // Waits for the lock on the file beside the template: ok once *lock is
  // held, or is one that excludes nobody (the file system keeps no locks:
  // the template is then built unlocked). Fails when the lock file cannot
  // be opened, or when the worker is aborted meanwhile.
  Status lockTemplate(std::unique_ptr<FileLock>* lock);
  bool templateComplete() const;

  Env& env_;
  Clock& clock_;
  std::string template_;
  StopRequested stop_;
};

}  // namespace morvane
