#include "host/http/http_json_reader.h"

#include <string>

#include <ace/Log_Msg.h>

#include "host/json_spirit/reader.h"

bool read(const HTTP_Connection_var& conn, json_spirit::Object& result) {
  if (!conn) {
    ACE_ERROR((LM_EMERGENCY,
               "Unexpected error in %N:%l, "
               "conn is NULL"
               ":\n%?\n"));
    return false;
  }
  json_spirit::Value value;
  std::string error;
  if (!json_spirit::read(conn->body(), value, &error)) {
    ACE_ERROR((LM_ERROR,
               "%N:%l: "
               "Invalid JSON reply from '%s': %s.\n",
               conn->url().c_str(), error.c_str()));
    return false;
  }
  if (value.type() != json_spirit::obj_type) {
    ACE_ERROR((LM_ERROR,
               "%N:%l: "
               "JSON reply from '%s' is not an object.\n",
               conn->url().c_str()));
    return false;
  }
  result = std::move(value.get_obj());
  return true;
}
