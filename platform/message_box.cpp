#include "platform/message_box.h"

#include <QApplication>
#include <QMessageBox>

namespace tesvaron {

QString displayLines(const QString& text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (out.endsWith(QLatin1Char('\n')))
        out.chop(1);
    return out;
}

void QtMessageBox::show(QWidget* parent, const QString& title, const QString& text, Icon icon)
{
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    if (icon == Icon::Information) qicon = QMessageBox::Information;
    if (icon == Icon::Exclamation) qicon = QMessageBox::Warning;
    QMessageBox box(qicon, title, displayLines(text), QMessageBox::Ok, parent);
    box.exec();
}

bool QtMessageBox::ask(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Question, title, displayLines(text),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void QtMessageBox::beep()
{
    QApplication::beep();
}

} // namespace tesvaron
