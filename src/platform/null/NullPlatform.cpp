#include "platform.h"

namespace platform {
namespace {

// A session without X11 (pure Wayland) or Win32: nothing global is possible,
// and nothing crashes.
class NullPlatform final : public Platform {
  public:
    std::string name() const override { return "null"; }
    bool available() const override { return false; }
    bool keyIsDown(int) override { return false; }
    void trimWorkingSet() override {}
    Result registerHotkey(int, int, std::function<void()>) override { return unsupported(); }
    void unregisterHotkey(int) override {}
    WindowId foregroundWindow() override { return 0; }
    bool windowExists(WindowId) override { return false; }
    bool activateWindow(WindowId, int) override { return false; }
    WindowClass windowClass(WindowId) override { return {}; }
    Result sendPaste(PasteKeys) override { return unsupported(); }
    Result addBootStart(const std::string &, const std::string &) override { return unsupported(); }
    Result removeBootStart(const std::string &) override { return unsupported(); }
    Result makeShortcut(const std::string &, const std::string &, const std::string &) override {
        return unsupported();
    }

  private:
    static Result unsupported() { return {false, "unsupported in this session"}; }
};

} // namespace

std::unique_ptr<Platform> createNull() {
    return std::make_unique<NullPlatform>();
}

} // namespace platform
