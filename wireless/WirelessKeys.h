#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

// WEP key and WPA passphrase rules. Texts are UTF-8; lengths count characters.
namespace quillstone {

inline constexpr int KeyCount = 4;
inline constexpr int NoKeyFormat = 4;

// Per-key values, index 1 to 4 (index 0 unused), from program start to exit.
extern std::array<std::string, KeyCount + 1> WepKeyText;  // text when the field was last left
extern std::array<int, KeyCount + 1> WepKeyFormat;        // 0..3, or NoKeyFormat
extern std::array<std::string, KeyCount + 1> WepKeyFlag;  // "0" hex, "1" ASCII

// Key length of a format index of PasswordModeCob: 10, 26, 5, 13; 0 for any other index.
int KeyFormatLength(int format);

// Leaving key field `key` (1..4) holding `fieldText` while PasswordModeCob shows `format`.
void RecordKeyExit(int key, int format, const std::string& fieldText);

// Sets WepKeyFormat 1..4 back to NoKeyFormat (end of every apply).
void ResetKeyFormats();

inline constexpr const char* PassphraseMessage =
    "please input 8 and 64 characters long for ASCII or 8 and 64 characters(0-9,a-f,A-F) for "
    "hex ";
bool PassphraseTooShort(const std::string& passphrase);

// A key field as the rules see it: its text and its length limit (0 = no limit).
struct KeyField {
  std::string text;
  int maxLength = 0;
};
using KeyFields = std::array<KeyField, KeyCount>;  // keys 1..4 at 0..3

// Records the format of fields already at its length; gives the others its length limit.
void ApplyKeyFormat(int format, KeyFields& fields);

// Cuts each field with a recorded format to that format's length.
void ApplyKeyLengths(KeyFields& fields);

// Entries "p<key>=<format>" for keys whose remembered text is shorter than their recorded
// format; empty while the WEP group is disabled.
std::vector<std::string> ListShortKeys(bool wepGroupEnabled);

struct KeyCheckInput {
  bool wepGroupEnabled = false;
  int format = -1;                       // PasswordModeCob index
  std::array<bool, KeyCount> markers{};  // WepPasswordRadio1..4 selected
  std::array<std::string, KeyCount> keyTexts;
  bool wpaGroupEnabled = false;
  std::string passphrase;
};
struct KeyCheckFailure {
  std::string message;
  int focusKey = 0;  // 1..4 for a WEP key field; 0 leaves the focus alone
};
// The whole-form key check; nullopt when all is well.
std::optional<KeyCheckFailure> CheckKeys(const KeyCheckInput& input);

// The apply's own short-key markers (their texts differ from CheckKeys').
struct ShortKeyMarker {
  std::string message;
  int format = 0;
  int key = 0;
};
// The first entry of the list that is one of the sixteen markers.
std::optional<ShortKeyMarker> FindShortKeyMarker(const std::vector<std::string>& shortKeys);

}  // namespace quillstone
