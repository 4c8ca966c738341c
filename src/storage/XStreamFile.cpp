#include "storage/XStreamFile.h"

#include "platform/XVersionInfo.h"
#include "storage/Archive.h"
#include "win/FailureReport.h"
#include "win/File.h"
#include "win/Module.h"
#include "win/Strings.h"

#include <windows.h>

#include <vector>

namespace storage
{

const storage::RuntimeClass XStreamFile::s_class{"XStreamFile", storage::kNotSerializable, nullptr};

XStreamFile::~XStreamFile()
{
    RemoveTempFile();
}

const storage::RuntimeClass* XStreamFile::GetRuntimeClass() const noexcept
{
    return &s_class;
}

void XStreamFile::Serialize(storage::Archive&)
{
}

namespace
{
// Runs `work`, whose failures are reported, with those reports dropped when `repeated` (the same work failed last
// time, and was reported then).
template <typename Work>
auto ReportingFirstOfRun(bool repeated, Work&& work)
{
    win::FailureGate gate;
    if (repeated)
    {
        gate.Close();
    }
    const win::FailureGateScope scope(gate);
    return work();
}
}  // namespace

bool XStreamFile::Load(bool report, bool resetOnFailure)
{
    const storage::RetryLimit limit(m_retryLimitMs);
    const bool loaded = ReportingFirstOfRun(m_loadsFailing, [&] {
        try
        {
            return LoadFile(report, resetOnFailure);
        }
        catch (...)
        {
            (void)WIN_REPORT_CAUGHT("XStreamFile::Load");
            return false;
        }
    });
    m_loadsFailing = !loaded;
    m_savesFailing = m_savesFailing && !loaded;
    return loaded;
}

XStreamFile::Found XStreamFile::Read(std::unique_ptr<XCompoundStream>& record, std::wstring& errorText)
{
    const storage::RetryLimit limit(m_retryLimitMs);
    const Found found = ReportingFirstOfRun(m_loadsFailing, [&] { return ReadFile(record, errorText); });
    m_loadsFailing = found != Found::Record && found != Found::Missing;
    m_savesFailing = m_savesFailing && m_loadsFailing;
    return found;
}

XStreamFile::Found XStreamFile::ReadFile(std::unique_ptr<XCompoundStream>& record, std::wstring& errorText)
{
    record = CreateStream();
    errorText.clear();
    if (::GetFileAttributesW(m_filePath.c_str()) == INVALID_FILE_ATTRIBUTES)
    {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        {
            return Found::Missing;
        }
    }
    std::vector<std::uint8_t> bytes;
    switch (m_encryptor.DecodeToMemory(m_filePath, kMaxFileBytes, bytes))
    {
    case XStreamEncryptor::Decoded::Whole: break;
    case XStreamEncryptor::Decoded::TooLong: return Found::TooLong;
    case XStreamEncryptor::Decoded::NotOpened:
        return win::File::Exists(m_filePath) ? Found::NotRead : Found::Missing;  // gone meanwhile
    case XStreamEncryptor::Decoded::NotRead: return Found::NotRead;
    }
    if (!storage::ReadArchive(bytes, m_filePath, *record, errorText))
    {
        return Found::Damaged;
    }
    return record->languageId == ::GetSystemDefaultLangID() ? Found::Record : Found::OtherLanguage;
}

bool XStreamFile::LoadFile(bool report, bool resetOnFailure)
{
    if (!m_stream)
    {
        m_stream = CreateStream();
    }
    if (m_filePath.empty())
    {
        return false;
    }
    // Read into a fresh record, so that a damaged file never leaves a half-read record behind.
    std::unique_ptr<XCompoundStream> loaded;
    std::wstring text;
    switch (ReadFile(loaded, text))
    {
    case Found::Record:
        m_stream = std::move(loaded);
        OnLoaded();
        return true;
    case Found::Missing:
        // A missing file is created with the record held.
        static_cast<void>(Save(report));
        return true;
    case Found::NotRead:
        // The file is there but could not be read now (another process held it past the retries, or it cannot
        // be read at all). It may well be sound: keep it and keep the record.
        WIN_REPORT_FAILURE("m_encryptor.DecodeToMemory(m_filePath, kMaxFileBytes, bytes)", S_OK,
            L"not read, the file and the record kept: " + m_filePath);
        GetDecodeFailedText(text);
        Reset(text, report, /*recreate=*/false);
        return false;
    case Found::TooLong:
        // No record is that long: another program wrote it. Read, it would hold up its reader for as long as
        // the file is long; rewritten, it may be written again at once.
        WIN_REPORT_FAILURE("m_encryptor.DecodeToMemory(m_filePath, kMaxFileBytes, bytes)",
            HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE),
            win::Format(L"longer than %u bytes, damaged: not read, the file and the record kept: %ls",
                static_cast<unsigned>(kMaxFileBytes), m_filePath.c_str()));
        GetLoadFailedText(text);
        Reset(text, report, /*recreate=*/false);
        return false;
    case Found::Damaged:
        if (text.empty())
        {
            GetLoadFailedText(text);
        }
        WIN_REPORT_FAILURE("storage::ReadArchive(bytes, m_filePath, *record, errorText)", S_OK,
            (resetOnFailure ? L"damaged, reset and written anew: " : L"damaged, the record kept: ") + m_filePath);
        Reset(text, report, resetOnFailure);
        if (resetOnFailure)
        {
            static_cast<void>(Save(report));
        }
        return false;
    case Found::OtherLanguage:
        // Not rewritten here: the next Save writes the defaults under this system's language.
        WIN_REPORT_FAILURE("loaded->languageId != ::GetSystemDefaultLangID()", S_OK,
            win::Format(L"written under language %u, reset: %ls", static_cast<unsigned>(loaded->languageId),
                m_filePath.c_str()));
        GetLanguageMismatchText(text);
        Reset(text, report, /*recreate=*/true);
        return false;
    }
    return false;
}

bool XStreamFile::Save(bool report)
{
    const storage::RetryLimit limit(m_retryLimitMs);
    const bool saved = ReportingFirstOfRun(m_savesFailing, [&] {
        try
        {
            return SaveFile(report);
        }
        catch (...)
        {
            (void)WIN_REPORT_CAUGHT("XStreamFile::Save");
            RemoveTempFile();
            return false;
        }
    });
    m_savesFailing = !saved;
    m_loadsFailing = m_loadsFailing && !saved;
    return saved;
}

bool XStreamFile::SaveFile(bool report)
{
    if (!m_stream)
    {
        m_stream = CreateStream();
    }
    std::wstring errorText;
    if (!CreateTempFile() || !storage::WriteArchive(m_tempPath, *m_stream, errorText) ||
        !m_encryptor.EncodeFile(m_tempPath, m_filePath))
    {
        WIN_REPORT_FAILURE(
            "XStreamFile::Save", S_OK, L"not saved, the file keeps its last whole record: " + m_filePath);
        RemoveTempFile();
        ReportSaveFailure(report);
        return false;
    }
    RemoveTempFile();
    return true;
}

void XStreamFile::ReportSaveFailure(bool report)
{
    if (report)
    {
        std::wstring text;
        GetSaveFailedText(text);
        ReportError(text);
    }
}

void XStreamFile::Open(const std::wstring& path)
{
    m_stream = CreateStream();
    m_filePath = path.empty() ? DefaultPath() : path;
}

std::wstring XStreamFile::DefaultPath()
{
    std::wstring folder;
    GetDefaultFolder(folder);
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
    {
        folder += L'\\';
    }
    std::wstring format;
    GetFileNameFormat(format);
    const platform::XVersionInfo version(/*loadOwnModule=*/TRUE);
    const std::wstring digits = win::ReplaceAll(version.GetString(L"ProductVersion"), L".", L"");
    return folder + win::ReplaceFirst(format, L"%s", digits);
}

void XStreamFile::Reserved()
{
}

void XStreamFile::GetDefaultFolder(std::wstring& folder)
{
    folder = win::FolderOf(win::ModuleFileName(win::ThisModule()));
}

void XStreamFile::GetFileNameFormat(std::wstring& format)
{
    format.clear();
}

void XStreamFile::OnLoaded()
{
}

void XStreamFile::GetLoadFailedText(std::wstring& text)
{
    text.clear();
}

void XStreamFile::GetReportFormat(std::wstring& format)
{
    format.clear();
}

void XStreamFile::GetDecodeFailedText(std::wstring& text)
{
    text.clear();
}

void XStreamFile::GetSaveFailedText(std::wstring& text)
{
    text.clear();
}

void XStreamFile::GetLanguageMismatchText(std::wstring& text)
{
    text.clear();
}

bool XStreamFile::CreateTempFile()
{
    RemoveTempFile();
    wchar_t folder[MAX_PATH + 1];
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, folder);
    if (WIN_LOG_LAST_ERROR_IF(n == 0 || n > MAX_PATH))
    {
        return false;
    }
    wchar_t name[MAX_PATH + 1];
    if (WIN_LOG_LAST_ERROR_IF(!::GetTempFileNameW(folder, L"Kel", 0, name)))
    {
        return false;
    }
    m_tempPath = name;
    return true;
}

void XStreamFile::RemoveTempFile() noexcept
{
    if (!m_tempPath.empty())
    {
        ::DeleteFileW(m_tempPath.c_str());
    }
    m_tempPath.clear();
}

void XStreamFile::Reset(const std::wstring& text, bool report, bool recreate)
{
    RemoveTempFile();
    if (report)
    {
        std::wstring message = text;
        if (message.empty())
        {
            GetLoadFailedText(message);
        }
        std::wstring format;
        GetReportFormat(format);
        ReportError(win::ReplaceFirst(format, L"%s", message));
    }
    if (recreate)
    {
        m_stream = CreateStream();
    }
}

}  // namespace storage
