#include "app/archive_windows.h"
#include "app/archive_dialogs.h"
#include "app/archive_window.h"

namespace tesvaron {

namespace {

void bringUp(QWidget* w)
{
    w->show();
    w->raise();
    w->activateWindow();
}

} // namespace

ArchiveWindows::ArchiveWindows(QWidget* owner, std::shared_ptr<ArchiveDialogs> dialogs)
    : QObject(owner), owner_(owner), dialogs_(dialogs ? std::move(dialogs) : ArchiveDialogs::real())
{
}

// The windows are the owner's children and go with it; the readings' callback must not outlive
// the trend window.
ArchiveWindows::~ArchiveWindows()
{
    live_.added = nullptr;
}

TrendWindow* ArchiveWindows::trend()
{
    if (!trend_) {
        trend_ = new TrendWindow(store_, dialogs_, live_, owner_);
        connect(trend_, &QObject::destroyed, this, [this] {
            live_.added = nullptr;
            trend_ = nullptr;
        });
    }
    return trend_;
}

void ArchiveWindows::showTrend()
{
    bringUp(trend());
}

void ArchiveWindows::showArchive()
{
    if (!archive_) archive_ = new ArchiveWindow(store_, dialogs_, trend(), owner_);
    bringUp(archive_);
}

} // namespace tesvaron
