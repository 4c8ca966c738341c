#include "storage/XStreamEncryptor.h"

#include "storage/SharingRetry.h"
#include "storage/XStreamFileMirror.h"
#include "win/FailureReport.h"
#include "win/File.h"

#include <memory>

namespace storage
{

namespace
{
constexpr wchar_t kBuiltInKey[] = L"QoxM";

bool OpenSource(const std::wstring& sourcePath, win::File& source)
{
    // Held exclusively while read. The shared status file is opened by every browser process of the user now and
    // then, so a source that is busy for a moment is tried again rather than given up.
    const bool sourceOpened = storage::RetryWhileShared(storage::RetryKind::Open, [&] {
        return source.Open(sourcePath, win::FileAccess::Read, win::FileShare::Exclusive, win::FileCreate::OpenExisting);
    });
    return !WIN_LOG_LAST_ERROR_IF(!sourceOpened);
}
}  // namespace

const storage::RuntimeClass XStreamEncryptor::s_class{"XStreamEncryptor", storage::kNotSerializable, nullptr};

XStreamEncryptor::XStreamEncryptor() : m_key(kBuiltInKey)
{
}

XStreamEncryptor::XStreamEncryptor(std::wstring key) : m_key(std::move(key))
{
}

const storage::RuntimeClass* XStreamEncryptor::GetRuntimeClass() const noexcept
{
    return &s_class;
}

void XStreamEncryptor::Transform(void* buffer, std::size_t length) const noexcept
{
    if (m_key.empty())
    {
        return;
    }
    std::uint8_t keyByte = 0;
    for (const wchar_t c : m_key)
    {
        keyByte ^= static_cast<std::uint8_t>(c & 0xFF);
    }
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    for (std::size_t i = 0; i < length; ++i)
    {
        bytes[i] ^= keyByte;
    }
}

bool XStreamEncryptor::EncodeFile(const std::wstring& sourcePath, const std::wstring& targetPath) const
{
    return CopyThrough(sourcePath, targetPath, Target::Mirrored);
}

bool XStreamEncryptor::DecodeFile(const std::wstring& sourcePath, const std::wstring& targetPath) const
{
    return CopyThrough(sourcePath, targetPath, Target::Direct);
}

XStreamEncryptor::Decoded XStreamEncryptor::DecodeToMemory(
    const std::wstring& sourcePath, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) const
{
    bytes.clear();
    win::File source;
    if (!OpenSource(sourcePath, source))
    {
        return Decoded::NotOpened;
    }
    std::uint64_t length = 0;
    if (WIN_LOG_LAST_ERROR_IF(!source.GetLength(length)))
    {
        return Decoded::NotRead;
    }
    if (length > maxBytes)
    {
        return Decoded::TooLong;
    }
    // Held exclusively: the length cannot change while it is read.
    bytes.resize(static_cast<std::size_t>(length));
    std::size_t held = 0;
    while (held < bytes.size())
    {
        DWORD read = 0;
        if (WIN_LOG_LAST_ERROR_IF(!source.Read(bytes.data() + held, static_cast<DWORD>(bytes.size() - held), read)))
        {
            bytes.clear();
            return Decoded::NotRead;
        }
        if (read == 0)
        {
            break;
        }
        held += read;
    }
    bytes.resize(held);
    Transform(bytes.data(), bytes.size());
    return Decoded::Whole;
}

bool XStreamEncryptor::CopyThrough(const std::wstring& sourcePath, const std::wstring& targetPath, Target target) const
{
    const bool mirrored = target == Target::Mirrored;
    win::File source;
    if (!OpenSource(sourcePath, source))
    {
        return false;
    }

    XStreamFileMirror mirroredTarget;
    win::File directTarget;
    const bool opened = mirrored ? mirroredTarget.Open(targetPath, win::FileAccess::Write, win::FileShare::Exclusive,
                                       win::FileCreate::CreateAlways)
                                 : directTarget.Open(targetPath, win::FileAccess::Write, win::FileShare::Exclusive,
                                       win::FileCreate::CreateAlways);
    if (WIN_LOG_LAST_ERROR_IF(!opened))
    {
        return false;
    }

    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kBlockSize]);
    if (!buffer)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;  // the mirror, if any, is abandoned by its destructor
    }
    for (;;)
    {
        DWORD read = 0;
        if (WIN_LOG_LAST_ERROR_IF(!source.Read(buffer.get(), static_cast<DWORD>(kBlockSize), read)))
        {
            return false;
        }
        Transform(buffer.get(), read);
        const bool written =
            mirrored ? mirroredTarget.Write(buffer.get(), read) : directTarget.Write(buffer.get(), read);
        if (WIN_LOG_LAST_ERROR_IF(!written))
        {
            return false;
        }
        if (read == 0)
        {
            break;
        }
    }
    source.Close();
    return mirrored ? !WIN_LOG_LAST_ERROR_IF(!mirroredTarget.Close()) : (directTarget.Close(), true);
}

}  // namespace storage
