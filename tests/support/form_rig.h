#pragma once
// A window under test: virtual timers, a scripted serial line and recorded message boxes.

#include "app/form1.h"
#include "app/tab_strip.h"
#include "platform/message_box.h"
#include "tests/support/scripted_serial.h"

#include <QAction>
#include <QMenu>
#include <QStringList>
#include <QToolButton>
#include <memory>

namespace tesvaron::test {

struct ShownBox
{
    QString title;
    QString text;
    MessageBoxSeam::Icon icon;
};

class RecordingMessageBox : public MessageBoxSeam
{
public:
    std::vector<ShownBox> shown;
    int beeps = 0;
    std::function<void()> whileOpen; // runs while the "modal" box is up

    void show(QWidget*, const QString& title, const QString& text, Icon icon) override
    {
        shown.push_back({title, text, icon});
        if (whileOpen) whileOpen();
    }
    void beep() override { ++beeps; }
};

struct FormRig
{
    VirtualClock clock;
    ScriptedSerial* serial = new ScriptedSerial(&clock);
    RecordingMessageBox* boxes = new RecordingMessageBox;
    std::unique_ptr<Form1> form;

    explicit FormRig(std::shared_ptr<OutputSeams> output = nullptr)
    {
        Form1Seams seams;
        seams.clock = &clock;
        seams.serial = serial;
        seams.messageBox.reset(boxes);
        seams.output = std::move(output);
        form = std::make_unique<Form1>(std::move(seams));
    }

    void advance(int ms) { clock.advance(std::chrono::milliseconds(ms)); }
};

// Columns 1..3 of a history row.
inline QStringList rowTexts(const Form1& f, int row)
{
    return {f.DataGrid->TextMatrix(row, 1), f.DataGrid->TextMatrix(row, 2),
            f.DataGrid->TextMatrix(row, 3)};
}

// Which commands are enabled, button then menu item for Read, Save, Clear, Print, Help and
// Close, then the tab strip: "11 11 11 11 11 11 1" when all are.
inline QString commands(const Form1& f)
{
    const bool on[] = {
        f.Button_read->isEnabled(),  f.menuread->isEnabled(),     f.Button_save->isEnabled(),
        f.menusave->isEnabled(),     f.Button_clear->isEnabled(), f.menuclear->isEnabled(),
        f.Button_print->isEnabled(), f.menuprint->isEnabled(),    f.Button_help->isEnabled(),
        isEnabled(f.menuhelp),       f.Button_close->isEnabled(), f.menuclose->isEnabled(),
        f.TabStrip1->isEnabled()};
    QString s;
    for (std::size_t i = 0; i < std::size(on); ++i)
        s += QLatin1String(i > 0 && i % 2 == 0 ? " " : "") + QLatin1Char(on[i] ? '1' : '0');
    return s;
}

} // namespace tesvaron::test
