// The life cycle every window but the icon window shares: created (and its
// Form_Load run) when first touched, destroyed when it closes, so the next
// touch loads it afresh.
#pragma once

#include <QCloseEvent>
#include <QPointer>
#include <QWidget>
#include <functional>

// Base of the program's windows: closing runs Form_QueryUnload, then
// Form_Unload, then the window is destroyed.
class FormBase : public QWidget {
    Q_OBJECT
  public:
    explicit FormBase(QWidget *parent = nullptr, Qt::WindowFlags flags = {});

    // Closes and destroys the window (the classic Unload).
    void unload();

  signals:
    // Emitted once, after Form_Unload, before the window is destroyed.
    void unloaded();

  protected:
    // Return false to keep the window open.
    virtual bool Form_QueryUnload() { return true; }
    virtual void Form_Unload() {}
    void closeEvent(QCloseEvent *event) override;

  private:
    bool m_unloading = false;
};

namespace Forms {

// The one instance of a window class. T derives from FormBase and runs its
// Form_Load in its constructor.
template <class T> class Form {
  public:
    // The window, creating it when it is not loaded.
    static T *get() {
        if (!slot()) {
            T *form = new T();
            slot() = form;
            if (created())
                created()(form);
            QObject::connect(form, &FormBase::unloaded, form, [form] {
                if (slot() == form)
                    slot() = nullptr;
            });
        }
        return slot();
    }
    // Whether it is loaded, without creating it.
    static bool loaded() { return !slot().isNull(); }
    // The window if loaded, else nullptr.
    static T *peek() { return slot(); }
    static void unload() {
        if (T *form = slot())
            form->unload();
    }
    // Runs for every new instance, right after its Form_Load: start-up wires
    // a window's requests to higher floors here, once.
    static void onCreated(std::function<void(T *)> wire) { created() = std::move(wire); }

  private:
    static std::function<void(T *)> &created() {
        static std::function<void(T *)> wire;
        return wire;
    }
    static QPointer<T> &slot() {
        static QPointer<T> instance;
        return instance;
    }
};

// Unloads every window of the program that is still loaded (used at exit).
void unloadAll();

} // namespace Forms
