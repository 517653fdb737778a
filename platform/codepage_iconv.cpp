#include "platform/codepage_iconv.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>

namespace pyx {

namespace {

constexpr char16_t kInvalidSequence = u'\u30FB';
constexpr char kUnrepresentable = '?';

iconv_t openOrThrow(const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
  }
  return cd;
}

// Converts `in` with `cd`; `onError` is called at each position iconv refuses
// and returns how many input bytes to skip after appending its replacement.
template <class OnError>
std::string convert(iconv_t cd, const char* data, std::size_t size, OnError onError) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string out;
  out.resize(size * 2 + 16);
  char* in = const_cast<char*>(data);
  std::size_t inLeft = size;
  std::size_t written = 0;
  while (inLeft > 0) {
    char* outPtr = out.data() + written;
    std::size_t outLeft = out.size() - written;
    std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    written = out.size() - outLeft;
    if (rc != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
    } else {
      if (out.size() - written < 8) out.resize(out.size() * 2);
      std::size_t skip = onError(in, inLeft, out, written);
      in += skip;
      inLeft -= skip;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  out.resize(written);
  return out;
}

// Characters that the Windows conversion of code page 932 treats otherwise
// than iconv: its best fit of accented Latin letters and a few signs to ASCII,
// the single bytes it maps to private-use characters, and the JIS variants
// that iconv maps but Windows does not.
std::optional<char> windowsOverride(char16_t c) {
  switch (c) {
    case 0x0080:
      return '\x80';
    case 0xF8F0:
      return '\xA0';
    case 0xF8F1:
      return '\xFD';
    case 0xF8F2:
      return '\xFE';
    case 0xF8F3:
      return '\xFF';
    case 0x2014:
    case 0x2016:
    case 0x203E:
    case 0x2212:
    case 0x301C:
      return kUnrepresentable;
    case 0x00A5:
      return '\\';
    case 0x00A6:
      return '|';
    case 0x00A9:
      return 'c';
    case 0x00AE:
      return 'R';
    case 0x00B2:
      return '2';
    case 0x00B3:
      return '3';
    case 0x00B9:
      return '1';
    default:
      break;
  }
  if (c >= 0xD800 && c < 0xE000) return kUnrepresentable;  // each half of a pair on its own
  if (c >= 0xC0 && c <= 0xFF && c != 0xD7 && c != 0xF7) {
    // Accented Latin letters fall back to their base letter.
    static constexpr char kBase[] = "AAAAAAACEEEEIIIIDNOOOOO?OUUUUYTsaaaaaaaceeeeiiiidnooooo?ouuuuyty";
    char base = kBase[c - 0xC0];
    if (base != 'T' && base != 't' && base != 's' && c != 0xC6 && c != 0xE6) return base;
  }
  return std::nullopt;
}

std::optional<char16_t> windowsSingleByte(unsigned char byte) {
  switch (byte) {
    case 0x80:
      return u'\u0080';
    case 0xA0:
      return u'\uF8F0';
    case 0xFD:
      return u'\uF8F1';
    case 0xFE:
      return u'\uF8F2';
    case 0xFF:
      return u'\uF8F3';
    default:
      return std::nullopt;
  }
}

// Whether the eight units from `units` are all ASCII.
bool allAscii(const char16_t* units) {
  std::uint64_t half[2];
  std::memcpy(half, units, sizeof half);
  return ((half[0] | half[1]) & 0xFF80FF80FF80FF80u) == 0;
}
bool allAscii(const char* bytes) {
  std::uint64_t all;
  std::memcpy(&all, bytes, sizeof all);
  return (all & 0x8080808080808080u) == 0;
}

}  // namespace

IconvCodePage::IconvCodePage(const char* codePage)
    : toAnsi_(openOrThrow(codePage, "UTF-16LE")), fromAnsi_(openOrThrow("UTF-16LE", codePage)) {}

IconvCodePage::~IconvCodePage() {
  iconv_close(toAnsi_);
  iconv_close(fromAnsi_);
}

// Code page 932 converts one character at a time, with no state between
// characters, so each character's bytes (and each byte sequence's character)
// are asked of iconv once and then remembered.
Bytes IconvCodePage::toAnsi(TextView text) const {
  Bytes out;
  out.resize_and_overwrite(text.size() * 2, [&](char* to, std::size_t) {
    char* const begin = to;
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
      // Names are padded with spaces and paths are mostly ASCII, which is the
      // same in both: copied eight characters at a time.
      if (i + 8 <= size && allAscii(text.data() + i)) {
        for (std::size_t k = 0; k < 8; ++k) to[k] = static_cast<char>(text[i + k]);
        to += 8;
        i += 8;
        continue;
      }
      char16_t c = text[i++];
      if (c < 0x80) {
        *to++ = static_cast<char>(c);
        continue;
      }
      std::uint16_t bytes = encoded_[c];
      if (bytes == kUnknown) bytes = encoded_[c] = encode(c);
      if (bytes > 0xFF) *to++ = static_cast<char>(bytes >> 8);
      *to++ = static_cast<char>(bytes & 0xFF);
    }
    return static_cast<std::size_t>(to - begin);
  });
  return out;
}

std::uint16_t IconvCodePage::encode(char16_t c) const {
  if (std::optional<char> byte = windowsOverride(c)) return static_cast<unsigned char>(*byte);
  const char utf16le[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  std::string converted =
      convert(toAnsi_, utf16le, 2, [](const char*, std::size_t, std::string& o, std::size_t& written) {
        o[written++] = kUnrepresentable;
        return std::size_t{2};
      });
  if (converted.size() == 2)
    return static_cast<std::uint16_t>((static_cast<unsigned char>(converted[0]) << 8) |
                                      static_cast<unsigned char>(converted[1]));
  return static_cast<unsigned char>(converted.empty() ? kUnrepresentable : converted[0]);
}

Text IconvCodePage::fromAnsi(const Bytes& bytes) const {
  Text text;
  text.resize_and_overwrite(bytes.size(), [&](char16_t* to, std::size_t) {
    std::size_t written = 0;
    for (std::size_t pos = 0; pos < bytes.size();) {
      if (pos + 8 <= bytes.size() && allAscii(bytes.data() + pos)) {
        for (std::size_t k = 0; k < 8; ++k) to[written + k] = static_cast<unsigned char>(bytes[pos + k]);
        written += 8;
        pos += 8;
        continue;
      }
      auto lead = static_cast<unsigned char>(bytes[pos]);
      if (lead < 0x80) {
        to[written++] = lead;  // ASCII is the same in both
        ++pos;
        continue;
      }
      bool doubleByte =
          ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) && pos + 1 < bytes.size();
      std::size_t unit = doubleByte ? 2 : 1;
      std::size_t key =
          doubleByte ? (std::size_t{lead} << 8) | static_cast<unsigned char>(bytes[pos + 1]) : lead;
      char16_t& decoded = decoded_[key];
      if (decoded == 0) {
        Text converted = decode(bytes.data() + pos, unit);
        decoded = converted.size() == 1 ? converted[0] : kInvalidSequence;
      }
      to[written++] = decoded;
      pos += unit;
    }
    return written;
  });
  return text;
}

Text IconvCodePage::decode(const char* bytes, std::size_t size) const {
  std::string utf16le = convert(
      fromAnsi_, bytes, size, [](const char* in, std::size_t left, std::string& out, std::size_t& written) {
        unsigned char lead = static_cast<unsigned char>(in[0]);
        char16_t c = windowsSingleByte(lead).value_or(kInvalidSequence);
        out[written++] = static_cast<char>(c & 0xFF);
        out[written++] = static_cast<char>(c >> 8);
        bool doubleByte = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
        return (doubleByte && left >= 2) ? std::size_t{2} : std::size_t{1};
      });
  Text text(utf16le.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(utf16le[2 * i]) |
                                    (static_cast<unsigned char>(utf16le[2 * i + 1]) << 8));
  }
  return text;
}

}  // namespace pyx
