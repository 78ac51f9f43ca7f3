#include "app/message_pump.h"

namespace tidemark {

void MessagePump::Drain(DWORD now) {
    if (now - last_ > longestGap_) longestGap_ = now - last_;
    ++drains_;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // The quit belongs to the outer loop: put it back and let the operation notice the
            // stop request the close made.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    last_ = GetTickCount();
}

}  // namespace tidemark
