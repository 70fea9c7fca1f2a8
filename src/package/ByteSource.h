// Random-access reading of the file that carries the package. The player reads its own file;
// tests and the fuzzer read packages held in memory.
#pragma once

#include "core/Error.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pictorelle {

// Anything wrong with the package as a whole. Caught only where the package is read at start.
class PackageError : public PictorelleError {
public:
    using PictorelleError::PictorelleError;
};

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual int64_t Size() const = 0;
    // Reads exactly n bytes at offset or throws PackageError.
    virtual void ReadAt(int64_t offset, void* buffer, size_t n) const = 0;
};

class FileSource final : public ByteSource {
public:
    // Opens read-only; throws PackageError when the file cannot be opened.
    explicit FileSource(const std::string& path);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    int64_t Size() const override { return size_; }
    void ReadAt(int64_t offset, void* buffer, size_t n) const override;

private:
    int fd_ = -1;
    int64_t size_ = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    int64_t Size() const override { return static_cast<int64_t>(bytes_.size()); }
    void ReadAt(int64_t offset, void* buffer, size_t n) const override;

private:
    std::span<const uint8_t> bytes_;
};

// Reads the whole of a file; throws PackageError on failure.
std::vector<uint8_t> ReadWholeFile(const std::string& path);

} // namespace pictorelle
