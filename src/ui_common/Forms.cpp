#include "Forms.h"

#include <QApplication>

FormBase::FormBase(QWidget *parent, Qt::WindowFlags flags) : QWidget(parent, flags) {
    setAttribute(Qt::WA_DeleteOnClose, true);
}

void FormBase::unload() {
    close();
}

void FormBase::closeEvent(QCloseEvent *event) {
    if (m_unloading) {
        event->accept();
        return;
    }
    if (!Form_QueryUnload()) {
        event->ignore();
        return;
    }
    m_unloading = true;
    Form_Unload();
    event->accept();
    emit unloaded();
}

namespace Forms {

void unloadAll() {
    // The windows are collected first and guarded: closing one may delete
    // other top-level windows (the quick list takes its balloon along).
    QList<QPointer<FormBase>> forms;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *form = qobject_cast<FormBase *>(w))
            forms << form;
    for (const QPointer<FormBase> &form : forms)
        if (form)
            form->unload();
}

} // namespace Forms
