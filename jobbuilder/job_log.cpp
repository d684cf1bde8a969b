#include "jobbuilder/job_log.h"

#include "platform/bstr.h"
#include "platform/ole_date.h"
#include "platform/text.h"

using platform::com::Bstr;

namespace {

std::string firstBytes(std::string_view text, size_t n) { return std::string(platform::utf8Prefix(text, n)); }

const char* onOff(int flag) { return flag ? "ON" : "OFF"; }
const char* lowerOnOff(int flag) { return flag ? "on" : "off"; }

// One entry being written; each step is made only while every step before it succeeded.
class LogRecording {
public:
    LogRecording(IQeltaLogTool& log) : m_log(log) {}

    bool Create(const std::string& image, const std::string& document, DATE date)
    {
        Bstr i(image), d(document);
        int32_t id = 0;
        m_ok = m_log.CreateLogData(i.get(), d.get(), date, &id) == S_OK && id != 0;
        m_id = m_ok ? id : 0;
        return m_ok;
    }
    void PropertyWithData(const char* name, const char* fileName, const std::string& path)
    {
        Bstr n(name), v(fileName), p(path);
        Step([&] { return m_log.AddLogPropertyWithData(m_id, n.get(), v.get(), p.get()); });
    }
    void Property(const char* name, const std::string& value)
    {
        Bstr n(name), v(value);
        Step([&] { return m_log.AddLogProperty(m_id, n.get(), v.get()); });
    }
    void Destination(const char* name, const std::string& value)
    {
        Bstr n(name), v(value);
        Step([&] { return m_log.AddLogDestination(m_id, n.get(), v.get()); });
    }
    void FlushDestination()
    {
        Step([&] { return m_log.FlushLogDestination(m_id); });
    }
    void Flush()
    {
        Step([&] { return m_log.FlushLogData(m_id); });
    }
    void Fail() { m_ok = false; }

    /// The identifier when every step succeeded; otherwise the unfinished entry is taken away.
    int32_t Finish()
    {
        if (m_ok)
            return m_id;
        if (m_id != 0)
            m_log.RemoveLogData(m_id);
        return 0;
    }

private:
    template <typename Call>
    void Step(Call call)
    {
        if (m_ok)
            m_ok = call() == S_OK;
    }

    IQeltaLogTool& m_log;
    int32_t m_id = 0;
    bool m_ok = false;
};

} // namespace

int32_t RecordJobInLog(IQeltaLogTool& log, const CQeltaJob& job, const std::string& jobName,
                       const CPasswordEncoder& encodePassword)
{
    LogRecording entry(log);
    // The entry's cookie is made from this date to the second, so it must be the very second the
    // stream's spool-time text carries: a date with the milliseconds would round to the next one.
    platform::LocalTime spoolTime = job.m_spoolTime;
    spoolTime.milliseconds = 0;
    if (!entry.Create(job.m_strImagePath, firstBytes(jobName, 80), platform::dateFromLocalTime(spoolTime)))
        return 0;
    entry.PropertyWithData("logImagePath", "log_image.tif",
                           job.m_bLogImageRegistered ? job.m_strLogImagePath : job.m_strImagePath);
    entry.Property("pageNumber", std::to_string(job.m_nPageCount));
    entry.Property("printerName", firstBytes(job.m_strPrinterName, 32));
    entry.Property("userName", firstBytes(job.m_strUserName, 16));
    entry.Property("passWord", job.m_strPassword);
    entry.Property("useAccountNumber", onOff(job.m_bAccountNumber));
    entry.Property("accountNumber", job.m_strAccountNumber);
    entry.Property("useDocumentFiling", onOff(job.m_bFiling));
    entry.Property("documentFilingFolderType", std::to_string(job.m_nFilingFolderType));
    entry.Property("documentFilingFolderName", job.m_strFilingFolderName);
    // Filing passwords are kept in the log in the same encoded form as the user password.
    for (const auto& [name, plain] : {std::pair{"documentFilingFolderPassword", &job.m_strFilingFolderPassword},
                                      std::pair{"documentFilingFilePassword", &job.m_strFilingFilePassword}}) {
        std::string encoded;
        if (!plain->empty() && !encodePassword(*plain, encoded))
            entry.Fail();
        entry.Property(name, encoded);
    }
    for (const auto& d : job.m_destinations) {
        entry.Destination("name", d->m_strName);
        entry.Destination("number", d->m_strNumber);
        entry.Destination("isIFaxAddress", lowerOnOff(d->m_bIFax));
        entry.Destination("useFcode", lowerOnOff(d->m_bFCode));
        entry.Destination("subAddress", d->m_strSubAddress);
        entry.Destination("passCode", d->m_strPassCode);
        entry.Destination("receptionConfirm", lowerOnOff(d->m_bReceptionConfirm));
        entry.FlushDestination();
    }
    entry.Flush();
    return entry.Finish();
}
