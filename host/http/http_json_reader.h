#pragma once

#include "host/http/http_connection.h"
#include "host/json_spirit/value.h"

// Parses the reply body of `conn` as a JSON object into `result`.  False
// (logged) when there is no connection, the body is not JSON or not an
// object; `result` is then unchanged.
bool read(const HTTP_Connection_var& conn, json_spirit::Object& result);
