#pragma once

#include <signal.h>
#include <sys/resource.h>

// While it lives, every write of this process to a file fails (as on a full disk, and for
// root too): a rewrite then cannot fill its temporary file.
class BlockedRewrite {
 public:
  BlockedRewrite() {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit none = saved_;
    none.rlim_cur = 0;
    ::setrlimit(RLIMIT_FSIZE, &none);
  }
  ~BlockedRewrite() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::signal(SIGXFSZ, previousHandler_);
  }
  BlockedRewrite(const BlockedRewrite&) = delete;
  BlockedRewrite& operator=(const BlockedRewrite&) = delete;

 private:
  rlimit saved_{};
  sighandler_t previousHandler_ = nullptr;
};
