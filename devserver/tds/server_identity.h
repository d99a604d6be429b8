#pragma once
// How this server introduces itself: as a SQL Server 2019 would.

#include <cstdint>

namespace ztds::tds {

inline constexpr uint8_t serverMajorVersion = 15;
inline constexpr uint8_t serverMinorVersion = 0;
inline constexpr uint16_t serverBuild = 2000;
inline constexpr const char16_t* serverProgramName = u"Microsoft SQL Server";
inline constexpr const char16_t* serverName = u"ZT-DEVSERVER";

} // namespace ztds::tds
