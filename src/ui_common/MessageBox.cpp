#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

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

int MsgBox(const QString &text, int style, const QString &title) {
    const QString caption = title.isEmpty() ? QString::fromUtf8(AppTitle) : title;
    if (hook())
        return hook()(text, style, caption);

    QMessageBox box;
    box.setWindowTitle(caption);
    box.setText(text);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (style & 64)
        box.setIcon(QMessageBox::Information);
    if ((style & 7) == 4) {
        QPushButton *yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
        QPushButton *no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes ? Yes : No;
    }
    QPushButton *ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
    return Ok;
}

} // namespace msg
