// Console output: UTF-8 bytes to pipes and files, wide text to a real console window.
#pragma once

#include <string>

namespace tidemark::cli {

class Output {
public:
    virtual ~Output() = default;
    virtual void Out(const std::string& utf8) = 0;
    virtual void Err(const std::string& utf8) = 0;
};

// Writes to the process's standard output and standard error. Output to a pipe or file is
// gathered and written 64 KB at a time (a write is a round trip to the system, and a scan may
// print tens of thousands of lines); it is written out before anything goes to standard error,
// and when the object goes.
class StdOutput : public Output {
public:
    StdOutput() = default;
    ~StdOutput() override;
    StdOutput(const StdOutput&) = delete;
    StdOutput& operator=(const StdOutput&) = delete;
    void Out(const std::string& utf8) override;
    void Err(const std::string& utf8) override;
    void Flush();

private:
    std::string pending_;
    int outIsConsole_ = -1;  // not yet known
};

// Collects what a command writes (tests).
class BufferOutput : public Output {
public:
    void Out(const std::string& utf8) override { out += utf8; }
    void Err(const std::string& utf8) override { err += utf8; }
    std::string out, err;
};

}  // namespace tidemark::cli
