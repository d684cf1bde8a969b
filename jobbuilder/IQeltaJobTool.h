// The job builder's interface: a fax job is registered piece by piece, then FlushJob builds the
// PJL job stream and sends it. Every method answers S_OK when it did its work and S_FALSE when it
// refused or failed.
#pragma once

#include "platform/com.h"

struct IQeltaJobTool : IDispatch {
    static constexpr IID iid = platform::com::guid("{C93733B0-1516-4FD0-B77B-46410229751C}");
    using parent = IDispatch;

    /// Forgets everything registered; always S_OK.
    virtual HRESULT CleanJob() = 0;
    /// Records, builds and sends the registered job, then forgets it.
    virtual HRESULT FlushJob() = 0;
    /// Adds a destination: lJobType 0 fax (lParams 1: F-code) or 1 Internet fax (lParams 1: reception confirm).
    virtual HRESULT RegisterJobTarget(int32_t lJobType, BSTR bszName, BSTR bszFAXNo, BSTR bszSubAddress,
                                      BSTR bszPassCode, int32_t lParams, BSTR bszReserved) = 0;
    /// The job image, the printer and the sender.
    virtual HRESULT RegisterJobData(BSTR bszImagePath, BSTR bszPrinterName, BSTR bszUserName, BSTR bszPassword,
                                    int32_t lMfpType, int32_t bEnableRtn, BSTR bszDocumentName) = 0;
    /// Document filing with a folder password (digits only).
    virtual HRESULT RegisterDocumentFiling(int32_t lFolderType, BSTR bszFolderName, BSTR bszPassword) = 0;
    /// Converts an image file at once.
    virtual HRESULT ConvertJobImage(BSTR bszSrcPath, BSTR bszDestPath, int32_t lPaperSize, int32_t lCompressionType,
                                    uint32_t dwXres, uint32_t dwYres) = 0;
    /// The account number (digits only).
    virtual HRESULT RegisterAccountNumber(BSTR bszAccountNumber, BSTR bszReserved) = 0;
    /// Asks FlushJob to convert the image before sending.
    virtual HRESULT RequestImageConverBeforeSending(int nPaperType, int nCompressionType, int32_t lXResolution,
                                                    int32_t lYResolution) = 0;
    /// Document filing with folder and file passwords (digits only).
    virtual HRESULT RegisterDocumentFiling2(int32_t lFolderType, BSTR bszFolderName, BSTR bszFolderPassword,
                                            BSTR bszFilePassword) = 0;
    /// The image to keep in the sending log in place of the job image.
    virtual HRESULT RegisterLogData(BSTR bszLogImagePath) = 0;
    /// The driver header line: on only for 1; always S_OK.
    virtual HRESULT RegisterQeltaHeader(int32_t bHeader) = 0;

protected:
    ~IQeltaJobTool() = default;
};

inline constexpr CLSID CLSID_QeltaJobTool = platform::com::guid("{1439FBF8-F72F-4F05-B213-5B4143A7EAF9}");
inline constexpr const char* kQeltaJobToolProgId = "jobbuilder.QeltaJobTool";
inline constexpr const char* kQeltaJobToolProgIdVersion = "jobbuilder.QeltaJobTool.1";
