#include "app/clock_text.h"

#include <algorithm>
#include <vector>

namespace tesvaron {

namespace {

// One run of a QLocale time pattern: a field ("h", "mm", "AP", ...) or literal text.
struct Piece
{
    QString text;
    bool field;
};

// Letters Qt reads as fields of a time pattern, besides the AM/PM marker.
bool isFieldLetter(QChar c)
{
    return QStringView(u"hHmszt").contains(c);
}

std::vector<Piece> split(const QString& pattern)
{
    std::vector<Piece> pieces;
    auto literal = [&pieces](const QString& text) {
        if (!pieces.empty() && !pieces.back().field)
            pieces.back().text += text;
        else
            pieces.push_back({text, false});
    };
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern[i];
        if (c == QLatin1Char('\'')) {
            QString text;
            qsizetype j = i + 1;
            for (; j < pattern.size(); ++j) {
                if (pattern[j] != QLatin1Char('\'')) {
                    text += pattern[j];
                } else if (j + 1 < pattern.size() && pattern[j + 1] == QLatin1Char('\'')) {
                    text += QLatin1Char('\'');
                    ++j;
                } else {
                    break;
                }
            }
            literal(j == i + 1 ? QStringLiteral("'") : text); // '' alone is a quote
            i = j + 1;
        } else if (c == QLatin1Char('B')) {
            pieces.push_back({QStringLiteral("AP"), true}); // CLDR's day period, unknown to Qt
            ++i;
        } else if (c == QLatin1Char('a') || c == QLatin1Char('A')) {
            const bool pair =
                i + 1 < pattern.size() && pattern[i + 1].toLower() == QLatin1Char('p');
            pieces.push_back({pattern.mid(i, pair ? 2 : 1), true});
            i += pair ? 2 : 1;
        } else if (isFieldLetter(c)) {
            qsizetype j = i;
            while (j < pattern.size() && pattern[j] == c)
                ++j;
            pieces.push_back({pattern.mid(i, j - i), true});
            i = j;
        } else {
            literal(QString(c));
            ++i;
        }
    }
    return pieces;
}

bool isSeparator(QChar c)
{
    return c.isSpace() || c.isPunct();
}

bool isClean(QString text, const QLocale& locale)
{
    for (const QString& marker : {locale.amText(), locale.pmText()})
        if (!marker.isEmpty()) text.remove(marker, Qt::CaseInsensitive);
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c.isDigit() || isSeparator(c); });
}

} // namespace

// Brackets and separators left around what went are dropped too.
QString clockPattern(const QString& pattern)
{
    std::vector<Piece> kept;
    for (Piece& piece : split(pattern)) {
        const QChar kind = piece.text[0];
        if (piece.field && (kind == QLatin1Char('t') || kind == QLatin1Char('z'))) continue;
        if (!piece.field && !kept.empty() && !kept.back().field)
            kept.back().text += piece.text;
        else
            kept.push_back(piece);
    }
    for (Piece& piece : kept) {
        if (piece.field) continue;
        for (const char* empty : {"[]", "()", "[ ]", "( )"})
            piece.text.remove(QLatin1String(empty));
    }
    // Separators only make sense between fields.
    while (!kept.empty() && !kept.front().field) {
        QString& text = kept.front().text;
        while (!text.isEmpty() && isSeparator(text.front()))
            text.remove(0, 1);
        if (!text.isEmpty()) break;
        kept.erase(kept.begin());
    }
    while (!kept.empty() && !kept.back().field) {
        QString& text = kept.back().text;
        while (!text.isEmpty() && isSeparator(text.back()))
            text.chop(1);
        if (!text.isEmpty()) break;
        kept.pop_back();
    }

    auto has = [&kept](QChar kind) {
        return std::any_of(kept.begin(), kept.end(),
                           [kind](const Piece& p) { return p.field && p.text[0] == kind; });
    };
    if (!has(QLatin1Char('s'))) {
        for (size_t i = kept.size(); i-- > 0;) {
            if (!kept[i].field || kept[i].text[0] != QLatin1Char('m')) continue;
            // The separator the pattern puts before the minutes, else a colon.
            QString separator = QStringLiteral(":");
            if (i > 0 && !kept[i - 1].field && !kept[i - 1].text.isEmpty() &&
                std::all_of(kept[i - 1].text.begin(), kept[i - 1].text.end(), isSeparator))
                separator = kept[i - 1].text;
            kept.insert(kept.begin() + qsizetype(i) + 1,
                        {Piece{separator, false}, Piece{QStringLiteral("ss"), true}});
            break;
        }
    }

    if (!has(QLatin1Char('s'))) return {};
    QString out;
    for (const Piece& piece : kept) {
        if (piece.field)
            out += piece.text;
        else
            out += QLatin1Char('\'') +
                   QString(piece.text).replace(QLatin1Char('\''), QStringLiteral("''")) +
                   QLatin1Char('\'');
    }
    return out;
}

QString clockText(const QTime& time, const QLocale& locale)
{
    for (const QLocale::FormatType type : {QLocale::LongFormat, QLocale::ShortFormat}) {
        const QString pattern = clockPattern(locale.timeFormat(type));
        if (pattern.isEmpty()) continue;
        const QString text = locale.toString(time, pattern);
        if (!text.isEmpty() && isClean(text, locale)) return text;
    }
    return locale.toString(time, QStringLiteral("HH:mm:ss"));
}

} // namespace tesvaron
