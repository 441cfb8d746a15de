// The settings store: per-user text values under application "VemoTools",
// section "Vemo文本收集器". Every key, its value form and its default are
// listed here and nowhere else.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

namespace settings {

enum class Form {
    CheckState, // "0" or "1"
    Boolean,    // "True" or "False"
    Number,     // decimal digits, maybe signed
    Choice,     // one of the listed texts
    FreeText,   // anything
};

struct Key {
    const char *name;
    Form form;
    const char *defaultValue;
    QStringList choices; // for Form::Choice
};

namespace keys {
inline const QString VemoLeft = QStringLiteral("Vemo_left");
inline const QString VemoTop = QStringLiteral("Vemo_Top");
inline const QString ShowInTray = QStringLiteral("显示到系统托盘");
inline const QString IconDoubleClick = QStringLiteral("小图标双击");
inline const QString DoubleCtrlC = QStringLiteral("连续两次Ctrl+C新增");
inline const QString HotkeyText = QStringLiteral("呼出快捷键");
inline const QString HotkeyValue = QStringLiteral("呼出快捷键值");
inline const QString BootStart = QStringLiteral("开机启动");
inline const QString Shortcut = QStringLiteral("快捷方式");
inline const QString ListClickMode = QStringLiteral("列表执行方式");
inline const QString ListAutoClose = QStringLiteral("窗体自动关闭");
inline const QString LastRecord = QStringLiteral("最近一次记录");
inline const QString EditorGroup = QStringLiteral("ChangeCode MoudleName");
inline const QString EditorType = QStringLiteral("ChangeCode TypeName");
inline const QString EditorDoubleClick = QStringLiteral("Textbox双击方式");
} // namespace keys

// The known keys in their documented order.
const QList<Key> &allKeys();
// The description of a key, or nullptr for a key the program does not know.
const Key *findKey(const QString &name);
// The 38 display texts of the call-up hotkey list, in order.
QStringList hotkeyChoices();
// Whether a value is in the form its key expects (unknown keys accept anything).
bool isValidValue(const QString &key, const QString &value);

// Text forms of values as the store writes them.
QString toText(const QVariant &value);
// A stored text compared with 1 / true: "1" equals 1, "True" equals true.
bool isOne(const QString &text);
bool isTrue(const QString &text);

} // namespace settings

// The stored value of the key, or the default as text when the key was never
// written or holds a value that is not in the key's form.
QString GetSet(const QString &key, const QVariant &defaultValue);
// Stores the value's text form under the key.
void SaveSet(const QString &key, const QVariant &value);
