// Changes to the registry, planned whole before anything is written, then
// carried out step by step and, on a failure, taken back whole. Every command
// that writes data sources (add, remove, change, apply) builds a plan here,
// so that each offers /whatif the same way and none leaves a half-made
// change behind. The plan's order is the crash-safe one: a data source's key
// is made before its list entry and removed after it, so that a run stopped
// at any point leaves at worst a key that no list names, never a listed data
// source without its key.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "dsn/places.h"
#include "dsn/reg_read.h"
#include "win32.h"

namespace dsnconf {

// One write to one key of one place.
struct Operation {
  enum class Kind {
    CreateKey,      // the key and any key above it that is missing
    CreateNewKey,   // the same, but the key itself must not exist yet
    SetValue,       // `value` written to the key, which must exist
    DeleteValue,    // `value.name` deleted from the key, if it is there
    DeleteKeyTree,  // the key with every key below it
  };
  Kind kind = Kind::SetValue;
  const Place* place = nullptr;
  std::string path;  // the key, below the place's root
  RegistryValue value;
};

// One step of a plan: the writes it takes, and what it means to a person,
// one line for each thing it changes ("+ user DSN Payroll: Server = 'db01'").
struct Action {
  const Place* place = nullptr;
  std::string dsn;  // the data source it changes; empty for tracing
  std::vector<std::string> lines;
  std::vector<Operation> operations;
};

struct Plan {
  std::vector<Action> actions;
};

// The operations plans are built of.
Operation opCreateNewKey(const Place& place, const std::string& path);
Operation opCreateKey(const Place& place, const std::string& path);
Operation opSetValue(const Place& place, const std::string& path, RegistryValue value);
Operation opDeleteValue(const Place& place, const std::string& path, const std::string& name);
Operation opDeleteKeyTree(const Place& place, const std::string& path);

// A plan line: '+' creates, '~' changes, '-' removes; "<sign> <place>
// <subject>[: <detail>]", e.g. "+ 64-bit system DSN Payroll: Server = 'db01'".
std::string planLine(char sign, const Place& place, const std::string& subject,
                     const std::string& detail = "");

// Every line of every action, in order.
void printPlan(const Plan& plan);

// How a plan's run ended. On a failure everything done was taken back, but
// for the places named in `notTakenBack`, which keep what the run made there
// (never a list entry without its key).
struct Outcome {
  LSTATUS status = ERROR_SUCCESS;  // the failure that stopped the run
  std::size_t failedAction = 0;    // the action it stopped in
  bool keyTaken = false;           // a key that had to be new was there
  struct UndoFailure {
    const Place* place;
    LSTATUS status;
  };
  std::vector<UndoFailure> notTakenBack;

  bool succeeded() const { return status == ERROR_SUCCESS && !keyTaken; }
};

Outcome carryOut(const Plan& plan);

}  // namespace dsnconf
