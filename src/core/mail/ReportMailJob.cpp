#include "mail/ReportMailJob.h"

#include "app/EventLog.h"

int CReportJobSlots::Reserve() {
    for (int i = 0; i < kCount; ++i) {
        bool expected = false;
        if (m_busy[static_cast<size_t>(i)].compare_exchange_strong(expected, true,
                                                                   std::memory_order_acq_rel))
            return i;
    }
    return -1;
}

void CReportJobSlots::Release(int index) {
    if (index >= 0 && index < kCount)
        m_busy[static_cast<size_t>(index)].store(false, std::memory_order_release);
}

bool CReportJobSlots::IsBusy(int index) const {
    return index >= 0 && index < kCount &&
           m_busy[static_cast<size_t>(index)].load(std::memory_order_acquire);
}

int CReportJobSlots::BusyCount() const {
    int count = 0;
    for (const auto& busy : m_busy)
        count += busy.load(std::memory_order_acquire) ? 1 : 0;
    return count;
}

void CReportJobSlots::SetJob(int index, std::shared_ptr<const ReportMailJob> job) {
    if (index >= 0 && index < kCount)
        m_jobs[static_cast<size_t>(index)] = std::move(job);
}

std::shared_ptr<const ReportMailJob> CReportJobSlots::Job(int index) const {
    if (index < 0 || index >= kCount)
        return nullptr;
    return m_jobs[static_cast<size_t>(index)];
}

void CReportJobSlots::Log(const std::string& line) {
    const std::lock_guard<std::mutex> lock(m_logMutex);
    if (!m_closed)
        LogEvent(line);
}

void CReportJobSlots::Close() {
    const std::lock_guard<std::mutex> lock(m_logMutex);
    m_closed = true;
}
