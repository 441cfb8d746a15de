// The life cycle every window but the floating icon shares: it exists once at
// most, is created when first needed and destroyed when it closes, so its
// start-up runs again at the next opening. The slot only forgets a window
// that is gone; it never keeps one alive.
#pragma once

#include <QPointer>
#include <QWidget>

template <class Window> class WindowSlot {
  public:
    // The window, made by `make` (which returns a new Window) when there is
    // none. The slot's windows are shown once made: a hidden one has closed
    // and waits to be destroyed, so a new one takes its place.
    template <class Make> Window *get(Make make) {
        if (m_window && m_window->isHidden())
            m_window = nullptr;
        if (!m_window) {
            m_window = make();
            m_window->setAttribute(Qt::WA_DeleteOnClose, true);
        }
        return m_window;
    }
    // The window if it is open, else nullptr.
    Window *peek() const { return m_window && !m_window->isHidden() ? m_window.data() : nullptr; }
    // Closes the window (which destroys it).
    void close() {
        if (m_window)
            m_window->close();
    }

  private:
    QPointer<Window> m_window;
};
