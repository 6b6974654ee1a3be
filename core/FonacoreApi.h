// Export macro of the fonacore shared library: the library is built with
// hidden visibility and exports exactly the classes marked with FONACORE_API.
#pragma once

#if defined(FONACORE_BUILD)
#define FONACORE_API __attribute__((visibility("default")))
#else
#define FONACORE_API
#endif
