#include "MessageBox.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpacerItem>

namespace msg {
namespace {
Handler &hook() {
    static Handler handler;
    return handler;
}
} // namespace

void setHandler(Handler handler) {
    hook() = std::move(handler);
}

std::unique_ptr<QMessageBox> makeBox(const QString &text, int style, const QString &title, QWidget *parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(title.isEmpty() ? QString::fromUtf8(AppTitle) : title);
    box->setText(text);
    box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (style & 64)
        box->setIcon(QMessageBox::Information);
    if ((style & 7) == 4) {
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

int MsgBox(const QString &text, int style, const QString &title, QWidget *parent) {
    const QString caption = title.isEmpty() ? QString::fromUtf8(AppTitle) : title;
    if (hook())
        return hook()(text, style, caption);

    // The box belongs to the window that opened it, and that window has the
    // keyboard again afterwards (the window manager would otherwise pass it
    // to whichever window of ours it likes).
    QPointer<QWidget> owner = parent ? parent->window() : QApplication::activeWindow();
    const std::unique_ptr<QMessageBox> box = makeBox(text, style, caption, owner);
    box->exec();
    const bool yes = box->buttonRole(box->clickedButton()) == QMessageBox::YesRole;
    if (owner && owner->isVisible()) {
        owner->raise();
        owner->activateWindow();
    }
    if ((style & 7) == 4)
        return yes ? Yes : No;
    return Ok;
}

} // namespace msg
