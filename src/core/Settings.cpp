#include "Settings.h"

#include "Program.h"

#include <QSettings>
#include <cmath>
#include <limits>
#include <optional>

namespace {

QString section(const char *name) {
    return program::Name + QLatin1Char('/') + QString::fromUtf8(name);
}

// A number the program can use as an int: "nan", "inf" and values beyond the
// int range would make the conversion undefined, so they count as absent.
std::optional<double> number(const QString &text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || text.trimmed().isEmpty() || !std::isfinite(value) ||
        value < double(std::numeric_limits<int>::min()) || value > double(std::numeric_limits<int>::max()))
        return std::nullopt;
    return value;
}

bool isForm(const QString &text, SettingForm form) {
    switch (form) {
    case SettingForm::CheckState:
        return text == QLatin1String("0") || text == QLatin1String("1");
    case SettingForm::Boolean:
        return text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
               text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0;
    case SettingForm::Number:
        return number(text).has_value();
    case SettingForm::HotkeyChoice:
        for (const auto &entry : hotkeyChoices())
            if (entry.first == text)
                return true;
        return false;
    case SettingForm::Text:
    case SettingForm::Lines:
        return true;
    }
    return false;
}

} // namespace

const QList<QPair<QString, int>> &hotkeyChoices() {
    static const QList<QPair<QString, int>> entries = [] {
        // E is the default and appears only once, at the top.
        QList<QPair<QString, int>> list{{QStringLiteral("(默认)Ctrl+E"), 'E'}};
        for (char c = 'A'; c <= 'Z'; ++c)
            if (c != 'E')
                list.append({QStringLiteral("Ctrl+") + QLatin1Char(c), c});
        for (int f = 1; f <= 12; ++f)
            list.append({QStringLiteral("Ctrl+F%1").arg(f), 111 + f});
        return list;
    }();
    return entries;
}

// A value written soon waits this long for the program to be idle.
constexpr int WriteSoonMs = 500;

Settings::Settings(QObject *parent) : QObject(parent) {
    m_writeSoon.setSingleShot(true);
    m_writeSoon.setInterval(WriteSoonMs);
    connect(&m_writeSoon, &QTimer::timeout, this, &Settings::writePending);
}

Settings::~Settings() {
    writePending();
}

std::optional<QString> Settings::stored(const char *name, SettingForm form) const {
    const auto pending = m_pending.constFind(QByteArray(name));
    if (pending != m_pending.cend())
        return isForm(*pending, form) ? std::optional<QString>(*pending) : std::nullopt;
    // A store object per call: Qt shares the parsed file between them, and
    // each write is flushed when the object goes.
    const QVariant value = QSettings(program::Organization, program::Name).value(section(name));
    if (!value.isValid())
        return std::nullopt;
    const QString text = form == SettingForm::Lines && value.typeId() == QMetaType::QStringList
                             ? value.toStringList().join(QLatin1Char('\n'))
                             : value.toString();
    if (!isForm(text, form))
        return std::nullopt;
    return text;
}

void Settings::write(const char *name, const QString &text) {
    m_pending.remove(QByteArray(name)); // the later value wins
    QSettings(program::Organization, program::Name).setValue(section(name), text);
    emit changed(QString::fromUtf8(name));
}

void Settings::setValueSoon(const SettingKey<QString> &key, const QString &value) {
    m_pending.insert(QByteArray(key.name), value);
    m_writeSoon.start();
    emit changed(key.key());
}

void Settings::writePending() {
    m_writeSoon.stop();
    if (m_pending.isEmpty())
        return;
    QSettings store(program::Organization, program::Name);
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
        store.setValue(section(it.key().constData()), it.value());
    m_pending.clear();
}

int Settings::value(const SettingKey<int> &key) const {
    const auto text = stored(key.name, key.form);
    return text ? int(*number(*text)) : key.fallback;
}

bool Settings::value(const SettingKey<bool> &key) const {
    const auto text = stored(key.name, key.form);
    if (!text)
        return key.fallback;
    return key.form == SettingForm::Boolean ? text->compare(QLatin1String("True"), Qt::CaseInsensitive) == 0
                                            : *text == QLatin1String("1");
}

QString Settings::value(const SettingKey<QString> &key) const {
    return stored(key.name, key.form).value_or(key.fallback);
}

void Settings::setValue(const SettingKey<int> &key, int value) {
    write(key.name, QString::number(value));
}

void Settings::setValue(const SettingKey<bool> &key, bool value) {
    if (key.form == SettingForm::Boolean)
        write(key.name, value ? QStringLiteral("True") : QStringLiteral("False"));
    else
        write(key.name, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void Settings::setValue(const SettingKey<QString> &key, const QString &value) {
    write(key.name, value);
}
