#include "dsn/registry_edit.h"

#include "cli/output.h"
#include "dsn/registry.h"

namespace dsnconf {
namespace {

// Windows' longest key name, with its terminator.
constexpr DWORD kKeyNameBuffer = 256;

}  // namespace

const Place& machineViewPlace(MachineView view) {
  if (!hasTwoMachineViews() || view == MachineView::Bit32) return kSystem32Place;
  return kSystem64Place;
}

std::vector<const Place*> chosenPlaces(const PlaceChoice& choice) {
  if (choice.scope == Scope::User) return {&kUserPlace};
  if (choice.view == MachineView::None) return machinePlaces();
  return {&machineViewPlace(choice.view)};
}

std::string choiceDsnLabel(const PlaceChoice& choice) {
  if (choice.scope == Scope::User) return "user DSN";
  if (choice.view == MachineView::None) return "system DSN";
  return std::string(machineViewPlace(choice.view).name) + " DSN";
}

std::string placeDsnLabel(const Place& place, const std::string& name) {
  return std::string(place.name) + " DSN " + name;
}

void printDsnLookupFailure(const Place& place, const std::string& name, LSTATUS status) {
  printLine("*** Got error code " + std::to_string(status) + " while looking for the " +
            placeDsnLabel(place, name) + " ***");
}

void printDsnChangeFailure(const char* doing, const Place& place, const std::string& name,
                           LSTATUS status) {
  printLine("*** Got error code " + std::to_string(status) + " while " + doing + " the " +
            placeDsnLabel(place, name) + " ***");
  if (status == ERROR_ACCESS_DENIED && place.scope == Scope::System) printAdministratorHint();
}

std::string dsnKeyPath(const std::string& name) {
  return std::string(kOdbcIniPath) + "\\" + name;
}

std::string ListEntry::text() const {
  return data.substr(0, data.find('\0'));
}

LSTATUS dsnKeyExists(const Place& place, const std::string& name, bool& exists) {
  RegKeyHolder key;
  const LSTATUS status = RegOpenKeyExA(place.root, dsnKeyPath(name).c_str(), 0,
                                       KEY_QUERY_VALUE | place.viewFlag, key.receive());
  exists = status == ERROR_SUCCESS;
  if (status == ERROR_SUCCESS) return status;
  key.clearAfterFailure();
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LSTATUS readListEntry(const Place& place, const std::string& name, ListEntry& entry) {
  entry = ListEntry{};
  RegKeyHolder list;
  LSTATUS status = RegOpenKeyExA(place.root, kDataSourceListPath, 0,
                                 KEY_QUERY_VALUE | place.viewFlag, list.receive());
  if (status != ERROR_SUCCESS) {
    list.clearAfterFailure();
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
  }
  DWORD size = 0;
  status = RegQueryValueExA(list.get(), name.c_str(), nullptr, &entry.type, nullptr, &size);
  if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  std::vector<BYTE> data;
  // The value may grow between the two calls; read again with its new size.
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    data.resize(size + 1);
    DWORD length = static_cast<DWORD>(data.size());
    status = RegQueryValueExA(list.get(), name.c_str(), nullptr, &entry.type, data.data(), &length);
    if (status == ERROR_SUCCESS) {
      entry.found = true;
      entry.data.assign(reinterpret_cast<const char*>(data.data()), length);
      return status;
    }
    size = length;
  }
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LSTATUS deleteKeyTree(HKEY parent, const std::string& subKey, REGSAM view) {
  RegKeyHolder key;
  LSTATUS status =
      RegOpenKeyExA(parent, subKey.c_str(), 0, KEY_READ | DELETE | view, key.receive());
  if (status != ERROR_SUCCESS) {
    key.clearAfterFailure();
    return status;
  }
  // Always the first subkey: each deletion moves the next one to the front.
  for (;;) {
    char name[kKeyNameBuffer];
    DWORD length = kKeyNameBuffer;
    status = RegEnumKeyExA(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) return status;
    status = deleteKeyTree(key.get(), std::string(name, length), view);
    if (status != ERROR_SUCCESS) return status;
  }
  key.close();
  return RegDeleteKeyExA(parent, subKey.c_str(), view, 0);
}

LSTATUS CreatedKeys::create(const std::string& path, bool& created) {
  created = false;
  for (std::size_t end = 0; end != std::string::npos;) {
    end = path.find('\\', end + 1);
    const std::string level = path.substr(0, end);
    RegKeyHolder key;
    DWORD disposition = 0;
    const LSTATUS status =
        RegCreateKeyExA(place_->root, level.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE | place_->viewFlag, nullptr, key.receive(), &disposition);
    if (status != ERROR_SUCCESS) {
      key.clearAfterFailure();
      return status;
    }
    created = disposition == REG_CREATED_NEW_KEY;
    if (created) paths_.push_back(level);
  }
  return ERROR_SUCCESS;
}

LSTATUS CreatedKeys::undo() {
  LSTATUS result = ERROR_SUCCESS;
  // A key that holds a subkey this run did not make is left alone: the
  // deletion refuses it, and the keys above it stay as well.
  for (auto path = paths_.rbegin(); path != paths_.rend(); ++path) {
    const LSTATUS status = RegDeleteKeyExA(place_->root, path->c_str(), place_->viewFlag, 0);
    if (status != ERROR_SUCCESS && result == ERROR_SUCCESS) result = status;
  }
  paths_.clear();
  return result;
}

}  // namespace dsnconf
