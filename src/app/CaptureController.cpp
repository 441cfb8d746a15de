#include "CaptureController.h"

#include "CallUpController.h"
#include "Settings.h"
#include "platform.h"

#include <QClipboard>
#include <QGuiApplication>

namespace {

// The watch looks at the keys this often, and proposes after this many ticks.
constexpr int WatchMs = 100;
constexpr int TicksToPropose = 5;

} // namespace

QString CaptureController::clipboardText() {
    // The text as the system holds it where the toolkit would change its
    // line ends: a text the user does not edit is stored as it came.
    if (const auto stored = platform::clipboardTextAsStored())
        return QString::fromStdU16String(*stored);
    return QGuiApplication::clipboard()->text();
}

CaptureController::CaptureController(Settings &settings, const LibraryStore &library,
                                     CallUpController &callUp, const QWidget *anchor, QObject *parent)
    : QObject(parent), m_settings(settings), m_library(library), m_callUp(callUp), m_anchor(anchor) {
    connect(&m_watch, &QTimer::timeout, this, &CaptureController::watchTick);
    connect(&m_settings, &Settings::changed, this, [this](const QString &key) {
        if (key == setting::HoldCtrlC.key())
            followSettings();
    });
}

void CaptureController::startWatching() {
    m_watching = true;
    followSettings();
}

void CaptureController::followSettings() {
    if (m_watching && m_settings.value(setting::HoldCtrlC))
        m_watch.start(WatchMs);
    else
        m_watch.stop();
    m_heldTicks = 0;
}

RecordEditor *CaptureController::ensureEditor() {
    return m_editor.get([this] { return new RecordEditor(m_settings, m_library); });
}

void CaptureController::propose(const QString &text) {
    RecordEditor *editor = ensureEditor();
    editor->proposeNew(text);
    editor->placeBeside(m_anchor);
}

bool CaptureController::proposeFromDoubleClick() {
    if (m_settings.value(setting::IconDoubleClick) != choice::CaptureClipboard)
        return false;
    const QString text = clipboardText();
    if (text.isEmpty())
        return false;
    propose(text);
    return true;
}

void CaptureController::proposeClipboard() {
    const QString text = clipboardText();
    m_callUp.closeList();
    propose(text);
}

void CaptureController::edit(const Record &record) {
    RecordEditor *editor = ensureEditor();
    editor->showRecord(record);
    placeBesideList(editor);
}

void CaptureController::editTeam(TeamLibrary &team, const TeamRecord &record) {
    RecordEditor *editor = ensureEditor();
    editor->showTeamRecord(team, record);
    placeBesideList(editor);
}

void CaptureController::placeBesideList(RecordEditor *editor) {
    QuickListWindow *list = m_callUp.list();
    if (list) {
        // The list keeps still until the editor closes.
        connect(editor, &QObject::destroyed, list, [hold = list->keepOpen()] {});
    }
    editor->placeBeside(list);
}

// Holding Ctrl+C for about half a second proposes the copied text. The watch
// only reads the key state and the clipboard; the keys themselves reach the
// program in front untouched.
void CaptureController::watchTick() {
    platform::Platform &p = platform::current();
    if (!p.keyIsDown(platform::vk::Control) || !p.keyIsDown(platform::vk::C) ||
        p.keyIsDown(platform::vk::Menu) || p.keyIsDown(platform::vk::Shift)) {
        m_heldTicks = 0;
        return;
    }
    if (clipboardText().length() <= 1)
        return;
    if (++m_heldTicks < TicksToPropose)
        return;
    m_heldTicks = 0;
    // Never over a proposal the user is looking at.
    if (!m_editor.peek() || !m_editor.peek()->isVisible())
        proposeClipboard();
}
