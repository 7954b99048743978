// Clang's thread-safety attributes, so that a compiler checks what a lock
// guards and which functions must hold it (build with clang and
// -Wthread-safety). Under GCC every macro compiles to nothing. Mutex and
// MutexLock are std::mutex and a scoped lock that carry the attributes,
// since libstdc++'s own mutex carries none.
#pragma once

#include <condition_variable>
#include <mutex>

#if defined(__clang__)
#define MORVANE_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define MORVANE_THREAD_ATTRIBUTE(x)
#endif

#define CAPABILITY(x) MORVANE_THREAD_ATTRIBUTE(capability(x))
#define SCOPED_CAPABILITY MORVANE_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(x) MORVANE_THREAD_ATTRIBUTE(guarded_by(x))
#define PT_GUARDED_BY(x) MORVANE_THREAD_ATTRIBUTE(pt_guarded_by(x))
#define REQUIRES(...) MORVANE_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) MORVANE_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) MORVANE_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) MORVANE_THREAD_ATTRIBUTE(try_acquire_capability(__VA_ARGS__))
#define EXCLUDES(...) MORVANE_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define NO_THREAD_SAFETY_ANALYSIS MORVANE_THREAD_ATTRIBUTE(no_thread_safety_analysis)

namespace morvane {

// A std::mutex the analysis knows as a lock.
class CAPABILITY("mutex") Mutex {
 public:
  void lock() ACQUIRE() { mutex_.lock(); }
  void unlock() RELEASE() { mutex_.unlock(); }
  bool try_lock() TRY_ACQUIRE(true) { return mutex_.try_lock(); }

 private:
  std::mutex mutex_;
};

// Holds a Mutex for the scope it lives in. wait() releases it while
// waiting on a condition, as std::condition_variable_any does with any lock.
class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
  ~MutexLock() RELEASE() { mutex_.unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  template <typename Predicate>
  void wait(std::condition_variable_any& condition, Predicate done) {
    condition.wait(mutex_, done);
  }
  template <typename Duration, typename Predicate>
  bool waitFor(std::condition_variable_any& condition, Duration limit, Predicate done) {
    return condition.wait_for(mutex_, limit, done);
  }

 private:
  Mutex& mutex_;
};

}  // namespace morvane
