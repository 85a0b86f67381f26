#include "vst/HostStrings.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace hoststr {

void copy(char* dst, const char* src, std::int32_t maxLen)
{
    if (!dst)
        return;
    if (maxLen < 0)
        maxLen = 0;
    std::int32_t i = 0;
    if (src) {
        for (; i < maxLen && src[i]; ++i)
            dst[i] = src[i];
    }
    dst[i] = 0;
}

void int2string(std::int32_t value, char* text, std::int32_t maxLen)
{
    if (value >= 100000000) {
        copy(text, "Huge!", maxLen);
        return;
    }
    char out[16];
    int n = 0;
    // Widened so that the most negative value negates safely; a magnitude that needs a
    // tenth digit cannot be written digit by digit below, so it is huge as well.
    std::int64_t v = value;
    if (v < 0) {
        out[n++] = '-';
        v = -v;
        if (v >= 1000000000) {
            copy(text, "Huge!", maxLen);
            return;
        }
    }
    bool started = false;
    for (std::int64_t div = 100000000; div >= 1; div /= 10) {
        const int digit = static_cast<int>(v / div);
        if (started || digit > 0) {
            out[n++] = static_cast<char>('0' + digit);
            started = true;
        }
        v %= div;
    }
    out[n] = 0;
    copy(text, out, maxLen);
}

void float2string(float value, char* text, std::int32_t maxLen)
{
    const double v = value;
    if (std::isnan(v) || v > 99999999.0 || v < -9999999.0) {
        copy(text, "Huge!", maxLen);
        return;
    }
    // As many decimals as fit in eight characters.
    const double mag = std::fabs(v);
    int intDigits = 1;
    for (double p = 10.0; mag >= p && intDigits < 8; p *= 10.0)
        ++intDigits;
    const int sign = v < 0 ? 1 : 0;
    int decimals = 8 - sign - intDigits - 1; // room left after the point
    if (decimals < 0)
        decimals = 0;
    char out[32];
    if (decimals == 0)
        std::snprintf(out, sizeof out, "%.0f", v);
    else
        std::snprintf(out, sizeof out, "%.*f", decimals, v);
    out[8] = 0;
    copy(text, out, maxLen);
}

} // namespace hoststr
