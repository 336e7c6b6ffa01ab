// Views and commands: switching tabs, starting the download, clearing, the about box, closing.

#include "app/form1.h"
#include "app/tab_strip.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
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
        applyCommands(Situation::RealtimeView);
        Progress_read->hide();
    } else {
        RealMode = false;
        Frame_realtime->hide();
        DataGrid->show();
        enable(Timer_real, true);
        applyCommands(Situation::HistoryView);
    }
}

void Form1::Button_read_Click()
{
    if (RealMode || !ComFound) return;
    // Disabling the focused button would hand the focus to Close, and a stray Space would end
    // the program mid-download.
    DataGrid->setFocus();
    applyCommands(Situation::Downloading);
    enable(Timer_real, false);
    enable(Timer_read, true);
    download_ = {.running = true, .totalPending = true};
    announce([this, at = QDateTime::currentDateTime()](MeasurementListener& l) {
        l.downloadStarted(portInfo(), at);
    });
}

// One table says what each situation offers; this puts it on the widgets.
void Form1::applyCommands(Situation situation)
{
    const CommandSet set = commandsFor(situation, RealMode, ComFound);
    const auto apply = [](Switch sw, QWidget* button, QAction* menuItem) {
        if (sw == Switch::Keep) return;
        if (button) enable(button, sw == Switch::On);
        if (menuItem) enable(menuItem, sw != Switch::Off);
    };
    apply(set.read, Button_read, menuread);
    apply(set.save, Button_save, menusave);
    apply(set.clear, Button_clear, menuclear);
    apply(set.print, Button_print, menuprint);
    apply(set.help, Button_help, menuhelp->menuAction());
    // The about item follows its menu, so that its shortcut is off with it.
    if (set.help != Switch::Keep) enable(menuabout, set.help == Switch::On);
    apply(set.tabs, TabStrip1, nullptr);
}

void Form1::Button_clear_Click()
{
    history_.clear();
    unsavedDownload_ = false;
    GridInit();
}

void Form1::Button_close_Click()
{
    if (!mayLeave()) return;
    if (MSComm1->PortOpen()) MSComm1->setPortOpen(false);
    endSession();
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
                         QStringLiteral("   如需帮助请联系我们!") + QChar(13) +
                         QStringLiteral("版本 ") + QStringLiteral(TESVARON_VERSION);
    messageBox_->show(this, QStringLiteral("欢迎使用我们公司产品"), text,
                      MessageBoxSeam::Icon::Information);
}

} // namespace tesvaron
