#include "core/basIniFIle.h"

#include <limits>

#include "core/application.h"
#include "forms/forms.h"

namespace pyx {

basIniFIle::basIniFIle(Application& app) : app_(app), trap_(app.platform, u"Iniファイル取得処理") {}

std::int16_t basIniFIle::pGetIniFileItem(const Text& file, const Text& section, const Text& key,
                                         const Text& defaultText, Text& result) {
  std::int16_t status = kTrue;
  std::int16_t trapped = trap_.run(u"pGetIniFileItem", [&] {
    const Platform& platform = app_.platform;
    Bytes buffer(kIniReadBufferBytes, '\0');
    std::uint32_t byteCount = app_.platform.getPrivateProfileString(
        platform.toAnsi(section), platform.toAnsi(key), platform.toAnsi(defaultText), buffer.data(),
        kIniReadBufferBytes, file);
    if (byteCount < 1) {
      result = defaultText;
      status = kFalse;
      return;
    }
    result = pEditKnjStr(trimSpaces(platform.fromAnsi(buffer)), static_cast<std::int32_t>(byteCount));
  });
  return trapped == kTrue ? status : kFalse;
}

std::int16_t basIniFIle::pSetIniFileItem(const Text& file, const Text& section, const Text& key,
                                         const Text& value) {
  return trap_.run(u"pSetIniFileItem", [&] {
    const Platform& platform = app_.platform;
    app_.platform.writePrivateProfileString(platform.toAnsi(section), platform.toAnsi(key),
                                            platform.toAnsi(value), file);
  });
}

Text basIniFIle::pEditKnjStr(const Text& text, std::int32_t byteCount) {
  // After a trapped failure the text comes back uncut.
  Text result = text;
  trap_.run(u"pEditKnjStr", [&] {
    if (text.empty()) {
      result.clear();
      return;
    }
    if (byteCount < 0) raiseError(ErrInvalidProcedureCall);
    const Platform& platform = app_.platform;
    Bytes kept = platform.toAnsi(text).substr(0, static_cast<std::size_t>(byteCount));
    Text cut = platform.fromAnsi(kept);
    // A cut through a double-byte character leaves half of it, which decodes
    // to a replacement character. Looking for that character in the text is
    // not enough (the text may hold the same replacement already, as a value
    // cut by the read buffer does); a cut whose characters do not encode back
    // to the kept bytes ends in a broken one: drop it.
    if (!cut.empty() && (!contains(text, cut) || platform.toAnsi(cut) != kept)) cut.pop_back();
    result = cut;
  });
  return result;
}

std::int16_t basIniFIle::pGet_Start_Atom(bool readOnly, Text& ctrl, Text& alt, Text& shift, Text& key) {
  return readHotKey(u"pGet_Start_Atom", u"Start", app_.com.gintHotKey1Atom, readOnly, ctrl, alt, shift, key);
}

std::int16_t basIniFIle::pGet_Small_Atom(bool readOnly, Text& ctrl, Text& alt, Text& shift, Text& key) {
  return readHotKey(u"pGet_Small_Atom", u"Small", app_.com.gintHotKey2Atom, readOnly, ctrl, alt, shift, key);
}

std::int16_t basIniFIle::readHotKey(TextView procedure, TextView section, std::int16_t atom, bool readOnly,
                                    Text& ctrl, Text& alt, Text& shift, Text& key) {
  trap_.run(procedure, [&] {
    ctrl.clear();
    alt.clear();
    shift.clear();
    key.clear();
    Text path = app_.com.settingsFilePath();
    Text sectionName(section);
    pGetIniFileItem(path, sectionName, u"Ctrl", Text(ctrl), ctrl);
    pGetIniFileItem(path, sectionName, u"Alt", Text(alt), alt);
    pGetIniFileItem(path, sectionName, u"shift", Text(shift), shift);
    pGetIniFileItem(path, sectionName, u"Key", Text(key), key);
    const bool callUp = section == u"Start";
    if (callUp && !readOnly) callUpCombination_.reset();
    // A section without a key code names no hotkey: leave it unregistered.
    if (key.empty() || readOnly) return;
    std::uint32_t modifiers = 0;
    if (ctrl == u"1") modifiers = hotkeymod::Ctrl;
    if (shift == u"1") modifiers += hotkeymod::Shift;
    if (alt == u"1") modifiers += hotkeymod::Alt;
    auto virtualKey =
        parseInteger(key, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
    const std::pair combination{modifiers, static_cast<std::uint32_t>(virtualKey)};
    if (app_.platform.registerHotKey(app_.platform.formHandle(FormId::frmPyxtern), atom, combination.first,
                                     combination.second)) {
      if (callUp) callUpCombination_ = combination;
      return;
    }
    // A hotkey that silently does nothing looks like a saved setting that
    // is broken; say which one and why.
    Text name = u"ホットキー「" +
                app_.setPgm.pHotKeyName(ctrl, alt, shift, static_cast<std::int32_t>(virtualKey)) + u"」";
    if (!refusedHotKeys_.empty()) refusedHotKeys_ += u"\r\n";
    refusedHotKeys_ +=
        !callUp && callUpCombination_ == combination
            ? name + u"は呼出と最小化の両方に指定されているため、最小化には登録できませんでした。"
            : name + u"は他のプログラムで使用されているため登録できませんでした。";
  });
  return kTrue;
}

Text basIniFIle::takeRefusedHotKeys() {
  if (refusedHotKeys_.empty()) return Text();
  return std::exchange(refusedHotKeys_, Text()) + u"\r\n設定画面で別のキーを指定してください。";
}

}  // namespace pyx
