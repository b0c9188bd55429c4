#pragma once

// The host's JSON value library.
#include "host/json_spirit/filters.h"
#include "host/json_spirit/json_pointer.h"
#include "host/json_spirit/object_get.h"
#include "host/json_spirit/reader.h"
#include "host/json_spirit/value.h"
#include "host/json_spirit/writer.h"
