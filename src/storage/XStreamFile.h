#pragma once
// XStreamFile: one state file on disk and the record it holds. A file class derives from it, supplies
// CreateStream (its record class), ReportError and Notify, and may change the texts and hooks below.
//
// Save writes the record's archive into a plain "Kel" file in the temporary folder, then scrambles it into
// the real file, which is replaced as a whole (XStreamFileMirror): the real file is always an old whole
// record or a new whole record. Load reads the real file into memory and unscrambles it there; a file longer
// than kMaxFileBytes (a record is a few dozen bytes; the folder is one any program of the user may write) is
// refused before a byte of it is read. A missing file is written with the record held; a damaged one (foreign
// tag, too short, empty) resets the record and is rewritten with the defaults; one written under another
// system language resets the record and is left for the next Save. A file that exists but cannot be read at
// the moment (another process holds it for longer than the retry allows), and one that is too long, are left
// alone and the record keeps its values. The temporary file is removed after every Save.
//
// Every load that did not take the file (not read, too long, damaged, reset) and every failed save is reported
// with the file's path (win::FailureReport), whatever `report` asks of ReportError: the first of a run of
// failed loads, and of failed saves, of one object; a load or save that works ends the run.
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

namespace storage
{

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

    // The longest file a load reads.
    static constexpr std::size_t kMaxFileBytes = 4096;

    // What the file on disk holds, as Read finds it.
    enum class Found
    {
        Record,  // a whole record of this system
        Missing,
        NotRead,  // there, but not to be read now (held by another process past the retries, or denied)
        TooLong,  // longer than kMaxFileBytes
        Damaged,  // not a record (foreign tag, too short, empty)
        OtherLanguage,  // a record written under another system language
    };
    // Reads the file into a fresh record, `record`, without changing the file or the record held; on Record (and
    // OtherLanguage) `record` holds the file's values. `errorText` is the archive's text for a damaged file.
    // Reports only what failed underneath (a file that could not be opened, the archive's failure), as a load
    // does: the first of a run.
    [[nodiscard]] Found Read(std::unique_ptr<XCompoundStream>& record, std::wstring& errorText);

    // How long one Load or Save may wait in all for a file another process holds (storage::SharingRetry);
    // a thread that must stay responsive sets less than the default.
    void SetRetryLimit(DWORD limitMs) noexcept { m_retryLimitMs = limitMs; }

    static const storage::RuntimeClass s_class;

private:
    [[nodiscard]] bool LoadFile(bool report, bool resetOnFailure);
    [[nodiscard]] Found ReadFile(std::unique_ptr<XCompoundStream>& record, std::wstring& errorText);
    [[nodiscard]] bool SaveFile(bool report);
    [[nodiscard]] bool CreateTempFile();
    void RemoveTempFile() noexcept;
    void Reset(const std::wstring& text, bool report, bool recreate);
    void ReportSaveFailure(bool report);
    [[nodiscard]] std::wstring DefaultPath();

    std::unique_ptr<XCompoundStream> m_stream;
    bool m_loadsFailing = false;  // the last Load or Read did not find a record: reported already
    bool m_savesFailing = false;  // the last Save failed: reported already
    std::wstring m_filePath;
    std::wstring m_tempPath;
    XStreamEncryptor m_encryptor;
    DWORD m_retryLimitMs = storage::kSharingRetryLimitMs;
};

}  // namespace storage
