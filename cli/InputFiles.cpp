#include "cli/InputFiles.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <string_view>

#include "cli/InputError.h"
#include "devicelink/OptionNames.h"
#include "platform/InputFile.h"
#include "platform/Text.h"

namespace quillstone::cli {
namespace {

constexpr std::string_view kDeviceColumn = "device";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kSettingsSection = "Config";
const std::string kStoppedText = "the reading was interrupted";
constexpr std::string_view kAllowUnknownHint =
    " (or pass --allow-unknown-options to send it as it is)";

std::string Where(const std::string& path, int line) {
  return path + ":" + std::to_string(line);
}

std::string OptionName(const std::string& optionText) {
  return optionText.substr(0, optionText.find('='));
}

std::string Hex(unsigned char byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", byte);
  return text;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// --- Text encoding -----------------------------------------------------------------------

// Length of the UTF-8 sequence starting at `pos`, or 0 when it is not valid UTF-8 (overlong
// forms, surrogates and code points above U+10FFFF included).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

// Line and column (1-based, in bytes) of `pos`, lines ended by LF.
std::pair<int, int> Position(std::string_view text, std::size_t pos) {
  const std::string_view before = text.substr(0, pos);
  const std::size_t lastBreak = before.rfind('\n');
  const std::size_t begin = lastBreak == std::string_view::npos ? 0 : lastBreak + 1;
  const auto line = 1 + std::count(before.begin(), before.end(), '\n');
  return {static_cast<int>(line), static_cast<int>(pos - begin) + 1};
}

// UTF-16 and UTF-32 show themselves by a byte order mark, or by a zero byte among the first
// two (any text character that fits in 7 bits has one there); a zero byte further on is a
// control character in a line and is reported as one.
void RejectWideText(const std::string& path, std::string_view content) {
  const auto startsWith = [&](std::string_view mark) { return content.starts_with(mark); };
  const char* kind = nullptr;
  if (startsWith(std::string_view("\x00\x00\xFE\xFF", 4)) ||
      startsWith(std::string_view("\xFF\xFE\x00\x00", 4))) {
    kind = "it is UTF-32 (it starts with a UTF-32 byte order mark)";
  } else if (startsWith("\xFF\xFE") || startsWith("\xFE\xFF")) {
    kind = "it is UTF-16 (it starts with a UTF-16 byte order mark)";
  } else if ((!content.empty() && content[0] == '\0') ||
             (content.size() > 1 && content[1] == '\0')) {
    kind = "it looks like UTF-16 or UTF-32 (zero bytes between the characters)";
  }
  if (kind != nullptr) {
    throw InputError(path + ":1", 1,
                     std::string("not UTF-8 text: ") + kind + "; save the file as UTF-8");
  }
}

// Between lines, and every so many bytes of a long check: a stop request ends the reading of the
// input at once, also while a large file is being checked.
constexpr std::size_t kBytesBetweenStopChecks = 64 * 1024;

void ThrowIfStopped(const std::string& path, const std::function<bool()>& stop) {
  if (stop && stop()) throw InputError(path + ":1", 1, "cannot read the file: " + kStoppedText);
}

void RejectInvalidUtf8(const std::string& path, std::string_view content,
                       const std::function<bool()>& stop) {
  for (std::size_t pos = 0, nextStopCheck = 0; pos < content.size();) {
    if (pos >= nextStopCheck) {
      ThrowIfStopped(path, stop);
      nextStopCheck = pos + kBytesBetweenStopChecks;
    }
    const std::size_t length = Utf8SequenceLength(content, pos);
    if (length == 0) {
      const auto [line, column] = Position(content, pos);
      throw InputError(Where(path, line), column,
                       "not UTF-8 text: byte " + Hex(static_cast<unsigned char>(content[pos])) +
                           " does not belong to a UTF-8 character; save the file as UTF-8");
    }
    pos += length;
  }
}

// The file's text without its UTF-8 mark; columns count from the first character after the
// mark, as an editor shows them.
std::string ReadUtf8File(const std::string& path, const std::function<bool()>& stop) {
  std::string content = ReadInputText(path, stop);
  RejectWideText(path, content);
  RejectInvalidUtf8(path, content, stop);
  if (std::string_view(content).starts_with(kUtf8Mark)) content.erase(0, kUtf8Mark.size());
  return content;
}

// --- Lines -------------------------------------------------------------------------------

struct TextLine {
  int number = 0;
  std::string_view text;  // without its line end (LF, or CR LF)
};

std::vector<TextLine> SplitLines(std::string_view content) {
  std::vector<TextLine> lines;
  std::size_t begin = 0;
  for (int number = 1; begin < content.size(); ++number) {
    std::size_t end = content.find('\n', begin);
    if (end == std::string_view::npos) end = content.size();
    std::string_view text = content.substr(begin, end - begin);
    if (text.ends_with('\r')) text.remove_suffix(1);
    lines.push_back({number, text});
    begin = end + 1;
  }
  return lines;
}

std::string ControlName(unsigned char c) {
  switch (c) {
    case 0x00:
      return "NUL";
    case 0x09:
      return "a tab";
    case 0x0D:
      return "a carriage return";
    case 0x1B:
      return "ESC";
    case 0x7F:
      return "DEL";
    default:
      return Hex(c);
  }
}

// Names and values go to the device as they are: a control character there is a fault of the
// file, never meant (and a NUL would cut the value short).
void RejectControlCharacters(const std::string& path, const TextLine& line) {
  for (std::size_t i = 0; i < line.text.size(); ++i) {
    const auto c = static_cast<unsigned char>(line.text[i]);
    if (c < 0x20 || c == 0x7F) {
      throw InputError(Where(path, line.number), 1 + static_cast<int>(i),
                       "control character " + ControlName(c) +
                           " in the line; names and values may hold printable characters only");
    }
  }
}

// --- Option names ------------------------------------------------------------------------

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Edits (insert, delete, replace, swap two neighbours) from a to b, letter case ignored.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && Lower(a[i - 1]) == Lower(b[j - 2]) &&
          Lower(a[i - 2]) == Lower(b[j - 1])) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

// The listed name `name` was most likely meant as: the same letters in another case, else the
// nearest within one edit (two for names of six characters or more).
std::optional<std::string_view> Suggestion(std::string_view name,
                                           const std::vector<std::string_view>& candidates) {
  for (const std::string_view candidate : candidates) {
    if (EqualsIgnoringAsciiCase(candidate, name)) return candidate;
  }
  const std::size_t allowed = name.size() >= 6 ? 2 : 1;
  std::optional<std::string_view> best;
  std::size_t bestDistance = allowed + 1;
  for (const std::string_view candidate : candidates) {
    const std::size_t distance = EditDistance(name, candidate);
    if (distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

std::vector<std::string_view> OptionNameCandidates() {
  const auto names = KnownOptionNames();
  return {names.begin(), names.end()};
}

// `name` is what stands before "=" (or a CSV column name); its first byte at `column`.
void CheckOptionName(const std::string& where, int column, std::string_view name,
                     const InputRules& rules, std::vector<std::string_view> candidates,
                     const char* what) {
  const std::string quoted = SingleQuoted(name);
  if (!name.empty() && IsBlank(name.front())) {
    throw InputError(where, column,
                     std::string("blank before the ") + what + " " + quoted + "; remove it");
  }
  if (!name.empty() && IsBlank(name.back())) {
    const std::size_t last = name.find_last_not_of(" \t");
    throw InputError(where, column + static_cast<int>(last + 1),
                     std::string("blank after the ") + what + " " + quoted + "; remove it");
  }
  if (rules.allowUnknownOptions || IsKnownOptionName(name)) return;
  std::string problem = std::string("unknown ") + what + " " + quoted;
  if (const auto suggestion = Suggestion(name, candidates)) {
    problem += "; did you mean '" + std::string(*suggestion) + "'?";
  } else {
    problem += ": not an option the wireless or modem page writes";
  }
  throw InputError(where, column, problem + std::string(kAllowUnknownHint));
}

// --- CSV ---------------------------------------------------------------------------------

struct CsvField {
  std::string text;
  int column = 1;  // where the field starts, 1-based
};

struct CsvRow {
  int line = 0;
  int endColumn = 1;  // just past the last character
  std::vector<CsvField> fields;
};

CsvRow SplitCsvLine(const TextLine& textLine, const std::string& where) {
  const std::string_view line = textLine.text;
  constexpr int offset = 1;
  CsvRow row;
  row.line = textLine.number;
  row.endColumn = static_cast<int>(line.size()) + offset;
  std::size_t pos = 0;
  for (;;) {
    CsvField field;
    field.column = static_cast<int>(pos) + offset;
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
        throw InputError(where, static_cast<int>(pos) + offset,
                         "expected ',' after a quoted field");
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

struct CsvFile {
  std::vector<CsvRow> rows;
  int lastLine = 0;
};

CsvFile ReadCsvRows(const std::string& path, const std::function<bool()>& stop) {
  const std::string content = ReadUtf8File(path, stop);
  CsvFile file;
  for (const TextLine& line : SplitLines(content)) {
    ThrowIfStopped(path, stop);
    file.lastLine = line.number;
    if (line.text.find_first_not_of(" \t") == std::string_view::npos) continue;
    RejectControlCharacters(path, line);
    file.rows.push_back(SplitCsvLine(line, Where(path, line.number)));
  }
  return file;
}

// --- Options file ------------------------------------------------------------------------

enum class OptionLineKind { kSkipped, kHeader, kOption };

// As the INI module reads the window's file: blank lines and ";" comments are skipped; a line
// that starts with "[" and holds a "]" is a section header.
OptionLineKind KindOf(std::string_view text, std::string& section) {
  const std::string trimmed = TrimBlanks(text);
  if (trimmed.empty() || trimmed.front() == ';') return OptionLineKind::kSkipped;
  if (trimmed.front() == '[') {
    const std::size_t close = trimmed.rfind(']');
    if (close != std::string::npos) {
      section = TrimBlanks(std::string_view(trimmed).substr(1, close - 1));
      return OptionLineKind::kHeader;
    }
  }
  return OptionLineKind::kOption;
}

// The device link's own bound for one write request, so that an option that could never be sent
// is refused here rather than failing at every device. `column`: where the option text starts
// in the line, to point at its first byte beyond the bound; or, for a CSV cell, which holds the
// value only, where the cell starts.
enum class TextPlace { kWholeLine, kCell };
void RejectTooLongToSend(const std::string& where, int column, std::string_view optionText,
                         TextPlace place) {
  const OptionFit fit = FitOfOption(std::string(optionText));
  if (fit.fits) return;
  if (place == TextPlace::kWholeLine) column += static_cast<int>(fit.usableBytes);
  throw InputError(
      where, column,
      "option '" + OptionName(std::string(optionText)) + "' is too long to send: " + fit.bound);
}

void RejectRepeatedOptions(const std::string& path, const OptionList& options,
                           const std::vector<int>& lines) {
  std::map<std::string, int> first;
  for (std::size_t index = 0; index < options.size(); ++index) {
    const std::string name = OptionName(options[index]);
    const auto [found, added] = first.emplace(name, lines[index]);
    if (added) continue;
    throw InputError(Where(path, lines[index]), 1,
                     "option '" + name + "' is set already at " + Where(path, found->second) +
                         ":1; keep one of the two lines");
  }
}

}  // namespace

std::string ReadInputText(const std::string& path, const std::function<bool()>& stop) {
  InputFileRead read = ReadInputFile(path, kLargestInputFile, stop);
  std::string why;
  switch (read.fault) {
    case InputFileFault::kNone:
      return std::move(read.content);
    case InputFileFault::kMissing:
      why = "it does not exist";
      break;
    case InputFileFault::kNotRegular:
      why = "it is " + read.detail + ", not a regular file; save the content to a file first";
      break;
    case InputFileFault::kTooLarge:
      why = "it is larger than " + std::to_string(kLargestInputFile / (1024 * 1024)) +
            " MiB, more than any options file, device list or report holds";
      break;
    case InputFileFault::kUnreadable:
      why = read.detail;
      break;
    case InputFileFault::kStopped:
      why = kStoppedText;
      break;
  }
  throw InputError(path + ":1", 1, "cannot read the file: " + why);
}

OptionList ReadOptionsFile(const std::string& path, const InputRules& rules) {
  const std::string content = ReadUtf8File(path, rules.stop);
  OptionList options;
  std::vector<int> optionLines;  // the line of each option
  bool inSettings = false;
  bool sawSettings = false;
  for (const TextLine& line : SplitLines(content)) {
    ThrowIfStopped(path, rules.stop);
    const std::string where = Where(path, line.number);
    std::string section;
    const OptionLineKind kind = KindOf(line.text, section);
    if (kind == OptionLineKind::kHeader) {
      if (!EqualsIgnoringAsciiCase(section, kSettingsSection)) {
        throw InputError(where, 1,
                         "section [" + section +
                             "] is not expected: the file holds name=value lines, then at most "
                             "the window's [Config] section");
      }
      inSettings = sawSettings = true;  // the window's connection keys, not options
      continue;
    }
    if (kind == OptionLineKind::kSkipped || inSettings) continue;

    RejectControlCharacters(path, line);
    const std::size_t equals = line.text.find('=');
    if (equals == std::string::npos) {
      throw InputError(where, 1 + static_cast<int>(line.text.size()),
                       "expected name=value, the line has no '='");
    }
    if (equals == 0) throw InputError(where, 1, "the option has no name");
    const std::string_view name = line.text.substr(0, equals);
    CheckOptionName(where, 1, name, rules, OptionNameCandidates(), "option name");
    if (equals + 1 < line.text.size() && IsBlank(line.text[equals + 1])) {
      throw InputError(
          where, 2 + static_cast<int>(equals),
          "blank after '=' of option '" + std::string(name) + "'; write the value right after '='");
    }
    RejectTooLongToSend(where, 1, line.text, TextPlace::kWholeLine);
    options.emplace_back(line.text);
    optionLines.push_back(line.number);
  }
  // The window's own file (its option lines, then [Config]) is the list it sent, in the order
  // it sent it: it repeats an option where it means to (the WEP block's keys, then the WPA
  // block's). In a file written by hand a repeat is a mistake whose last line would win unseen.
  if (!sawSettings) RejectRepeatedOptions(path, options, optionLines);
  if (options.empty()) {
    throw InputError(path + ":1", 1,
                     "the options file holds no option; expected name=value lines such as "
                     "SSID=Office");
  }
  return options;
}

std::vector<DeviceEntry> ReadDeviceList(const std::string& path, const InputRules& rules) {
  const CsvFile file = ReadCsvRows(path, rules.stop);
  const std::vector<CsvRow>& rows = file.rows;
  if (rows.empty())
    throw InputError(path + ":1", 1, "no header line; expected a \"device\" column");
  const CsvRow& header = rows.front();
  const std::string headerWhere = Where(path, header.line);
  std::vector<std::string_view> columnCandidates = OptionNameCandidates();
  columnCandidates.push_back(kDeviceColumn);
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
  if (!deviceColumn) {
    std::string problem = "no \"device\" column";
    for (const CsvField& field : header.fields) {
      if (Suggestion(field.text, {kDeviceColumn})) {
        problem += "; did you mean 'device' for column '" + field.text + "'?";
        break;
      }
    }
    throw InputError(headerWhere, 1, problem);
  }
  for (std::size_t index = 0; index < header.fields.size(); ++index) {
    if (index == *deviceColumn) continue;
    const CsvField& field = header.fields[index];
    CheckOptionName(headerWhere, field.column, field.text, rules, columnCandidates, "column name");
  }
  if (rows.size() == 1) {
    throw InputError(Where(path, file.lastLine + 1), 1,
                     "no devices: the file has its header line only; expected one row per "
                     "device below it");
  }

  const AddressResolver resolver = RememberingResolver(rules.resolver);
  std::vector<DeviceEntry> devices;
  for (auto row = rows.begin() + 1; row != rows.end(); ++row) {
    ThrowIfStopped(path, rules.stop);
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
        ParseDeviceAddress(device.text, where, device.column, resolver), {}, where, device.column};
    for (std::size_t index = 0; index < row->fields.size(); ++index) {
      if (index == *deviceColumn || row->fields[index].text.empty()) continue;
      entry.overrides.push_back(header.fields[index].text + "=" + row->fields[index].text);
      RejectTooLongToSend(where, row->fields[index].column, entry.overrides.back(),
                          TextPlace::kCell);
    }
    devices.push_back(std::move(entry));
  }
  return devices;
}

std::vector<DeviceEntry> ParseDeviceArguments(const std::vector<std::string>& texts,
                                              const InputRules& rules) {
  if (texts.empty()) {
    throw InputError("device arguments", 1, "no devices; give DEVICE arguments or --devices FILE");
  }
  const AddressResolver resolver = RememberingResolver(rules.resolver);
  std::vector<DeviceEntry> devices;
  for (std::size_t index = 0; index < texts.size(); ++index) {
    const std::string where = "device argument " + std::to_string(index + 1);
    devices.push_back({ParseDeviceAddress(texts[index], where, 1, resolver), {}, where, 1});
  }
  return devices;
}

void RejectDuplicateDevices(const std::vector<DeviceEntry>& devices) {
  std::map<std::string, const DeviceEntry*> first;
  for (const DeviceEntry& entry : devices) {
    const auto [found, added] = first.emplace(entry.address.Identity(), &entry);
    if (added) continue;
    const DeviceAddress& earlier = found->second->address;
    std::string problem =
        "device " + entry.address.Name() + " is listed already at " + found->second->where;
    if (earlier.Name() != entry.address.Name()) {
      problem += " as " + earlier.Name();
      if (entry.address.transport == DeviceAddress::Transport::kSerial) {
        problem += " (both are line " + entry.address.serialLine + ", device " +
                   std::to_string(entry.address.deviceNumber) + ")";
      }
    }
    throw InputError(entry.where, entry.column, problem);
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
