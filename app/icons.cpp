#include "app/icons.h"

#include <QPainter>
#include <QPixmap>
#include <functional>

namespace tesvaron::icons {

namespace {

using Draw = std::function<void(QPainter&, qreal)>; // s: the side in pixels

QPixmap paint(int side, const Draw& draw)
{
    QPixmap pm(side, side);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, side);
    return pm;
}

QIcon single(int side, const Draw& draw)
{
    return QIcon(paint(side, draw));
}

QIcon twoSizes(const Draw& draw)
{
    QIcon icon;
    icon.addPixmap(paint(32, draw));
    icon.addPixmap(paint(16, draw));
    return icon;
}

} // namespace

QIcon window()
{
    // The desktop entry's pictures, so that title bar, task bar and menu show one icon.
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64, 128}) {
        const QPixmap picture(QStringLiteral(":/tesvaron/%1x%1/apps/tesvaron.png").arg(side));
        if (!picture.isNull()) icon.addPixmap(picture);
    }
    return icon;
}

QIcon read()
{
    return single(32, [](QPainter& p, qreal s) {
        // An instrument with a download arrow.
        p.setPen(QPen(QColor(40, 40, 40), 1.5));
        p.setBrush(QColor(70, 130, 200));
        p.drawRoundedRect(QRectF(0.08 * s, 0.06 * s, 0.5 * s, 0.7 * s), 3, 3);
        p.setBrush(QColor(200, 240, 200));
        p.drawRect(QRectF(0.15 * s, 0.14 * s, 0.36 * s, 0.22 * s));
        p.setPen(QPen(QColor(20, 140, 40), 0.12 * s, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(0.76 * s, 0.3 * s), QPointF(0.76 * s, 0.86 * s));
        p.drawLine(QPointF(0.6 * s, 0.7 * s), QPointF(0.76 * s, 0.88 * s));
        p.drawLine(QPointF(0.92 * s, 0.7 * s), QPointF(0.76 * s, 0.88 * s));
    });
}

QIcon save()
{
    return twoSizes([](QPainter& p, qreal s) {
        // A floppy disk.
        p.setPen(QPen(QColor(30, 30, 60), qMax(1.0, s / 24)));
        p.setBrush(QColor(50, 80, 160));
        p.drawRect(QRectF(0.1 * s, 0.1 * s, 0.8 * s, 0.8 * s));
        p.setBrush(QColor(235, 235, 235));
        p.drawRect(QRectF(0.25 * s, 0.1 * s, 0.5 * s, 0.3 * s));
        p.setBrush(QColor(250, 250, 250));
        p.drawRect(QRectF(0.2 * s, 0.55 * s, 0.6 * s, 0.35 * s));
    });
}

QIcon clear()
{
    return twoSizes([](QPainter& p, qreal s) {
        // A sheet with a red cross.
        p.setPen(QPen(QColor(90, 90, 90), qMax(1.0, s / 24)));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(0.15 * s, 0.06 * s, 0.6 * s, 0.82 * s));
        p.setPen(QPen(QColor(210, 30, 30), 0.12 * s, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(0.45 * s, 0.45 * s), QPointF(0.9 * s, 0.9 * s));
        p.drawLine(QPointF(0.9 * s, 0.45 * s), QPointF(0.45 * s, 0.9 * s));
    });
}

QIcon print()
{
    return single(32, [](QPainter& p, qreal s) {
        p.setPen(QPen(QColor(40, 40, 40), 1.2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(0.25 * s, 0.05 * s, 0.5 * s, 0.35 * s));
        p.setBrush(QColor(150, 150, 160));
        p.drawRoundedRect(QRectF(0.06 * s, 0.35 * s, 0.88 * s, 0.38 * s), 3, 3);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(0.25 * s, 0.62 * s, 0.5 * s, 0.32 * s));
        p.setBrush(QColor(40, 200, 60));
        p.drawEllipse(QRectF(0.78 * s, 0.42 * s, 0.08 * s, 0.08 * s));
    });
}

QIcon help()
{
    return single(24, [](QPainter& p, qreal s) {
        p.setPen(QPen(QColor(20, 70, 160), 1.5));
        p.setBrush(QColor(60, 130, 220));
        p.drawEllipse(QRectF(1, 1, s - 2, s - 2));
        QFont f = p.font();
        f.setBold(true);
        f.setPixelSize(int(0.75 * s));
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(0, 0, s, s), Qt::AlignCenter, QStringLiteral("?"));
    });
}

QIcon close()
{
    return single(32, [](QPainter& p, qreal s) {
        // A door with an arrow leaving it.
        p.setPen(QPen(QColor(90, 50, 20), 1.5));
        p.setBrush(QColor(170, 110, 60));
        p.drawRect(QRectF(0.1 * s, 0.08 * s, 0.45 * s, 0.84 * s));
        p.setBrush(QColor(250, 220, 80));
        p.drawEllipse(QRectF(0.44 * s, 0.48 * s, 0.07 * s, 0.07 * s));
        p.setPen(QPen(QColor(200, 30, 30), 0.1 * s, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(0.6 * s, 0.5 * s), QPointF(0.94 * s, 0.5 * s));
        p.drawLine(QPointF(0.8 * s, 0.36 * s), QPointF(0.94 * s, 0.5 * s));
        p.drawLine(QPointF(0.8 * s, 0.64 * s), QPointF(0.94 * s, 0.5 * s));
    });
}

} // namespace tesvaron::icons
