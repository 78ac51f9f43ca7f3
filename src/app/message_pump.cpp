#include "app/message_pump.h"

namespace tidemark {

double MessagePump::DrainingMs() const {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(drainingTicks_) / static_cast<double>(frequency.QuadPart);
}

void MessagePump::Drain(DWORD now) {
    if (now - last_ > longestGap_) longestGap_ = now - last_;
    ++drains_;
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
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
    LARGE_INTEGER end;
    QueryPerformanceCounter(&end);
    drainingTicks_ += end.QuadPart - start.QuadPart;
    last_ = GetTickCount();
}

}  // namespace tidemark
