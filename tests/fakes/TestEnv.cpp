#include "TestEnv.h"

#include "MessageBox.h"

#include <QSettings>

TestEnv::TestEnv() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
    resetSettings();
    msg::setHandler([this](const QString &text, int style, const QString &title) {
        boxes << title + "|" + text;
        styles << style;
        if ((style & 7) == 4) {
            if (answers.empty())
                return msg::Yes;
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return msg::Ok;
    });
}

TestEnv::~TestEnv() {
    msg::setHandler({});
}

void TestEnv::resetSettings() {
    QSettings store(QStringLiteral("VemoTools"), QStringLiteral("Vemo文本收集器"));
    store.clear();
    store.sync();
}
