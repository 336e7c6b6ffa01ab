// Reply decoding: locating and checking the frame, acting on its kind, paging the download.

#include "app/form1.h"
#include "app/tab_strip.h"
#include "link/request_frame.h"
#include "replies/measure_format.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QToolButton>
#include <algorithm>

namespace tesvaron {

namespace {

constexpr std::uint8_t ReplyHistoryBlock = 0x01;
constexpr std::uint8_t ReplyRecordCount = 0x02;
constexpr std::uint8_t ReplyProbe = 0x05;
constexpr std::uint8_t ReplyRealtime = 0x06;
constexpr std::uint8_t ReplyRefused = 0xF1;
constexpr int RecordsPerBlock = 10;
// The table has 99 record rows; a larger total would page past them.
constexpr int MaxRecords = 99;

std::int16_t blockCount(int rest)
{
    return std::int16_t(rest > RecordsPerBlock ? RecordsPerBlock : rest);
}

} // namespace

// Read disables the commands until the download ends; the paging itself runs while the
// progress bar is up, which is also the case for a total that came unasked while polling.
bool Form1::downloadRunning() const
{
    return !TabStrip1->isEnabled() || !Progress_read->isHidden();
}

void Form1::DataDecode()
{
    const ReplyCheck check = locateReply(RxBuf, RxCount, RxFrame);
    if (check == ReplyCheck::NoFrame) return;
    if (check == ReplyCheck::BadChecksum) {
        LinkState = 3;
        return;
    }
    LinkState = 2;
    const std::uint8_t length = RxFrame[0];

    switch (RxFrame[1]) {
    case ReplyHistoryBlock: {
        enable(Timer_timeout, false);
        ++RecBlock;
        HistoryShow(std::uint8_t((RecBlock - 1) * RecordsPerBlock),
                    std::uint8_t(historyRecordCount(length)));
        if (RecBlock * RecordsPerBlock < RecTotal) {
            Progress_read->setValue(Progress_read->value() + RecordsPerBlock);
            const int rest = RecTotal - RecBlock * RecordsPerBlock;
            ComOpen(ComNo);
            CmdSend(KindHistoryBlock, std::int16_t(RecBlock * RecordsPerBlock), blockCount(rest));
        } else {
            Progress_read->setValue(RecTotal);
            Progress_read->hide();
            restoreCommands();
            RecBlock = 0;
            Progress_read->hide();
            enable(Timer_real, true);
        }
        break;
    }
    case ReplyRecordCount:
        enable(Timer_timeout, false);
        RecTotal = std::int16_t(std::min<int>(RxFrame[2], MaxRecords));
        // A total starts the paging afresh: a download that a poll cut short (polling runs
        // during a download once a poll's timeout has given the commands back) leaves its
        // block count behind, and the new blocks would land that many rows down.
        RecBlock = 0;
        if (RecTotal == 0) {
            restoreCommands();
            RecBlock = 0;
            Progress_read->hide();
            messageBox_->show(this, QString::fromLatin1(ProgramName),
                              QStringLiteral("设备的测量历史记录组数为0！"),
                              MessageBoxSeam::Icon::None);
            if (!closing_) enable(Timer_real, true);
            return;
        }
        Progress_read->setMaximum(RecTotal);
        Progress_read->setMinimum(0);
        Progress_read->setValue(0);
        Progress_read->show();
        ComOpen(ComNo);
        CmdSend(KindHistoryBlock, 1, blockCount(RecTotal));
        break;
    case ReplyProbe:
        enable(Timer_timeout, false);
        if (RxFrame[2] == 0x55 && RxFrame[3] == 0xAA) {
            ComFound = true;
            Lab_rtsta->setText(QStringLiteral("通讯成功"));
        }
        break;
    case ReplyRealtime:
        enable(Timer_timeout, false);
        RealtimeShow();
        break;
    case ReplyRefused:
        enable(Timer_timeout, false);
        LinkState = 2;
        break;
    default:
        break;
    }
    // A reply that stops the reply timer without asking for more (a refusal, or a poll's
    // answer to a block request) would leave a download waiting for nothing, with every
    // command disabled: end it as the timeout would.
    if (downloadRunning() && !Timer_timeout->Enabled() && !Timer_read->Enabled()) endDownload();
}

void Form1::restoreCommands()
{
    enable(Button_read, !RealMode);
    enable(menuread, !RealMode);
    enable(Button_save, true);
    enable(Button_clear, true);
    enable(Button_print, true);
    enable(Button_help, true);
    enable(menusave, true);
    enable(menuclear, true);
    enable(menuprint, true);
    enable(menuhelp, true);
    enable(TabStrip1, true);
}

void Form1::RealtimeShow()
{
    enable(Timer_timeout, false);
    VoltText.clear();
    const std::uint16_t rawVolt = std::uint16_t(RxFrame[2] << 8 | RxFrame[3]);
    // The current is payload byte 2 alone; byte 1 is the voltage's low byte.
    const MeasureTexts texts = realtimeTexts(rawVolt, RxFrame[4], RxFrame[5]);
    if (texts.ground == OverRangeText) {
        Lab_value_lg->setText(OverRangeText);
        Lab_value_ll->setText(OverRangeText);
        Lab_value_a->setText(OverRangeText);
        return;
    }
    VoltUnit = QStringLiteral("kV");
    VoltText = texts.ground.chopped(VoltUnit.size());
    Lab_value_lg->setText(VoltText + VoltUnit);
    VoltText = texts.line.chopped(VoltUnit.size());
    Lab_value_ll->setText(VoltText + VoltUnit);
    CurrText = texts.current.chopped(1);
    Lab_value_a->setText(CurrText + QStringLiteral("A"));
}

void Form1::HistoryShow(std::uint8_t rowOffset, std::uint8_t count)
{
    for (int i = 0; i < count; ++i) {
        const int row = rowOffset + i + 1;
        if (row > MaxRecords) break;
        const std::uint8_t* record = RxFrame.data() + 2 + 5 * i;
        if (6 + 5 * i >= ReplyFrameSize) break;
        const MeasureTexts texts =
            historyTexts(std::uint16_t(record[0] << 8 | record[1]),
                         std::uint16_t(record[2] << 8 | record[3]), record[4]);
        DataGrid->setTextMatrix(row, 1, texts.ground);
        DataGrid->setTextMatrix(row, 2, texts.line);
        DataGrid->setTextMatrix(row, 3, texts.current);
    }
}

} // namespace tesvaron
