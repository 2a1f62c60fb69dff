#include "dsn/desired_state.h"

#include <nlohmann/json.hpp>
#include <optional>

#include "base/unicode.h"
#include "dsn/json_reader.h"
#include "dsn/value_text.h"

namespace dsnconf {
namespace {

using json = nlohmann::ordered_json;

// A fault in the document, with where it is.
struct Fault {
  std::string what;
};

// Where in the document a value is, spelt out only for a fault: a file of
// tens of thousands of values is read without building a path for each.
class Where {
 public:
  explicit Where(const char* root) : text_(root) {}
  Where(const Where& parent, const char* member) : parent_(&parent), text_(member) {}
  Where(const Where& parent, const std::string& member) : parent_(&parent), text_(member.c_str()) {}
  Where(const Where& parent, std::size_t index) : parent_(&parent), index_(index) {}

  std::string text() const {
    if (!parent_) return text_;
    if (!text_) return parent_->text() + "[" + std::to_string(index_) + "]";
    return parent_->text() + "." + text_;
  }

 private:
  const Where* parent_ = nullptr;
  const char* text_ = nullptr;  // null: an array's element
  std::size_t index_ = 0;
};

[[noreturn]] void fault(const Where& where, const std::string& what) {
  throw Fault{where.text() + ": " + what};
}

const json& member(const json& object, const char* name, const Where& where) {
  const auto found = object.find(name);
  if (found == object.end()) fault(where, std::string("no member \"") + name + "\"");
  return *found;
}

const std::string& textOf(const json& value, const Where& where) {
  if (!value.is_string()) fault(where, "not a string");
  return value.get_ref<const std::string&>();
}

// A name as "name", or exactly as "nameBytes" (or "pathBytes") give it:
// UTF-16LE code units in hex, which carry what JSON text cannot.
std::string nameOf(const json& object, const char* text, const char* bytes, const Where& where) {
  const auto exact = object.find(bytes);
  if (exact != object.end()) {
    const std::optional<std::string> units = bytesOfHex(textOf(*exact, Where(where, bytes)));
    if (!units || units->size() % 2 != 0) fault(Where(where, bytes), "not UTF-16LE in hex");
    return utf16ToWtf8(utf16LeUnits(*units));
  }
  return textOf(member(object, text, where), Where(where, text));
}

std::string hexData(const json& value, const Where& where) {
  const std::optional<std::string> bytes = bytesOfHex(textOf(value, where));
  if (!bytes) fault(where, "not bytes in hex");
  return *bytes;
}

std::string littleEndian(std::uint64_t number, std::size_t size) {
  std::string bytes;
  for (std::size_t i = 0; i < size; ++i) bytes += static_cast<char>((number >> (8 * i)) & 0xFF);
  return bytes;
}

std::uint64_t numberOf(const json& data, std::uint64_t largest, const Where& where) {
  if (data.is_number_unsigned()) {
    const std::uint64_t number = data.get<std::uint64_t>();
    if (number <= largest) return number;
  } else if (data.is_string()) {
    // export writes a QWORD past what a double holds exactly as a string.
    const std::string text = data.get<std::string>();
    std::size_t used = 0;
    try {
      const unsigned long long number = std::stoull(text, &used);
      if (used == text.size() && !text.empty() && text[0] != '-' && number <= largest) {
        return number;
      }
    } catch (const std::exception&) {
    }
  }
  fault(where, "not a number the type holds");
}

std::string multiStringData(const json& data, const Where& where) {
  if (!data.is_array()) fault(where, "not an array of strings");
  std::u16string units;
  for (const json& item : data) {
    const std::string& text = textOf(item, where);
    if (text.empty()) fault(where, "an empty string, which REG_MULTI_SZ cannot hold");
    units += wtf8ToUtf16(text) + u'\0';
  }
  units += u'\0';
  return utf16LeBytes(units);
}

// The data as export writes it for the type.
std::string dataOf(DWORD type, const json& data, const Where& where) {
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return stringData(textOf(data, where));
    case REG_MULTI_SZ:
      return multiStringData(data, where);
    case REG_DWORD:
      return littleEndian(numberOf(data, 0xFFFFFFFFu, where), 4);
    case REG_DWORD_BIG_ENDIAN: {
      std::string bytes = littleEndian(numberOf(data, 0xFFFFFFFFu, where), 4);
      return std::string(bytes.rbegin(), bytes.rend());
    }
    case REG_QWORD:
      return littleEndian(numberOf(data, ~std::uint64_t{0}, where), 8);
    default:
      return hexData(data, where);
  }
}

DesiredValue valueOf(const json& object, const Where& where) {
  if (!object.is_object()) fault(where, "not an object");
  DesiredValue result;
  result.value.name = nameOf(object, "name", "nameBytes", where);
  const auto redacted = object.find("redacted");
  if (redacted != object.end() && redacted->is_boolean() && redacted->get<bool>()) {
    result.kind = DesiredValue::Kind::Keep;
    return result;
  }
  const std::string& typeName = textOf(member(object, "type", where), Where(where, "type"));
  const std::optional<DWORD> type = registryTypeOfName(typeName);
  if (!type) fault(Where(where, "type"), "no registry type " + typeName);
  result.value.type = *type;
  const auto bytes = object.find("bytes");
  const json& data = member(object, "data", where);
  if (bytes != object.end()) {
    // The exact bytes, where export found data its text could not carry.
    result.value.data = hexData(*bytes, Where(where, "bytes"));
  } else if (data.is_null()) {
    result.kind = DesiredValue::Kind::Remove;
  } else {
    result.value.data = dataOf(*type, data, Where(where, "data"));
  }
  return result;
}

// An array of values as export writes them, or an object of names to
// strings (REG_SZ; null removes) as a person writes them.
std::vector<DesiredValue> valuesOf(const json& values, const Where& where) {
  std::vector<DesiredValue> result;
  if (values.is_object()) {
    for (const auto& [name, data] : values.items()) {
      DesiredValue value;
      value.value = {name, REG_SZ, {}};
      if (data.is_null()) {
        value.kind = DesiredValue::Kind::Remove;
      } else {
        value.value.data = stringData(textOf(data, Where(where, name)));
      }
      result.push_back(std::move(value));
    }
    return result;
  }
  if (!values.is_array()) fault(where, "neither an array nor an object");
  for (std::size_t i = 0; i < values.size(); ++i) {
    result.push_back(valueOf(values[i], Where(where, i)));
  }
  return result;
}

// "scope" and "view": the user's tree, one machine view, or without a view
// every machine view there is.
std::vector<const Place*> placesOf(const json& object, const Where& where) {
  const std::string& scope = textOf(member(object, "scope", where), Where(where, "scope"));
  if (scope == "user") return {&kUserPlace};
  if (scope != "system") fault(Where(where, "scope"), "neither \"user\" nor \"system\"");
  const auto view = object.find("view");
  if (view == object.end() || view->is_null()) return machinePlaces();
  if (*view == 64) return {&machineViewPlace(MachineView::Bit64)};
  if (*view == 32) return {&machineViewPlace(MachineView::Bit32)};
  fault(Where(where, "view"), "neither 64, 32 nor null");
}

DriverVersion driverOf(const json& value, const Where& where) {
  const std::string& driver = textOf(value, where);
  const char* const words[] = {"GEN1", "GEN2", "GEN3"};
  for (int version = GEN1; version <= GEN3; ++version) {
    if (driver == kDriverNames[version] || driver == words[version]) {
      return static_cast<DriverVersion>(version);
    }
  }
  fault(where, "'" + driver + "' is no Ivorel driver");
}

DesiredDataSource dataSourceOf(const json& object, const Where& where) {
  if (!object.is_object()) fault(where, "not an object");
  DesiredDataSource result;
  result.name = nameOf(object, "name", "nameBytes", where);
  result.places = placesOf(object, where);
  result.driver = driverOf(member(object, "driver", where), Where(where, "driver"));
  const auto properties = object.find("properties");
  if (properties != object.end())
    result.properties = valuesOf(*properties, Where(where, "properties"));
  const auto subkeys = object.find("subkeys");
  if (subkeys == object.end()) return result;
  if (!subkeys->is_array()) fault(Where(where, "subkeys"), "not an array");
  const Where list(where, "subkeys");
  for (std::size_t i = 0; i < subkeys->size(); ++i) {
    const Where at(list, i);
    const json& subkey = (*subkeys)[i];
    if (!subkey.is_object()) fault(at, "not an object");
    DesiredSubkey desired{nameOf(subkey, "path", "pathBytes", at), {}};
    if (desired.path.empty()) fault(Where(at, "path"), "empty");
    const auto values = subkey.find("values");
    if (values != subkey.end()) desired.values = valuesOf(*values, Where(at, "values"));
    result.subkeys.push_back(std::move(desired));
  }
  return result;
}

std::optional<RegistryValue> traceValueOf(const json& tracing, const char* name,
                                          const Where& where) {
  const auto found = tracing.find(name);
  if (found == tracing.end() || found->is_null()) return std::nullopt;
  const DesiredValue value = valueOf(*found, Where(where, name));
  if (value.kind != DesiredValue::Kind::Set) return std::nullopt;
  return value.value;
}

// One entry of the document's lists, as it is read.
void readEntry(const std::string& list, const json& entry, const Where& where,
               DesiredState& state) {
  if (list == "dataSources") {
    state.dataSources.push_back(dataSourceOf(entry, where));
  } else if (list == "tracing") {
    for (const Place* place : placesOf(entry, where)) {
      state.tracing.push_back(
          {place, traceValueOf(entry, "trace", where), traceValueOf(entry, "traceFile", where)});
    }
  } else {
    const auto hasKey = entry.find("hasKey");
    if (hasKey == entry.end() || !hasKey->is_boolean() || !hasKey->get<bool>()) return;
    for (const Place* place : placesOf(entry, where)) {
      state.drivers.push_back(
          {place, driverOf(member(entry, "name", where), Where(where, "name"))});
    }
  }
}

bool isList(const std::string& member) {
  return member == "dataSources" || member == "tracing" || member == "drivers";
}

// What is left of the document once its lists' entries are read: the lists
// must be arrays.
void checkRest(const json& document) {
  if (!document.is_object()) fault(Where("the document"), "not a JSON object");
  for (const char* list : {"dataSources", "tracing", "drivers"}) {
    const auto entries = document.find(list);
    if (entries != document.end() && !entries->is_array()) fault(Where(list), "not an array");
  }
}

}  // namespace

bool parseDesiredState(const std::string& document, DesiredState& state, std::string& error) {
  state = DesiredState{};
  // Entries are read as the text is: the first fault is kept, and said once
  // the text is known to be a document at all.
  std::optional<std::string> firstFault;
  const ElementVisitor readOne = [&](const std::string& list, std::size_t index, json& entry) {
    if (!isList(list)) return false;
    if (firstFault) return true;
    const Where named(list.c_str());
    const Where at(named, index);
    try {
      readEntry(list, entry, at, state);
    } catch (const Fault& found) {
      firstFault = found.what;
    } catch (const json::exception& found) {
      firstFault = found.what();
    }
    return true;
  };
  json rest;
  if (!readJson(document, rest, readOne)) {
    error = "not a JSON document";
    return false;
  }
  try {
    if (firstFault) throw Fault{*firstFault};
    checkRest(rest);
  } catch (const Fault& found) {
    error = found.what;
    return false;
  }
  return true;
}

}  // namespace dsnconf
