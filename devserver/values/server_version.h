#pragma once
// Which SQL Server this server presents itself as: the highest TDS version it answers with,
// the product version that goes with it (LOGINACK, PRELOGIN, @@VERSION, SERVERPROPERTY), and
// what that product has of the language and catalog. The layers ask these fields; nothing
// else compares versions.

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
    std::string_view productLevel;   // SERVERPROPERTY('ProductLevel'): "RTM", "SP4"
    int compatibilityLevel = 0;      // of new databases: sys.databases, sysdatabases.cmptlevel
    // SQL Server 2005 brought the sys schema (sys.databases, sys.tables, sys.columns ...);
    // before it only the system tables (sysdatabases, sysobjects, syscolumns) and
    // INFORMATION_SCHEMA answer.
    bool sysCatalogViews = false;
    // varchar(max), nvarchar(max), varbinary(max): SQL Server 2005 and later.
    bool maxTypes = false;
    // datetime2: SQL Server 2008 and later.
    bool dateTime2 = false;
    // SQL Server 2005 reworded messages: security ones around principals and schemas (229,
    // 916), 2715 ("Column, parameter, or variable"), and a plain syntax error is 102 rather
    // than 170 ("Line n: Incorrect syntax near ...").
    bool rewordedMessages = false;
    // SQL Server 2005 and later show a user only the metadata of tables it may use; SQL Server
    // 2000 shows every user sysobjects and INFORMATION_SCHEMA whole.
    bool metadataVisibility = false;

    int64_t microsoftVersion() const { return (int64_t{major} << 24) | (minor << 16) | build; }
};

inline constexpr ServerVersion serverVersions[] = {
    {"7.1", 0x71000001, 8, 0, 2039, "8.00.2039", "SQL Server 2000", "SP4", 80, false, false, false,
     false, false},
    {"7.2", 0x72090002, 9, 0, 5000, "9.00.5000.00", "SQL Server 2005", "SP4", 90, true, true, false,
     true, true},
    {"7.3", 0x730B0003, 10, 50, 6000, "10.50.6000.34", "SQL Server 2008 R2", "SP3", 100, true, true,
     true, true, true},
    {"7.4", 0x74000004, 15, 0, 2000, "15.0.2000.5", "SQL Server 2019", "RTM", 150, true, true, true,
     true, true},
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
