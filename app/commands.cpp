// Views and commands: switching tabs, starting the download, clearing, the about box, closing.

#include "app/form1.h"
#include "app/tab_strip.h"

#include <QAction>
#include <QCoreApplication>
#include <QGroupBox>
#include <QMenu>
#include <QProgressBar>
#include <QToolButton>

namespace tesvaron {

void Form1::TabStrip1_Click()
{
    if (TabStrip1->SelectedItem() == 1) {
        RealMode = true;
        Frame_realtime->show();
        DataGrid->hide();
        enable(Timer_real, true);
        enable(Button_read, false);
        enable(menuread, false);
        enable(Button_save, true);
        enable(Button_clear, false);
        enable(Button_print, true);
        enable(Button_help, true);
        enable(menusave, true);
        enable(menuclear, false);
        enable(menuprint, true);
        enable(menuhelp, true);
        Progress_read->hide();
    } else {
        RealMode = false;
        Frame_realtime->hide();
        DataGrid->show();
        enable(Timer_real, true);
        if (ComFound) {
            enable(menuread, true);
            enable(Button_read, true);
        }
        enable(Button_save, true);
        enable(Button_clear, true);
        enable(Button_print, true);
        enable(Button_help, true);
        enable(menusave, true);
        enable(menuclear, true);
        enable(menuprint, true);
        enable(menuhelp, true);
    }
}

void Form1::Button_read_Click()
{
    if (RealMode || !ComFound) return;
    enable(Button_read, false);
    enable(Button_save, false);
    enable(Button_clear, false);
    enable(Button_print, false);
    enable(Button_help, false);
    enable(menusave, false);
    enable(menuread, false);
    enable(menuclear, false);
    enable(menuprint, false);
    enable(menuhelp, false);
    enable(TabStrip1, false);
    enable(Timer_real, false);
    enable(Timer_read, true);
}

void Form1::Button_clear_Click()
{
    GridInit();
}

void Form1::Button_close_Click()
{
    if (MSComm1->PortOpen()) MSComm1->setPortOpen(false);
    // Nothing may run after Close: no tick, no serial notification, no click.
    closing_ = true;
    for (PeriodicTimer* timer : {Timer_date, Timer_findcom, Timer_real, Timer_read, Timer_timeout})
        timer->setEnabled(false);
    MSComm1->blockSignals(true);
    enable(centralWidget(), false);
    hide();
    QCoreApplication::exit(0);
}

void Form1::Button_help_Click()
{
    const QString text = QStringLiteral("无线高压验电器数据上传软件(CN)") + QChar(13) +
                         QStringLiteral("   如需帮助请联系我们!") + QChar(13);
    messageBox_->show(this, QStringLiteral("欢迎使用我们公司产品"), text,
                      MessageBoxSeam::Icon::Information);
}

} // namespace tesvaron
