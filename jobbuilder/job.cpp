#include "jobbuilder/job.h"

void CQeltaJob::Reset()
{
    m_nPageCount = 0;
    m_nFilingFolderType = 0;
    m_bFiling = 0;
    m_bJobDataRegistered = 0;
    m_bLogImageRegistered = 0;
    m_bDestinationRegistered = 0;
    m_strImagePath.clear();
    m_strLogImagePath.clear();
    m_strPrinterName.clear();
    m_strUserName.clear();
    m_strPassword.clear();
    m_strFilingFolderName.clear();
    m_strFilingFolderPassword.clear();
    m_strFilingFilePassword.clear();
    m_strDocumentName.clear();
    m_nModelType = 99;
    m_bJobEndNotification = 0;
    m_destinations.clear();
    m_strAccountNumber.clear();
    m_bAccountNumber = 0;
    m_bSpoolTimeFixed = 0;
    m_spoolTime = {};
    m_bConversionRequested = 0;
    m_nConversionPaperType = 0;
    m_nConversionCompressionType = 0;
    m_nConversionXResolution = 0;
    m_nConversionYResolution = 0;
    m_nDriverHeader = 0;
}

std::string CQeltaJob::JobName() const
{
    if (!m_strDocumentName.empty())
        return m_strDocumentName;
    return "FAX - " + (m_destinations.empty() ? std::string() : m_destinations.front()->m_strNumber);
}
