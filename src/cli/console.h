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

// Writes to the process's standard output and standard error.
class StdOutput : public Output {
public:
    void Out(const std::string& utf8) override;
    void Err(const std::string& utf8) override;
};

// Collects what a command writes (tests).
class BufferOutput : public Output {
public:
    void Out(const std::string& utf8) override { out += utf8; }
    void Err(const std::string& utf8) override { err += utf8; }
    std::string out, err;
};

}  // namespace tidemark::cli
