// Phone-book-shaped XML text for the benchmarks: a phone book file as the store writes it (one
// line, attributes in single quotes, the templates' line breaks and tabs kept as references).
#pragma once

#include <cstdint>
#include <string>

namespace benchdata {

// Names as the store keeps them: UTF-8 bytes above 0x7F written as references.
inline const char* const kFirstNames[] = {
    "Ren&#xc3;&#xa9;e", "J&#xc3;&#xb6;rg", "Fran&#xc3;&#xa7;ois", "Anna", "Bj&#xc3;&#xb6;rn", "Marta",
    "Jos&#xc3;&#xa9;", "Hiroshi", "Chlo&#xc3;&#xab;", "Peter", "Ines", "Ra&#xc3;&#xba;l",
};
inline const char* const kLastNames[] = {
    "M&#xc3;&#xbc;ller", "Dupont", "Garc&#xc3;&#xad;a", "Smith", "Kov&#xc3;&#xa1;&#xc5;&#x99;", "Nakamura",
    "Schr&#xc3;&#xb6;der", "Lef&#xc3;&#xa8;vre", "Olsen", "Rossi", "Wei&#xc3;&#x9f;", "Brown",
};
inline const char* const kDirectories[] = {
    "Sales", "Support", "Comptabilit&#xc3;&#xa9;", "Einkauf", "Legal", "Empf&#xc3;&#xa4;nger",
};

class PhoneBookText {
public:
    explicit PhoneBookText(int records) : records_(records) {}

    std::string build()
    {
        text_.reserve(static_cast<std::size_t>(records_) * 1400 + 4096);
        text_ += "<system>";
        newline(1);
        text_ += "<version>1.0</version>";
        newline(1);
        text_ += "<newid><data>" + std::to_string(records_ + 3) + "</data></newid>";
        newline(1);
        text_ += "<folders>";
        folder("root", 1, records_, 1);
        folder("favorite", 2, records_ < 8 ? records_ : 8, records_ / 8 > 0 ? records_ / 8 : 1);
        newline(1);
        text_ += "</folders>";
        newline(1);
        text_ += "<profiles>";
        for (int i = 0; i < records_; ++i)
            profile(i);
        newline(1);
        text_ += "</profiles>";
        newline(0);
        text_ += "</system>";
        return std::move(text_);
    }

private:
    void newline(int depth)
    {
        text_ += "&#x0d;&#x0a;";
        for (int i = 0; i < depth; ++i)
            text_ += "&#x09;";
    }

    void value(int depth, const char* key, const std::string& text)
    {
        newline(depth);
        text_ += '<';
        text_ += key;
        text_ += "><data><value>";
        text_ += text;
        text_ += "</value></data></";
        text_ += key;
        text_ += '>';
    }

    // Record i's name, the same every time it is asked for.
    static std::string fullName(int i)
    {
        constexpr int firsts = sizeof(kFirstNames) / sizeof(kFirstNames[0]);
        constexpr int lasts = sizeof(kLastNames) / sizeof(kLastNames[0]);
        return std::string(kFirstNames[i % firsts]) + ' ' + kLastNames[(i / firsts + i) % lasts];
    }

    static std::string initial(int i)
    {
        constexpr int firsts = sizeof(kFirstNames) / sizeof(kFirstNames[0]);
        constexpr int lasts = sizeof(kLastNames) / sizeof(kLastNames[0]);
        return std::string(1, kLastNames[(i / firsts + i) % lasts][0]);
    }

    uint32_t next()
    {
        seed_ = seed_ * 1664525u + 1013904223u;
        return seed_ >> 8;
    }

    std::string digits(int count, bool leadingZero)
    {
        std::string s;
        if (leadingZero) {
            s += '0';
            --count;
        }
        for (int i = 0; i < count; ++i)
            s += static_cast<char>('0' + next() % 10);
        return s;
    }

    void folder(const char* name, int id, int entries, int step)
    {
        newline(2);
        text_ += '<';
        text_ += name;
        text_ += " id='" + std::to_string(id) + "'>";
        value(3, "name", name);
        value(3, "id", std::to_string(id));
        newline(3);
        text_ += "<records>";
        for (int e = 0; e < entries; ++e) {
            const int i = e * step;
            newline(4);
            text_ += "<record>";
            newline(5);
            text_ += "<id type='fax'>" + std::to_string(i + 3) + "</id>";
            newline(5);
            text_ += "<name>" + fullName(i) + "</name>";
            newline(4);
            text_ += "</record>";
        }
        newline(3);
        text_ += "</records>";
        newline(2);
        text_ += "</";
        text_ += name;
        text_ += '>';
    }

    void profile(int i)
    {
        constexpr int directories = sizeof(kDirectories) / sizeof(kDirectories[0]);
        const std::string id = std::to_string(i + 3);
        newline(2);
        text_ += "<profile id='" + id + "'><fax>";
        value(4, "parentID", "1");
        value(4, "id", id);
        value(4, "fullName", fullName(i));
        value(4, "initial", initial(i));
        value(4, "customDir", kDirectories[next() % directories]);
        value(4, "frequentlyUsed", next() % 5 == 0 ? "1" : "0");
        value(4, "faxNumber", digits(10, true));
        value(4, "faxSubAddress", digits(4, false));
        value(4, "faxPassCode", digits(4, false));
        value(4, "faxFCode", digits(6, false));
        value(4, "receptionConfirm", next() % 2 ? "1" : "0");
        newline(3);
        text_ += "</fax></profile>";
    }

    int records_;
    uint32_t seed_ = 20240611u;
    std::string text_;
};


} // namespace benchdata
