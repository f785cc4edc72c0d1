// Whether this build runs under AddressSanitizer (and so LeakSanitizer):
// QUARN_ASAN is 1 there and 0 elsewhere.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define QUARN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUARN_ASAN 1
#endif
#endif
#ifndef QUARN_ASAN
#define QUARN_ASAN 0
#endif
