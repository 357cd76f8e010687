#include "wireless/WirelessKeys.h"

#include <cstddef>
#include <utility>

#include "platform/Text.h"

namespace quillstone {

std::array<std::string, KeyCount + 1> WepKeyText{};
std::array<int, KeyCount + 1> WepKeyFormat{NoKeyFormat, NoKeyFormat, NoKeyFormat, NoKeyFormat,
                                           NoKeyFormat};
std::array<std::string, KeyCount + 1> WepKeyFlag{"0", "0", "0", "0", "0"};

namespace {

bool IsKeyFormat(int format) {
  return format >= 0 && format < NoKeyFormat;
}

bool IsKeyNumber(int key) {
  return key >= 1 && key <= KeyCount;
}

// Formats 0 and 1 are hexadecimal, 2 and 3 ASCII; the device expects "0" or "1". A string, not
// a pointer: assigning a one-character literal to a std::string draws GCC 12's false -Wrestrict.
std::string FlagForFormat(int format) {
  return format <= 1 ? "0" : "1";
}

std::size_t Slot(int key) {
  return static_cast<std::size_t>(key);
}

// CheckKeys' messages by format and key. Kept apart from the apply's marker messages on
// purpose: the two tables differ in blanks and wording.
constexpr const char* KeyCheckMessages[NoKeyFormat][KeyCount] = {
    {"Password 1,please input 64-bit(104+24)-10 hexadecimal digits ",
     "Password 2,please input 64-bit(104+24)-10 hexadecimal digits ",
     "Password 3,please input 64-bit(104+24)-10 hexadecimal digits ",
     "Password 4,please input 64-bit(104+24)-10 hexadecimal digits "},
    {"Password 1, please input 128-bit(104+24)-26 hexadecimal digits ",
     "Password 2, please input 128-bit(104+24)-26 hexadecimal digits ",
     "Password 3, please input 128-bit(104+24)-26 hexadecimal digits ",
     "Password 4, please input 128-bit(104+24)-26 hexadecimal digits "},
    {"Password 1, please input 64-bit(40+24)-5 ASCII characters ",
     "Password 2, please input 64-bit(40+24)-5 ASCII characters ",
     "Password 3, please input 64-bit(40+24)-5 ASCII characters ",
     "Password 4, please input 64-bit(40+24)-5 ASCII characters "},
    {"Password 1, please input 128-bit(104+24)-13 ASCII characters ",
     "Password 2, please input 128-bit(104+24)-13 ASCII characters ",
     "Password 3, please input 128-bit(104+24)-13 ASCII characters ",
     "Password 4, please input 128-bit(104+24)-13 ASCII characters "},
};

struct MarkerRow {
  const char* entry;
  const char* message;
  int format;
  int key;
};

// The apply's short-key markers, in the order the apply knows them.
constexpr MarkerRow ShortKeyMarkers[] = {
    {"p1=0", "Password 1, please input enter 64-bit(104+24)-10 hexadecimal digits", 0, 1},
    {"p1=1", "Password 1, please input 128-bit(104+24)-26 hexadecimal digits", 1, 1},
    {"p1=2", "Password 1,please input 64-bit(40+24)-5 ASCII characters", 2, 1},
    {"p1=3", "Password 1,please input 128-bit(104+24)-13 ASCII characters", 3, 1},
    {"p2=0", "Password 2,please input enter 64-bit(104+24)-10 hexadecimal digits", 0, 2},
    {"p2=1", "Password 2,please input 128-bit(104+24)-26 hexadecimal digits", 1, 2},
    {"p2=2", "Password 2,please input 64-bit(40+24)-5 ASCII characters", 2, 2},
    {"p2=3", "Password 2,please input 128-bit(104+24)-13 ASCII characters", 3, 2},
    {"p3=0", "Password 3,please input 64-bit(104+24)-10 hexadecimal digits", 0, 3},
    {"p3=1", "Password 3,please input 128-bit(104+24)-26 hexadecimal digits", 1, 3},
    {"p3=2", "Password 3,please input 64-bit(40+24)-5 ASCII characters", 2, 3},
    {"p3=3", "Password 3,please input 128-bit(104+24)-13 ASCII characters", 3, 3},
    {"p4=0", "Password 4,please input 64-bit(104+24)-10 hexadecimal digits", 0, 4},
    {"p4=1", "Password 4,please input 128-bit(104+24)-26 hexadecimal digits", 1, 4},
    {"p4=2", "Password 4,please input 64-bit(40+24)-5 ASCII characters", 2, 4},
    {"p4=3", "Password 4,please input 128-bit(104+24)-13 ASCII characters", 3, 4},
};

}  // namespace

int KeyFormatLength(int format) {
  switch (format) {
    case 0:
      return 10;
    case 1:
      return 26;
    case 2:
      return 5;
    case 3:
      return 13;
    default:
      return 0;
  }
}

void RecordKeyExit(int key, int format, const std::string& fieldText) {
  if (!IsKeyNumber(key)) return;
  if (IsKeyFormat(format)) {
    if (CharacterCount(fieldText) >= KeyFormatLength(format)) {
      WepKeyFlag[Slot(key)] = FlagForFormat(format);
    }
    // A short key still records its format, so the apply can name it as short.
    if (!TrimBlanks(fieldText).empty()) WepKeyFormat[Slot(key)] = format;
  }
  WepKeyText[Slot(key)] = fieldText;
}

void ResetKeyFormats() {
  for (int key = 1; key <= KeyCount; ++key) WepKeyFormat[Slot(key)] = NoKeyFormat;
}

bool PassphraseTooShort(const std::string& passphrase) {
  constexpr int MinimumPassphraseLength = 8;
  return CharacterCount(passphrase) < MinimumPassphraseLength;
}

void ApplyKeyFormat(int format, KeyFields& fields) {
  if (!IsKeyFormat(format)) return;
  const int length = KeyFormatLength(format);
  for (int key = 1; key <= KeyCount; ++key) {
    KeyField& field = fields[Slot(key - 1)];
    if (CharacterCount(field.text) == length) {
      WepKeyFormat[Slot(key)] = format;
    } else {
      // Only further typing is limited; the text itself stays.
      field.maxLength = length;
    }
  }
}

void ApplyKeyLengths(KeyFields& fields) {
  for (int key = 1; key <= KeyCount; ++key) {
    const int format = WepKeyFormat[Slot(key)];
    if (!IsKeyFormat(format)) continue;
    KeyField& field = fields[Slot(key - 1)];
    field.text = LeftCharacters(field.text, KeyFormatLength(format));
  }
}

std::vector<std::string> ListShortKeys(bool wepGroupEnabled) {
  std::vector<std::string> shortKeys;
  if (!wepGroupEnabled) return shortKeys;
  for (int key = 1; key <= KeyCount; ++key) {
    const int format = WepKeyFormat[Slot(key)];
    if (!IsKeyFormat(format)) continue;
    if (CharacterCount(WepKeyText[Slot(key)]) < KeyFormatLength(format)) {
      // Appended, not "p" + ...: see SingleQuoted for GCC 12's -Wrestrict on that form.
      std::string entry = "p";
      entry.append(std::to_string(key)).append("=").append(std::to_string(format));
      shortKeys.push_back(std::move(entry));
    }
  }
  return shortKeys;
}

std::optional<KeyCheckFailure> CheckKeys(const KeyCheckInput& input) {
  if (input.wepGroupEnabled && IsKeyFormat(input.format)) {
    const int length = KeyFormatLength(input.format);
    const bool hexFormat = input.format <= 1;
    for (int key = 1; key <= KeyCount; ++key) {
      if (!input.markers[Slot(key - 1)]) continue;
      const bool tooShort = CharacterCount(input.keyTexts[Slot(key - 1)]) < length;
      // A hex key must have been recorded since the last apply, or it may be over-long.
      const bool unrecorded = hexFormat && WepKeyFormat[Slot(key)] == NoKeyFormat;
      if (tooShort || unrecorded) {
        return KeyCheckFailure{KeyCheckMessages[input.format][key - 1], key};
      }
    }
  }
  if (input.wpaGroupEnabled && PassphraseTooShort(input.passphrase)) {
    return KeyCheckFailure{PassphraseMessage, 0};
  }
  return std::nullopt;
}

std::optional<ShortKeyMarker> FindShortKeyMarker(const std::vector<std::string>& shortKeys) {
  for (const std::string& entry : shortKeys) {
    for (const MarkerRow& marker : ShortKeyMarkers) {
      if (entry == marker.entry) return ShortKeyMarker{marker.message, marker.format, marker.key};
    }
  }
  return std::nullopt;
}

}  // namespace quillstone
