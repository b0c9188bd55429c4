#pragma once

#include <mutex>

#include "host/support/secure_string.h"

// The host agent's process-wide state that plug-ins may read.
class Host_Manager {
 public:
  static Host_Manager* instance();

  // The host's RSA private key (PEM), empty until the embedding program sets
  // it.  Returned as a copy in wiped storage.  Thread-safe.
  secure_string rsa_prvkey() const;
  void rsa_prvkey(secure_string pem);

 private:
  Host_Manager() = default;

  mutable std::mutex mutex_;
  secure_string rsa_prvkey_;
};
