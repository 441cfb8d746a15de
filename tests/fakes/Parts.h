// A window's controls as a test reaches them: by type and object name.
#pragma once
#include <QObject>

template <class Control, class Window> Control *part(const Window &window, const char *name) {
    return window->template findChild<Control *>(QLatin1String(name));
}
