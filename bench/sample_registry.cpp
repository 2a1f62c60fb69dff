#include "sample_registry.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "registry/text/reg_format.h"
#include "registry/text/reg_writer.h"
#include "win32.h"

namespace dsnconf::bench {

using dsnconf::posix::appendSectionLine;
using dsnconf::posix::appendValueLine;

namespace {

namespace fs = std::filesystem;

constexpr const char* kFamilyDriver = "Ivorel ODBC Driver";
// The family's three driver names, the current one first.
const char* const kFamilyDrivers[] = {kFamilyDriver, "Sarvonet ODBC Driver",
                                      "Brenmoor ODBC Driver (32-bit)"};
constexpr const char* kOtherDriver = "Acme Text Driver";
constexpr const char* kDriverDll = "C:\\Program Files\\Ivorel\\ODBC\\ivorel.dll";
// Every tenth data source belongs to another vendor.
constexpr std::size_t kOtherDriverEvery = 10;

const char* const kPropertyNames[] = {
    "Driver",        "Description",    "Server",   "Port",      "Database",        "UID",
    "SSLMode",       "ConnectTimeout", "ReadOnly", "FetchSize", "ApplicationName", "Protocol",
    "KeepAlive",     "CommandTimeout", "Charset",  "LogLevel",  "LogPath",         "Compression",
    "RowVersioning", "Options"};
constexpr std::size_t kNamedProperties = sizeof kPropertyNames / sizeof kPropertyNames[0];

std::string propertyName(std::size_t i) {
  return i < kNamedProperties ? kPropertyNames[i] : "Extra" + std::to_string(i);
}

std::string propertyValue(std::size_t dsn, std::size_t i) {
  switch (i) {
    case 0:
      return kDriverDll;
    case 2:
      return "db-" + std::to_string(dsn) + ".example.com";
    case 3:
      return std::to_string(5432 + dsn % 100);
    case 4:
      return "warehouse_" + std::to_string(dsn);
    default:
      return "value " + std::to_string(i) + " of data source " + std::to_string(dsn);
  }
}

std::string stringData(const std::string& text) {
  return text + '\0';
}

std::string odbcIniPath(const std::string& root, Place place) {
  std::string software = root + "\\SOFTWARE";
  if (place == Place::Machine32) software += "\\WOW6432Node";
  return software + "\\ODBC\\ODBC.INI";
}

// The list and the keys of the data sources kept in one place.
void appendDataSources(std::string& text, const SampleLayout& layout, const std::string& root,
                       Place place) {
  const std::string base = odbcIniPath(root, place);
  text += '\n';
  appendSectionLine(text, base + "\\ODBC Data Sources");
  for (std::size_t i = 0; i < layout.dataSources; ++i) {
    if (placeOf(i) == place) {
      appendValueLine(text, dataSourceName(i), REG_SZ, stringData(driverOf(layout, i)));
    }
  }
  for (std::size_t i = 0; i < layout.dataSources; ++i) {
    if (placeOf(i) != place) continue;
    text += '\n';
    appendSectionLine(text, base + "\\" + dataSourceName(i));
    for (std::size_t v = 0; v < layout.valuesPerKey; ++v) {
      appendValueLine(text, propertyName(v), REG_SZ, stringData(propertyValue(i, v)));
    }
  }
}

// The current driver's registration and the driver list in one view.
void appendDriverRegistration(std::string& text, const SampleLayout& layout, bool view32) {
  std::string base = "HKEY_LOCAL_MACHINE\\SOFTWARE";
  if (view32) base += "\\WOW6432Node";
  base += "\\ODBC\\ODBCINST.INI";
  text += '\n';
  appendSectionLine(text, base + "\\ODBC Drivers");
  appendValueLine(text, kFamilyDriver, REG_SZ, stringData("Installed"));
  text += '\n';
  appendSectionLine(text, base + "\\" + kFamilyDriver);
  // The first value is the driver's file, which a new data source's Driver
  // value is made from.
  for (std::size_t v = 0; v < layout.valuesPerKey; ++v) {
    appendValueLine(text, v == 0 ? std::string("Driver") : "Setting" + std::to_string(v), REG_SZ,
                    stringData(v == 0 ? kDriverDll : "driver setting " + std::to_string(v)));
  }
}

std::string header() {
  return std::string(dsnconf::posix::kRegHeader) + "\n";
}

std::string iniSections(const SampleLayout& layout, bool machine) {
  std::string text = "[ODBC Data Sources]\n";
  for (std::size_t i = 0; i < layout.dataSources; ++i) {
    if ((placeOf(i) != Place::User) == machine) {
      text += dataSourceName(i) + "=" + driverOf(layout, i) + "\n";
    }
  }
  for (std::size_t i = 0; i < layout.dataSources; ++i) {
    if ((placeOf(i) != Place::User) != machine) continue;
    text += "\n[" + dataSourceName(i) + "]\n";
    for (std::size_t v = 0; v < layout.valuesPerKey; ++v) {
      text += propertyName(v) + "=" + propertyValue(i, v) + "\n";
    }
  }
  return text;
}

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

std::string dataSourceName(std::size_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "DS%05zu", index);
  return name;
}

Place placeOf(std::size_t index) {
  switch (index % 3) {
    case 0:
      return Place::User;
    case 1:
      return Place::Machine64;
    default:
      return Place::Machine32;
  }
}

const char* driverOf(const SampleLayout& layout, std::size_t index) {
  if (index % kOtherDriverEvery == kOtherDriverEvery - 1) return kOtherDriver;
  // The three names in turn, across the places: each place gets all three.
  return layout.unhealthy ? kFamilyDrivers[index / 3 % 3] : kFamilyDriver;
}

std::string probeDataSource(const SampleLayout& layout) {
  for (std::size_t i = layout.dataSources / 2; i < layout.dataSources; ++i) {
    if (placeOf(i) == Place::Machine32 && driverOf(layout, i) == std::string(kFamilyDriver)) {
      return dataSourceName(i);
    }
  }
  return dataSourceName(0);
}

std::string machineHiveText(const SampleLayout& layout) {
  std::string text = header();
  appendDataSources(text, layout, "HKEY_LOCAL_MACHINE", Place::Machine64);
  if (!layout.unhealthy) appendDriverRegistration(text, layout, false);
  appendDataSources(text, layout, "HKEY_LOCAL_MACHINE", Place::Machine32);
  if (!layout.unhealthy) appendDriverRegistration(text, layout, true);
  return text;
}

std::string userHiveText(const SampleLayout& layout) {
  std::string text = header();
  appendDataSources(text, layout, "HKEY_CURRENT_USER", Place::User);
  return text;
}

std::string systemOdbcIni(const SampleLayout& layout) {
  return iniSections(layout, true);
}

std::string userOdbcIni(const SampleLayout& layout) {
  return iniSections(layout, false);
}

std::string odbcinstIni(const SampleLayout& layout) {
  std::string text = std::string("[") + kFamilyDriver + "]\n";
  for (std::size_t v = 0; v < layout.valuesPerKey; ++v) {
    text += "Setting" + std::to_string(v) + "=driver setting " + std::to_string(v) + "\n";
  }
  return text;
}

std::string fileDsnText(const SampleLayout& layout) {
  std::string text = "[ODBC]\n";
  text += std::string("DRIVER=") + kFamilyDriver + "\n";
  text += "SYSTEM=db.example.com\n";
  for (std::size_t k = 2; k < layout.fileDsnKeys; ++k) {
    text += "Key" + std::to_string(k) + "=file value " + std::to_string(k) + "\n";
  }
  return text;
}

void writeSample(const SampleLayout& layout, const std::string& folder) {
  const fs::path root(folder);
  writeFile(root / "registry" / "HKEY_LOCAL_MACHINE.reg", machineHiveText(layout));
  writeFile(root / "registry" / "HKEY_CURRENT_USER.reg", userHiveText(layout));
  writeFile(root / "unixodbc" / "odbc.ini", systemOdbcIni(layout));
  writeFile(root / "unixodbc" / "user.ini", userOdbcIni(layout));
  writeFile(root / "unixodbc" / "odbcinst.ini", odbcinstIni(layout));
  writeFile(root / "files" / "sample.dsn", fileDsnText(layout));
}

}  // namespace dsnconf::bench
