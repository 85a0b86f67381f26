// How orvex prints numbers and tables, the same for every plug-in format.
#pragma once

#include "SignalMeter.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace cli {

// One number through a printf pattern.
inline std::string format(const char* pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof(text), pattern, value);
    return text;
}

// A level in dBFS with two decimals; "-inf" for silence.
inline std::string decibelText(double level)
{
    const double db = SignalMeter::toDecibels(level);
    return std::isinf(db) ? std::string("-inf") : format("%.2f", db);
}

// Text filled with spaces to a column's width.
inline std::string padded(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

} // namespace cli
