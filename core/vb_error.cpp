#include "core/vb_error.h"

namespace pyx {

RuntimeError::RuntimeError(std::int32_t number) : RuntimeError(number, errorDescription(number)) {}

RuntimeError::RuntimeError(std::int32_t number, Text description)
    : number_(number),
      description_(std::move(description)),
      utf8_(std::to_string(number) + " " + toUtf8(description_)) {}

Text errorDescription(std::int32_t number) {
  switch (number) {
    case ErrInvalidProcedureCall:
      return u"プロシージャの呼び出し、または引数が不正です。";
    case ErrOverflow:
      return u"オーバーフローしました。";
    case ErrOutOfMemory:
      return u"メモリが不足しています。";
    case ErrSubscriptOutOfRange:
      return u"インデックスが有効範囲にありません。";
    case ErrTypeMismatch:
      return u"型が一致しません。";
    case ErrFileNotFound:
      return u"ファイルが見つかりません。";
    case ErrFileAlreadyOpen:
      return u"ファイルは既に開かれています。";
    case ErrDiskFull:
      return u"ディスクの空き容量が不足しています。";
    case ErrInputPastEnd:
      return u"ファイルにこれ以上データがありません。";
    case ErrPermissionDenied:
      return u"書き込みできません。";
    case ErrPathFileAccess:
      return u"パス名が無効です。";
    case ErrPathNotFound:
      return u"パスが見つかりません。";
    default:
      return u"アプリケーション定義またはオブジェクト定義のエラーです。";
  }
}

void raiseError(std::int32_t number) {
  throw RuntimeError(number);
}

}  // namespace pyx
