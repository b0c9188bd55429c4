#pragma once

// The system's templates for reading and building JSON.
#include "json/extract.h"
#include "json/insert.h"
#include "json/pextract.h"
