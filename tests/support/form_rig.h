#pragma once
// A window under test: virtual timers, a scripted serial line and recorded message boxes.

#include "app/form1.h"
#include "platform/message_box.h"
#include "tests/support/scripted_serial.h"

#include <QStringList>
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

} // namespace tesvaron::test
