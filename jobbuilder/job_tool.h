// The job builder's component: one job record behind IQeltaJobTool.
#pragma once

#include "crypto/IQeltaEncTool.h"
#include "jobbuilder/IQeltaJobTool.h"
#include "jobbuilder/conversion.h"
#include "jobbuilder/imaging_binding.h"
#include "jobbuilder/job.h"
#include "jobbuilder/pjl_stream.h"
#include "servers/IQeltaMD5Tool.h"
#include "servers/IResultReceiverInfo.h"
#include "sendlog/IQeltaLogTool.h"

class CQeltaJobTool : public platform::com::Object<IQeltaJobTool> {
public:
    CQeltaJobTool();
    ~CQeltaJobTool() override;

    HRESULT CleanJob() override;
    HRESULT FlushJob() override;
    HRESULT RegisterJobTarget(int32_t lJobType, BSTR bszName, BSTR bszFAXNo, BSTR bszSubAddress, BSTR bszPassCode,
                              int32_t lParams, BSTR bszReserved) override;
    HRESULT RegisterJobData(BSTR bszImagePath, BSTR bszPrinterName, BSTR bszUserName, BSTR bszPassword,
                            int32_t lMfpType, int32_t bEnableRtn, BSTR bszDocumentName) override;
    HRESULT RegisterDocumentFiling(int32_t lFolderType, BSTR bszFolderName, BSTR bszPassword) override;
    HRESULT ConvertJobImage(BSTR bszSrcPath, BSTR bszDestPath, int32_t lPaperSize, int32_t lCompressionType,
                            uint32_t dwXres, uint32_t dwYres) override;
    HRESULT RegisterAccountNumber(BSTR bszAccountNumber, BSTR bszReserved) override;
    HRESULT RequestImageConverBeforeSending(int nPaperType, int nCompressionType, int32_t lXResolution,
                                            int32_t lYResolution) override;
    HRESULT RegisterDocumentFiling2(int32_t lFolderType, BSTR bszFolderName, BSTR bszFolderPassword,
                                    BSTR bszFilePassword) override;
    HRESULT RegisterLogData(BSTR bszLogImagePath) override;
    HRESULT RegisterQeltaHeader(int32_t bHeader) override;

    /// The registered job (read-only view for the stream and for tests).
    const CQeltaJob& Job() const { return m_job; }

    /// Fixes the spool time and assembles the stream for the registered job under jobName, with the
    /// image at imagePath (the registered image when empty).
    bool BuildStream(const std::string& jobName, CJobStream& stream, const std::string& imagePath = {});

private:
    HRESULT RegisterFiling(int32_t lFolderType, BSTR bszFolderName, BSTR bszFolderPassword, BSTR bszFilePassword);
    bool EncodePassword(const std::string& password, std::string& encoded);
    std::string Digest(const std::string& text);
    std::string NotificationAddress();
    /// Records the job in the sending log; the new entry's identifier, or 0 when it is not recorded.
    int32_t RecordInLog(const std::string& jobName);

    CQeltaJob m_job;
    std::shared_ptr<CImagingBinding> m_imaging;
    platform::com::Ptr<IResultReceiverInfo> m_receiverInfo;
    platform::com::Ptr<IQeltaMD5Tool> m_digestTool;
    platform::com::Ptr<IQeltaEncTool> m_encTool;
    platform::com::Ptr<IQeltaLogTool> m_logTool;
    std::string m_strLogToolFailure; ///< why the sending log could not be created
    CConversionBinding m_conversion;
};
