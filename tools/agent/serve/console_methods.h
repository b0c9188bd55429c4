#pragma once

#include "tools/agent/agent_home.h"
#include "tools/agent/agent_host.h"

// The host's own JSON-RPC methods for its console, beside the plug-in's:
//   "host.environments.list"    the kept environments: uuid, hosts, port,
//                               TLS flag, version, access key id; never the
//                               secret, not even encrypted
//   "host.environments.add"     the settings with the secret in plain text,
//                               encrypted for the host key at once; TLS on
//                               port 443 unless "ssl" is false (then port
//                               80) or "port" is given; an optional "name";
//                               kept only when the login test passes, unless
//                               "test" is false; answers {"uuid"} (and
//                               "same_as": the uuid of a kept environment
//                               with the same hosts, port, TLS and key id),
//                               or -32603 with the cause when the test fails
//   "host.environments.remove"  {"uuid"}; answers {"removed": true}
//   "host.environments.test"    {"uuid"}: the plug-in's login test of the
//                               kept settings; answers what it answers
// `home` must outlive `host`.
void add_console_methods(Agent_Host& host, Agent_Home& home);
