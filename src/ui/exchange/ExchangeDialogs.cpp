#include "exchange/ExchangeDialogs.h"

#include "LibraryExchange.h"
#include "Program.h"
#include "common/MessageBoxes.h"

#include <QButtonGroup>
#include <QDate>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <memory>

namespace exchangedialogs {

namespace {

const QString JsonFilter = QStringLiteral("JSON 文件 (*.json)");
const QString CsvFilter = QStringLiteral("CSV 文件 (*.csv)");

// The folder the last dialog ended in, for the next one.
QString &lastFolder() {
    static QString folder = [] {
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return QDir(documents).exists() ? documents : QDir::homePath();
    }();
    return folder;
}

// The progress callback of the work: below ProgressFrom records nothing
// shows; from there on a modal dialog follows the work (letting the events
// through) and its 取消 cancels it.
class ProgressShown {
  public:
    ProgressShown(QWidget *parent, QString label) : m_parent(parent), m_label(std::move(label)) {}

    bool operator()(qint64 records, double share) {
        if (!m_dialog) {
            if (records < ProgressFrom)
                return true;
            m_dialog = std::make_unique<QProgressDialog>(m_label, QStringLiteral("取消"), 0, 1000, m_parent);
            m_dialog->setWindowTitle(program::Name);
            m_dialog->setWindowModality(Qt::ApplicationModal);
            m_dialog->setMinimumDuration(0);
            m_dialog->setAutoClose(false);
            m_dialog->setAutoReset(false);
        }
        m_dialog->setLabelText(m_label + QStringLiteral("\n已处理 %1 条记录").arg(records));
        m_dialog->setValue(int(share * 1000));
        return !m_dialog->wasCanceled();
    }

  private:
    QPointer<QWidget> m_parent;
    QString m_label;
    std::unique_ptr<QProgressDialog> m_dialog;
};

// Asks how to import the file chosen: add its records, or update the records
// with the same ID. None when cancelled.
std::optional<ImportMode> askImportMode(QWidget *parent, const QString &path) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("导入方式"));
    auto *layout = new QVBoxLayout(&dialog);
    auto *file = new QLabel(QStringLiteral("要导入的文件：%1").arg(QDir::toNativeSeparators(path)));
    file->setWordWrap(true);
    layout->addWidget(file);
    auto *add = new QRadioButton(QStringLiteral("只新增记录：标题和内容都与已有记录相同的跳过"));
    auto *update = new QRadioButton(QStringLiteral("更新 ID 相同的记录（改成文件中的内容），其余的新增"));
    QButtonGroup modes;
    modes.addButton(add);
    modes.addButton(update);
    add->setChecked(true);
    layout->addWidget(add);
    layout->addWidget(update);
    auto *note = new QLabel(QStringLiteral("两种方式都会列出 ID 和标题与已有记录相同而内容不同的记录。"
                                           "导入要么全部完成，要么文本库不变。"));
    note->setWordWrap(true);
    note->setEnabled(false);
    layout->addWidget(note);
    auto *buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("导入"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.setMinimumWidth(420);
    add->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return update->isChecked() ? ImportMode::Update : ImportMode::Add;
}

} // namespace

void exportLibrary(QWidget *parent, const LibraryStore &library) {
    QFileDialog dialog(parent, QStringLiteral("导出文本库"), lastFolder());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({JsonFilter, CsvFilter});
    dialog.setDefaultSuffix(QStringLiteral("json"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString &filter) {
        dialog.setDefaultSuffix(filter == CsvFilter ? QStringLiteral("csv") : QStringLiteral("json"));
    });
    dialog.selectFile(
        QStringLiteral("Vemo文本库 %1.json").arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    lastFolder() = QFileInfo(path).absolutePath();
    exportTo(parent, library, path);
}

bool importLibrary(QWidget *parent, const LibraryStore &library) {
    const QString path = QFileDialog::getOpenFileName(parent, QStringLiteral("导入文本库"), lastFolder(),
                                                      QStringLiteral("文本库文件 (*.json *.csv);;") +
                                                          JsonFilter + QStringLiteral(";;") + CsvFilter);
    if (path.isEmpty())
        return false;
    lastFolder() = QFileInfo(path).absolutePath();
    const auto mode = askImportMode(parent, path);
    return mode && importFrom(parent, library, path, *mode);
}

void exportTo(QWidget *parent, const LibraryStore &library, const QString &path) {
    ProgressShown progress(parent, QStringLiteral("正在导出文本库…"));
    const auto report = exchange::exportLibrary(library, path, std::ref(progress));
    if (report.ok())
        messages::notice(parent, messages::describeDone(report, true));
    else if (report.problem != exchange::Problem::Cancelled)
        messages::notice(parent, QStringLiteral("导出失败：") + messages::describe(report));
}

bool importFrom(QWidget *parent, const LibraryStore &library, const QString &path, ImportMode mode) {
    ProgressShown progress(parent, QStringLiteral("正在导入文本库…"));
    const auto report = exchange::importLibrary(library, path, std::ref(progress), mode);
    if (report.ok())
        messages::notice(parent, messages::describeDone(report, false, mode == ImportMode::Update));
    else if (report.problem == exchange::Problem::Cancelled)
        messages::notice(parent, QStringLiteral("已取消导入，文本库没有改变。"));
    else
        messages::notice(parent, QStringLiteral("导入失败，文本库没有改变。\n") + messages::describe(report));
    return report.added > 0 || report.updated > 0;
}

} // namespace exchangedialogs
