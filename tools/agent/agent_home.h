#pragma once

#include <functional>
#include <map>
#include <string>

#include "host/json_spirit/value.h"
#include "host/support/secure_string.h"

// The demo host's home folder: its RSA key pair (host_key.pem, generated on
// first use), the environments it knows (environments.json: uuid to the
// JSON form of the connection settings, the secret encrypted for the host
// key, exactly as the host hands them to the plug-in) and the host-wide
// settings (config.json: "proxy", which may carry credentials).
//
// Several processes may share the folder (a running `serve` and commands
// from a shell): every read takes the store as it is now, and every change
// is made under an exclusive lock of the folder (agent.lock) on the store
// read afresh, so that no process undoes another's change.  The folder must
// belong to this user and be closed to writes of others; the key and the
// store must be this user's regular files, closed to group and others.
// After `open`, safe to use from several threads.
class Agent_Home {
 public:
  using Getenv = std::function<const char*(const char*)>;
  using Environments = std::map<std::string, json_spirit::Object>;

  // The store is read whole, up to this size: a change that would make it
  // larger is refused, so that it always stays readable.
  static constexpr std::size_t MAX_STORE_FILE = 16 * 1024 * 1024;

  // `max_store` below MAX_STORE_FILE is for tests.
  explicit Agent_Home(std::size_t max_store = MAX_STORE_FILE) : max_store_(max_store) {}

  // The folder to use: `option` when given, else $QINGCLOUD_AGENT_HOME, else
  // ~/.qingcloud-agent.
  static std::string choose(const std::string& option, const Getenv& getenv);

  // Creates the folder (mode 0700) and loads or generates the key pair (mode
  // 0600); puts the private key into the host's key store; checks that the
  // store can be read.
  bool open(const std::string& dir, std::string& error);

  const std::string& dir() const { return dir_; }

  // The settings kept under each uuid.
  bool environments(Environments& out, std::string& error) const;
  // The settings of `uuid`; false when there are none, or when the store
  // cannot be read (which is logged).
  bool environment(const std::string& uuid, json_spirit::Object& settings) const;

  // Encrypts `plain` for the host key (base64 text).
  bool encrypt(const secure_string& plain, std::string& cipher, std::string& error) const;

  // Changes the store and writes it at once (atomically); a store that would
  // grow past its limit is left as it was.
  bool put(const std::string& uuid, json_spirit::Object settings, std::string& error);
  bool remove(const std::string& uuid, std::string& error);

  // A host-wide setting, empty when unset; kept in wiped storage, since the
  // proxy's address may carry a password.
  bool setting(const std::string& name, secure_string& value, std::string& error) const;
  // Sets it (an empty value removes it), under the folder's lock.
  bool set_setting(const std::string& name, const secure_string& value, std::string& error);

 private:
  bool load_key(std::string& error);
  bool make_key(const std::string& path, std::string& error);
  bool read_store(Environments& out, std::string& error) const;
  bool read_json(const char* file, json_spirit::Object& out, std::string& error) const;
  bool write_json(const char* file, const json_spirit::Object& all, std::string& error);
  // Runs `edit` on the store read under the folder's lock, and writes what
  // it leaves when it returns true.
  bool change(const std::function<bool(Environments&, std::string&)>& edit, std::string& error);

  std::size_t max_store_;
  std::string dir_;
  secure_string key_;
};

// A fresh random uuid (version 4) for a new environment.
std::string new_uuid();
