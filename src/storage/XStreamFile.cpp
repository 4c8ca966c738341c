#include "storage/XStreamFile.h"

#include "platform/XVersionInfo.h"
#include "storage/Archive.h"
#include "win/FailureReport.h"
#include "win/File.h"
#include "win/Module.h"
#include "win/Strings.h"

#include <windows.h>

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

bool XStreamFile::Load(bool report, bool resetOnFailure)
{
    const storage::RetryLimit limit(m_retryLimitMs);
    try
    {
        return LoadFile(report, resetOnFailure);
    }
    catch (...)
    {
        (void)WIN_REPORT_CAUGHT("XStreamFile::Load");
        RemoveTempFile();
        return false;
    }
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
    if (::GetFileAttributesW(m_filePath.c_str()) == INVALID_FILE_ATTRIBUTES)
    {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        {
            // A missing file is created with the record held.
            static_cast<void>(Save(report));
            return true;
        }
    }

    std::wstring text;
    if (!CreateTempFile())
    {
        WIN_REPORT_FAILURE("CreateTempFile()", S_OK, L"not read, the record kept: " + m_filePath);
        GetDecodeFailedText(text);
        Reset(text, report, false);
        return false;
    }
    if (!m_encryptor.DecodeFile(m_filePath, m_tempPath))
    {
        GetDecodeFailedText(text);
        if (win::File::Exists(m_filePath))
        {
            // The file is there but could not be read now (another process held it past the retries, or
            // it cannot be read at all). It may well be sound: keep it and keep the record.
            WIN_REPORT_FAILURE("m_encryptor.DecodeFile(m_filePath, m_tempPath)", S_OK,
                L"not read, the file and the record kept: " + m_filePath);
            Reset(text, report, false);
            return false;
        }
        WIN_REPORT_FAILURE("m_encryptor.DecodeFile(m_filePath, m_tempPath)", S_OK,
            L"gone while read, reset and written anew: " + m_filePath);
        Reset(text, report, true);
        static_cast<void>(Save(report));
        return false;
    }

    // Read into a fresh record, so that a damaged file never leaves a half-read record behind.
    std::unique_ptr<XCompoundStream> loaded = CreateStream();
    if (!storage::ReadArchive(m_tempPath, *loaded, text))
    {
        if (text.empty())
        {
            GetLoadFailedText(text);
        }
        WIN_REPORT_FAILURE("storage::ReadArchive(m_tempPath, *loaded, text)", S_OK,
            (resetOnFailure ? L"damaged, reset and written anew: " : L"damaged, the record kept: ") + m_filePath);
        Reset(text, report, resetOnFailure);
        if (resetOnFailure)
        {
            static_cast<void>(Save(report));
        }
        return false;
    }
    if (loaded->languageId != ::GetSystemDefaultLangID())
    {
        // Not rewritten here: the next Save writes the defaults under this system's language.
        WIN_REPORT_FAILURE("loaded->languageId != ::GetSystemDefaultLangID()", S_OK,
            win::Format(L"written under language %u, reset: %ls", static_cast<unsigned>(loaded->languageId),
                m_filePath.c_str()));
        GetLanguageMismatchText(text);
        Reset(text, report, true);
        return false;
    }
    m_stream = std::move(loaded);
    RemoveTempFile();
    OnLoaded();
    return true;
}

bool XStreamFile::Save(bool report)
{
    const storage::RetryLimit limit(m_retryLimitMs);
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
    const XVersionInfo version(TRUE);
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
