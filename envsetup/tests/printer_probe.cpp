// Runs the send wizard's printer choice in a process of its own: printer_probe COMMAND-LINE-PRINTER
// OUT-FILE writes the printer the wizard would send to (and any message it showed) to OUT-FILE.
#include "common/prompter.h"
#include "platform/files.h"
#include "sendwizard/printer_info.h"

#include <string>

namespace {

class KeptMessages : public IPrompter {
public:
    int MessageBox(const std::string& strText, const std::string&, unsigned) override
    {
        m_strShown += "message: " + strText + "\n";
        return IDOK;
    }
    std::string m_strShown;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    KeptMessages prompter;
    const std::string printer = ChoosePrinter(argv[1], prompter);
    return platform::writeFileAtomic(argv[2], prompter.m_strShown + printer) ? 0 : 1;
}
