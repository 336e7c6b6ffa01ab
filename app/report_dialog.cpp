#include "app/report_dialog.h"
#include "app/archive_dialogs.h"
#include "platform/qt_output_seams.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>

namespace tesvaron {

ReportDialog::ReportDialog(const ReportFields& fields, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("检测报告"));
    auto* form = new QFormLayout(this);
    for (const ReportFieldInfo& info : reportFieldTable()) {
        auto* edit = new QLineEdit(fields.*(info.member), this);
        edit->setObjectName(QString::fromLatin1(info.key));
        edit->setMinimumWidth(280);
        const QString caption = QString::fromUtf8(info.caption) + (info.required ? " *" : "");
        form->addRow(caption + QStringLiteral("："), edit);
        edits.append(edit);
    }
    missing = new QLabel(this);
    missing->setStyleSheet(QStringLiteral("color: #b00000"));
    form->addRow(missing);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("生成报告"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &ReportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ReportDialog::reject);
    form->addRow(buttons);
}

ReportFields ReportDialog::fields() const
{
    ReportFields f;
    const auto table = reportFieldTable();
    for (std::size_t i = 0; i < table.size(); ++i)
        f.*(table[i].member) = edits[qsizetype(i)]->text().trimmed();
    return f;
}

void ReportDialog::accept()
{
    const QStringList absent = missingReportFields(fields());
    if (!absent.isEmpty()) {
        missing->setText(QStringLiteral("请填写：") + absent.join(QStringLiteral("、")));
        return;
    }
    QDialog::accept();
}

namespace {

class RealDialogs : public ArchiveDialogs
{
public:
    RealDialogs()
        : settings_(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("tesvaron"),
                    QStringLiteral("tesvaron"))
    {
    }
    bool confirm(QWidget* parent, const QString& text) override
    {
        return QMessageBox::question(parent, QStringLiteral("tesvaron"), text,
                                     QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    }
    QString saveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                         const QString& filter) override
    {
        // Where the window's saves go, so reports and exports are found beside them.
        const QString folder = defaultSaveFolder();
        QDir().mkpath(folder);
        return QFileDialog::getSaveFileName(parent, caption, folder + u'/' + suggested, filter);
    }
    bool reportFields(QWidget* parent, ReportFields& fields) override
    {
        ReportDialog dialog(fields, parent);
        if (dialog.exec() != QDialog::Accepted) return false;
        fields = dialog.fields();
        return true;
    }
    void tell(QWidget* parent, const QString& text) override
    {
        QMessageBox::information(parent, QStringLiteral("tesvaron"), text);
    }
    QSettings& settings() override { return settings_; }

private:
    QSettings settings_;
};

} // namespace

std::shared_ptr<ArchiveDialogs> ArchiveDialogs::real()
{
    return std::make_shared<RealDialogs>();
}

QString fileReport(QWidget* parent, ArchiveDialogs& dialogs, InspectionReport report)
{
    ReportFields fields = loadReportFields(dialogs.settings());
    // The test's date is the measurements', not the last report's; the user may change it.
    if (report.started.isValid())
        fields.date = report.started.date().toString(QStringLiteral("yyyy-MM-dd"));
    if (!dialogs.reportFields(parent, fields)) return QString();
    saveReportFields(dialogs.settings(), fields);
    report.fields = fields;
    const QString path =
        dialogs.saveFileName(parent, QStringLiteral("保存检测报告"),
                             QStringLiteral("检测报告-%1.pdf")
                                 .arg(report.started.toString(QStringLiteral("yyyyMMdd-HHmmss"))),
                             QStringLiteral("PDF 文件 (*.pdf)"));
    if (path.isEmpty()) return QString();
    const QString error = renderInspectionReport(report, path);
    if (!error.isEmpty()) {
        dialogs.tell(parent, QStringLiteral("报告未能保存：") + error);
        return QString();
    }
    return path;
}

} // namespace tesvaron
