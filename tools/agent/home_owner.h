#pragma once

#include <string>

// A command that root runs on a home folder that belongs to another user
// (the service's) takes that user's identity first, groups included, so
// that what it writes stays readable by the service and the home folder's
// checks hold.  Nothing happens for any other user, or for a folder that is
// root's or does not exist yet.  Call it before any thread starts.  False,
// with the reason in `error`, when the switch fails.
bool act_as_home_owner(const std::string& dir, std::string& error);
