#include "api/instance_password.h"

#include <array>
#include <cstring>

#include <openssl/rand.h>

#include "host/support/secure_memset.h"
#include "support/log.h"

namespace qingcloud {
namespace {

constexpr char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr unsigned ALPHABET_SIZE = sizeof ALPHABET - 1;
// Bytes at or above this are dropped, so that every character is equally
// likely (256 is not a multiple of 62).
constexpr unsigned UNBIASED_LIMIT = 256 - 256 % ALPHABET_SIZE;
// A draw misses one of the three classes with a chance below 1 in 50; so
// many misses in a row mean the generator is broken.
constexpr int MAX_DRAWS = 64;

bool has_every_class(const secure_string& s) {
  bool upper = false, lower = false, digit = false;
  for (char c : s) {
    upper = upper || (c >= 'A' && c <= 'Z');
    lower = lower || (c >= 'a' && c <= 'z');
    digit = digit || (c >= '0' && c <= '9');
  }
  return upper && lower && digit;
}

// Wipes the random bytes however the draw ends.
struct Random_Block {
  std::array<unsigned char, 64> bytes;
  ~Random_Block() { secure_memset(bytes.data(), 0, bytes.size()); }
};

}  // namespace

bool generate_instance_password(secure_string& password) {
  password.clear();
  Random_Block block;
  for (int draw = 0; draw < MAX_DRAWS; ++draw) {
    password.clear();
    while (password.size() < INSTANCE_PASSWORD_LENGTH) {
      if (RAND_bytes(block.bytes.data(), static_cast<int>(block.bytes.size())) != 1) {
        password.clear();
        QC_LOG_ERROR("Failed to generate instance password.\n");
        return false;
      }
      for (unsigned char b : block.bytes) {
        if (b >= UNBIASED_LIMIT) continue;
        password.push_back(ALPHABET[b % ALPHABET_SIZE]);
        if (password.size() == INSTANCE_PASSWORD_LENGTH) break;
      }
    }
    if (has_every_class(password)) return true;
  }
  password.clear();
  QC_LOG_ERROR("Failed to generate instance password.\n");
  return false;
}

}  // namespace qingcloud
