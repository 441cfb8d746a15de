// Isolation for tests: settings go to a temporary folder, never the user's
// own, and message boxes are answered by the test.
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>

class TestEnv {
  public:
    // Points the settings store at a fresh temporary folder.
    TestEnv();
    ~TestEnv();
    QString dir() const { return m_dir.path(); }
    // Clears every stored setting.
    void resetSettings();

    // Message boxes: every box is recorded as "title|text"; questions take
    // the queued answers in order (Yes when none is queued).
    QStringList boxes;
    QList<int> styles;
    std::deque<int> answers;

  private:
    QTemporaryDir m_dir;
};
