#include "cli/InputFiles.h"

#include <algorithm>
#include <map>
#include <optional>

#include "cli/InputError.h"
#include "platform/FileReplace.h"
#include "platform/IniFile.h"

namespace quillstone::cli {
namespace {

constexpr std::string_view kDeviceColumn = "device";

std::string ReadInputFile(const std::string& path) {
  std::string content;
  if (detail::ReadWholeFile(path, content) != detail::FileReadStatus::kRead) {
    throw InputError(path + ":1", 1, "cannot read the file");
  }
  return content;
}

std::string Where(const std::string& path, int line) {
  return path + ":" + std::to_string(line);
}

std::string OptionName(const std::string& optionText) {
  return optionText.substr(0, optionText.find('='));
}

struct CsvField {
  std::string text;
  int column = 1;  // where the field starts, 1-based
};

struct CsvRow {
  int line = 0;
  int endColumn = 1;  // just past the last character
  std::vector<CsvField> fields;
};

CsvRow SplitCsvLine(std::string_view line, const std::string& where) {
  CsvRow row;
  row.endColumn = static_cast<int>(line.size()) + 1;
  std::size_t pos = 0;
  for (;;) {
    CsvField field;
    field.column = static_cast<int>(pos) + 1;
    if (pos < line.size() && line[pos] == '"') {
      ++pos;
      for (;;) {
        if (pos >= line.size()) throw InputError(where, field.column, "unterminated quote");
        if (line[pos] == '"' && pos + 1 < line.size() && line[pos + 1] == '"') {
          field.text += '"';
          pos += 2;
        } else if (line[pos] == '"') {
          ++pos;
          break;
        } else {
          field.text += line[pos++];
        }
      }
      if (pos < line.size() && line[pos] != ',') {
        throw InputError(where, static_cast<int>(pos) + 1, "expected ',' after a quoted field");
      }
    } else {
      const std::size_t comma = line.find(',', pos);
      field.text = std::string(line.substr(pos, comma - pos));
      pos = comma == std::string_view::npos ? line.size() : comma;
    }
    row.fields.push_back(std::move(field));
    if (pos >= line.size()) return row;
    ++pos;  // the comma
  }
}

std::vector<CsvRow> ReadCsvRows(const std::string& path) {
  const std::string content = ReadInputFile(path);
  std::vector<CsvRow> rows;
  std::size_t begin = 0;
  for (int number = 1; begin < content.size(); ++number) {
    std::size_t end = content.find('\n', begin);
    if (end == std::string::npos) end = content.size();
    std::string_view line(content.data() + begin, end - begin);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (number == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
    begin = end + 1;
    if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
    CsvRow row = SplitCsvLine(line, Where(path, number));
    row.line = number;
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace

OptionList ReadOptionsFile(const std::string& path) {
  OptionList options;
  for (const ini::LeadingLine& line : ini::LinesBeforeFirstSection(ReadInputFile(path))) {
    const std::size_t equals = line.text.find('=');
    if (equals == std::string::npos) {
      throw InputError(Where(path, line.number), static_cast<int>(line.text.size()) + 1,
                       "expected name=value, the line has no '='");
    }
    if (equals == 0) throw InputError(Where(path, line.number), 1, "the option has no name");
    options.push_back(line.text);
  }
  return options;
}

std::vector<DeviceEntry> ReadDeviceList(const std::string& path) {
  const std::vector<CsvRow> rows = ReadCsvRows(path);
  if (rows.empty())
    throw InputError(path + ":1", 1, "no header line; expected a \"device\" column");
  const CsvRow& header = rows.front();
  const std::string headerWhere = Where(path, header.line);
  std::optional<std::size_t> deviceColumn;
  std::map<std::string, int> seen;
  for (std::size_t index = 0; index < header.fields.size(); ++index) {
    const CsvField& field = header.fields[index];
    if (field.text.empty() || field.text.find('=') != std::string::npos) {
      throw InputError(headerWhere, field.column, "a column name must be an option name");
    }
    if (!seen.emplace(field.text, field.column).second) {
      throw InputError(headerWhere, field.column, "column '" + field.text + "' appears twice");
    }
    if (field.text == kDeviceColumn) deviceColumn = index;
  }
  if (!deviceColumn) throw InputError(headerWhere, 1, "no \"device\" column");

  std::vector<DeviceEntry> devices;
  for (auto row = rows.begin() + 1; row != rows.end(); ++row) {
    const std::string where = Where(path, row->line);
    if (row->fields.size() != header.fields.size()) {
      const int column = row->fields.size() > header.fields.size()
                             ? row->fields[header.fields.size()].column
                             : row->endColumn;
      throw InputError(where, column,
                       std::to_string(row->fields.size()) + " fields, the header has " +
                           std::to_string(header.fields.size()));
    }
    const CsvField& device = row->fields[*deviceColumn];
    DeviceEntry entry{
        ParseDeviceAddress(device.text, where, device.column), {}, where, device.column};
    for (std::size_t index = 0; index < row->fields.size(); ++index) {
      if (index == *deviceColumn || row->fields[index].text.empty()) continue;
      entry.overrides.push_back(header.fields[index].text + "=" + row->fields[index].text);
    }
    devices.push_back(std::move(entry));
  }
  return devices;
}

std::vector<DeviceEntry> ParseDeviceArguments(const std::vector<std::string>& texts) {
  std::vector<DeviceEntry> devices;
  for (std::size_t index = 0; index < texts.size(); ++index) {
    const std::string where = "device argument " + std::to_string(index + 1);
    devices.push_back({ParseDeviceAddress(texts[index], where), {}, where, 1});
  }
  return devices;
}

void RejectDuplicateDevices(const std::vector<DeviceEntry>& devices) {
  std::map<std::string, const DeviceEntry*> first;
  for (const DeviceEntry& entry : devices) {
    const auto [found, added] = first.emplace(entry.address.Identity(), &entry);
    if (!added) {
      throw InputError(
          entry.where, entry.column,
          "device " + entry.address.Identity() + " is listed already at " + found->second->where);
    }
  }
}

OptionList OptionsFor(const OptionList& base, const OptionList& overrides) {
  OptionList options = base;
  for (const std::string& override : overrides) {
    const std::string name = OptionName(override);
    bool replaced = false;
    for (std::string& option : options) {
      if (option.find('=') != std::string::npos && OptionName(option) == name) {
        option = override;
        replaced = true;
      }
    }
    if (!replaced) options.push_back(override);
  }
  return options;
}

}  // namespace quillstone::cli
