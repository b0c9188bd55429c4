#pragma once

#include <string>

// TLS settings of an HTTP session.  The peer's certificate and host name are
// always verified; what may change is only which certificate authorities are
// trusted.  A session made without a context uses the host-wide default: the
// CA file set by the embedding program, else the system's trust store.
class HTTP_TLS_Context {
 public:
  // Trust the certificate authorities in the PEM file `ca_file` (empty: the
  // system's trust store).
  explicit HTTP_TLS_Context(std::string ca_file = std::string());

  const std::string& ca_file() const noexcept { return ca_file_; }

  // The host-wide CA file for sessions made without a context; empty means
  // the system's trust store.  Sessions take it when they are made.
  // Thread-safe.
  static void set_default_ca_file(std::string ca_file);
  static std::string default_ca_file();

 private:
  std::string ca_file_;
};
