#pragma once
// The keyboard state a command reads while the host drives it: whether a key
// is held down at the moment of the call, as the platform's key-state query
// answers it. On the desktop the window system knows; here the host program
// (or a test) says which keys are down, and the command asks.
//
// Part of the platform's shared library, so that the host and the module it
// loads see one state.
#include <cstdint>

#include "platform/Types.h"

// The state of a virtual key: the high-order bit (0x8000) is set while the
// key is down; the low-order bit toggles with every press (as for Caps Lock).
std::int16_t GetKeyState(int virtualKey);

// Host side: presses (down) or releases a key. Pressing a key that is down
// already changes nothing; keys outside 0..255 are ignored.
void SetKeyDown(int virtualKey, bool down);
// Host side: every key up, every toggle off.
void ResetKeyboardState();

// Whether the high-order byte of the key state is nonzero (the key is down).
inline bool IsKeyDown(int virtualKey) {
    return (static_cast<std::uint16_t>(GetKeyState(virtualKey)) >> 8) != 0;
}
