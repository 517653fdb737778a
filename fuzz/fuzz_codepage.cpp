// Code page 932 both ways on arbitrary input, and the cut of a settings value
// to a byte count. Decoded text keeps its characters through a write; every
// character is written as the bytes of exactly one character; the bytes that
// give the files their structure (line ends, ";", "=", spaces, quotes) come
// only from those very characters; a cut keeps the longest beginning that
// fits, losing at most the half of one double-byte character.
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/application.h"
#include "fuzz/fuzz_check.h"
#include "platform/sim/sim_desktop.h"

namespace {

using pyx::fuzz::require;

// Bytes below 0x40 are never the second byte of a double-byte character, so
// the files' structure is found in them without decoding.
bool isStructure(char16_t c) {
  return c == u'\r' || c == u'\n' || c == u';' || c == u'=' || c == u' ' || c == u'"';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pyx;
  static SimDesktop sim;
  static Application app(sim);
  if (size < 2) return 0;
  const std::int16_t cutRequest = static_cast<std::int16_t>(data[0] | data[1] << 8);
  const Bytes bytes(reinterpret_cast<const char*>(data) + 2, size - 2);

  // Bytes -> text -> bytes.
  const Text decoded = sim.fromAnsi(bytes);
  require(decoded.size() <= bytes.size(), "a character comes from one or two bytes");
  const Bytes encoded = sim.toAnsi(decoded);
  require(sim.fromAnsi(encoded) == decoded, "read text is written back as the same characters");
  require(sim.toAnsi(sim.fromAnsi(encoded)) == encoded, "written bytes are read and written alike");

  // Text -> bytes: the input as UTF-16.
  Text text(bytes.size() / 2, u'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * 2);
  const Bytes ansi = sim.toAnsi(text);
  require(sim.fromAnsi(ansi).size() == text.size(), "each character becomes the bytes of one character");
  require(sim.toAnsi(sim.fromAnsi(ansi)) == ansi, "written bytes are read and written alike");
  for (char16_t c = 0; c < 0x80; ++c) {
    if (!isStructure(c)) continue;
    std::size_t inText = 0, inBytes = 0;
    for (char16_t t : text) inText += t == c;
    for (char b : ansi) inBytes += b == static_cast<char>(c);
    require(inText == inBytes, "only the character itself becomes a line end, ';', '=', a space or a quote");
  }

  // The cut of read text to a byte count, negative counts included.
  const std::int32_t count = cutRequest % static_cast<std::int32_t>(encoded.size() + 2);
  const std::size_t messagesBefore = sim.messageBoxes().size();
  const Text cut = app.iniFile.pEditKnjStr(decoded, count);
  if (count < 0 && !decoded.empty()) {
    require(sim.messageBoxes().size() == messagesBefore + 1, "a negative count is reported");
    require(cut == decoded, "a failed cut keeps the text");
    return 0;
  }
  require(sim.messageBoxes().size() == messagesBefore, "a cut shows no message");
  const auto kept = static_cast<std::size_t>(std::max(count, 0));
  require(decoded.starts_with(cut), "a cut keeps the text's beginning");
  const std::size_t cutBytes = sim.toAnsi(cut).size();
  require(cutBytes <= kept, "a cut fits its byte count");
  require(cutBytes + 1 >= std::min(kept, encoded.size()), "a cut loses at most half a character");
  require(kept < encoded.size() || cut == decoded, "a count beyond the text keeps it whole");
  return 0;
}
