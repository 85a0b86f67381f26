// Text helpers for host buffers: bounded copies that always terminate, and the number
// formatting of the effect base. Every writer here writes at most maxLen characters plus a
// terminator, so a buffer of maxLen + 1 bytes is never overrun.
#pragma once

#include <cstdint>

namespace hoststr {

// Copies at most maxLen characters of src and terminates (dst must hold maxLen + 1 bytes).
void copy(char* dst, const char* src, std::int32_t maxLen);

// Decimal digits without leading zeros (0 gives no digit at all), "-" for negatives,
// "Huge!" for values of 100000000 and more.
void int2string(std::int32_t value, char* text, std::int32_t maxLen);

// Fixed-point text of at most 8 characters, "Huge!" when it cannot fit.
void float2string(float value, char* text, std::int32_t maxLen);

} // namespace hoststr
