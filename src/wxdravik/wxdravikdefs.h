// Export macro of the wxDravik shared library.
#pragma once

#if defined(WXDRAVIK_BUILDING)
#define WXDRAVIK_API __attribute__((visibility("default")))
#else
#define WXDRAVIK_API
#endif
