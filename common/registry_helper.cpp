#include "common/registry_helper.h"

#include "platform/text.h"

CRegistryHelper::CRegistryHelper(HKEY rootKey, std::string keyPrefix)
    : m_hRootKey(rootKey), m_strKeyPrefix(std::move(keyPrefix))
{
}

namespace {
std::string_view cutName(std::string_view name) { return platform::utf8Prefix(name, CRegistryHelper::kMaxValueName); }
} // namespace

std::string CRegistryHelper::ReadString(std::string_view subkey, std::string_view valueName,
                                        std::string_view defaultValue) const
{
    platform::RegistryKey key;
    platform::RegValue value;
    if (platform::RegistryKey::open(m_hRootKey, m_strKeyPrefix + std::string(subkey), key) != platform::RegStatus::Ok
        || key.query(cutName(valueName), value) != platform::RegStatus::Ok)
        return std::string(defaultValue);
    return value.text();
}

int CRegistryHelper::WriteString(std::string_view subkey, std::string_view valueName, std::string_view value) const
{
    platform::RegistryKey key;
    if (platform::RegistryKey::create(m_hRootKey, m_strKeyPrefix + std::string(subkey), key) != platform::RegStatus::Ok)
        return 0;
    return key.set(cutName(valueName), platform::RegValue::string(value)) == platform::RegStatus::Ok ? 1 : 0;
}

uint32_t CRegistryHelper::ReadDword(std::string_view subkey, std::string_view valueName, uint32_t defaultValue) const
{
    platform::RegistryKey key;
    platform::RegValue value;
    if (platform::RegistryKey::open(m_hRootKey, m_strKeyPrefix + std::string(subkey), key) != platform::RegStatus::Ok
        || key.query(cutName(valueName), value) != platform::RegStatus::Ok || value.type != platform::RegType::Dword
        || value.data.size() != 4)
        return defaultValue;
    return value.number();
}

int CRegistryHelper::WriteDword(std::string_view subkey, std::string_view valueName, uint32_t value) const
{
    platform::RegistryKey key;
    if (platform::RegistryKey::create(m_hRootKey, m_strKeyPrefix + std::string(subkey), key) != platform::RegStatus::Ok)
        return 0;
    return key.set(cutName(valueName), platform::RegValue::dword(value)) == platform::RegStatus::Ok ? 1 : 0;
}
