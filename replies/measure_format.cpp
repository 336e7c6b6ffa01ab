#include "replies/measure_format.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace tesvaron {

namespace {

// Forces a product through a 32-bit store so excess precision or contraction cannot leak in.
float stored(float value)
{
    volatile float s = value;
    return s;
}

// Adds one to a string of decimal digits.
void incrementDigits(std::string& digits)
{
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    digits.insert(digits.begin(), '1');
}

MeasureTexts measureTexts(float ground, float line, std::uint16_t rawCurrent, std::uint8_t code)
{
    if (line > 0.0f) line = lineVoltageClass(line);
    return {voltageNumber(ground) + QStringLiteral("kV"),
            voltageNumber(line) + QStringLiteral("kV"),
            currentNumber(rawCurrent, code) + QStringLiteral("A")};
}

} // namespace

// Rounds the shortest decimal text that reads back as the same float, not the float's exact
// binary value: 0.05f has the exact value 0.0500000007..., 1.005f 1.00499999523..., and people
// expect the digits they see. Half goes away from zero; a result of zero carries no sign.
QString formatFixed(float value, int decimals)
{
    if (decimals < 0) decimals = 0;
    if (!std::isfinite(value))
        return std::isnan(value) ? QStringLiteral("nan")
                                 : (value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf"));

    char buf[32];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific);
    if (res.ec != std::errc()) return QString();
    const std::string text(buf, res.ptr);

    // text is "d[.ddd]e±XX": value = digits * 10^(exponent - (digits.size() - 1)).
    const auto e = text.find('e');
    std::string digits;
    for (std::size_t k = 0; k < e; ++k)
        if (text[k] != '.') digits += text[k];
    const int exponent = std::stoi(text.substr(e + 1));
    const int shift = exponent - static_cast<int>(digits.size() - 1) + decimals;

    // Scale to an integer count of the last shown decimal place.
    std::string scaled;
    if (shift >= 0) {
        scaled = digits + std::string(static_cast<std::size_t>(shift), '0');
    } else {
        const int keep = static_cast<int>(digits.size()) + shift;
        if (keep < 0) {
            scaled = "0";
        } else {
            const bool roundUp = digits[static_cast<std::size_t>(keep)] >= '5';
            scaled =
                keep == 0 ? std::string("0") : digits.substr(0, static_cast<std::size_t>(keep));
            if (roundUp) incrementDigits(scaled);
        }
    }

    const auto nonZero = scaled.find_first_not_of('0');
    if (nonZero == std::string::npos)
        scaled = "0";
    else
        scaled.erase(0, nonZero);
    const bool negative = value < 0 && nonZero != std::string::npos;

    const auto width = static_cast<std::size_t>(decimals) + 1;
    if (scaled.size() < width) scaled.insert(0, width - scaled.size(), '0');
    if (decimals > 0) scaled.insert(scaled.size() - static_cast<std::size_t>(decimals), 1, '.');
    if (negative) scaled.insert(0, 1, '-');
    return QString::fromLatin1(scaled.data(), static_cast<qsizetype>(scaled.size()));
}

QString voltageNumber(float kv)
{
    return kv < 10.0f ? formatFixed(kv, 1) : formatFixed(kv, 0);
}

float lineVoltageClass(float x)
{
    if (!(x > 0.0f)) return x;
    if (x < 3.5f) return 0.3f;
    if (x < 8.0f) return 6.6f;
    if (x < 27.0f) return 10.0f;
    if (x < 55.0f) return 35.0f;
    if (x < 98.0f) return 66.0f;
    if (x < 185.0f) return 110.0f;
    return 220.0f;
}

QString currentNumber(std::uint16_t raw, std::uint8_t code)
{
    const float value = static_cast<float>(raw);
    switch (code) {
    case 1:
        return formatFixed(stored(value / 10.0f), 1);
    case 2:
        return formatFixed(stored(value / 100.0f), 2);
    default:
        return formatFixed(value, 0);
    }
}

MeasureTexts realtimeTexts(std::uint16_t rawVolt, std::uint16_t rawCurrent, std::uint8_t code)
{
    const float ground = stored(static_cast<float>(rawVolt) / 10.0f);
    if (ground >= OverRangeKv) return {OverRangeText, OverRangeText, OverRangeText};
    const float partial = stored(ground * 1.73f);
    const float line = stored(partial * 1.732f);
    return measureTexts(ground, line, rawCurrent, code);
}

MeasureTexts historyTexts(std::uint16_t rawVolt, std::uint16_t rawCurrent, std::uint8_t code)
{
    const float ground = stored(static_cast<float>(rawVolt) / 10.0f);
    const float partial = stored(ground * 1.732f);
    const float line = stored(partial * 1.732f);
    return measureTexts(ground, line, rawCurrent, code);
}

} // namespace tesvaron
