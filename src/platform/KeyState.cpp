#include "platform/KeyState.h"

#include <array>
#include <mutex>

namespace {

struct KeyboardState {
    std::mutex mutex;
    std::array<bool, 256> down{};
    std::array<bool, 256> toggled{};
};

KeyboardState& Keyboard() {
    static KeyboardState state;
    return state;
}

bool ValidKey(int virtualKey) { return virtualKey >= 0 && virtualKey < 256; }

}  // namespace

std::int16_t GetKeyState(int virtualKey) {
    if (!ValidKey(virtualKey)) return 0;
    KeyboardState& k = Keyboard();
    std::lock_guard lock(k.mutex);
    const auto index = static_cast<size_t>(virtualKey);
    std::uint16_t state = 0;
    if (k.down[index]) state |= 0x8000u;
    if (k.toggled[index]) state |= 0x0001u;
    return static_cast<std::int16_t>(state);
}

void SetKeyDown(int virtualKey, bool down) {
    if (!ValidKey(virtualKey)) return;
    KeyboardState& k = Keyboard();
    std::lock_guard lock(k.mutex);
    const auto index = static_cast<size_t>(virtualKey);
    if (down && !k.down[index]) k.toggled[index] = !k.toggled[index];
    k.down[index] = down;
}

void ResetKeyboardState() {
    KeyboardState& k = Keyboard();
    std::lock_guard lock(k.mutex);
    k.down.fill(false);
    k.toggled.fill(false);
}
