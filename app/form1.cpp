#include "app/form1.h"

#include "app/archive_windows.h"
#include "app/clock_text.h"
#include "app/icons.h"
#include "app/tab_strip.h"
#include "app/user_guide.h"
#include "output/text_files.h"
#include "platform/output_seams.h"

#include <QAction>
#include <QCloseEvent>
#include <QDate>
#include <QFont>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTime>
#include <QToolButton>
#include <QWindow>
#include <mutex>

namespace tesvaron {

namespace {

// "宋体" (SimSun) is a Windows face; a Song-style CJK face with a bold weight stands in for it.
void substituteSongFace()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // SimSun itself first: an English Windows knows the face only by that name.
        const QStringList song{QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC"),
                               QStringLiteral("Noto Serif CJK"), QStringLiteral("AR PL UMing CN")};
        QFont::insertSubstitutions(QStringLiteral("宋体"), song);
        QFont::insertSubstitutions(QStringLiteral("SimSun"), song);
    });
}

QFont songFont(qreal points, bool bold)
{
    QFont font(QStringLiteral("宋体"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QLabel* label(QWidget* parent, const QString& text, const QRect& geometry, const QFont& font)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(geometry);
    l->setFont(font);
    return l;
}

} // namespace

void enable(QWidget* widget, bool on)
{
    widget->setEnabled(on);
}
void enable(QAction* action, bool on)
{
    action->setEnabled(on);
}
void enable(PeriodicTimer* timer, bool on)
{
    timer->setEnabled(on);
}

Form1::Form1(Form1Seams seams, QWidget* parent)
    : QMainWindow(parent), messageBox_(std::move(seams.messageBox)),
      output_(std::move(seams.output))
{
    substituteSongFace();
    if (!messageBox_) messageBox_ = std::make_unique<QtMessageBox>();
    if (!output_) output_ = OutputSeams::real();

    MSComm1 = new CommControl(seams.serial ? seams.serial : new QtSerialBackend, this);
    Timer_date = new PeriodicTimer(DatePeriod, seams.clock, this);
    Timer_findcom = new PeriodicTimer(FindcomPeriod, seams.clock, this);
    Timer_real = new PeriodicTimer(RealPeriod, seams.clock, this);
    Timer_read = new PeriodicTimer(ReadPeriod, seams.clock, this);
    Timer_timeout = new PeriodicTimer(ReplyTimeout, seams.clock, this);
    Timer_notice = new PeriodicTimer(NoticePeriod, seams.clock, this);

    Archive = new ArchiveWindows(this, nullptr);
    addMeasurementListener(&Archive->live());
    buildWidgets();
    buildMenus();
    connectHandlers();
    placeOnScreen();

    Timer_date->setEnabled(true);
    Timer_findcom->setEnabled(true);
    Timer_timeout->setEnabled(true);

    Form_Load();
    // "0.0kV" before any measurement must not read as a dead line.
    showValues();
}

Form1::~Form1() = default;

void Form1::buildWidgets()
{
    setWindowTitle(QString::fromLatin1(Caption));
    setWindowIcon(icons::window());

    // The fixed layout scrolls where the screen is smaller than it (placeOnScreen).
    Scroll_client = new QScrollArea(this);
    Scroll_client->setObjectName(QStringLiteral("Scroll_client"));
    Scroll_client->setFrameShape(QFrame::NoFrame);
    Scroll_client->setWidgetResizable(false);
    Scroll_client->setFocusPolicy(Qt::NoFocus);
    auto* client = new QWidget;
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(ClientWidth, ClientHeight);
    Scroll_client->setWidget(client);
    setCentralWidget(Scroll_client);

    TabStrip1 = new TabStrip({QStringLiteral("实时监控"), QStringLiteral("历史记录")}, client);
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    TabStrip1->setGeometry(64, 56, 545, 529);
    TabStrip1->setFont(songFont(12, true));

    Frame_realtime = new QGroupBox(client);
    Frame_realtime->setObjectName(QStringLiteral("Frame_realtime"));
    Frame_realtime->setGeometry(72, 96, 529, 481);
    const QFont caption = songFont(27.75, true);
    const QFont value = songFont(36, true);
    Lab_testpro = label(Frame_realtime, QStringLiteral("对地电压:"), {48, 112, 176, 41}, caption);
    Lab_value_lg = label(Frame_realtime, QStringLiteral("0.0kV"), {240, 104, 241, 53}, value);
    Label2 = label(Frame_realtime, QStringLiteral("  线电压:"), {48, 224, 178, 41}, caption);
    Lab_value_ll = label(Frame_realtime, QStringLiteral("0.0kV"), {240, 216, 241, 53}, value);
    Label1 = label(Frame_realtime, QStringLiteral("  电  流:"), {48, 336, 180, 41}, caption);
    Lab_value_a = label(Frame_realtime, QStringLiteral("0.0A"), {240, 328, 241, 53}, value);

    DataGrid = new FlexGrid(client);
    DataGrid->setObjectName(QStringLiteral("DataGrid"));
    DataGrid->setFont(songFont(9, false));
    DataGrid->horizontalHeader()->setFont(songFont(9, false));
    // One Tab stop: the arrow keys move inside the table, Tab goes on to the buttons.
    DataGrid->setTabKeyNavigation(false);

    Progress_read = new QProgressBar(client);
    Progress_read->setObjectName(QStringLiteral("Progress_read"));
    Progress_read->setGeometry(200, 272, 257, 15);
    Progress_read->setTextVisible(false);
    Progress_read->hide();

    struct ButtonSpec
    {
        QToolButton** field;
        const char* name;
        QString text;
        QIcon icon;
        int top;
        int iconSide;
        QString toolTip;
    };
    const ButtonSpec buttons[] = {
        {&Button_read, "Button_read", QStringLiteral("读取"), icons::read(), 56, 32,
         QStringLiteral("从仪器读取全部历史记录到表格（F5）")},
        {&Button_save, "Button_save", QStringLiteral("保存"), icons::save(), 136, 32,
         QStringLiteral(
             "把当前页面保存为文件：实时值存为图片或文本，历史记录存为文本或表格（Ctrl+S）")},
        {&Button_clear, "Button_clear", QStringLiteral("清空"), icons::clear(), 208, 32,
         QStringLiteral("清空电脑上的历史记录表格；仪器中的记录不受影响")},
        {&Button_print, "Button_print", QStringLiteral("打印"), icons::print(), 280, 32,
         QStringLiteral("打印当前页面：实时值或历史记录表格（Ctrl+P）")},
        {&Button_help, "Button_help", QStringLiteral("帮助"), icons::help(), 352, 24,
         QStringLiteral("显示软件版本和联系方式；使用说明按 F1")},
        {&Button_close, "Button_close", QStringLiteral("关闭"), icons::close(), 424, 32,
         QStringLiteral("关闭串口并退出程序（Ctrl+Q）")},
    };
    for (const ButtonSpec& b : buttons) {
        auto* button = new QToolButton(client);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setText(b.text);
        button->setIcon(b.icon);
        button->setIconSize(QSize(b.iconSide, b.iconSide));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setFocusPolicy(Qt::StrongFocus);
        button->setGeometry(664, b.top, 73, 57);
        button->setToolTip(b.toolTip);
        *b.field = button;
    }

    LabComsta = label(client, QStringLiteral("串口状态"), {656, 512, 97, 25}, songFont(12, false));
    // "COM16已打开" is the longest caption: room for it up to the window's edge, where the
    // described width clips it in some fonts.
    LabComsta->resize(
        std::clamp(LabComsta->fontMetrics().horizontalAdvance(QStringLiteral("COM16已打开")) + 4,
                   97, ClientWidth - 656),
        25);
    Lab_rtsta = label(client, QStringLiteral("连接失败"), {656, 552, 97, 25}, songFont(12, false));
    // Above the tab strip, where nothing else is: it must not be missed.
    Lab_permission = label(client, QString(), {64, 4, 689, 48}, songFont(10.5, true));
    Lab_permission->setObjectName(QStringLiteral("Lab_permission"));
    Lab_permission->setWordWrap(true);
    Lab_permission->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Lab_permission->setStyleSheet(QStringLiteral("color: #a00000; background: #fff2cc;"));
    Lab_permission->hide();

    StatusBar1 = new QStatusBar(client);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, 617, 777, 33);
    const int widths[3] = {96, 583, 96};
    const QString texts[3] = {QStringLiteral("date"), StatusText, QStringLiteral("time")};
    for (int i = 0; i < 3; ++i) {
        StatusPanels[i] = new QLabel(texts[i], StatusBar1);
        StatusPanels[i]->setFixedWidth(widths[i]);
        StatusPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        StatusBar1->addWidget(StatusPanels[i]);
    }
    StatusBar1->setContentsMargins(0, 0, 0, 0);
    StatusBar1->setStyleSheet(QStringLiteral("QStatusBar::item { border: none; margin: 0px; }"));

    // A plain frame around whatever has the keyboard focus: the platform style draws none on
    // tool buttons.
    client->setStyleSheet(QStringLiteral(
        "QToolButton:focus { border: 2px solid palette(highlight); border-radius: 3px; }"
        "QTableView:focus { border: 2px solid palette(highlight); }"));

    QWidget* const tabOrder[] = {TabStrip1->tabBar(), DataGrid,     Button_read, Button_save,
                                 Button_clear,        Button_print, Button_help, Button_close};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

// The layout is fixed, and the window opens centred on its screen. Where the screen's free area
// (without taskbars) is smaller than the layout, the window takes what there is and the layout
// scrolls, so that every control stays reachable.
void Form1::placeOnScreen()
{
    const QScreen* screen = this->screen();
    if (!screen) return;
    const QRect available = screen->availableGeometry();
    // The frame is only known once shown; until then allow for a title bar and borders.
    QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    if (frame.isNull()) frame = QMargins(4, 30, 4, 4);
    const QSize room = available.size().shrunkBy(frame);
    const QSize whole(ClientWidth, ClientHeight + menuBar()->sizeHint().height());

    if (whole.width() <= room.width() && whole.height() <= room.height()) {
        Scroll_client->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        Scroll_client->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setFixedSize(whole);
    } else {
        Scroll_client->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        Scroll_client->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        const int bar = Scroll_client->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        // Room for the scroll bar across the side that still fits.
        const QSize wanted(whole.width() + (whole.height() > room.height() ? bar : 0),
                           whole.height() + (whole.width() > room.width() ? bar : 0));
        setMinimumSize(0, 0);
        setMaximumSize(wanted);
        resize(wanted.boundedTo(room));
    }
    QRect placed(QPoint(), size().grownBy(frame));
    placed.moveCenter(available.center());
    placed.moveTopLeft(
        QPoint(std::max(placed.left(), available.left()), std::max(placed.top(), available.top())));
    move(placed.topLeft());
}

void Form1::buildMenus()
{
    menufile = menuBar()->addMenu(QStringLiteral("文件"));
    menuread = menufile->addAction(QStringLiteral("读取"));
    menusave = menufile->addAction(QStringLiteral("保存"));
    menufile->addSeparator();
    menuarchive = menufile->addAction(QStringLiteral("档案…"));
    menutrend = menufile->addAction(QStringLiteral("趋势…"));
    menufile->addSeparator();
    menuclose = menufile->addAction(QStringLiteral("关闭"));
    menuoprate = menuBar()->addMenu(QStringLiteral("操作"));
    menuclear = menuoprate->addAction(QStringLiteral("清空"));
    menuprint = menuoprate->addAction(QStringLiteral("打印"));
    menuhelp = menuBar()->addMenu(QStringLiteral("帮助"));
    menuguide = menuhelp->addAction(QStringLiteral("使用说明"));
    menuabout = menuhelp->addAction(QStringLiteral("关于软件"));
    menufile->setObjectName(QStringLiteral("menufile"));
    menuoprate->setObjectName(QStringLiteral("menuoprate"));
    menuhelp->setObjectName(QStringLiteral("menuhelp"));
    menuBar()->setNativeMenuBar(false);
    // Shortcuts act through the menu items, so they are off whenever their command is.
    menuread->setShortcut(Qt::Key_F5);
    menusave->setShortcut(QKeySequence::Save);
    menuprint->setShortcut(QKeySequence::Print);
    menuclose->setShortcut(Qt::CTRL | Qt::Key_Q);
    menuguide->setShortcut(Qt::Key_F1);
    menuarchive->setShortcut(Qt::CTRL | Qt::Key_H);
    menutrend->setShortcut(Qt::CTRL | Qt::Key_T);
}

void Form1::connectHandlers()
{
    connect(TabStrip1, &TabStrip::Click, this, &Form1::TabStrip1_Click);
    connect(Button_read, &QToolButton::clicked, this, &Form1::Button_read_Click);
    connect(Button_save, &QToolButton::clicked, this, &Form1::Button_save_Click);
    connect(Button_clear, &QToolButton::clicked, this, &Form1::Button_clear_Click);
    connect(Button_print, &QToolButton::clicked, this, &Form1::Button_print_Click);
    connect(Button_help, &QToolButton::clicked, this, &Form1::Button_help_Click);
    connect(Button_close, &QToolButton::clicked, this, &Form1::Button_close_Click);
    connect(menuread, &QAction::triggered, this, &Form1::menuread_Click);
    connect(menusave, &QAction::triggered, this, &Form1::menusave_Click);
    connect(menuclose, &QAction::triggered, this, &Form1::menuclose_Click);
    connect(menuclear, &QAction::triggered, this, &Form1::menuclear_Click);
    connect(menuprint, &QAction::triggered, this, &Form1::menuprint_Click);
    connect(menuabout, &QAction::triggered, this, &Form1::menuabout_Click);
    connect(menuguide, &QAction::triggered, this, &Form1::menuguide_Click);
    connect(menuarchive, &QAction::triggered, Archive, &ArchiveWindows::showArchive);
    connect(menutrend, &QAction::triggered, Archive, &ArchiveWindows::showTrend);
    connect(Timer_notice, &PeriodicTimer::Timer, this, &Form1::Timer_notice_Timer);
    connect(Timer_date, &PeriodicTimer::Timer, this, &Form1::Timer_date_Timer);
    connect(Timer_findcom, &PeriodicTimer::Timer, this, &Form1::Timer_findcom_Timer);
    connect(Timer_real, &PeriodicTimer::Timer, this, &Form1::Timer_real_Timer);
    connect(Timer_read, &PeriodicTimer::Timer, this, &Form1::Timer_read_Timer);
    connect(Timer_timeout, &PeriodicTimer::Timer, this, &Form1::Timer_timeout_Timer);
    connect(MSComm1, &CommControl::OnComm, this, &Form1::MSComm1_OnComm);
}

void Form1::Form_Load()
{
    RealMode = true;
    ComFound = false;
    ComNo = 1;
    LinkState = LinkCode::None;
    RecTotal = 0;
    RecBlock = 0;
    applyCommands(Situation::Startup);
    Timer_date_Timer();
    enable(Timer_findcom, true);
    Lab_rtsta->setText(SearchingText);
    GridInit();
    DataGrid->hide();
    Frame_realtime->show();
}

void Form1::menuguide_Click()
{
    showUserGuide(this);
}

void Form1::showNotice(const QString& text)
{
    StatusPanels[1]->setText(text);
    StatusPanels[1]->setToolTip(text);
    // A second notice gets its own full period.
    enable(Timer_notice, false);
    enable(Timer_notice, true);
}

void Form1::Timer_notice_Timer()
{
    enable(Timer_notice, false);
    StatusPanels[1]->setText(StatusText);
    StatusPanels[1]->setToolTip(QString());
}

void Form1::Timer_date_Timer()
{
    StatusPanels[0]->setText(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
    StatusPanels[2]->setText(clockText(QTime::currentTime(), QLocale()));
}

void Form1::GridInit()
{
    DataGrid->setLeft(1000);
    DataGrid->setTop(1440);
    DataGrid->setHeight(7075);
    DataGrid->setWidth(7500);
    DataGrid->setRows(100);
    DataGrid->setCols(4);
    for (int c = 0; c < DataGrid->Cols(); ++c) {
        DataGrid->setColWidth(c, 1800);
        DataGrid->setColAlignment(c, FlexGrid::AlignCenterCenter);
    }
    for (int r = 0; r < DataGrid->Rows(); ++r)
        DataGrid->setRowHeight(r, 300);
    // The grid draws the history: titles, row numbers and whatever rows it holds.
    for (int c = 0; c < DataGrid->Cols(); ++c)
        for (int r = 0; r < DataGrid->Rows(); ++r)
            DataGrid->setTextMatrix(r, c, history_.cell(r, c));
}

void Form1::drawHistoryRow(int no)
{
    for (int c = 1; c < HistoryModel::Columns; ++c)
        DataGrid->setTextMatrix(no, c, history_.cell(no, c));
}

void Form1::addMeasurementListener(MeasurementListener* listener)
{
    if (listener && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
        listeners_.push_back(listener);
}

void Form1::removeMeasurementListener(MeasurementListener* listener)
{
    std::erase(listeners_, listener);
}

PortInfo Form1::portInfo() const
{
    return {QStringLiteral("COM%1").arg(ComNo), foundDevice_};
}

void Form1::endSession()
{
    if (!sessionAnnounced_) return;
    sessionAnnounced_ = false;
    announce([](MeasurementListener& l) { l.instrumentLost(); });
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (!closing_ && !mayLeave()) return event->ignore();
    endSession();
    QMainWindow::closeEvent(event);
}

} // namespace tesvaron
