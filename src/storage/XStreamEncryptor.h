#pragma once
// XStreamEncryptor: scrambles the add-on's state files so that they are not plain archive bytes on disk.
// Every byte is XORed with one key byte, the XOR of the low 8 bits of the key's UTF-16 code units, so the
// same transform encodes and decodes and a file keeps its length exactly (no header, no checksum).
//
// The whole-file copies work in 4096-byte blocks with one heap buffer. EncodeFile writes the real file
// through XStreamFileMirror, so an existing target is replaced only by a complete copy; DecodeFile writes
// its (temporary) target directly. DecodeToMemory reads a file that must be small, and refuses a longer one
// before reading a byte of it: a state file is in a folder that any program of the user may write, and may
// be any length. Opening a source that another process holds is retried briefly.
// Failures are results (false, with GetLastError); nothing is thrown. Any thread; no shared state.

#include "storage/RuntimeClass.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace storage
{

class XStreamEncryptor
{
public:
    static constexpr std::size_t kBlockSize = 4096;

    XStreamEncryptor();
    // A different key, for files scrambled with one.
    explicit XStreamEncryptor(std::wstring key);

    [[nodiscard]] virtual const storage::RuntimeClass* GetRuntimeClass() const noexcept;
    virtual ~XStreamEncryptor() = default;

    // XORs `length` bytes in place with the key byte; nothing happens with an empty key.
    void Transform(void* buffer, std::size_t length) const noexcept;

    // Copies `sourcePath` to `targetPath` through Transform. False when a file cannot be opened (an
    // existing target is then left alone) or a read or write fails.
    [[nodiscard]] bool EncodeFile(const std::wstring& sourcePath, const std::wstring& targetPath) const;
    [[nodiscard]] bool DecodeFile(const std::wstring& sourcePath, const std::wstring& targetPath) const;

    enum class Decoded
    {
        Whole,  // `bytes` holds the whole file, transformed
        NotOpened,  // missing, held by another process past the retries, or not to be opened (GetLastError)
        TooLong,  // longer than `maxBytes`; nothing was read
        NotRead,  // a read failed (GetLastError)
    };
    // Reads all of `sourcePath` through Transform into `bytes` (emptied first) when it has at most `maxBytes`.
    [[nodiscard]] Decoded DecodeToMemory(
        const std::wstring& sourcePath, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) const;

    static const storage::RuntimeClass s_class;

private:
    // How the copy writes its target.
    enum class Target
    {
        Direct,  // written in place
        Mirrored,  // written beside it and put in its place when complete (XStreamFileMirror)
    };
    [[nodiscard]] bool CopyThrough(const std::wstring& sourcePath, const std::wstring& targetPath, Target target) const;

    std::wstring m_key;
};

}  // namespace storage
