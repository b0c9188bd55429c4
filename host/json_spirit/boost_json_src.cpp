// Boost.JSON is used header-only; its out-of-line definitions are compiled
// here, once for the whole library.
#include <boost/json/src.hpp>
