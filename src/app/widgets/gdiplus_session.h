// GDI+ is started when the first picture that needs it is loaded (EnsureGdiplus), and stays
// until the process ends. A GdiplusSession starts and ends a session of its own (tests hold one
// in a fixture).
#pragma once

#include <windows.h>

namespace tidemark::widgets {

class GdiplusSession {
public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

    bool ok() const { return token_ != 0; }

private:
    ULONG_PTR token_ = 0;
};

// Starts GDI+ for the process the first time it is called; false when it cannot be started.
bool EnsureGdiplus();

}  // namespace tidemark::widgets
