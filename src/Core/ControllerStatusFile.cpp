// The shared status file: the last published product states and the time of the last check, for every
// browser instance of the user. The polling instance writes it; every instance reads it at start-up and on
// the host's "UpdateStatus" event. Within this process the file object is shared by the UI thread and the
// polling worker, so every use holds m_statusFileLock for the load or save and the field access around it.

#include "Core/Controller.h"
#include "platform/BrowserUtilities.h"

std::wstring Controller::StatusFilePath()
{
    return GetWriteableFolder(L"KelToolbar", TRUE) + kStatusFileName;
}

void Controller::OpenStatusFile()
{
    auto file = std::make_unique<StatusConfigFile>();
    file->Open(StatusFilePath());
    std::lock_guard lock(m_statusFileLock);
    m_statusFile = std::move(file);
    (void)m_statusFile->Load(false, true);
}

void Controller::SaveStatusFile(bool withTime, bool withPavise, bool withNorvix)
{
    std::lock_guard lock(m_statusFileLock);
    StatusConfigStream* record = m_statusFile ? m_statusFile->GetRecord() : nullptr;
    if (!record)
    {
        return;
    }
    if (withTime)
    {
        record->m_lastCheck = storage::DateTime::Now();
    }
    if (withPavise)
    {
        record->m_paviseStatus = static_cast<std::int32_t>(m_api.GetPaviseStatus());
    }
    if (withNorvix)
    {
        record->m_norvixStatus = static_cast<std::int32_t>(m_api.GetNorvixStatus());
    }
    (void)m_statusFile->Save(true);
}

void Controller::ReloadStatusFile()
{
    std::lock_guard lock(m_statusFileLock);
    if (!m_statusFile)
    {
        return;
    }
    (void)m_statusFile->Load(false, true);
    if (const StatusConfigStream* record = m_statusFile->GetRecord())
    {
        // Codes outside the valid ranges are refused and the client keeps its pair.
        (void)m_api.SetStatuses(
            static_cast<PaviseStatus>(record->m_paviseStatus), static_cast<NorvixStatus>(record->m_norvixStatus));
    }
}

void Controller::CloseStatusFile() noexcept
{
    std::lock_guard lock(m_statusFileLock);
    m_statusFile.reset();
}
