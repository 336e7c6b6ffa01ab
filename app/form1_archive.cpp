// The window files into the archive: the store listens to its measurements, the status bar says
// where a download went, and a database that fails is said once.

#include "app/form1.h"

#include "app/archive_windows.h"

#include "archive/archive_store.h"

#include <QDir>

namespace tesvaron {

void Form1::attachArchive(archive::Store* store)
{
    if (archive_) {
        removeMeasurementListener(archive_);
        disconnect(archive_, nullptr, this, nullptr);
    }
    archive_ = store;
    Archive->setStore(store);
    if (!store) return;
    addMeasurementListener(store);
    connect(store, &archive::Store::downloadFiled, this, [this](qint64 id, const QString& where) {
        showNotice(QStringLiteral("下载 %1 已存入档案：%2").arg(id).arg(where));
    });
    // The store says it once; the link and the table go on without it.
    connect(store, &archive::Store::unavailable, this, [this](const QString& message) {
        messageBox_->show(this, QString::fromLatin1(ProgramName), message,
                          MessageBoxSeam::Icon::Exclamation);
    });
    store->reportUnavailable();
}

bool Form1::mayLeave()
{
    const bool filed = archive_ && archive_->isAvailable() && archive_->lastDownloadFiled();
    if (!unsavedDownload_ || filed) return true;
    return messageBox_->ask(
        this, QString::fromLatin1(ProgramName),
        QStringLiteral(
            "下载的历史记录没有存入档案，也没有保存到文件。\r关闭后将无法找回。仍要关闭吗？"));
}

} // namespace tesvaron
