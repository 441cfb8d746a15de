// The program's message boxes, with a seam so tests can answer them. A box
// belongs to the window that opened it (the active window when none is
// given), which takes the keyboard back afterwards.
#pragma once

#include "LibraryExchange.h"
#include "StoreOutcome.h"

#include <QString>
#include <functional>
#include <memory>

class QMessageBox;
class QWidget;

namespace messages {

enum class Kind {
    Notice,   // OK button, information icon
    Question, // Yes and No, information icon
    Plain,    // OK button, no icon
};

// A notice; the title is the program's name unless given.
void notice(QWidget *parent, const QString &text, const QString &title = QString());
// A notice titled "【Vemo】文本收集器提示您".
void tip(QWidget *parent, const QString &text);
// A box with the OK button alone and no icon (the system's own words for a failure).
void plain(QWidget *parent, const QString &text);
// Yes or No, titled with the program's name; true on Yes.
bool ask(QWidget *parent, const QString &text);

// The box the functions above show, not yet shown.
std::unique_ptr<QMessageBox> makeBox(Kind kind, const QString &text, const QString &title, QWidget *parent);

// Tests answer the boxes: the responder receives kind, title and text and
// returns true for Yes. An empty function restores the real boxes.
using Responder = std::function<bool(Kind kind, const QString &title, const QString &text)>;
void setResponder(Responder responder);

// The user's words for a failed library operation.
QString describe(StoreError error);
// The same for a library that could not be read: "无法读取文本库：" and the
// reason, or the missing-file message alone.
QString describeReadFailure(StoreError error);

// Why an export or import failed: the file, the line or record, what is wrong.
QString describe(const exchange::Report &report);
// What a successful export or import did: the counts, what an export could
// not write as stored, the records an import found changed beside their ID.
QString describeDone(const exchange::Report &report, bool exported, bool updating = false);

} // namespace messages
