#include "platform/codepage_iconv.h"

#include <cerrno>
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

}  // namespace

IconvCodePage::IconvCodePage(const char* codePage)
    : toAnsi_(openOrThrow(codePage, "UTF-16LE")), fromAnsi_(openOrThrow("UTF-16LE", codePage)) {}

IconvCodePage::~IconvCodePage() {
  iconv_close(toAnsi_);
  iconv_close(fromAnsi_);
}

Bytes IconvCodePage::toAnsi(TextView text) const {
  std::string utf16le;
  utf16le.reserve(text.size() * 2);
  for (char16_t c : text) {
    utf16le += static_cast<char>(c & 0xFF);
    utf16le += static_cast<char>(c >> 8);
  }
  return convert(toAnsi_, utf16le.data(), utf16le.size(),
                 [](const char* in, std::size_t left, std::string& out, std::size_t& written) {
                   out[written++] = kUnrepresentable;
                   // A surrogate pair is one character: one "?" for both halves.
                   unsigned high = static_cast<unsigned char>(in[1]);
                   return (high >= 0xD8 && high < 0xDC && left >= 4) ? std::size_t{4} : std::size_t{2};
                 });
}

Text IconvCodePage::fromAnsi(const Bytes& bytes) const {
  std::string utf16le = convert(fromAnsi_, bytes.data(), bytes.size(),
                                [](const char* in, std::size_t left, std::string& out, std::size_t& written) {
                                  out[written++] = static_cast<char>(kInvalidSequence & 0xFF);
                                  out[written++] = static_cast<char>(kInvalidSequence >> 8);
                                  unsigned char lead = static_cast<unsigned char>(in[0]);
                                  bool doubleByte =
                                      (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
                                  return (doubleByte && left >= 2) ? std::size_t{2} : std::size_t{1};
                                });
  Text text;
  text.reserve(utf16le.size() / 2);
  for (std::size_t i = 0; i + 1 < utf16le.size(); i += 2) {
    text += static_cast<char16_t>(static_cast<unsigned char>(utf16le[i]) |
                                  (static_cast<unsigned char>(utf16le[i + 1]) << 8));
  }
  return text;
}

}  // namespace pyx
