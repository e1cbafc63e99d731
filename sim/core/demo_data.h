#pragma once

namespace pelmora::sim {

// demo-data.sql, built into the program, zero-terminated UTF-8.
extern const unsigned char kDemoSqlBytes[];
inline const char* const kDemoSql = reinterpret_cast<const char*>(kDemoSqlBytes);

}  // namespace pelmora::sim
