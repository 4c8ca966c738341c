#pragma once
// The record archive: raw little-endian values one after the other, with no type or class information,
// written through a 4096-byte buffer over an XStreamFileMirror and read from the bytes of a whole (small) file
// held in memory. Reading past the end raises
// ArchiveException(EndOfFile); a failing read or write of the file raises FileException, which carries the
// system's error code of the call that failed. Both stay inside the storage layer: ReadArchive and WriteArchive
// report them (win::FailureReport, a file failure with its code) and turn them into false and a lower-case
// error text.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace storage
{

class XStreamFileMirror;
class XStorageObject;

class ArchiveException
{
public:
    enum class Cause
    {
        None,
        Generic,
        ReadOnly,
        EndOfFile,
        WriteOnly,
        BadIndex,
        BadClass,
        BadSchema,
    };

    explicit ArchiveException(Cause cause, std::wstring name = {}) : m_cause(cause), m_name(std::move(name)) {}
    [[nodiscard]] Cause GetCause() const noexcept { return m_cause; }
    [[nodiscard]] const std::wstring& Name() const noexcept { return m_name; }

private:
    Cause m_cause;
    std::wstring m_name;
};

class FileException
{
public:
    enum class Cause
    {
        None,
        Generic,
        FileNotFound,
        BadPath,
        TooManyOpenFiles,
        AccessDenied,
        InvalidFile,
        RemoveCurrentDir,
        DirectoryFull,
        BadSeek,
        HardIO,
        SharingViolation,
        LockViolation,
        DiskFull,
        EndOfFile,
    };

    FileException(Cause cause, DWORD osError, std::wstring fileName)
        : m_cause(cause), m_osError(osError), m_fileName(std::move(fileName))
    {
    }
    // The cause that a system error code stands for.
    [[nodiscard]] static FileException FromOsError(DWORD osError, std::wstring fileName);

    [[nodiscard]] Cause GetCause() const noexcept { return m_cause; }
    [[nodiscard]] DWORD OsError() const noexcept { return m_osError; }
    [[nodiscard]] const std::wstring& FileName() const noexcept { return m_fileName; }
    void SetFileName(std::wstring fileName) { m_fileName = std::move(fileName); }
    // The system's message for the error with the file name, or false when there is none.
    [[nodiscard]] bool GetErrorMessage(std::wstring& message) const;

private:
    Cause m_cause;
    DWORD m_osError;
    std::wstring m_fileName;
};

class Archive
{
public:
    enum class Mode
    {
        Load,
        Store,
    };
    static constexpr std::size_t kBufferSize = 4096;

    // An archive that stores into `file`.
    explicit Archive(XStreamFileMirror& file);
    // An archive that loads from a copy of `bytes`.
    explicit Archive(const std::vector<std::uint8_t>& bytes);
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;
    // NOTE: does not flush: bytes not written by Close are dropped, as for an abandoned write.
    ~Archive() = default;

    [[nodiscard]] bool IsLoading() const noexcept { return m_mode == Mode::Load; }
    [[nodiscard]] bool IsStoring() const noexcept { return m_mode == Mode::Store; }

    void Write(const void* data, std::size_t size);
    void Read(void* data, std::size_t size);
    // Writes out what the buffer holds (storing); nothing to do when loading.
    void Close();

    Archive& operator<<(std::uint32_t value) { return PutLittleEndian(value, 4); }
    Archive& operator<<(std::int32_t value) { return PutLittleEndian(static_cast<std::uint32_t>(value), 4); }
    Archive& operator<<(std::uint16_t value) { return PutLittleEndian(value, 2); }
    Archive& operator<<(double value);
    Archive& operator>>(std::uint32_t& value);
    Archive& operator>>(std::int32_t& value);
    Archive& operator>>(std::uint16_t& value);
    Archive& operator>>(double& value);

private:
    Archive& PutLittleEndian(std::uint64_t value, int bytes);
    [[nodiscard]] std::uint64_t GetLittleEndian(int bytes);
    void Fill();
    void Flush();

    XStreamFileMirror* m_file = nullptr;  // storing
    Mode m_mode;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_position = 0;  // next byte in the buffer
    std::size_t m_limit = 0;  // bytes of the buffer that hold data (loading)
};

// Reads the record from the plain archive bytes of the file `name` (which only names it in reports and texts).
// False with `errorText` on any failure, including no bytes at all; never throws.
[[nodiscard]] bool ReadArchive(const std::vector<std::uint8_t>& bytes, const std::wstring& name, XStorageObject& record,
    std::wstring& errorText) noexcept;

// Writes the record to `path` (opened for creation, exclusive; an existing file is replaced only when the
// whole archive was written). False with `errorText` on any failure; never throws.
[[nodiscard]] bool WriteArchive(const std::wstring& path, XStorageObject& record, std::wstring& errorText) noexcept;

}  // namespace storage
