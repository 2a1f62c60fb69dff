// A registry of many data sources of the family, written as hive files, with
// the same data sources as unixODBC ini files and a file data source: the
// data the benchmarks and the fault tests work on.
#pragma once

#include <cstddef>
#include <string>

namespace dsnconf::bench {

struct SampleLayout {
  // Data sources in all, spread in turn over the user list, the 64-bit and
  // the 32-bit machine view; one in ten names a driver of another vendor.
  std::size_t dataSources = 100;
  // Properties of each data source and of each driver registration.
  std::size_t valuesPerKey = 20;
  // Keys of the file data source.
  std::size_t fileDsnKeys = 100;
  // A registry where every data source of the family has a finding: its
  // driver is registered in neither view, and the family's data sources use
  // its three driver names in turn, as the README's sample does, so that those
  // of the earlier names have a second (a repair hint that looks the name up
  // in every earlier place).
  bool unhealthy = false;
};

// The name of data source `index` (from 0), and where it is kept.
std::string dataSourceName(std::size_t index);
enum class Place { User, Machine64, Machine32 };
Place placeOf(std::size_t index);
// The driver recorded for data source `index` in its list entry.
const char* driverOf(const SampleLayout& layout, std::size_t index);
// A data source of the family kept in the 32-bit machine view, the last place
// a lookup by name tries, from the middle of the list.
std::string probeDataSource(const SampleLayout& layout);

// The two hive files of the registry folder.
std::string machineHiveText(const SampleLayout& layout);
std::string userHiveText(const SampleLayout& layout);
// unixODBC's view of the same data sources: odbc.ini of the system (the
// machine data sources), of the user, and odbcinst.ini.
std::string systemOdbcIni(const SampleLayout& layout);
std::string userOdbcIni(const SampleLayout& layout);
std::string odbcinstIni(const SampleLayout& layout);
// A file data source with `fileDsnKeys` keys in its section ODBC.
std::string fileDsnText(const SampleLayout& layout);

// Writes everything under `folder`: registry/HKEY_*.reg, unixodbc/odbc.ini,
// unixodbc/odbcinst.ini, unixodbc/user.ini and files/sample.dsn. Throws
// std::runtime_error when a file cannot be written.
void writeSample(const SampleLayout& layout, const std::string& folder);

}  // namespace dsnconf::bench
