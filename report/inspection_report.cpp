#include "report/inspection_report.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QRawFont>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QSettings>
#include <QTimeZone>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#ifndef TESVARON_VERSION
#define TESVARON_VERSION "0"
#endif

namespace tesvaron {

namespace {

const std::array<ReportFieldInfo, 13> FieldTable{{
    {"unit", "单位/班组", &ReportFields::unit, false},
    {"line", "线路名称", &ReportFields::lineName, true},
    {"line-number", "线路编号", &ReportFields::lineNumber, false},
    {"tower", "杆塔号", &ReportFields::tower, false},
    {"phase", "相别", &ReportFields::phase, false},
    {"operator", "检测人", &ReportFields::operatorName, true},
    {"checker", "校核人", &ReportFields::checker, false},
    {"instrument", "仪器编号", &ReportFields::instrument, false},
    {"date", "检测日期", &ReportFields::date, false},
    {"weather", "天气", &ReportFields::weather, false},
    {"temperature", "温度 (°C)", &ReportFields::temperature, false},
    {"humidity", "湿度 (%)", &ReportFields::humidity, false},
    {"conclusion", "结论", &ReportFields::conclusion, false},
}};

// Page geometry in millimetres (A4 portrait).
constexpr qreal PageWidth = 210, MarginX = 18, Top = 15, ContentBottom = 276, FooterTop = 281;
constexpr qreal ContentWidth = PageWidth - 2 * MarginX;
constexpr qreal FieldRow = 7, InfoLine = 5.5, ChartHeight = 68, HeaderRow = 6.5, RecordRow = 4.2;
constexpr std::array<qreal, 4> ColumnWidths{22, 38, 38, 38};
constexpr int Dpi = 300;

const char* const ColumnTitles[] = {"NO.", "对地电压 (kV)", "线电压 (kV)", "电流 (A)"};

QFont reportFont(qreal points, bool bold = false, bool cjkFirst = false)
{
    QFont font;
    // Latin and digits from a Latin face: a CJK face reaches some of its digits only through
    // glyph substitution, and the PDF then has no text for them.
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Arial"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Microsoft YaHei"),
                      QStringLiteral("SimSun")});
    if (cjkFirst) font.setFamilies(font.families().mid(2) + font.families().mid(0, 2));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QString programLine()
{
    return QStringLiteral("tesvaron " TESVARON_VERSION);
}

// 1, 2 or 5 times a power of ten, at least v.
qreal niceCeiling(qreal v)
{
    if (v <= 0) return 1;
    const qreal base = std::pow(10.0, std::floor(std::log10(v)));
    for (qreal step : {1.0, 2.0, 5.0, 10.0})
        if (v <= step * base * 1.0000001) return step * base;
    return 10 * base;
}

QString trimmedNumber(qreal v)
{
    return QString::number(v, 'g', 6);
}

// Draws in millimetres on a page of the writer.
class Sheet
{
public:
    explicit Sheet(QPdfWriter& writer) : painter(&writer) {}
    QPainter painter;
    QString drawn; // every text drawn, to put the right characters back into the PDF's text

    static qreal px(qreal mm) { return mm * Dpi / 25.4; }
    static QRectF rect(qreal x, qreal y, qreal w, qreal h)
    {
        return QRectF(px(x), px(y), px(w), px(h));
    }
    void text(const QRectF& mmRect, int flags, const QString& s, const QFont& font)
    {
        painter.setFont(font);
        painter.drawText(rect(mmRect.x(), mmRect.y(), mmRect.width(), mmRect.height()), flags, s);
        drawn += s;
    }
    // A text cell with a hairline border, padded on both sides.
    void cell(qreal x, qreal y, qreal w, qreal h, int align, const QString& s, const QFont& font,
              bool shaded = false)
    {
        const QRectF r = rect(x, y, w, h);
        if (shaded) painter.fillRect(r, QColor(236, 239, 243));
        painter.setPen(QPen(Qt::black, px(0.2)));
        painter.drawRect(r);
        text(QRectF(x + 1.5, y, w - 3, h), align | Qt::AlignVCenter, s, font);
    }
};

struct Layout
{
    qreal tableTop = 0; // on the first page
    int firstPageRows = 0;
    int laterPageRows = 0;
    int pages = 1;
};

qreal fieldsHeight()
{
    return FieldRow * qreal((FieldTable.size() + 1) / 2);
}

Layout layoutFor(const InspectionReport& r)
{
    Layout l;
    qreal y = Top + 12 + fieldsHeight() + 3 + 2 * InfoLine + 3;
    if (!r.samples.isEmpty()) y += ChartHeight + 4;
    l.tableTop = y;
    l.firstPageRows = std::max(0, int((ContentBottom - y - HeaderRow) / RecordRow));
    l.laterPageRows = int((ContentBottom - Top - HeaderRow) / RecordRow);
    const int rest = std::max<qsizetype>(0, r.rows.size() - l.firstPageRows);
    l.pages = 1 + (rest + l.laterPageRows - 1) / l.laterPageRows;
    return l;
}

void drawFields(Sheet& s, const ReportFields& f, qreal y)
{
    const QFont font = reportFont(9.5);
    constexpr qreal Caption = 26, Value = ContentWidth / 2 - Caption;
    for (std::size_t i = 0; i < FieldTable.size(); ++i) {
        const qreal x = MarginX + qreal(i % 2) * (Caption + Value);
        const qreal rowY = y + FieldRow * qreal(i / 2);
        const bool last = i + 1 == FieldTable.size() && i % 2 == 0;
        s.cell(x, rowY, Caption, FieldRow, Qt::AlignLeft, QString::fromUtf8(FieldTable[i].caption),
               font, true);
        s.cell(x + Caption, rowY, last ? ContentWidth - Caption : Value, FieldRow, Qt::AlignLeft,
               f.*(FieldTable[i].member), font);
    }
}

QStringList sourceLines(const InspectionReport& r)
{
    const QString span =
        timeWithOffset(r.started) +
        (r.ended.isValid() ? QStringLiteral(" 至 ") + timeWithOffset(r.ended) : QString());
    QString port = r.port.port;
    if (!r.port.device.isEmpty()) port += QStringLiteral(" (%1)").arg(r.port.device);
    if (r.fromDownload) {
        QString state = r.complete ? QStringLiteral("完整")
                                   : QStringLiteral("中断，收到 %1 条").arg(r.rows.size());
        if (r.reported >= 0) state = QStringLiteral("仪器报告 %1 条，").arg(r.reported) + state;
        return {QStringLiteral("下载时间：") + span, QStringLiteral("端口：%1　　记录：%2 条（%3）")
                                                         .arg(port)
                                                         .arg(r.rows.size())
                                                         .arg(state)};
    }
    float maxGround = 0, maxCurrent = 0;
    int over = 0;
    for (const TrendSample& t : r.samples) {
        if (t.overRange) {
            ++over;
            continue;
        }
        maxGround = std::max(maxGround, t.groundKv);
        maxCurrent = std::max(maxCurrent, t.currentA);
    }
    return {
        QStringLiteral("实时测量：") + span,
        QStringLiteral("端口：%1　　读数：%2 个，超量程 %3 个；对地电压最高 %4 kV，电流最高 %5 A")
            .arg(port)
            .arg(r.samples.size())
            .arg(over)
            .arg(trimmedNumber(maxGround), trimmedNumber(maxCurrent))};
}

// In the offset the measurements were taken at, as the rest of the report.
QString axisTime(qint64 ms, qint64 span, int offsetSeconds)
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone(offsetSeconds));
    if (span > 24 * 3600 * 1000LL) return t.toString(QStringLiteral("MM-dd HH:mm"));
    return t.toString(span < 10 * 60 * 1000 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
}

void drawChart(Sheet& s, const QList<TrendSample>& samples, qreal top, int offsetSeconds)
{
    QPainter& p = s.painter;
    const QFont small = reportFont(7.5);
    const QRectF plot = Sheet::rect(MarginX + 14, top + 7, ContentWidth - 28, ChartHeight - 14);
    const qint64 from = samples.front().ms;
    const qint64 to = std::max(samples.back().ms + 1, from + 60 * 1000);
    const ReducedTrend t = reduceTrend(samples, from, to, int(plot.width() / 2));
    const qreal groundTop = niceCeiling(std::max(1.0f, t.maxGround) * 1.05);
    const qreal currentTop = niceCeiling(std::max(1.0f, t.maxCurrent) * 1.05);
    const QColor groundColor(31, 94, 170), currentColor(214, 110, 20), overColor(200, 30, 30);

    const auto xOf = [&](qreal ms) {
        return plot.left() + (ms - qreal(from)) / qreal(to - from) * plot.width();
    };
    p.setPen(QPen(QColor(200, 200, 200), Sheet::px(0.15)));
    for (int i = 0; i <= 4; ++i) {
        const qreal y = plot.bottom() - plot.height() * i / 4;
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(groundColor);
        p.setFont(small);
        p.drawText(
            QRectF(plot.left() - Sheet::px(13), y - Sheet::px(2), Sheet::px(12), Sheet::px(4)),
            Qt::AlignRight | Qt::AlignVCenter, trimmedNumber(groundTop * i / 4));
        p.setPen(currentColor);
        p.drawText(
            QRectF(plot.right() + Sheet::px(1), y - Sheet::px(2), Sheet::px(12), Sheet::px(4)),
            Qt::AlignLeft | Qt::AlignVCenter, trimmedNumber(currentTop * i / 4));
        p.setPen(QPen(QColor(200, 200, 200), Sheet::px(0.15)));
    }
    p.setPen(Qt::black);
    for (int i = 0; i <= 4; ++i) {
        const qint64 ms = from + (to - from) * i / 4;
        const qreal x = xOf(qreal(ms));
        p.drawText(
            QRectF(x - Sheet::px(15), plot.bottom() + Sheet::px(1), Sheet::px(30), Sheet::px(4)),
            Qt::AlignCenter, axisTime(ms, to - from, offsetSeconds));
    }
    p.setPen(QPen(Qt::black, Sheet::px(0.25)));
    p.drawRect(plot);

    const auto drawRuns = [&](const TrendRuns& runs, qreal yTop, const QColor& color) {
        p.setPen(QPen(color, Sheet::px(0.35)));
        for (const QList<QPointF>& run : runs) {
            QPolygonF line;
            line.reserve(run.size());
            for (const QPointF& pt : run)
                line.append(QPointF(xOf(pt.x()), plot.bottom() - pt.y() / yTop * plot.height()));
            if (line.size() == 1)
                p.drawPoint(line.front());
            else
                p.drawPolyline(line);
        }
    };
    p.save();
    p.setClipRect(plot);
    drawRuns(t.ground, groundTop, groundColor);
    drawRuns(t.current, currentTop, currentColor);
    p.setPen(Qt::NoPen);
    p.setBrush(overColor);
    for (qreal ms : t.overRange) {
        const qreal x = xOf(ms), h = Sheet::px(1.8);
        p.drawPolygon(
            QPolygonF{{x, plot.top()}, {x - h / 2, plot.top() + h}, {x + h / 2, plot.top() + h}}
                .translated(0, 0));
    }
    p.restore();

    // Legend above the plot.
    const QList<std::pair<QString, QColor>> legend{{QStringLiteral("对地电压 (kV)"), groundColor},
                                                   {QStringLiteral("电流 (A)"), currentColor},
                                                   {QStringLiteral("▲ 超量程"), overColor}};
    qreal x = plot.left();
    p.setFont(small);
    for (const auto& [name, color] : legend) {
        p.fillRect(QRectF(x, plot.top() - Sheet::px(4.2), Sheet::px(5), Sheet::px(1.2)), color);
        p.setPen(color);
        const QRectF r(x + Sheet::px(6), plot.top() - Sheet::px(6), Sheet::px(40), Sheet::px(5));
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, name);
        s.drawn += name;
        x += Sheet::px(8) + QFontMetricsF(small, p.device()).horizontalAdvance(name);
    }
}

void drawTableHeader(Sheet& s, qreal y, qreal x0)
{
    const QFont bold = reportFont(8.5, true);
    qreal x = x0;
    for (std::size_t c = 0; c < ColumnWidths.size(); ++c) {
        s.cell(x, y, ColumnWidths[c], HeaderRow, Qt::AlignCenter,
               QString::fromUtf8(ColumnTitles[c]), bold, true);
        x += ColumnWidths[c];
    }
}

void drawRow(Sheet& s, qreal y, qreal x0, const HistoryRow& row)
{
    static const QFont font = reportFont(8.5);
    const QString texts[] = {QString::number(row.no), numberPart(row.value.texts.ground),
                             numberPart(row.value.texts.line), numberPart(row.value.texts.current)};
    qreal x = x0;
    for (std::size_t c = 0; c < ColumnWidths.size(); ++c) {
        s.cell(x, y, ColumnWidths[c], RecordRow, Qt::AlignRight, texts[c], font);
        x += ColumnWidths[c];
    }
}

void drawFooter(Sheet& s, int page, int pages)
{
    const QFont font = reportFont(9);
    s.painter.setPen(QPen(Qt::black, Sheet::px(0.2)));
    s.painter.drawLine(QPointF(Sheet::px(MarginX), Sheet::px(FooterTop)),
                       QPointF(Sheet::px(PageWidth - MarginX), Sheet::px(FooterTop)));
    const QRectF band(MarginX, FooterTop + 1, ContentWidth, 5);
    s.text(band, Qt::AlignLeft | Qt::AlignVCenter, programLine(), font);
    // "第 n 页 共 m 页" word by word: the gaps of plain spaces between ideographs and digits are
    // too narrow for text extraction to keep them.
    const QStringList words = QStringLiteral("第 %1 页 共 %2 页").arg(page).arg(pages).split(u' ');
    const QFontMetricsF metrics(font, s.painter.device());
    const qreal gap = metrics.height() * 0.4;
    qreal width = -gap;
    for (const QString& w : words)
        width += metrics.horizontalAdvance(w) + gap;
    qreal x = Sheet::px(PageWidth / 2) - width / 2;
    for (const QString& w : words) {
        s.painter.setFont(font);
        s.painter.drawText(QRectF(x, Sheet::px(band.y()), width, Sheet::px(band.height())),
                           Qt::AlignLeft | Qt::AlignVCenter, w);
        s.drawn += w;
        x += metrics.horizontalAdvance(w) + gap;
    }
}

// Returns every text drawn.
QString drawPages(QPdfWriter& writer, const InspectionReport& r)
{
    const Layout l = layoutFor(r);
    Sheet s(writer);
    s.painter.setRenderHint(QPainter::Antialiasing);

    qreal y = Top;
    s.text(QRectF(MarginX, y, ContentWidth, 10), Qt::AlignCenter, QString::fromUtf8(ReportTitle),
           reportFont(18, true));
    y += 12;
    drawFields(s, r.fields, y);
    y += fieldsHeight() + 3;
    for (const QString& line : sourceLines(r)) {
        s.text(QRectF(MarginX, y, ContentWidth, InfoLine), Qt::AlignLeft | Qt::AlignVCenter, line,
               reportFont(9));
        y += InfoLine;
    }
    y += 3;
    if (!r.samples.isEmpty()) drawChart(s, r.samples, y, r.started.offsetFromUtc());

    const qreal tableX = MarginX + (ContentWidth - 136) / 2;
    qsizetype next = 0;
    for (int page = 1; page <= l.pages; ++page) {
        if (page > 1) writer.newPage();
        const qreal top = page == 1 ? l.tableTop : Top;
        const int capacity = page == 1 ? l.firstPageRows : l.laterPageRows;
        if (r.fromDownload || !r.rows.isEmpty()) {
            drawTableHeader(s, top, tableX);
            for (int i = 0; i < capacity && next < r.rows.size(); ++i, ++next)
                drawRow(s, top + HeaderRow + RecordRow * i, tableX, r.rows[next]);
        }
        drawFooter(s, page, l.pages);
    }
    return s.drawn;
}

QByteArray pdfTextString(const QString& s)
{
    QByteArray hex = "<FEFF";
    for (QChar c : s)
        hex += QByteArray::number(c.unicode() | 0x10000, 16).mid(1).toUpper();
    return hex + ">";
}

QByteArray pdfDate(const QDateTime& at)
{
    const int offset = at.offsetFromUtc() / 60;
    return "(D:" + at.toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1() +
           (offset < 0 ? "-" : "+") +
           QStringLiteral("%1'%2')")
               .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
               .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'))
               .toLatin1();
}

// CJK faces share one glyph between an ideograph and its radical (人 and ⼈), and the PDF's text
// map names the lower code, the radical: 人 would be extracted, searched and copied as ⼈. Maps
// each radical back to the character that was drawn with the same glyph.
QHash<char16_t, char16_t> radicalsDrawn(const QString& drawn)
{
    // Likewise a face's space glyph is also its tab's, and extractors drop a tab between words.
    QHash<char16_t, char16_t> map{{u'\t', u' '}};
    for (bool bold : {false, true}) {
        QFont cjk;
        cjk.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Microsoft YaHei"),
                         QStringLiteral("SimSun")});
        cjk.setBold(bold);
        const QRawFont raw = QRawFont::fromFont(cjk);
        QHash<quint32, char16_t> byGlyph;
        for (QChar c : drawn)
            if (c.unicode() >= 0x3400)
                byGlyph.insert(raw.glyphIndexesForString(c).value(0), c.unicode());
        for (char16_t radical = 0x2E80; radical < 0x2FE0; ++radical) {
            const quint32 glyph = raw.glyphIndexesForString(QString(QChar(radical))).value(0);
            if (glyph != 0 && byGlyph.contains(glyph)) map.insert(radical, byGlyph.value(glyph));
        }
    }
    return map;
}

// The text maps (uncompressed, as QPdfWriter writes them) with the radicals replaced; each as
// object number and new object body.
QList<std::pair<QByteArray, QByteArray>> fixedTextMaps(const QByteArray& pdf, const QString& drawn)
{
    QList<std::pair<QByteArray, QByteArray>> fixed;
    const QHash<char16_t, char16_t> radicals = radicalsDrawn(drawn);
    static const QRegularExpression ref(QStringLiteral("/ToUnicode (\\d+) 0 R"));
    static const QRegularExpression code(QStringLiteral("<([0-9A-F]{4})>"));
    const QString text = QString::fromLatin1(pdf);
    QSet<QString> seen;
    for (const QRegularExpressionMatch& m : ref.globalMatch(text)) {
        const QString object = m.captured(1);
        if (seen.contains(object)) continue;
        seen.insert(object);
        const QString head = QStringLiteral("\n%1 0 obj\n<< /Length ").arg(object);
        const qsizetype at = text.indexOf(head);
        if (at < 0) continue;
        const qsizetype lengthAt = at + head.size();
        const qsizetype close = text.indexOf(QStringLiteral(" >>\nstream\n"), lengthAt);
        bool ok = false;
        const int length = text.mid(lengthAt, close - lengthAt).toInt(&ok);
        if (close < 0 || !ok) continue;
        QString cmap = text.mid(close + 11, length);
        // Only destinations change: in "<from> <to> [<u> ...]" the codes after the bracket.
        QString out;
        for (const QString& line : cmap.split(u'\n')) {
            const qsizetype bracket = line.indexOf(u'[');
            if (bracket < 0) {
                out += line + u'\n';
                continue;
            }
            QString tail = line.mid(bracket);
            qsizetype pos = 0;
            QRegularExpressionMatch c;
            while ((c = code.match(tail, pos)).hasMatch()) {
                const char16_t u = char16_t(c.captured(1).toUInt(nullptr, 16));
                if (radicals.contains(u))
                    tail.replace(c.capturedStart(1), 4,
                                 QStringLiteral("%1")
                                     .arg(uint(radicals.value(u)), 4, 16, QLatin1Char('0'))
                                     .toUpper());
                pos = c.capturedEnd();
            }
            out += line.left(bracket) + tail + u'\n';
        }
        out.chop(1);
        if (out == cmap) continue;
        fixed.append({object.toLatin1(), "<< /Length " + QByteArray::number(out.size()) +
                                             " >>\nstream\n" + out.toLatin1() + "\nendstream"});
    }
    return fixed;
}

// Appends an incremental update: the given objects anew, and a document-information dictionary
// with the author, which QPdfWriter cannot set.
bool appendUpdate(QByteArray& pdf, const QList<std::pair<QByteArray, QByteArray>>& objects,
                  const QString& title, const QString& author, const QDateTime& created)
{
    const qsizetype start = pdf.lastIndexOf("startxref");
    const qsizetype trailer = pdf.lastIndexOf("trailer");
    if (start < 0 || trailer < 0 || trailer > start) return false;
    const QString tail = QString::fromLatin1(pdf.mid(trailer, start - trailer));
    static const QRegularExpression size(QStringLiteral("/Size\\s+(\\d+)"));
    static const QRegularExpression root(QStringLiteral("/Root\\s+(\\d+\\s+\\d+\\s+R)"));
    static const QRegularExpression prev(QStringLiteral("startxref\\s+(\\d+)"));
    const auto sizeMatch = size.match(tail);
    const auto rootMatch = root.match(tail);
    const auto prevMatch = prev.match(QString::fromLatin1(pdf.mid(start)));
    if (!sizeMatch.hasMatch() || !rootMatch.hasMatch() || !prevMatch.hasMatch()) return false;
    const QByteArray info = sizeMatch.captured(1).toLatin1();

    QList<std::pair<QByteArray, QByteArray>> all = objects;
    all.append({info, "<<\n/Title " + pdfTextString(title) + "\n/Author " + pdfTextString(author) +
                          "\n/Creator " + pdfTextString(programLine()) +
                          "\n/Producer (Qt " QT_VERSION_STR ")\n/CreationDate " + pdfDate(created) +
                          "\n>>"});
    if (!pdf.endsWith('\n')) pdf += '\n';
    QByteArray xref = "xref\n";
    for (const auto& [number, body] : all) {
        xref += number + " 1\n" + QByteArray::number(pdf.size()).rightJustified(10, '0') +
                " 00000 n \n";
        pdf += number + " 0 obj\n" + body + "\nendobj\n";
    }
    const qsizetype xrefAt = pdf.size();
    pdf += xref + "trailer\n<< /Size " + QByteArray::number(info.toInt() + 1) + " /Root " +
           rootMatch.captured(1).toLatin1() + " /Info " + info + " 0 R /Prev " +
           prevMatch.captured(1).toLatin1() + " >>\nstartxref\n" + QByteArray::number(xrefAt) +
           "\n%%EOF\n";
    return true;
}

QString reportTitle(const InspectionReport& r)
{
    return QString::fromUtf8(ReportTitle) +
           (r.fields.lineName.isEmpty() ? QString() : QStringLiteral(" ") + r.fields.lineName);
}

} // namespace

std::span<const ReportFieldInfo> reportFieldTable()
{
    return FieldTable;
}

QStringList missingReportFields(const ReportFields& fields)
{
    QStringList missing;
    for (const ReportFieldInfo& f : FieldTable)
        if (f.required && (fields.*(f.member)).trimmed().isEmpty())
            missing << QString::fromUtf8(f.caption);
    return missing;
}

ReportFields loadReportFields(QSettings& settings)
{
    ReportFields fields;
    settings.beginGroup(QStringLiteral("report"));
    for (const ReportFieldInfo& f : FieldTable)
        fields.*(f.member) = settings.value(QString::fromLatin1(f.key)).toString();
    settings.endGroup();
    return fields;
}

void saveReportFields(QSettings& settings, const ReportFields& fields)
{
    settings.beginGroup(QStringLiteral("report"));
    for (const ReportFieldInfo& f : FieldTable)
        settings.setValue(QString::fromLatin1(f.key), fields.*(f.member));
    settings.endGroup();
}

QString timeWithOffset(const QDateTime& at)
{
    if (!at.isValid()) return QString();
    const QDateTime local = at.toOffsetFromUtc(at.offsetFromUtc());
    const int offset = local.offsetFromUtc() / 60;
    return local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + (offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2")
               .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
               .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'));
}

QString numberPart(const QString& shown)
{
    for (const char* unit : {"kV", "A"})
        if (shown.endsWith(QLatin1String(unit))) return shown.chopped(qsizetype(strlen(unit)));
    return shown;
}

QByteArray inspectionReportPdf(const InspectionReport& report)
{
    QByteArray pdf;
    QString drawn;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(Dpi);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setTitle(reportTitle(report));
        writer.setCreator(programLine());
        drawn = drawPages(writer, report);
    }
    appendUpdate(pdf, fixedTextMaps(pdf, drawn), reportTitle(report), report.fields.operatorName,
                 QDateTime::currentDateTime());
    return pdf;
}

QString renderInspectionReport(const InspectionReport& report, const QString& path)
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return QStringLiteral("报告需要图形环境（QGuiApplication）");
    const QByteArray pdf = inspectionReportPdf(report);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size() || !file.commit())
        return file.errorString();
    return QString();
}

} // namespace tesvaron
