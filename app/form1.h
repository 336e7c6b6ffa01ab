#pragma once
// The program's only window: its widgets, the link state, the download and the history it
// draws, and every handler (form1.cpp start-up, commands.cpp views and commands,
// form1_link.cpp port and ticks, form1_replies.cpp replies, form1_output.cpp saving and
// printing). Widgets only show the state; readings and downloads go out to listeners.

#include "app/command_states.h"
#include "link/link_logic.h"
#include "platform/comm_control.h"
#include "platform/flex_grid.h"
#include "platform/message_box.h"
#include "platform/periodic_timer.h"
#include "replies/history_model.h"
#include "replies/measurements.h"
#include "replies/reply_frame.h"

#include <QMainWindow>
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QProgressBar;
class QScrollArea;
class QStatusBar;
class QToolButton;

namespace tesvaron {

class TabStrip;
namespace archive {
class Store;
}
class OutputSeams;
class ArchiveWindows;

// What the window uses of the platform; a default-constructed set means the real things.
struct Form1Seams
{
    VirtualClock* clock = nullptr;              // null: real timers
    SerialBackend* serial = nullptr;            // taken over; null: the system's ports
    std::unique_ptr<MessageBoxSeam> messageBox; // null: Qt message boxes
    std::shared_ptr<OutputSeams> output;        // null: Qt dialogs, printer, clipboard
};

// A history download as data; the progress bar and the commands only show it.
struct DownloadProgress
{
    bool running = false;      // from Read (or a total that came unasked) until the end
    bool totalPending = false; // Read was pressed; the record-count request is still to go out
    int reported = -1;         // the instrument's own total; -1 until it came
    int rowsRead = 0;          // record rows written by this download
    int progress = 0;          // 0..RecTotal, as the progress bar shows it
};

class Form1 : public QMainWindow
{
    Q_OBJECT
public:
    explicit Form1(Form1Seams seams = {}, QWidget* parent = nullptr);
    ~Form1() override;

    // --- link state ---
    std::int16_t ComNo = 1;
    bool ComFound = false;
    std::uint8_t RxNeed = 0;
    bool RealMode = true;
    LinkCode LinkState = LinkCode::None;
    QByteArray RxBuf;
    int RxCount = 0; // all bytes of a notification, also beyond 255
    ReplyFrameBytes RxFrame{};
    std::int16_t RecTotal = 0;
    std::uint8_t RecBlock = 0;
    QString VoltText;
    QString VoltUnit;
    QString CurrText;

    // --- widgets ---
    TabStrip* TabStrip1;
    QGroupBox* Frame_realtime;
    QLabel* Lab_testpro;
    QLabel* Lab_value_lg;
    QLabel* Label2;
    QLabel* Lab_value_ll;
    QLabel* Label1;
    QLabel* Lab_value_a;
    FlexGrid* DataGrid;
    QProgressBar* Progress_read;
    QToolButton* Button_read;
    QToolButton* Button_save;
    QToolButton* Button_clear;
    QToolButton* Button_print;
    QToolButton* Button_help;
    QToolButton* Button_close;
    QLabel* LabComsta;
    QLabel* Lab_rtsta;
    // Shown while a whole port search found nothing and the user was refused a port.
    QLabel* Lab_permission;
    QStatusBar* StatusBar1;
    QLabel* StatusPanels[3];
    CommControl* MSComm1;
    PeriodicTimer* Timer_date;
    PeriodicTimer* Timer_findcom;
    PeriodicTimer* Timer_real;
    PeriodicTimer* Timer_read;
    PeriodicTimer* Timer_timeout;
    // Ends a notice in the middle status panel.
    PeriodicTimer* Timer_notice;
    // Holds the fixed layout; scrolls it on a screen too small for it.
    QScrollArea* Scroll_client;

    QMenu* menufile;
    QAction* menuread;
    QAction* menusave;
    QAction* menuarchive; // 档案…: the archive window
    QAction* menutrend;   // 趋势…: the trend window
    QAction* menuclose;
    QMenu* menuoprate;
    QAction* menuclear;
    QAction* menuprint;
    QMenu* menuhelp;
    QAction* menuabout;
    QAction* menuguide; // the user guide

    // The archive and trend windows (app/archive_windows.h).
    ArchiveWindows* Archive;

    // --- start-up (app/form1.cpp) ---
    void Form_Load();
    void Timer_date_Timer();
    void GridInit();

    // --- views and commands (app/commands.cpp) ---
    void TabStrip1_Click();
    void Button_read_Click();
    void Button_clear_Click();
    void Button_close_Click();
    void Button_help_Click();
    void menuread_Click() { Button_read_Click(); }
    void menusave_Click() { Button_save_Click(); }
    void menuclose_Click() { Button_close_Click(); }
    void menuclear_Click() { Button_clear_Click(); }
    void menuprint_Click() { Button_print_Click(); }
    void menuabout_Click() { Button_help_Click(); }
    void menuguide_Click();
    // Shows `text` in the middle status panel for NoticePeriod, then its usual text again.
    void showNotice(const QString& text);
    void Timer_notice_Timer();

    // --- link (link/) ---
    // Returns the open's error number (0 when the port opened).
    int ComOpen(std::int16_t port);
    void CmdSend(std::uint8_t kind, std::int16_t start, std::int16_t count);
    // When an exchange sends its request after opening the port.
    enum class SendIf {
        Always,          // even on a port that did not open: the timeout ends the exchange
        Opened,          // only on a port that opened (the port search)
        InstrumentThere, // only while the found instrument's port is still its own (polling)
    };
    // One exchange: ComOpen on ComNo, then CmdSend.
    void Exchange(std::uint8_t kind, std::int16_t start = 0, std::int16_t count = 0,
                  SendIf when = SendIf::Always);
    void Timer_findcom_Timer();
    void Timer_real_Timer();
    void Timer_read_Timer();
    void Timer_timeout_Timer();
    void MSComm1_OnComm();

    // --- replies (replies/) ---
    void DataDecode();
    void RealtimeShow();
    // Writes a history block's records into the history and the grid; returns the rows.
    QList<HistoryRow> HistoryShow(std::uint8_t rowOffset, std::uint8_t count);

    // --- output (output/) ---
    void Button_save_Click();
    void RealSave();
    void HistorySave();
    void ExcelExport(const QString& fileName);
    bool endSave(bool saved, const QString& fileName, const QString& error);
    void Button_print_Click();

    // Sizes the window to its screen's free area and centres it there.
    void placeOnScreen();

    // Whether the window is still taking events (false once Close has run).
    bool closing() const { return closing_; }

    // The history table's rows, as the grid shows them and the files and printouts take them.
    const HistoryModel& history() const { return history_; }
    const DownloadProgress& download() const { return download_; }
    // The live measurement; unset before the first reading and after a failed exchange.
    const std::optional<RealtimeSample>& live() const { return live_; }
    // The three value texts as shown, saved and printed: "--kV", "--kV", "--A" when not live.
    MeasureTexts shownValues() const;

    // Listeners are told of the instrument, readings and downloads as they happen; the window
    // does not own them. A listener must be removed before it is destroyed.
    void addMeasurementListener(MeasurementListener* listener);
    void removeMeasurementListener(MeasurementListener* listener);
    // Files readings and downloads into `store` (app/form1_archive.cpp); it must outlive the
    // window or be detached with nullptr first.
    void attachArchive(archive::Store* store);
    // False when the user, asked, keeps the window: a download in the table is neither filed
    // into the archive nor saved.
    bool mayLeave();

    static constexpr int ClientWidth = 777;
    static constexpr int ClientHeight = 650;
    static constexpr const char* Caption = "Wireless High Voltage Tesvaron";
    // The default title of a message box: the program's name.
    static constexpr const char* ProgramName = "tesvaron";
    static inline const QString StatusText = QStringLiteral("无线高压验电器（带电压指示）");
    // The link status while the instrument is searched for.
    static inline const QString SearchingText = QStringLiteral("正在查找仪器");
    static constexpr std::chrono::milliseconds NoticePeriod{10000};

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWidgets();
    void buildMenus();
    void connectHandlers();
    // Switches the commands (button and menu item together) and the tab strip.
    void applyCommands(Situation situation);
    void endDownload();
    // A total arrived: a download starts now unless Read began one.
    void beginDownload();
    void finishDownload(bool complete);
    // The instrument is no longer where it was found: search again from the next tick.
    void loseInstrument();
    // The value labels from live_: "--" in place of a number that is not live, greyed.
    void showValues();
    // The last reading is no longer live.
    void dropLiveValue();
    void clearRecordCells();
    void drawHistoryRow(int no);
    PortInfo portInfo() const;
    // The window closes: a found instrument's session ends for the listeners.
    void endSession();
    template <typename Call> void announce(Call call);
    // Keeps the ports refused for permission during one pass of the search.
    void notePortRefusals(int openError);

    std::unique_ptr<MessageBoxSeam> messageBox_;
    std::shared_ptr<OutputSeams> output_;
    bool closing_ = false;
    QString foundDevice_;         // the device the instrument answered on
    QStringList refusedThisScan_; // devices refused for permission in this pass of the search
    DownloadProgress download_;
    HistoryModel history_;
    std::optional<RealtimeSample> live_;
    std::vector<MeasurementListener*> listeners_;
    bool sessionAnnounced_ = false; // instrumentFound was told and no instrumentLost since
    archive::Store* archive_ = nullptr;
    bool unsavedDownload_ = false; // rows downloaded since the last Clear or history save
};

// Listeners removed while others are told are not told any more; added ones wait for the next.
template <typename Call> void Form1::announce(Call call)
{
    const std::vector<MeasurementListener*> listeners = listeners_;
    for (MeasurementListener* listener : listeners)
        if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end())
            call(*listener);
}

// Enables or disables a command widget, a menu item or a timer.
void enable(QWidget* widget, bool on);
void enable(QAction* action, bool on);
void enable(PeriodicTimer* timer, bool on);

} // namespace tesvaron
