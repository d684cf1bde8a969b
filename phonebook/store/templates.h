// The built-in texts every phone book file, record file and search file is made from.
#pragma once

/// Template identifiers.
enum : int {
    IDR_PHONEBOOK = 162, ///< an empty phone book
    IDR_FAX = 163,       ///< a fax record's profile
    IDR_IFAX = 164,      ///< an Internet-fax record's profile
    IDR_SEARCH = 165,    ///< the search file
    IDR_GROUP = 166,     ///< a group's profile
    IDR_FOLDER = 167,    ///< a user folder
};

/// The template's text (ASCII, CR LF line ends, tab indentation), or null for an unknown id.
const char* PhoneBookTemplate(int id);
