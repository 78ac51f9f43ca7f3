// GDI+ is started once per process, before any picture is loaded, and shut down after the last
// one is gone: the program holds one GdiplusSession in its main function, tests in a fixture.
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

}  // namespace tidemark::widgets
