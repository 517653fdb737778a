#include "core/text.h"

#include "core/vb_error.h"

namespace pyx {

TextView trimSpacesView(TextView text) {
  std::size_t first = text.find_first_not_of(u' ');
  if (first == TextView::npos) return TextView();
  std::size_t last = text.find_last_not_of(u' ');
  return text.substr(first, last - first + 1);
}

Text trimSpaces(TextView text) {
  return Text(trimSpacesView(text));
}

Text decimal(std::int64_t value) {
  return fromUtf8(std::to_string(value));
}

std::int64_t parseInteger(TextView text, std::int64_t min, std::int64_t max) {
  Text trimmed = trimSpaces(text);
  std::size_t pos = 0;
  bool negative = false;
  if (pos < trimmed.size() && (trimmed[pos] == u'+' || trimmed[pos] == u'-')) {
    negative = trimmed[pos] == u'-';
    ++pos;
  }
  if (pos == trimmed.size()) raiseError(ErrTypeMismatch);
  std::int64_t value = 0;
  for (; pos < trimmed.size(); ++pos) {
    char16_t c = trimmed[pos];
    if (c < u'0' || c > u'9') raiseError(ErrTypeMismatch);
    value = value * 10 + (c - u'0');
    if (value > max - min) raiseError(ErrOverflow);
  }
  if (negative) value = -value;
  if (value < min || value > max) raiseError(ErrOverflow);
  return value;
}

std::string toUtf8(TextView text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

Text fromUtf8(std::string_view utf8) {
  Text out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    char32_t c = 0xFFFD;
    std::size_t extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : 99;
    if (extra == 0) {
      c = b;
      i += 1;
    } else if (extra < 4 && i + extra < utf8.size()) {
      c = b & (0x3F >> extra);
      for (std::size_t k = 1; k <= extra; ++k)
        c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
      i += extra + 1;
    } else {
      i += 1;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

bool contains(TextView haystack, TextView needle) {
  return haystack.find(needle) != TextView::npos;
}

Text joinPath(const Text& directory, TextView file) {
  if (!directory.empty() && directory.back() == u'\\') return directory + Text(file);
  return directory + u"\\" + Text(file);
}

}  // namespace pyx
