#pragma once

#include <string>

#include "host/support/secure_string.h"

// Asks for a secret on the terminal `fd` (standard input): `question` on
// standard error, then one line read with echo off into `secret` (wiped
// storage).  The terminal gets its echo back when the line is read, and also
// when a signal ends the program meanwhile.  False, with the problem in
// `error`, when `fd` is no terminal or nothing was typed.
bool ask_secret(int fd, const char* question, secure_string& secret, std::string& error);
