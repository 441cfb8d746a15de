#include "settings/Settings.h"

#include <QSettings>

#include <cmath>
#include <limits>

namespace settings {

namespace {

// A store object per call: Qt shares the parsed file between them, and each
// write is flushed when the object goes, so nothing waits for the exit.
struct Store {
    QSettings settings{QStringLiteral("VemoTools"), QStringLiteral("Vemo文本收集器")};
};

QString section(const QString &key) {
    return QStringLiteral("Vemo文本收集器/") + key;
}

// A number the program can use as an int: "nan", "inf" and values beyond the
// int range would make the conversion undefined, so they count as absent.
bool isNumber(const QString &text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && !text.trimmed().isEmpty() && std::isfinite(value) &&
           value >= double(std::numeric_limits<int>::min()) &&
           value <= double(std::numeric_limits<int>::max());
}

} // namespace

QStringList hotkeyChoices() {
    QStringList list{QStringLiteral("(默认)Ctrl+E")};
    for (char c = 'A'; c <= 'Z'; ++c)
        if (c != 'E')
            list << QStringLiteral("Ctrl+") + QChar(c);
    for (int f = 1; f <= 12; ++f)
        list << QStringLiteral("Ctrl+F%1").arg(f);
    return list;
}

const QList<Key> &allKeys() {
    static const QList<Key> keys = {
        {"Vemo_left", Form::Number, "12000", {}},
        {"Vemo_Top", Form::Number, "200", {}},
        {"显示到系统托盘", Form::Boolean, "True", {}},
        {"小图标双击", Form::FreeText, "识别剪贴板内容", {}}, // any other value switches the double-click off
        {"连续两次Ctrl+C新增", Form::CheckState, "1", {}},
        {"呼出快捷键", Form::Choice, "(默认)Ctrl+E", hotkeyChoices()},
        {"呼出快捷键值", Form::Number, "69", {}},
        {"开机启动", Form::CheckState, "0", {}},
        {"快捷方式", Form::CheckState, "0", {}},
        {"列表执行方式", Form::FreeText, "单击执行", {}}, // other values mean "neither click executes"
        {"窗体自动关闭", Form::CheckState, "1", {}},
        {"最近一次记录", Form::FreeText, "", {}},
        {"ChangeCode MoudleName", Form::FreeText, "", {}},
        {"ChangeCode TypeName", Form::FreeText, "Sub", {}},
        {"Textbox双击方式", Form::FreeText, "清空内容", {}}, // typed texts do nothing on a double-click
    };
    return keys;
}

const Key *findKey(const QString &name) {
    for (const Key &key : allKeys())
        if (name == QString::fromUtf8(key.name))
            return &key;
    return nullptr;
}

bool isValidValue(const QString &key, const QString &value) {
    const Key *known = findKey(key);
    if (!known)
        return true;
    switch (known->form) {
    case Form::CheckState:
        return value == QLatin1String("0") || value == QLatin1String("1");
    case Form::Boolean:
        return value.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
               value.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0;
    case Form::Number:
        return isNumber(value);
    case Form::Choice:
        return known->choices.contains(value);
    case Form::FreeText:
        return true;
    }
    return true;
}

QString toText(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Float:
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (d == static_cast<double>(static_cast<long long>(d)))
            return QString::number(static_cast<long long>(d));
        return QString::number(d, 'g', 15);
    }
    default:
        return value.toString();
    }
}

bool isOne(const QString &text) {
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    if (ok)
        return d == 1;
    return false;
}

bool isTrue(const QString &text) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    bool ok = false;
    const double d = t.toDouble(&ok);
    return ok && d != 0;
}

} // namespace settings

QString GetSet(const QString &key, const QVariant &defaultValue) {
    const QVariant stored = settings::Store().settings.value(settings::section(key));
    if (stored.isValid()) {
        const QString text = stored.toString();
        if (settings::isValidValue(key, text))
            return text;
    }
    return settings::toText(defaultValue);
}

void SaveSet(const QString &key, const QVariant &value) {
    settings::Store().settings.setValue(settings::section(key), settings::toText(value));
}
