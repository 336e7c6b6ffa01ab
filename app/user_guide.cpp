#include "app/user_guide.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace tesvaron {

void showUserGuide(QWidget* parent)
{
    static const QString Name = QStringLiteral("UserGuide");
    if (auto* open = parent->findChild<QDialog*>(Name)) {
        open->raise();
        open->activateWindow();
        return;
    }
    auto* dialog = new QDialog(parent);
    dialog->setObjectName(Name);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("使用说明"));

    auto* text = new QTextBrowser(dialog);
    text->setObjectName(QStringLiteral("UserGuideText"));
    text->setOpenExternalLinks(true);
    text->setSource(QUrl(QStringLiteral("qrc:/guide/user_guide.html")));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("关闭"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);

    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);

    // As tall as the screen allows, up to what the text needs.
    const QScreen* screen = parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    const QSize room = screen ? screen->availableGeometry().size() * 9 / 10 : QSize(640, 720);
    dialog->resize(std::min(640, room.width()), std::min(720, room.height()));
    dialog->show();
}

} // namespace tesvaron
