#include "sendwizard/printer_info.h"

#include "common/prompter.h"
#include "devicelist/devicelist.h"
#include "platform/files.h"
#include "platform/spooler.h"
#include "sendwizard/wizard_strings.h"

#include <condition_variable>
#include <mutex>
#include <optional>

int FindModelType(std::string_view strTable, std::string_view strDriverName)
{
    if (strDriverName.empty())
        return kUnknownModelType;
    size_t start = 0;
    while (start < strTable.size()) {
        size_t end = strTable.find('\n', start);
        if (end == std::string_view::npos)
            end = strTable.size();
        std::string_view line = strTable.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() == strDriverName.size() + 2 && line.substr(0, strDriverName.size()) == strDriverName
            && line.back() >= '0' && line.back() <= '9')
            return line.back() - '0';
        start = end + 1;
    }
    return kUnknownModelType;
}

int ReadModelTypeFile(const std::string& strPath, const std::string& strDriverName)
{
    std::string table;
    if (platform::readFilePrefix(strPath, table, kMaxDeviceEnvBytes) != platform::ReadStatus::Ok)
        return kUnknownModelType;
    return FindModelType(table, strDriverName);
}

bool ReadPrinterInfo(const std::string& strPrinter, std::string& strPortName, std::string& strDriverName)
{
    strPortName.clear();
    strDriverName.clear();
    const auto spooler = platform::currentSpooler();
    if (strPrinter.empty() || !spooler->hasPrinter(strPrinter))
        return false;
    strPortName = spooler->deviceUri(strPrinter).value_or("");
    strDriverName = spooler->makeAndModel(strPrinter).value_or("");
    return true;
}

int ModelPictureFor(int nModelType)
{
    switch (nModelType) {
    case 0: return 154;
    case 1: return 153;
    case 2: return 149;
    case 3: return 151;
    default: return 155;
    }
}

int DestinationLimitFor(int nModelType)
{
    switch (nModelType) {
    case 0: return 300;
    case 3: return 500;
    default: return 200;
    }
}

namespace {

// The user-defined printer when one is in use (its name may be empty); nothing otherwise.
std::optional<std::string> UserDefinedPrinter()
{
    if (!DEVICELISTLIB_GetIsUseUserDefinedPrinter())
        return std::nullopt;
    std::string printer;
    DEVICELISTLIB_GetUserDefinedPrinter(printer);
    return printer;
}

void TellInvalidPrinter(IPrompter& prompter)
{
    prompter.MessageBox(WizardString(IDS_INVALID_PRINTER), WizardString(IDS_CAPTION), MB_ICONWARNING);
}

} // namespace

std::string ChoosePrinter(const std::string& strCommandLinePrinter, IPrompter& prompter)
{
    const std::optional<std::string> printer = UserDefinedPrinter();
    if (!printer)
        return strCommandLinePrinter;
    if (DEVICELISTLIB_ValidPrinter(*printer))
        return *printer;
    TellInvalidPrinter(prompter);
    return strCommandLinePrinter;
}

// What the questions' thread hands over, under the mutex.
struct CPrinterQuestions::Shared {
    std::mutex mutex;
    std::condition_variable answered;
    bool bAnswered = false;
    bool bValid = false;
    std::string strPortName, strDriverName;
    Wake wake;
};

CPrinterQuestions::CPrinterQuestions(std::string strCommandLinePrinter)
    : m_strCommandLinePrinter(std::move(strCommandLinePrinter)), m_pShared(std::make_shared<Shared>())
{
    if (const std::optional<std::string> printer = UserDefinedPrinter()) {
        m_bAskedValidity = true;
        m_strPrinter = *printer;
        Ask([printer = *printer](Shared& shared) { shared.bValid = DEVICELISTLIB_ValidPrinter(printer) != 0; });
        return;
    }
    m_strPrinter = m_strCommandLinePrinter;
    Ask([printer = m_strPrinter](Shared& shared) {
        ::ReadPrinterInfo(printer, shared.strPortName, shared.strDriverName);
    });
}

CPrinterQuestions::~CPrinterQuestions()
{
    SetWake({});
    if (m_Thread.joinable())
        m_Thread.join();
}

void CPrinterQuestions::Ask(std::function<void(Shared&)> question)
{
    if (m_Thread.joinable())
        m_Thread.join();
    {
        std::lock_guard lock(m_pShared->mutex);
        m_pShared->bAnswered = false;
    }
    m_Thread = std::thread([shared = m_pShared, question = std::move(question)] {
        Shared answer;
        question(answer);
        std::lock_guard lock(shared->mutex);
        shared->bValid = answer.bValid;
        shared->strPortName = std::move(answer.strPortName);
        shared->strDriverName = std::move(answer.strDriverName);
        shared->bAnswered = true;
        shared->answered.notify_all();
        if (shared->wake)
            shared->wake();
    });
}

void CPrinterQuestions::SetWake(Wake wake)
{
    std::lock_guard lock(m_pShared->mutex);
    m_pShared->wake = std::move(wake);
    if (m_pShared->wake && m_pShared->bAnswered && !m_bKnown)
        m_pShared->wake();
}

bool CPrinterQuestions::TakeAnswer(IPrompter& prompter)
{
    if (m_bKnown)
        return true;
    bool bValid = false;
    {
        std::lock_guard lock(m_pShared->mutex);
        if (!m_pShared->bAnswered)
            return false;
        m_pShared->bAnswered = false;
        bValid = m_pShared->bValid;
        m_strPortName = m_pShared->strPortName;
        m_strDriverName = m_pShared->strDriverName;
    }
    if (!m_bAskedValidity) {
        m_bKnown = true;
        return true;
    }
    m_bAskedValidity = false;
    if (!bValid) {
        TellInvalidPrinter(prompter);
        m_strPrinter = m_strCommandLinePrinter;
    }
    Ask([printer = m_strPrinter](Shared& shared) {
        ::ReadPrinterInfo(printer, shared.strPortName, shared.strDriverName);
    });
    return false;
}

void CPrinterQuestions::WaitForAnswers(IPrompter& prompter)
{
    while (!TakeAnswer(prompter)) {
        std::unique_lock lock(m_pShared->mutex);
        m_pShared->answered.wait(lock, [this] { return m_pShared->bAnswered; });
    }
}
