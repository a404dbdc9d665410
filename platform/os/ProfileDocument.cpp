#include "platform/os/ProfileDocument.h"

#include <algorithm>
#include <utility>

#include "platform/com/WideString.h"

namespace korvane::os::profile {
namespace {

TextEncoding DetectEncoding(std::string_view raw) {
  for (const auto encoding :
       {TextEncoding::Utf8Bom, TextEncoding::Utf16Le, TextEncoding::Utf16Be}) {
    if (raw.starts_with(ByteOrderMark(encoding))) return encoding;
  }
  return IsValidUtf8(raw) ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

bool IsUtf16(TextEncoding encoding) {
  return encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf16Be;
}

// Reads code units (bytes, or 16-bit units) of the raw file in its encoding.
class UnitReader {
 public:
  UnitReader(std::string_view raw, TextEncoding encoding)
      : raw_(raw),
        width_(IsUtf16(encoding) ? 2 : 1),
        bigEndian_(encoding == TextEncoding::Utf16Be) {}

  std::size_t Width() const { return width_; }
  // The last whole unit ends here; a stray odd byte of a UTF-16 file stays outside.
  std::size_t End() const { return raw_.size() - raw_.size() % width_; }
  std::uint32_t At(std::size_t pos) const {
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(raw_[i]); };
    if (width_ == 1) return byteAt(pos);
    return bigEndian_ ? (byteAt(pos) << 8) | byteAt(pos + 1) : byteAt(pos) | (byteAt(pos + 1) << 8);
  }

 private:
  std::string_view raw_;
  std::size_t width_;
  bool bigEndian_;
};

void DecodeInto(std::string& text, std::string_view raw, std::size_t begin, std::size_t end,
                TextEncoding encoding, const UnitReader& units) {
  if (encoding == TextEncoding::Utf8 || encoding == TextEncoding::Utf8Bom) {
    text.append(raw.substr(begin, end - begin));
    return;
  }
  // Windows-1252 lies wholly in the Basic Multilingual Plane, so both 8-bit and
  // UTF-16 lines pass through UTF-16; unpaired surrogates become U+FFFD there.
  std::u16string line;
  line.reserve((end - begin) / units.Width());
  for (std::size_t i = begin; i < end; i += units.Width()) {
    line += encoding == TextEncoding::Windows1252
                ? static_cast<char16_t>(Windows1252ToUnicode(static_cast<unsigned char>(raw[i])))
                : static_cast<char16_t>(units.At(i));
  }
  text += com::Utf16ToUtf8(line);
}

void Classify(ProfileLine& line, std::string_view text) {
  const auto offsetOf = [&](std::string_view part) {
    return static_cast<std::uint32_t>(part.data() - text.data());
  };
  const std::string_view content = text.substr(line.textBegin, line.textEnd - line.textBegin);
  const std::string_view trimmed = TrimBlanks(content);
  if (trimmed.empty() || trimmed.front() == ';') return;
  if (trimmed.front() == '[') {
    // The name runs to the last ']' so that names which contain brackets round-trip.
    std::string_view name = trimmed.substr(1);
    const auto close = name.rfind(']');
    if (close != std::string_view::npos) name = name.substr(0, close);
    name = TrimBlanks(name);
    line.kind = LineKind::Section;
    line.nameBegin = name.empty() ? offsetOf(trimmed) + 1 : offsetOf(name);
    line.nameEnd = line.nameBegin + static_cast<std::uint32_t>(name.size());
    return;
  }
  const auto equals = trimmed.find('=');
  if (equals == std::string_view::npos) return;
  const std::string_view name = TrimBlanks(trimmed.substr(0, equals));
  const std::string_view value = TrimBlanks(trimmed.substr(equals + 1));
  line.kind = LineKind::Key;
  line.nameBegin = name.empty() ? offsetOf(trimmed) : offsetOf(name);
  line.nameEnd = line.nameBegin + static_cast<std::uint32_t>(name.size());
  line.valueBegin =
      value.empty() ? offsetOf(trimmed) + static_cast<std::uint32_t>(equals) + 1 : offsetOf(value);
  line.valueEnd = line.valueBegin + static_cast<std::uint32_t>(value.size());
}

// Index of the first section header with this name, or lines.size().
std::size_t FindSection(const ProfileDocument& document, std::string_view section) {
  for (std::size_t i = 0; i < document.lines.size(); ++i) {
    const ProfileLine& line = document.lines[i];
    if (line.kind == LineKind::Section && EqualIgnoringCase(document.Name(line), section)) return i;
  }
  return document.lines.size();
}

std::size_t SectionEnd(const ProfileDocument& document, std::size_t header) {
  std::size_t i = header + 1;
  while (i < document.lines.size() && document.lines[i].kind != LineKind::Section) ++i;
  return i;
}

std::size_t FindKey(const ProfileDocument& document, std::size_t header, std::size_t end,
                    std::string_view key) {
  for (std::size_t i = header + 1; i < end; ++i) {
    const ProfileLine& line = document.lines[i];
    if (line.kind == LineKind::Key && EqualIgnoringCase(document.Name(line), key)) return i;
  }
  return end;
}

bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

std::string_view ProfileDocument::Name(const ProfileLine& line) const {
  return std::string_view(text).substr(line.nameBegin, line.nameEnd - line.nameBegin);
}

std::string_view ProfileDocument::Value(const ProfileLine& line) const {
  return std::string_view(text).substr(line.valueBegin, line.valueEnd - line.valueBegin);
}

std::string_view ProfileDocument::Text(const ProfileLine& line) const {
  return std::string_view(text).substr(line.textBegin, line.textEnd - line.textBegin);
}

ProfileDocument ParseProfile(std::string raw) {
  ProfileDocument document;
  document.raw = std::move(raw);
  const std::string_view bytes = document.raw;
  document.encoding = DetectEncoding(bytes);
  const UnitReader units(bytes, document.encoding);
  document.truncatedUtf16 = IsUtf16(document.encoding) && bytes.size() % 2 != 0;

  constexpr std::uint32_t kCarriageReturn = 0x0D;
  constexpr std::uint32_t kLineFeed = 0x0A;
  const std::size_t end = units.End();
  const std::size_t width = units.Width();
  bool newlineKnown = false;
  std::size_t pos = ByteOrderMark(document.encoding).size();
  while (pos < end) {
    ProfileLine line;
    line.rawBegin = static_cast<std::uint32_t>(pos);
    while (pos < end && units.At(pos) != kCarriageReturn && units.At(pos) != kLineFeed) {
      pos += width;
    }
    line.rawEnd = static_cast<std::uint32_t>(pos);
    if (pos < end) {
      const bool crlf = units.At(pos) == kCarriageReturn && pos + width < end &&
                        units.At(pos + width) == kLineFeed;
      if (!newlineKnown) {
        document.newline = crlf ? "\r\n" : (units.At(pos) == kCarriageReturn ? "\r" : "\n");
        newlineKnown = true;
      }
      pos += crlf ? 2 * width : width;
    }
    line.rawNext = static_cast<std::uint32_t>(pos);
    line.textBegin = static_cast<std::uint32_t>(document.text.size());
    DecodeInto(document.text, bytes, line.rawBegin, line.rawEnd, document.encoding, units);
    line.textEnd = static_cast<std::uint32_t>(document.text.size());
    document.lines.push_back(line);
  }
  // Classified after decoding, when the text buffer no longer moves.
  for (ProfileLine& line : document.lines) Classify(line, document.text);
  return document;
}

std::optional<std::string_view> FindValue(const ProfileDocument& document, std::string_view section,
                                          std::string_view key) {
  const std::size_t header = FindSection(document, TrimBlanks(section));
  if (header == document.lines.size()) return std::nullopt;
  const std::size_t end = SectionEnd(document, header);
  const std::size_t found = FindKey(document, header, end, TrimBlanks(key));
  if (found == end) return std::nullopt;
  return document.Value(document.lines[found]);
}

bool HasSection(const ProfileDocument& document, std::string_view section) {
  return FindSection(document, TrimBlanks(section)) != document.lines.size();
}

std::optional<std::string> CheckWritable(std::string_view section, std::string_view key,
                                         std::string_view value) {
  const struct {
    std::string_view text;
    const char* what;
  } parts[] = {{section, "section name"}, {key, "key name"}, {value, "value"}};
  for (const auto& part : parts) {
    if (HasLineBreakOrNul(part.text)) {
      return std::string("the ") + part.what + " contains a line break or a NUL character";
    }
    if (!IsValidUtf8(part.text)) return std::string("the ") + part.what + " is not valid UTF-8";
  }
  const std::string_view trimmedKey = TrimBlanks(key);
  if (trimmedKey.empty()) return "the key name is empty";
  if (trimmedKey.find('=') != std::string_view::npos) return "the key name contains '='";
  if (trimmedKey.front() == '[' || trimmedKey.front() == ';') {
    return "the key name starts with '[' or ';', which would read back as a section or comment";
  }
  return std::nullopt;
}

std::variant<std::string, EditError> SetValue(const ProfileDocument& document,
                                              std::string_view section, std::string_view key,
                                              std::string_view value) {
  return SetValues(document, section, {KeyValue{std::string(key), std::string(value)}});
}

std::variant<std::string, EditError> SetValues(const ProfileDocument& document,
                                               std::string_view section,
                                               const std::vector<KeyValue>& keys) {
  for (const KeyValue& entry : keys) {
    if (auto problem = CheckWritable(section, entry.key, entry.value)) return EditError{*problem};
  }
  if (document.truncatedUtf16) {
    return EditError{"the UTF-16 file ends in half a character; it is left as it is"};
  }
  section = TrimBlanks(section);
  const std::string_view raw = document.raw;

  // A key the section has changes its own line, in the file's own spelling of the key; the
  // others follow the section's last non-blank line, in the order they were first given, as
  // one write after another would leave them.
  struct Splice {
    std::size_t begin;  // raw bytes [begin, end) are replaced by text
    std::size_t end;
    std::string text;  // UTF-8, encoded below
  };
  std::vector<Splice> splices;
  std::vector<KeyValue> added;
  const std::size_t header = FindSection(document, section);
  const bool sectionFound = header < document.lines.size();
  const std::size_t sectionEnd = sectionFound ? SectionEnd(document, header) : header;
  for (const KeyValue& entry : keys) {
    const std::string_view key = TrimBlanks(entry.key);
    const std::size_t found =
        sectionFound ? FindKey(document, header, sectionEnd, key) : sectionEnd;
    if (found < sectionEnd) {
      const ProfileLine& line = document.lines[found];
      const auto same = std::find_if(splices.begin(), splices.end(),
                                     [&](const Splice& s) { return s.begin == line.rawBegin; });
      std::string text = std::string(document.Name(line)) + "=" + entry.value;
      if (same != splices.end()) {
        same->text = std::move(text);
      } else {
        splices.push_back({line.rawBegin, line.rawEnd, std::move(text)});
      }
      continue;
    }
    const auto same = std::find_if(added.begin(), added.end(), [&](const KeyValue& a) {
      return EqualIgnoringCase(a.key, key);
    });
    if (same != added.end()) {
      same->value = entry.value;
    } else {
      added.push_back({std::string(key), entry.value});
    }
  }
  if (!added.empty()) {
    std::string inserted;
    std::size_t at = raw.size();
    const auto endsUnterminated = [&](const ProfileLine& line) {
      return line.rawNext == line.rawEnd;
    };
    if (sectionFound) {
      std::size_t last = header;  // a new key follows the section's last non-blank line
      for (std::size_t i = header + 1; i < sectionEnd; ++i) {
        if (!TrimBlanks(document.Text(document.lines[i])).empty()) last = i;
      }
      at = document.lines[last].rawNext;
      if (endsUnterminated(document.lines[last])) inserted += document.newline;
    } else {
      if (!document.lines.empty() && endsUnterminated(document.lines.back())) {
        inserted += document.newline;
      }
      inserted.append("[").append(section).append("]").append(document.newline);
    }
    for (const KeyValue& entry : added) {
      inserted.append(entry.key).append("=").append(entry.value).append(document.newline);
    }
    splices.push_back({at, at, std::move(inserted)});
  }
  std::sort(splices.begin(), splices.end(),
            [](const Splice& a, const Splice& b) { return a.begin < b.begin; });

  std::string result;
  std::size_t copied = 0;
  for (const Splice& splice : splices) {
    auto encoded = EncodeText(splice.text, document.encoding);
    if (!encoded) {
      return EditError{
          "the file is stored in the Windows-1252 code page, which cannot hold the section, key "
          "or value"};
    }
    if (result.empty()) result.reserve(raw.size() + encoded->size() + 64);
    result.append(raw.substr(copied, splice.begin - copied));
    result.append(*encoded);
    copied = splice.end;
  }
  result.append(raw.substr(copied));
  // An 8-bit file carries no mark of its code page: if the replaced lines held its only
  // bytes that are not UTF-8, the rest would read back as UTF-8 and change meaning.
  const bool anyHighByte =
      std::any_of(result.begin(), result.end(), [](char byte) { return (byte & 0x80) != 0; });
  if (document.encoding == TextEncoding::Windows1252 && anyHighByte &&
      DetectEncoding(result) != TextEncoding::Windows1252) {
    return EditError{
        "the change would make the rest of this Windows-1252 file read as UTF-8; the file is "
        "left as it is"};
  }
  return result;
}

}  // namespace korvane::os::profile
