#include "FMain.h"

#include "MessageBox.h"

namespace FMain {

QString CallUpMode = ModeIcon;
bool DoubleCtrlC = false;
bool QuickListAutoClose = true;

void ShowTip(const QString &text) {
    msg::MsgBox(text, msg::Information, QString::fromUtf8(msg::TipTitle));
}

} // namespace FMain

namespace onKey {
QString TargetWindowSlot;
} // namespace onKey
