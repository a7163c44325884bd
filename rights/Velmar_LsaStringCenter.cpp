#include "rights/Velmar_LsaStringCenter.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "base/Velmar_CenterUtils.h"

namespace {

// Length is a byte count in 16 bits: at most 32,767 whole UTF-16 units.
constexpr int kMaxUnits = std::numeric_limits<USHORT>::max() / sizeof(WCHAR);

}  // namespace

TvmLsaUnicodeStringCenter::TvmLsaUnicodeStringCenter(TComponent* owner) : TComponent(owner) {}

TvmLsaUnicodeStringCenter::~TvmLsaUnicodeStringCenter() { ReleaseBlock(); }

void TvmLsaUnicodeStringCenter::ReleaseBlock() {
  FreeLsaUnicodeString(block_);
  block_ = nullptr;
}

std::string TvmLsaUnicodeStringCenter::Text() {
  if (!textValid_) {
    text_.clear();
    if (block_ != nullptr && block_->Buffer != nullptr) {
      const int units = block_->Length / sizeof(WCHAR);
      if (units > 0) {
        int size =
            WideCharToMultiByte(CP_ACP, 0, block_->Buffer, units, nullptr, 0, nullptr, nullptr);
        if (size > 0) {
          text_.resize(size);
          size = WideCharToMultiByte(CP_ACP, 0, block_->Buffer, units, text_.data(), size, nullptr,
                                     nullptr);
          text_.resize(size > 0 ? size : 0);
        }
      }
    }
    textValid_ = true;
  }
  return text_;
}

void TvmLsaUnicodeStringCenter::SetText(const std::string& text) {
  textValid_ = false;
  valueValid_ = false;
  ReleaseBlock();
  text_ = text;
  textValid_ = true;
}

PLSA_UNICODE_STRING TvmLsaUnicodeStringCenter::Value() {
  if (!valueValid_) {
    ReleaseBlock();
    BuildBlock();
    valueValid_ = true;
  }
  return block_;
}

void TvmLsaUnicodeStringCenter::SetValue(const LSA_UNICODE_STRING* value) {
  // Copy first: the holder stays as it was when the copy cannot be made.
  PLSA_UNICODE_STRING copy = CopyLsaUnicodeString(value);
  textValid_ = false;
  valueValid_ = false;
  ReleaseBlock();
  block_ = copy;
  valueValid_ = true;
}

void TvmLsaUnicodeStringCenter::BuildBlock() {
  std::vector<WCHAR> units;
  if (!text_.empty()) {
    if (text_.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
      throw EConvertError("Text too long for an LSA string");
    const int bytes = static_cast<int>(text_.size());
    int count = MultiByteToWideChar(CP_ACP, 0, text_.data(), bytes, nullptr, 0);
    if (count <= 0) RaiseLastWin32Error();
    if (count > kMaxUnits) throw EConvertError("Text too long for an LSA string");
    units.resize(count);
    count = MultiByteToWideChar(CP_ACP, 0, text_.data(), bytes, units.data(), count);
    if (count <= 0) RaiseLastWin32Error();
    units.resize(count);
  }
  const size_t n = units.size();
  const size_t header = sizeof(LSA_UNICODE_STRING);
  void* block = std::malloc(header + sizeof(WCHAR) * (n + 1));
  if (block == nullptr) throw EWin32Error(ERROR_NOT_ENOUGH_MEMORY);
  auto* value = static_cast<PLSA_UNICODE_STRING>(block);
  value->Length = static_cast<USHORT>(sizeof(WCHAR) * n);
  value->MaximumLength = value->Length;
  value->Buffer = reinterpret_cast<PWSTR>(static_cast<char*>(block) + header);
  if (n > 0) std::memcpy(value->Buffer, units.data(), sizeof(WCHAR) * n);
  value->Buffer[n] = 0;
  block_ = value;
}
