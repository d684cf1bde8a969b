#include "devicelink/reg_key.h"

#include <cctype>
#include <vector>

namespace WinReg_Ostrel_R1 {

namespace {

std::string lowered(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

const platform::RegistryKey& RegKey::opened() const
{
    if (!key_) {
        platform::RegistryKey key;
        if (platform::RegistryKey::open(hive_, path_, key) != platform::RegStatus::Ok)
            throw CExRegOpenKey();
        key_ = key;
    }
    return *key_;
}

RegKey RegKey::Child(std::string_view name) const
{
    opened();
    return RegKey(hive_, access_, path_.empty() ? std::string(name) : path_ + "\\" + std::string(name));
}

bool RegKey::HasChild(std::string_view name) const
{
    std::vector<std::string> names;
    if (opened().subKeys(names) != platform::RegStatus::Ok)
        throw CExRegEnumKey();
    const std::string wanted = lowered(name);
    for (const auto& n : names)
        if (lowered(n) == wanted)
            return true;
    return false;
}

std::string RegKey::QueryString(std::string_view valueName, const std::string& defaultValue) const
{
    platform::RegValue value;
    if (opened().query(valueName, value) != platform::RegStatus::Ok)
        return defaultValue;
    if (value.type != platform::RegType::String && value.type != platform::RegType::ExpandString)
        return defaultValue;
    return value.text();
}

} // namespace WinReg_Ostrel_R1
