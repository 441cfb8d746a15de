// The program's message boxes, with a seam so tests can answer them.
#pragma once

#include <QString>
#include <functional>

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
// gives the program's default title.
int MsgBox(const QString &text, int style = Information, const QString &title = QString());

// Tests replace the boxes: the handler receives text, style and title and
// returns the answer. Pass an empty function to restore the real boxes.
using Handler = std::function<int(const QString &text, int style, const QString &title)>;
void setHandler(Handler handler);

} // namespace msg
