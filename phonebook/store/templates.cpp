#include "phonebook/store/templates.h"

namespace {

#define PB_VALUE(indent, key) indent "<" key "><data><value></value></data></" key ">\r\n"
#define PB_RECORD_VALUES PB_VALUE("\t\t", "parentID") PB_VALUE("\t\t", "id") PB_VALUE("\t\t", "fullName")

const char* const kPhoneBook = "<system>\r\n"
                               "\t<version>1.0</version>\r\n"
                               "\t<newid><data>10</data></newid>\r\n"
                               "\t<folders>\r\n"
                               "\t\t<root id='1'>\r\n"
                               "\t\t\t<name><data><value>root</value></data></name>\r\n"
                               "\t\t\t<id><data><value>1</value></data></id>\r\n"
                               "\t\t\t<records>\r\n"
                               "\t\t\t</records>\r\n"
                               "\t\t</root>\r\n"
                               "\t\t<favorite id='2'>\r\n"
                               "\t\t\t<name><data><value>favorite</value></data></name>\r\n"
                               "\t\t\t<id><data><value>2</value></data></id>\r\n"
                               "\t\t\t<records>\r\n"
                               "\t\t\t</records>\r\n"
                               "\t\t</favorite>\r\n"
                               "\t</folders>\r\n"
                               "\t<profiles>\r\n"
                               "\t</profiles>\r\n"
                               "</system>\r\n";

const char* const kFax = "<profile>\r\n"
                         "\t<fax>\r\n" PB_RECORD_VALUES PB_VALUE("\t\t", "initial") PB_VALUE("\t\t", "customDir")
                             PB_VALUE("\t\t", "frequentlyUsed") PB_VALUE("\t\t", "faxNumber")
                                 PB_VALUE("\t\t", "faxSubAddress") PB_VALUE("\t\t", "faxPassCode")
                                     PB_VALUE("\t\t", "faxFCode") PB_VALUE("\t\t", "receptionConfirm")
                         "\t</fax>\r\n"
                         "</profile>\r\n";

const char* const kIfax = "<profile>\r\n"
                          "\t<ifax>\r\n" PB_RECORD_VALUES PB_VALUE("\t\t", "initial") PB_VALUE("\t\t", "customDir")
                              PB_VALUE("\t\t", "frequentlyUsed") PB_VALUE("\t\t", "mailAddress")
                                  PB_VALUE("\t\t", "receptionConfirm")
                          "\t</ifax>\r\n"
                          "</profile>\r\n";

const char* const kSearch = "<system>\r\n"
                            "\t<search>\r\n"
                            "\t\t<records>\r\n"
                            "\t\t</records>\r\n"
                            "\t</search>\r\n"
                            "</system>\r\n";

const char* const kGroup = "<profile>\r\n"
                           "\t<group>\r\n" PB_RECORD_VALUES PB_VALUE("\t\t", "frequentlyUsed")
                           "\t\t<records>\r\n"
                           "\t\t</records>\r\n"
                           "\t</group>\r\n"
                           "</profile>\r\n";

const char* const kFolder = "<folder>\r\n" PB_VALUE("\t", "name") PB_VALUE("\t", "id")
                            "\t<records>\r\n"
                            "\t</records>\r\n"
                            "</folder>\r\n";

#undef PB_RECORD_VALUES
#undef PB_VALUE

} // namespace

const char* PhoneBookTemplate(int id)
{
    switch (id) {
    case IDR_PHONEBOOK:
        return kPhoneBook;
    case IDR_FAX:
        return kFax;
    case IDR_IFAX:
        return kIfax;
    case IDR_SEARCH:
        return kSearch;
    case IDR_GROUP:
        return kGroup;
    case IDR_FOLDER:
        return kFolder;
    default:
        return nullptr;
    }
}
