// The settings file from any bytes: every key reads without a crash as a
// value of its form or its default, the paste keystroke lines it gives name
// their malformed lines, and every text read is written and read back as it
// was.
#include "FuzzSupport.h"
#include "PasteKeyRules.h"
#include "Program.h"
#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <algorithm>
#include <fcntl.h>
#include <initializer_list>
#include <sys/stat.h>

namespace {

// The settings file, in a folder of the scratch folder.
QString settingsFile() {
    static const QString file = [] {
        const QString folder = fuzz::scratchPath(QStringLiteral("settings"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
        return QSettings(program::Organization, program::Name).fileName();
    }();
    return file;
}

// Writes the file with a modification time of its own, so the store, which
// keeps a parsed file until its size or time changes, reads it afresh.
void writeSettings(QByteArrayView bytes) {
    static qint64 stamp = 1000000000;
    const QString file = settingsFile();
    QDir().mkpath(QFileInfo(file).path());
    fuzz::check(fuzz::writeFile(file, bytes), "cannot write the settings file");
    const timespec times[2] = {{stamp, 0}, {stamp, 0}};
    ++stamp;
    fuzz::check(utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0) == 0,
                "cannot date the file");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    writeSettings(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    Settings settings;
    // Read every key.
    for (const auto *key : {&setting::IconLeft, &setting::IconTop, &setting::HotkeyKey})
        (void)settings.value(*key);
    for (const auto *key : {&setting::ShowInTray, &setting::HoldCtrlC, &setting::StartWithSystem,
                            &setting::Shortcuts, &setting::PinyinSearch, &setting::ListClosesItself})
        (void)settings.value(*key);
    const std::initializer_list<const SettingKey<QString> *> texts = {
        &setting::IconDoubleClick,   &setting::HotkeyChoice, &setting::ListClickMode,
        &setting::LastUsedEntry,     &setting::EditorGroup,  &setting::EditorCategory,
        &setting::EditorDoubleClick, &setting::PasteKeyLines};
    std::vector<QString> values;
    for (const auto *key : texts)
        values.push_back(settings.value(*key));
    const QString choice = settings.value(setting::HotkeyChoice);
    fuzz::check(std::any_of(hotkeyChoices().begin(), hotkeyChoices().end(),
                            [&](const auto &entry) { return entry.first == choice; }),
                "the hotkey is none of the choices", choice.toUtf8());

    // The paste keystroke lines name each malformed line as one of theirs.
    const std::string lines = settings.value(setting::PasteKeyLines).toStdString();
    const PasteKeyRules rules(lines);
    for (const std::string &line : rules.malformed())
        fuzz::check(!line.empty() && lines.find(line) != std::string::npos,
                    "a malformed line is not in the setting", QByteArray::fromStdString(line));

    // Every text read is written back and read back as it was.
    writeSettings({});
    size_t i = 0;
    for (const auto *key : texts)
        settings.setValue(*key, values[i++]);
    i = 0;
    for (const auto *key : texts) {
        fuzz::check(settings.value(*key) == values[i], "a text does not come back as written",
                    QByteArray(key->name) + ": " + values[i].toUtf8());
        ++i;
    }
    return 0;
}
