// The printer a job goes to and what the wizard learns about it: its port (the device URI), its
// driver (make and model) and the model type that "device.env" gives for that driver.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

class IPrompter;

/// The model type of a printer whose driver has no line in "device.env".
inline constexpr int kUnknownModelType = 99;
/// Most bytes of "device.env" read.
inline constexpr size_t kMaxDeviceEnvBytes = 1 << 20;

/// The model type a model table gives for a driver: the first line that starts with the driver
/// name, is exactly two characters longer (its line end not counted) and ends in a digit gives
/// that digit; kUnknownModelType when no line does (or the driver name is empty).
int FindModelType(std::string_view strTable, std::string_view strDriverName);

/// The model type from the table file at path; kUnknownModelType when it cannot be read.
int ReadModelTypeFile(const std::string& strPath, const std::string& strDriverName);

/// The printer's port name (its device URI) and driver name (its make and model). False, with both
/// empty, when the print system does not know the printer.
bool ReadPrinterInfo(const std::string& strPrinter, std::string& strPortName, std::string& strDriverName);

/// The picture of a model type: 0 -> 154, 1 -> 153, 2 -> 149, 3 -> 151, any other -> 155.
int ModelPictureFor(int nModelType);

/// The destination-count limit of a model type: 0 -> 300, 3 -> 500, any other -> 200.
int DestinationLimitFor(int nModelType);

/// The printer the job goes to: the user-defined printer when one is in use and the print system
/// knows it; when it does not, the user is told (STRING 3115) and the command line's printer is used.
std::string ChoosePrinter(const std::string& strCommandLinePrinter, IPrompter& prompter);

/// The start's questions to the print system about the job's printer, asked on a thread of their
/// own so that the wizard is on the screen while a slow server answers: whether the user-defined
/// printer can be used (when one is in use), then the chosen printer's port and driver. Each
/// question keeps the spooler's own time limit; a question that ran out answers as a printer the
/// print system does not know.
class CPrinterQuestions {
public:
    /// Called on the questions' thread once an answer is in; its owner then takes it on its own
    /// thread (TakeAnswer).
    using Wake = std::function<void()>;

    /// Starts with the command line's printer (used when no user-defined printer is in use or can be).
    explicit CPrinterQuestions(std::string strCommandLinePrinter);
    /// Waits for a question still being asked (it ends within the spooler's time limit).
    ~CPrinterQuestions();
    CPrinterQuestions(const CPrinterQuestions&) = delete;
    CPrinterQuestions& operator=(const CPrinterQuestions&) = delete;

    /// Who is woken when an answer is in, at once when one is in already; empty: nobody.
    void SetWake(Wake wake);
    /// Takes the answer that is in, if any: a user-defined printer that cannot be used is told
    /// (STRING 3115) and the command line's printer asked about instead. True once the printer's
    /// facts are in (Printer, PortName, DriverName).
    bool TakeAnswer(IPrompter& prompter);
    /// Waits on the caller's thread until the printer's facts are in.
    void WaitForAnswers(IPrompter& prompter);
    bool Known() const { return m_bKnown; }

    const std::string& Printer() const { return m_strPrinter; }
    const std::string& PortName() const { return m_strPortName; }
    const std::string& DriverName() const { return m_strDriverName; }

private:
    struct Shared;
    /// Asks question on a new thread (the previous one has answered).
    void Ask(std::function<void(Shared&)> question);

    std::string m_strCommandLinePrinter, m_strPrinter, m_strPortName, m_strDriverName;
    bool m_bAskedValidity = false, m_bKnown = false;
    std::shared_ptr<Shared> m_pShared;
    std::thread m_Thread;
};
