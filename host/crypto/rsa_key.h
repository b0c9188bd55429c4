#pragma once

#include <cstddef>
#include <string>

#include "host/support/secure_string.h"

// Key pairs for the host's stored secrets (see RSA_Encoder and RSA_Decoder).

// The default size of a host key, in bits.
constexpr unsigned HOST_RSA_KEY_BITS = 3072;

// Generates an RSA private key of `bits` bits (2048 at least) and writes it
// as unencrypted PEM into `pem`.  False, with `pem` unchanged, on failure.
bool generate_rsa_private_key(unsigned bits, secure_string& pem) noexcept;

// The PEM text of the public key that belongs to the RSA private key `pem`.
bool rsa_public_key_pem(const char* private_pem, std::size_t length, std::string& out) noexcept;
