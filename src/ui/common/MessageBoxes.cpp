#include "common/MessageBoxes.h"

#include "Program.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QGridLayout>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpacerItem>

namespace messages {

namespace {

Responder &responder() {
    static Responder answer;
    return answer;
}

bool show(Kind kind, const QString &text, const QString &title, QWidget *parent) {
    const QString caption = title.isEmpty() ? program::Name : title;
    if (responder())
        return responder()(kind, caption, text);
    QPointer<QWidget> owner = parent ? parent->window() : QApplication::activeWindow();
    std::unique_ptr<QMessageBox> box = makeBox(kind, text, caption, owner);
    bool yes = false;
    if (kind == Kind::Question) {
        box->exec();
        yes = box->buttonRole(box->clickedButton()) == QMessageBox::YesRole;
    } else {
        // A notice blocks no other window: the quick list that the hotkey
        // opens meanwhile takes the keyboard. The caller still waits for it.
        QPointer<QMessageBox> shown = box.get();
        QEventLoop loop;
        QObject::connect(box.get(), &QDialog::finished, &loop, &QEventLoop::quit);
        QObject::connect(box.get(), &QObject::destroyed, &loop, &QEventLoop::quit);
        box->setWindowModality(Qt::NonModal);
        box->show();
        box->raise();
        box->activateWindow();
        loop.exec();
        if (!shown) // gone with the window that owned it
            (void)box.release();
    }
    // The window manager would otherwise pass the keyboard to whichever
    // window of ours it likes.
    if (owner && owner->isVisible()) {
        owner->raise();
        owner->activateWindow();
    }
    return yes;
}

} // namespace

std::unique_ptr<QMessageBox> makeBox(Kind kind, const QString &text, const QString &title, QWidget *parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(title.isEmpty() ? program::Name : title);
    box->setText(text);
    box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (kind != Kind::Plain)
        box->setIcon(QMessageBox::Information);
    if (kind == Kind::Question) {
        QPushButton *yes = box->addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
        QPushButton *no = box->addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
        box->setDefaultButton(yes);
        box->setEscapeButton(no);
    } else {
        QPushButton *ok = box->addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        box->setDefaultButton(ok);
        box->setEscapeButton(ok);
    }
    // A short message makes a box narrower than its title, which the window
    // manager then cuts; room for the title, the frame's icon and buttons.
    QFont titleFont = box->font();
    titleFont.setBold(true);
    const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(box->windowTitle()) + 150;
    if (auto *grid = qobject_cast<QGridLayout *>(box->layout()))
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                      grid->rowCount(), 0, 1, grid->columnCount());
    return box;
}

void notice(QWidget *parent, const QString &text, const QString &title) {
    show(Kind::Notice, text, title, parent);
}

void tip(QWidget *parent, const QString &text) {
    show(Kind::Notice, text, program::NoticeTitle, parent);
}

void plain(QWidget *parent, const QString &text) {
    show(Kind::Plain, text, QString(), parent);
}

bool ask(QWidget *parent, const QString &text) {
    return show(Kind::Question, text, QString(), parent);
}

void setResponder(Responder answer) {
    responder() = std::move(answer);
}

QString describe(StoreError error) {
    switch (error) {
    case StoreError::None:
        return QString();
    case StoreError::Missing:
        return QStringLiteral("缺少Vbcode.mb文件");
    case StoreError::Locked:
        return QStringLiteral("VBCode.mdb正被其他程序占用");
    case StoreError::NotALibrary:
        return QStringLiteral("VBCode.mdb不是文本库文件");
    case StoreError::Damaged:
        return QStringLiteral("VBCode.mdb已损坏");
    case StoreError::Unreadable:
        return QStringLiteral("VBCode.mdb无法打开或写入");
    case StoreError::NoSuchRecord:
        return QStringLiteral("记录已不存在");
    case StoreError::Refused:
        return QStringLiteral("文本库拒绝了这次修改");
    }
    return QString();
}

QString describeReadFailure(StoreError error) {
    if (error == StoreError::None || error == StoreError::Missing)
        return describe(error);
    return QStringLiteral("无法读取文本库：") + describe(error);
}

QString describe(const exchange::Report &report) {
    using exchange::Problem;
    const QString file = QDir::toNativeSeparators(report.file);
    const bool json = exchange::formatOf(report.file) == exchange::Format::Json;
    const QString where = QStringLiteral("第 %1 条记录（文件第 %2 行）").arg(report.record).arg(report.line);
    switch (report.problem) {
    case Problem::None:
        return QString();
    case Problem::Cancelled:
        return QStringLiteral("已取消");
    case Problem::UnknownFormat:
        return QStringLiteral("只能使用 .json 或 .csv 文件：") + file;
    case Problem::FileMissing:
        return QStringLiteral("找不到文件：") + file;
    case Problem::FileUnreadable:
        return QStringLiteral("无法读取文件：%1\n%2").arg(file, report.detail);
    case Problem::FileUnwritable:
        return QStringLiteral("无法写入文件：%1\n%2").arg(file, report.detail);
    case Problem::NotUtf8:
        return QStringLiteral("文件第 %1 行不是 UTF-8 编码的文字。请先把文件另存为 UTF-8 编码。")
            .arg(report.line);
    case Problem::BadSyntax:
        return QStringLiteral("文件第 %1 行不是有效的 %2：%3")
            .arg(report.line)
            .arg(json ? QStringLiteral("JSON") : QStringLiteral("CSV"), report.detail);
    case Problem::WrongHeader:
        return QStringLiteral("文件的第一行不是文本库的列名（%1）。第一行应为：\n"
                              "ID,MoudleName,TypeName,CodeName,Code,ChangeTime,IsUsed")
            .arg(report.detail);
    case Problem::BadRecord:
        return where + QStringLiteral("有误：") + report.detail;
    case Problem::Library:
        return report.record > 0 ? where + QStringLiteral("无法存入文本库：") + describe(report.store)
                                 : describe(report.store);
    }
    return QString();
}

} // namespace messages
