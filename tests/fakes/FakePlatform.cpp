#include "FakePlatform.h"

#include "PasteKeyRules.h"

platform::Result FakePlatform::registerHotkey(int id, int virtualKey, std::function<void()> onPress) {
    log.push_back("hotkey+:" + std::to_string(id) + ":" + std::to_string(virtualKey));
    if (takenKeys.count(virtualKey))
        return {false, "taken by another program"};
    hotkeys[id] = {virtualKey, std::move(onPress)};
    return {true, {}};
}

void FakePlatform::unregisterHotkey(int id) {
    log.push_back("hotkey-:" + std::to_string(id));
    hotkeys.erase(id);
}

bool FakePlatform::pressHotkey(int id) {
    auto it = hotkeys.find(id);
    if (it == hotkeys.end())
        return false;
    it->second.second();
    return true;
}

bool FakePlatform::activateWindow(platform::WindowId window, int) {
    log.push_back("activate:" + std::to_string(window));
    if (!activationArrives || !windows.count(window))
        return false;
    foreground = window;
    return true;
}

platform::Result FakePlatform::sendPaste(platform::PasteKeys keys) {
    log.push_back(std::string("paste:") + pasteKeysName(keys));
    if (onPaste)
        onPaste();
    return {true, {}};
}

platform::Result FakePlatform::addBootStart(const std::string &programName, const std::string &programPath) {
    log.push_back("boot+:" + programName + ":" + programPath);
    return {entryFailure.empty(), entryFailure};
}

platform::Result FakePlatform::removeBootStart(const std::string &programName) {
    log.push_back("boot-:" + programName);
    return {entryFailure.empty(), entryFailure};
}

platform::Result FakePlatform::makeShortcut(const std::string &displayName, const std::string &targetPath,
                                            const std::string &iconPath) {
    log.push_back("shortcut:" + displayName + ":" + targetPath + ":" + iconPath);
    return {entryFailure.empty(), entryFailure};
}

FakePlatformGuard::FakePlatformGuard() {
    auto fake = std::make_unique<FakePlatform>();
    m_fake = fake.get();
    m_previous = platform::install(std::move(fake));
}

FakePlatformGuard::~FakePlatformGuard() {
    platform::install(std::move(m_previous));
}
