#pragma once
// The time of day for the status bar's clock panel, in the locale's own pattern where that
// renders cleanly.

#include <QLocale>
#include <QString>
#include <QTime>

namespace tesvaron {

// The time with seconds and without a time zone: the locale's long pattern, else its short
// pattern with seconds added, else "HH:mm:ss". A pattern is taken only if its text holds
// nothing but digits, separators and the locale's AM/PM text (CLDR fields Qt does not know,
// such as the day period "B", come out as stray letters).
QString clockText(const QTime& time, const QLocale& locale);

// A locale's time pattern without time zone or milliseconds, and with seconds after the minutes;
// empty when it has no minutes.
QString clockPattern(const QString& pattern);

} // namespace tesvaron
