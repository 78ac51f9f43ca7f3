#include "app/widgets/gdiplus_session.h"

#include <objidl.h>
#include <gdiplus.h>

namespace tidemark::widgets {

GdiplusSession::GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) token_ = token;
}

GdiplusSession::~GdiplusSession() {
    if (token_) Gdiplus::GdiplusShutdown(token_);
}

bool EnsureGdiplus() {
    // Never shut down: pictures may live until the process ends, and it ends without tearing
    // its windows down.
    static const GdiplusSession* session = new GdiplusSession;
    return session->ok();
}

}  // namespace tidemark::widgets
