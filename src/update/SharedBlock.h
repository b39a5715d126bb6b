#pragma once

#include "update/ResultBlock.h"

#include <string>

namespace orvex {

// A slot's result block as POSIX shared memory, mapped read-write. The
// coordinator creates it (blank) and removes the name when it lets go; a
// worker opens the existing one.
class SharedBlock
{
public:
    SharedBlock() = default;
    ~SharedBlock();
    SharedBlock(SharedBlock&& other) noexcept;
    SharedBlock& operator=(SharedBlock&& other) noexcept;
    SharedBlock(const SharedBlock&) = delete;
    SharedBlock& operator=(const SharedBlock&) = delete;

    // A block left behind by a crashed run under the same name is taken over.
    static SharedBlock Create(const std::string& name);
    static SharedBlock Open(const std::string& name);

    bool valid() const { return data_ != nullptr; }
    // Why Create or Open failed; empty when valid.
    const std::string& error() const { return error_; }
    char* data() { return data_; }
    const char* data() const { return data_; }

    // Blanks the whole block, marker included, before the next job.
    void Clear();

private:
    void Release();

    std::string name_;
    std::string error_;
    char* data_ = nullptr;
    bool owner_ = false;
};

} // namespace orvex
