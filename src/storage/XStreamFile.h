#pragma once
// XStreamFile: one state file on disk and the record it holds. A file class derives from it, supplies
// CreateStream (its record class), ReportError and Notify, and may change the texts and hooks below.
//
// Save writes the record's archive into a plain "Kel" file in the temporary folder, then scrambles it into
// the real file, which is replaced as a whole (XStreamFileMirror): the real file is always an old whole
// record or a new whole record. Load runs backwards. A missing file is written with the record held; a
// damaged one (foreign tag, too short, empty) resets the record and is rewritten with the defaults; one
// written under another system language resets the record and is left for the next Save. A file that
// exists but cannot be read at the moment (another process holds it for longer than the retry allows)
// is left alone and the record keeps its values. The temporary file is removed after every Load and Save.
// Every load that did not take the file (not read, damaged, reset) and every failed save is reported with the
// file's path (win::FailureReport), whatever `report` asks of ReportError.
//
// Nothing is thrown out of Load or Save. No lock of its own: one thread at a time per object; objects in
// several threads or processes may share one file.

#include "storage/RuntimeClass.h"
#include "storage/SharingRetry.h"
#include "storage/XCompoundStream.h"
#include "storage/XStreamEncryptor.h"

#include <cstdint>
#include <memory>
#include <string>

class XStreamFile
{
public:
    XStreamFile() noexcept = default;
    XStreamFile(const XStreamFile&) = delete;
    XStreamFile& operator=(const XStreamFile&) = delete;

    [[nodiscard]] virtual const storage::RuntimeClass* GetRuntimeClass() const noexcept;
    virtual ~XStreamFile();
    virtual void Serialize(storage::Archive& archive);
    [[nodiscard]] virtual bool Load(bool report, bool resetOnFailure);
    [[nodiscard]] virtual bool Save(bool report);
    // A fresh default record; `path`, or the default path when it is empty, becomes the file's path.
    virtual void Open(const std::wstring& path);
    virtual void Reserved();
    // The module's folder, ending in a backslash.
    virtual void GetDefaultFolder(std::wstring& folder);
    // The default file name with one "%s" for the product version digits; "" by default.
    virtual void GetFileNameFormat(std::wstring& format);
    [[nodiscard]] virtual std::unique_ptr<XCompoundStream> CreateStream() = 0;
    virtual void OnLoaded();
    virtual void GetLoadFailedText(std::wstring& text);
    // Format of a reported failure, with one "%s" for its text; "" by default.
    virtual void GetReportFormat(std::wstring& format);
    virtual void GetDecodeFailedText(std::wstring& text);
    virtual void GetSaveFailedText(std::wstring& text);
    virtual void GetLanguageMismatchText(std::wstring& text);
    virtual bool ReportError(const std::wstring& text) = 0;
    virtual bool Notify(std::uintptr_t argument) = 0;

    // The record; replaced by every reset, so look it up again after Open and Load. Null before Open.
    [[nodiscard]] XCompoundStream* GetStream() const noexcept { return m_stream.get(); }
    [[nodiscard]] const std::wstring& FilePath() const noexcept { return m_filePath; }
    [[nodiscard]] const std::wstring& TempFilePath() const noexcept { return m_tempPath; }

    // How long one Load or Save may wait in all for a file another process holds (storage::SharingRetry);
    // a thread that must stay responsive sets less than the default.
    void SetRetryLimit(DWORD limitMs) noexcept { m_retryLimitMs = limitMs; }

    static const storage::RuntimeClass s_class;

private:
    [[nodiscard]] bool LoadFile(bool report, bool resetOnFailure);
    [[nodiscard]] bool SaveFile(bool report);
    [[nodiscard]] bool CreateTempFile();
    void RemoveTempFile() noexcept;
    void Reset(const std::wstring& text, bool report, bool recreate);
    void ReportSaveFailure(bool report);
    [[nodiscard]] std::wstring DefaultPath();

    std::unique_ptr<XCompoundStream> m_stream;
    std::wstring m_filePath;
    std::wstring m_tempPath;
    XStreamEncryptor m_encryptor;
    DWORD m_retryLimitMs = storage::kSharingRetryLimitMs;
};
