// Marks what the shared library exports: the public API and nothing else.
#pragma once

#if defined(_WIN32)
#define NML_API
#else
#define NML_API __attribute__((visibility("default")))
#endif
