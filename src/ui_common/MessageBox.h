// The program's message boxes, with a seam so tests can answer them.
#pragma once

#include <QString>
#include <functional>
#include <memory>

class QMessageBox;
class QWidget;

namespace msg {

// Styles as the program uses them.
constexpr int OkOnly = 0;
constexpr int Information = 64; // OK button, information icon
constexpr int YesNoInfo = 68;   // Yes and No, information icon
// Answers.
constexpr int Ok = 1;
constexpr int Yes = 6;
constexpr int No = 7;

constexpr const char *AppTitle = "Vemo文本收集器";
constexpr const char *TipTitle = "【Vemo】文本收集器提示您";

// Shows a modal box and returns the answer (Ok, Yes or No). An empty title
// gives the program's default title. The box belongs to `parent` (the active
// window when none is given), which takes the keyboard back afterwards.
int MsgBox(const QString &text, int style = Information, const QString &title = QString(),
           QWidget *parent = nullptr);
// The box MsgBox shows, not yet shown.
std::unique_ptr<QMessageBox> makeBox(const QString &text, int style, const QString &title, QWidget *parent);

// Tests replace the boxes: the handler receives text, style and title and
// returns the answer. Pass an empty function to restore the real boxes.
using Handler = std::function<int(const QString &text, int style, const QString &title)>;
void setHandler(Handler handler);

} // namespace msg
