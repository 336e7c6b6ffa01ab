#pragma once
// Measurement texts: voltages in kV, line-voltage classes and currents in A.
// All arithmetic is done in single precision, each intermediate stored as a float.

#include <QString>
#include <cstdint>

namespace tesvaron {

// Fixed-point text with `decimals` decimals (0, 1 or 2), rounded half away from zero,
// at least one digit before the point. Rounding works on the shortest decimal text that reads
// back as the same float (12.5f -> "13", 0.05f -> "0.05", 9.95f with 1 decimal -> "10.0",
// 1.005f with 2 -> "1.01"), not on the float's exact binary value. A zero result has no sign.
QString formatFixed(float value, int decimals);

// "0.0" below 10 kV, "0" from 10 kV up; no unit.
QString voltageNumber(float kv);

// Nominal class of a line voltage x (strict bounds); x <= 0 is returned unchanged.
float lineVoltageClass(float x);

// Current text without unit: code 1 tenths, code 2 hundredths, else whole units.
QString currentNumber(std::uint16_t raw, std::uint8_t code);

// The three texts of one measurement, as shown and as saved.
struct MeasureTexts
{
    QString ground;  // e.g. "12kV", "9.9kV", or "NO--"
    QString line;    // e.g. "35kV"
    QString current; // e.g. "12.3A"
};

inline constexpr float OverRangeKv = 600.0f;
inline const QString OverRangeText = QStringLiteral("NO--");

// Realtime panel texts: line voltage is g * 1.73 * 1.732; from 600 kV all three read "NO--".
MeasureTexts realtimeTexts(std::uint16_t rawVolt, std::uint16_t rawCurrent, std::uint8_t code);

// History row texts: line voltage is g * 1.732 * 1.732; no over-range rule.
MeasureTexts historyTexts(std::uint16_t rawVolt, std::uint16_t rawCurrent, std::uint8_t code);

} // namespace tesvaron
