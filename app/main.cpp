#include "app/form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tesvaron"));
    tesvaron::Form1 window;
    window.show();
    return QApplication::exec();
}
