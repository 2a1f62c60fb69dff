#include "dsn/change_plan.h"

#include <set>

#include "base/output.h"
#include "dsn/key_writes.h"
#include "platform/wide_registry.h"

namespace dsnconf {
namespace {

// A key as it stood before a run deleted it, with everything below it:
// each key before the keys below it.
struct KeyState {
  std::string path;
  std::vector<RegistryValue> values;
};

// How to take one done write back.
struct Undo {
  enum class Kind { DeleteCreatedKey, RestoreValue, RestoreTree };
  Kind kind = Kind::RestoreValue;
  const Place* place = nullptr;
  std::string path;
  bool existed = false;        // RestoreValue: whether the value was there before
  RegistryValue value;         // RestoreValue: the value as it was (or its name)
  std::vector<KeyState> tree;  // RestoreTree
};

LSTATUS openKey(const Place& place, const std::string& path, REGSAM access, RegKeyHolder& key) {
  const LSTATUS status = wideOpenKey(place.root, path, access | place.viewFlag, key.receive());
  if (status != ERROR_SUCCESS) key.clearAfterFailure();
  return status;
}

LSTATUS readTree(HKEY key, const std::string& path, std::vector<KeyState>& tree) {
  tree.push_back({path, {}});
  LSTATUS status = readAllValues(key, tree.back().values);
  std::vector<std::string> names;
  if (status == ERROR_SUCCESS) status = readSubkeyNames(key, names);
  for (const std::string& name : names) {
    if (status != ERROR_SUCCESS) break;
    RegKeyHolder subkey;
    status = wideOpenKey(key, name, KEY_READ, subkey.receive());
    if (status != ERROR_SUCCESS) subkey.clearAfterFailure();
    if (status == ERROR_SUCCESS) status = readTree(subkey.get(), path + "\\" + name, tree);
  }
  return status;
}

// Runs the operations and keeps what it takes to undo each.
class Runner {
 public:
  LSTATUS run(const Operation& operation, bool& keyTaken) {
    switch (operation.kind) {
      case Operation::Kind::CreateKey:
      case Operation::Kind::CreateNewKey:
        return create(operation, keyTaken);
      case Operation::Kind::SetValue:
        return set(operation);
      case Operation::Kind::DeleteValue:
        return remove(operation);
      case Operation::Kind::DeleteKeyTree:
        return removeTree(operation);
    }
    return ERROR_INVALID_PARAMETER;
  }

  // Takes back every done write, last first. A place where a write cannot be
  // taken back keeps the rest of what the run did there, so that its earlier
  // writes (a key made before its list entry) are never undone alone.
  std::vector<Outcome::UndoFailure> undoAll() {
    std::vector<Outcome::UndoFailure> failures;
    std::set<const Place*> stopped;
    for (auto undo = undos_.rbegin(); undo != undos_.rend(); ++undo) {
      if (stopped.count(undo->place) != 0) continue;
      const LSTATUS status = takeBack(*undo);
      if (status == ERROR_SUCCESS) continue;
      stopped.insert(undo->place);
      failures.push_back({undo->place, status});
    }
    undos_.clear();
    return failures;
  }

 private:
  LSTATUS create(const Operation& operation, bool& keyTaken) {
    const Place& place = *operation.place;
    bool created = false;
    for (std::size_t end = 0; end != std::string::npos;) {
      end = operation.path.find('\\', end + 1);
      const std::string level = operation.path.substr(0, end);
      RegKeyHolder key;
      const LSTATUS status =
          wideCreateKey(place.root, level, KEY_WRITE | place.viewFlag, key.receive(), &created);
      if (status != ERROR_SUCCESS) {
        key.clearAfterFailure();
        return status;
      }
      if (created) undos_.push_back({Undo::Kind::DeleteCreatedKey, &place, level, false, {}, {}});
    }
    keyTaken = operation.kind == Operation::Kind::CreateNewKey && !created;
    return ERROR_SUCCESS;
  }

  // The value as it was, for taking a write back.
  LSTATUS rememberValue(HKEY key, const Operation& operation, Undo& undo) {
    undo = {Undo::Kind::RestoreValue, operation.place, operation.path, false, {}, {}};
    undo.value.name = operation.value.name;
    return readWholeValue(key, operation.value.name, undo.value, undo.existed);
  }

  LSTATUS set(const Operation& operation) {
    RegKeyHolder key;
    LSTATUS status =
        openKey(*operation.place, operation.path, KEY_QUERY_VALUE | KEY_SET_VALUE, key);
    Undo undo;
    if (status == ERROR_SUCCESS) status = rememberValue(key.get(), operation, undo);
    const RegistryValue& value = operation.value;
    if (status == ERROR_SUCCESS)
      status = wideSetValue(key.get(), value.name, value.type, value.data);
    if (status == ERROR_SUCCESS) undos_.push_back(std::move(undo));
    return status;
  }

  LSTATUS remove(const Operation& operation) {
    RegKeyHolder key;
    LSTATUS status =
        openKey(*operation.place, operation.path, KEY_QUERY_VALUE | KEY_SET_VALUE, key);
    Undo undo;
    if (status == ERROR_SUCCESS) status = rememberValue(key.get(), operation, undo);
    if (status != ERROR_SUCCESS || !undo.existed) return status;
    status = wideDeleteValue(key.get(), operation.value.name);
    if (status == ERROR_SUCCESS) undos_.push_back(std::move(undo));
    return status;
  }

  // A key already gone is no failure: what was asked for is done.
  LSTATUS removeTree(const Operation& operation) {
    const Place& place = *operation.place;
    Undo undo{Undo::Kind::RestoreTree, &place, operation.path, false, {}, {}};
    {
      RegKeyHolder key;
      LSTATUS status = openKey(place, operation.path, KEY_READ, key);
      if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
      if (status == ERROR_SUCCESS) status = readTree(key.get(), operation.path, undo.tree);
      if (status != ERROR_SUCCESS) return status;
    }
    // Kept before the deletion starts: a failure half way leaves part of the
    // tree deleted, which taking back restores.
    undos_.push_back(std::move(undo));
    const LSTATUS status = deleteKeyTree(place.root, operation.path, place.viewFlag);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
  }

  static LSTATUS restoreTree(const Undo& undo) {
    const Place& place = *undo.place;
    for (const KeyState& state : undo.tree) {
      RegKeyHolder key;
      bool created = false;
      LSTATUS status = wideCreateKey(place.root, state.path, KEY_WRITE | place.viewFlag,
                                     key.receive(), &created);
      if (status != ERROR_SUCCESS) {
        key.clearAfterFailure();
        return status;
      }
      for (const RegistryValue& value : state.values) {
        status = wideSetValue(key.get(), value.name, value.type, value.data);
        if (status != ERROR_SUCCESS) return status;
      }
    }
    return ERROR_SUCCESS;
  }

  static LSTATUS takeBack(const Undo& undo) {
    const Place& place = *undo.place;
    if (undo.kind == Undo::Kind::DeleteCreatedKey) {
      return wideDeleteKey(place.root, undo.path, place.viewFlag);
    }
    if (undo.kind == Undo::Kind::RestoreTree) return restoreTree(undo);
    RegKeyHolder key;
    LSTATUS status = openKey(place, undo.path, KEY_SET_VALUE, key);
    if (status != ERROR_SUCCESS) return status;
    if (!undo.existed) return wideDeleteValue(key.get(), undo.value.name);
    return wideSetValue(key.get(), undo.value.name, undo.value.type, undo.value.data);
  }

  std::vector<Undo> undos_;
};

}  // namespace

Operation opCreateNewKey(const Place& place, const std::string& path) {
  return {Operation::Kind::CreateNewKey, &place, path, {}};
}

Operation opCreateKey(const Place& place, const std::string& path) {
  return {Operation::Kind::CreateKey, &place, path, {}};
}

Operation opSetValue(const Place& place, const std::string& path, RegistryValue value) {
  return {Operation::Kind::SetValue, &place, path, std::move(value)};
}

Operation opDeleteValue(const Place& place, const std::string& path, const std::string& name) {
  return {Operation::Kind::DeleteValue, &place, path, {name, REG_NONE, {}}};
}

Operation opDeleteKeyTree(const Place& place, const std::string& path) {
  return {Operation::Kind::DeleteKeyTree, &place, path, {}};
}

std::string planLine(char sign, const Place& place, const std::string& subject,
                     const std::string& detail) {
  std::string line = std::string(1, sign) + " " + place.name + " " + subject;
  if (!detail.empty()) line += ": " + detail;
  return line;
}

void printPlan(const Plan& plan) {
  for (const Action& action : plan.actions) {
    for (const std::string& line : action.lines) printLine(line);
  }
}

Outcome carryOut(const Plan& plan) {
  Outcome outcome;
  Runner runner;
  for (std::size_t index = 0; index < plan.actions.size(); ++index) {
    for (const Operation& operation : plan.actions[index].operations) {
      outcome.status = runner.run(operation, outcome.keyTaken);
      if (outcome.succeeded()) continue;
      outcome.failedAction = index;
      outcome.notTakenBack = runner.undoAll();
      return outcome;
    }
  }
  return outcome;
}

}  // namespace dsnconf
