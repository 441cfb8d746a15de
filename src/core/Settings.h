// The settings store: per-user text values under application "VemoTools",
// section "Vemo文本收集器" (the registry on Windows, an INI file elsewhere).
// Every key is declared once below with its stored name, the form its value
// is written in and its default; callers ask for a typed value. A stored
// value that is not in its key's form counts as absent. Values are read at
// the moment they are needed; a write emits changed().
#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTimer>
#include <optional>

// How a key's value is written: check boxes "0"/"1", Booleans "True"/"False",
// numbers in decimal (whole twips for places), texts as they are. Lines are a
// text of one item a line; a list the user wrote (items parted by commas in
// the INI file, a multi-string registry value) reads as its items, one a line.
enum class SettingForm { CheckState, Boolean, Number, HotkeyChoice, Text, Lines };

template <typename T> struct SettingKey {
    const char *name;
    SettingForm form;
    T fallback;
    QString key() const { return QString::fromUtf8(name); }
};

namespace setting {
// The floating icon's place, in twips.
inline const SettingKey<int> IconLeft{"Vemo_left", SettingForm::Number, 12000};
inline const SettingKey<int> IconTop{"Vemo_Top", SettingForm::Number, 200};
// The program lives in the notification area instead of showing its icon.
inline const SettingKey<bool> ShowInTray{"显示到系统托盘", SettingForm::Boolean, true};
// "识别剪贴板内容": a double-click on the icon proposes the clipboard text;
// any other value switches the double-click off.
inline const SettingKey<QString> IconDoubleClick{"小图标双击", SettingForm::Text,
                                                 QStringLiteral("识别剪贴板内容")};
// Holding Ctrl+C proposes the copied text.
inline const SettingKey<bool> HoldCtrlC{"连续两次Ctrl+C新增", SettingForm::CheckState, true};
// The call-up hotkey: its entry in the settings window, and the key used with Ctrl.
inline const SettingKey<QString> HotkeyChoice{"呼出快捷键", SettingForm::HotkeyChoice,
                                              QStringLiteral("(默认)Ctrl+E")};
inline const SettingKey<int> HotkeyKey{"呼出快捷键值", SettingForm::Number, 69};
inline const SettingKey<bool> StartWithSystem{"开机启动", SettingForm::CheckState, false};
inline const SettingKey<bool> Shortcuts{"快捷方式", SettingForm::CheckState, false};
// "单击执行", "双击执行", or any other text: neither click executes.
inline const SettingKey<QString> ListClickMode{"列表执行方式", SettingForm::Text, QStringLiteral("单击执行")};
// The quick list's search box also finds titles by their pinyin or its initials.
inline const SettingKey<bool> PinyinSearch{"拼音搜索", SettingForm::CheckState, true};
// The quick list closes by itself; otherwise it stays open, above other windows.
inline const SettingKey<bool> ListClosesItself{"窗体自动关闭", SettingForm::CheckState, true};
// The last executed quick-list entry (its columns joined by U+0008).
inline const SettingKey<QString> LastUsedEntry{"最近一次记录", SettingForm::Text, QString()};
// What the record editor showed last, and what a double-click on its text box does.
inline const SettingKey<QString> EditorGroup{"ChangeCode MoudleName", SettingForm::Text, QString()};
inline const SettingKey<QString> EditorCategory{"ChangeCode TypeName", SettingForm::Text,
                                                QStringLiteral("Sub")};
inline const SettingKey<QString> EditorDoubleClick{"Textbox双击方式", SettingForm::Text,
                                                   QStringLiteral("清空内容")};
// The user's paste keystrokes: lines "window class = Ctrl+Shift+V" (or Ctrl+V,
// Shift+Insert), read at each paste; no settings window edits them.
inline const SettingKey<QString> PasteKeyLines{"粘贴按键规则", SettingForm::Lines, QString()};
// The answers last given to the fill-ins of texts with fields, offered again:
// a JSON object from prompt to answer.
inline const SettingKey<QString> FillInAnswers{"模板上次填写", SettingForm::Text, QString()};
// The team library's server: a libpq connection string (hosts, database,
// user, sslmode); never a password, which stays in libpq's password file.
// Empty: no team library.
inline const SettingKey<QString> TeamLibrary{"团队文本库", SettingForm::Text, QString()};
} // namespace setting

// The click modes of the quick list and the choices of the editor's double-click.
namespace choice {
inline const QString ClickExecutes = QStringLiteral("单击执行");
inline const QString DoubleClickExecutes = QStringLiteral("双击执行");
inline const QString CaptureClipboard = QStringLiteral("识别剪贴板内容");
} // namespace choice

// The 38 entries of the call-up hotkey list in order: the text shown and the
// Windows virtual-key code used with Ctrl.
const QList<QPair<QString, int>> &hotkeyChoices();

class Settings : public QObject {
    Q_OBJECT
  public:
    explicit Settings(QObject *parent = nullptr);
    ~Settings() override;

    int value(const SettingKey<int> &key) const;
    bool value(const SettingKey<bool> &key) const;
    QString value(const SettingKey<QString> &key) const;

    void setValue(const SettingKey<int> &key, int value);
    void setValue(const SettingKey<bool> &key, bool value);
    void setValue(const SettingKey<QString> &key, const QString &value);
    // The same, with the store written a moment later, when the program is
    // idle: writing the file takes milliseconds that a paste must not wait
    // for. Reads see the value at once; it is stored at the latest when this
    // object goes.
    void setValueSoon(const SettingKey<QString> &key, const QString &value);

  signals:
    // A value was written (the key's stored name).
    void changed(const QString &key);

  private:
    // The stored text when it is in the key's form.
    std::optional<QString> stored(const char *name, SettingForm form) const;
    void write(const char *name, const QString &text);
    void writePending();

    QHash<QByteArray, QString> m_pending; // stored name -> text not yet written
    QTimer m_writeSoon;
};
