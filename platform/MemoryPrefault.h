// Taking the page faults of a large fresh array ahead of writing it: the
// system then maps all of its pages in one call instead of stopping the
// writer at every page, which costs a great deal more on some machines.
#pragma once

#include <cstddef>

#include "FonacoreApi.h"

namespace platform {

// Maps writable pages for the whole pages inside `bytes` bytes from `begin`
// (the partial pages at either end fault as usual). Nothing is written and
// the contents stay as they are; where the system cannot do this the call
// does nothing, and the pages fault when they are first written.
FONACORE_API void PrefaultForWriting(void* begin, size_t bytes);

}  // namespace platform
