#pragma once
// Which SQL Server this server presents itself as: the highest TDS version it answers with
// and the product version that goes with it (LOGINACK, PRELOGIN, @@VERSION, SERVERPROPERTY).

#include <cstdint>
#include <string_view>

namespace ztds {

struct ServerVersion {
    std::string_view tdsLevel; // "7.4"
    uint32_t tdsVersion = 0;   // as LOGIN7 and LOGINACK carry it
    uint8_t major = 0;
    uint8_t minor = 0;
    uint16_t build = 0;
    std::string_view productVersion; // SERVERPROPERTY('ProductVersion')
    std::string_view productName;    // "SQL Server 2019"

    int64_t microsoftVersion() const { return (int64_t{major} << 24) | (minor << 16) | build; }
};

inline constexpr ServerVersion serverVersions[] = {
    {"7.1", 0x71000001, 8, 0, 2039, "8.00.2039", "SQL Server 2000"},
    {"7.2", 0x72090002, 9, 0, 5000, "9.00.5000.00", "SQL Server 2005"},
    {"7.3", 0x730B0003, 10, 50, 6000, "10.50.6000.34", "SQL Server 2008 R2"},
    {"7.4", 0x74000004, 15, 0, 2000, "15.0.2000.5", "SQL Server 2019"},
};

// The version for "7.1" .. "7.4"; nullptr for anything else.
inline const ServerVersion* serverVersionFor(std::string_view tdsLevel) {
    for (const auto& v : serverVersions)
        if (v.tdsLevel == tdsLevel)
            return &v;
    return nullptr;
}

inline const ServerVersion& latestServerVersion() {
    return serverVersions[std::size(serverVersions) - 1];
}

} // namespace ztds
