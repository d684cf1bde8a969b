// The job record that the registrations fill; the checks that keep its values safe for the PJL
// job stream are those of stream_values.h.
#pragma once

#include "jobbuilder/stream_values.h"
#include "platform/system_info.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

/// One destination of a job.
class CJobDestination {
public:
    virtual ~CJobDestination() = default;

    std::string m_strNumber; ///< the fax number, or the Internet-fax address
    std::string m_strName;
    int m_bIFax = 0;         ///< 1 for an Internet-fax destination
    int m_bFCode = 0;        ///< a fax destination with sub-address and pass code
    std::string m_strSubAddress;
    std::string m_strPassCode;
    int m_bReceptionConfirm = 0;
};

/// Everything registered for one job.
class CQeltaJob {
public:
    CQeltaJob() { Reset(); }

    /// Back to an empty job: no flags, no texts, model type 99, no destinations.
    void Reset();

    /// The document name, or "FAX - " and the first destination's number when it is empty.
    std::string JobName() const;

    int m_nPageCount = 0;
    int m_nFilingFolderType = 0;
    int m_bFiling = 0;
    int m_bJobDataRegistered = 0;
    int m_bLogImageRegistered = 0;
    int m_bDestinationRegistered = 0;
    std::string m_strImagePath;
    std::string m_strLogImagePath;
    std::string m_strPrinterName;
    std::string m_strUserName;
    std::string m_strPassword; ///< as the encryption service encoded it, never the plain text
    std::string m_strFilingFolderName;
    std::string m_strFilingFolderPassword;
    std::string m_strFilingFilePassword;
    std::string m_strDocumentName;
    int m_nModelType = 99;
    int m_bJobEndNotification = 0;
    std::vector<std::unique_ptr<CJobDestination>> m_destinations;
    std::string m_strAccountNumber;
    int m_bAccountNumber = 0;
    int m_bSpoolTimeFixed = 0;
    platform::LocalTime m_spoolTime;
    int m_bConversionRequested = 0;
    int m_nConversionPaperType = 0;
    int m_nConversionCompressionType = 0;
    int m_nConversionXResolution = 0;
    int m_nConversionYResolution = 0;
    int m_nDriverHeader = 0;
};
